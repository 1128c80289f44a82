// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/lock_state.h"

#include <QFile>
#include <QGuiApplication>
#include <optional>

#ifdef KESTAVO_HAS_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace kestavo::ui {
namespace {

// Whether a keyboard light is on, as the kernel tells; the first keyboard
// that has the light answers.
bool KernelLightOn(const char* name) {
    for (int i = 0; i < 32; ++i) {
        QFile light(QStringLiteral("/sys/class/leds/input%1::%2/brightness")
                        .arg(i)
                        .arg(QLatin1String(name)));
        if (light.open(QIODevice::ReadOnly)) return light.readAll().trimmed() != "0";
    }
    return false;
}

#ifdef KESTAVO_HAS_X11
// The state of the named XKB indicator ("Caps Lock"), or nothing when the
// keyboard map has no such indicator.
std::optional<bool> IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return std::nullopt;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return std::nullopt;
    return on != False;
}

Display* ProgramDisplay() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return nullptr;
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
        return x11->display();
    return nullptr;
}
#endif

}  // namespace

LockState KernelLockState() {
    return {KernelLightOn("capslock"), KernelLightOn("numlock"), KernelLightOn("scrolllock")};
}

#ifdef KESTAVO_HAS_X11

LockStateReader::LockStateReader() : display_(ProgramDisplay()) {}

LockStateReader::LockStateReader(const QByteArray& displayName)
    : display_(XOpenDisplay(displayName.constData())), ownsDisplay_(display_ != nullptr) {}

LockStateReader::~LockStateReader() {
    if (ownsDisplay_) XCloseDisplay(display_);
}

LockState LockStateReader::Read() const {
    if (!display_) return KernelLockState();
    const auto lit = [this](const char* indicator, const char* light) {
        const std::optional<bool> on = IndicatorOn(display_, indicator);
        return on ? *on : KernelLightOn(light);
    };
    return {lit("Caps Lock", "capslock"), lit("Num Lock", "numlock"),
            lit("Scroll Lock", "scrolllock")};
}

#else

LockStateReader::LockStateReader() = default;
LockStateReader::LockStateReader(const QByteArray&) {}
LockStateReader::~LockStateReader() = default;
LockState LockStateReader::Read() const {
    return KernelLockState();
}

#endif

}  // namespace kestavo::ui
