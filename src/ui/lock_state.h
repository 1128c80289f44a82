// SPDX-License-Identifier: GPL-3.0-or-later
// The state of the keyboard's Caps Lock, Num Lock and Scroll Lock, for the
// status bar. The display server knows it (XKB on X11); the kernel's
// keyboard lights are the fallback where there is no X display.
#pragma once

#include <QByteArray>

struct _XDisplay;

namespace kestavo::ui {

struct LockState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockState&) const = default;
};

class LockStateReader {
public:
    // Reads from the X display the program runs on, when it runs on one.
    LockStateReader();
    // Reads from its own connection to the X display `displayName`.
    explicit LockStateReader(const QByteArray& displayName);
    ~LockStateReader();
    LockStateReader(const LockStateReader&) = delete;
    LockStateReader& operator=(const LockStateReader&) = delete;

    bool HasDisplay() const { return display_ != nullptr; }
    LockState Read() const;

private:
    _XDisplay* display_ = nullptr;
    bool ownsDisplay_ = false;
};

// The kernel's keyboard lights (all off where there are none).
LockState KernelLockState();

}  // namespace kestavo::ui
