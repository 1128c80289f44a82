// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <algorithm>

namespace kestavo::ui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// A server that does not answer within this time counts as none.
constexpr int kAnswerWaitMs = 5000;

QDBusMessage CallOf(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// Runs `answered` with the reply of `call` once it comes; an error or no
// answer runs nothing.
template <class Reply, class Answered>
void WhenAnswered(QObject* owner, const QDBusMessage& call, Answered answered) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerWaitMs), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [answered](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         const QDBusPendingReply<Reply> reply = *done;
                         if (!reply.isError()) answered(reply.value());
                     });
}

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(OnActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(OnClosed(uint, uint)));
}

void DesktopNotifier::Send(const Notification& notification) {
    if (!QDBusConnection::sessionBus().isConnected()) return;
    const quint64 serial = ++serial_;
    if (!notification.tag.isEmpty()) latest_.insert(notification.tag, serial);
    // The capabilities are asked each time: the server may have changed.
    WhenAnswered<QStringList>(this, CallOf(QStringLiteral("GetCapabilities")),
                              [this, notification, serial](const QStringList& capabilities) {
                                  Deliver(notification, serial,
                                          capabilities.contains(QStringLiteral("actions")));
                              });
}

void DesktopNotifier::Deliver(Notification notification, quint64 serial, bool withActions) {
    const QString& tag = notification.tag;
    if (!tag.isEmpty() && latest_.value(tag) != serial) return;
    uint replaces = 0;
    if (const auto shown = FindTag(tag); shown != open_.end()) replaces = shown->id;
    if (!withActions) notification.actions.clear();
    QStringList actions;
    for (const NotificationAction& action : notification.actions)
        actions << action.key << action.label;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kestavo"));
    QDBusMessage call = CallOf(QStringLiteral("Notify"));
    call << QStringLiteral("Kestavo") << replaces << QStringLiteral("kestavo")
         << notification.summary << notification.body << actions << hints << qint32(-1);
    WhenAnswered<uint>(this, call,
                       [this, notification, serial](uint id) { Opened(id, notification, serial); });
}

void DesktopNotifier::Opened(uint id, Notification notification, quint64 serial) {
    const QString tag = notification.tag;
    if (!tag.isEmpty() && latest_.value(tag) != serial) {
        // Withdrawn, or replaced by a newer one, while it was on its way.
        if (FindTag(tag) == open_.end() || FindTag(tag)->id != id) Close(id);
        return;
    }
    std::erase_if(open_, [&](const Open& o) {
        return o.id == id || (!tag.isEmpty() && o.notification.tag == tag);
    });
    open_.push_back({id, std::move(notification)});
}

std::vector<uint> DesktopNotifier::OpenIds() const {
    std::vector<uint> ids;
    for (const Open& open : open_) ids.push_back(open.id);
    return ids;
}

void DesktopNotifier::Withdraw(const QString& tag) {
    if (tag.isEmpty()) return;
    latest_.remove(tag);
    const auto shown = FindTag(tag);
    if (shown == open_.end()) return;
    const uint id = shown->id;
    open_.erase(shown);
    Close(id);
}

void DesktopNotifier::Close(uint id) {
    QDBusMessage call = CallOf(QStringLiteral("CloseNotification"));
    call << id;
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

std::vector<DesktopNotifier::Open>::iterator DesktopNotifier::FindTag(const QString& tag) {
    if (tag.isEmpty()) return open_.end();
    return std::find_if(open_.begin(), open_.end(),
                        [&](const Open& o) { return o.notification.tag == tag; });
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& key) {
    const auto shown =
        std::find_if(open_.begin(), open_.end(), [id](const Open& o) { return o.id == id; });
    if (shown == open_.end()) return;
    std::function<void()> run;
    for (const NotificationAction& action : shown->notification.actions)
        if (action.key == key) run = action.run;
    // The server closes a notification whose action was picked.
    latest_.remove(shown->notification.tag);
    open_.erase(shown);
    if (run) run();
}

void DesktopNotifier::OnClosed(uint id, uint) {
    std::erase_if(open_, [id](const Open& o) { return o.id == id; });
}

void BringWindowToFront(QWidget* window) {
    if (window->isMinimized()) window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void NotifyWorkEnded(DesktopNotifier* notifier, QWidget* window, const QString& title,
                     const QString& text) {
    if (!notifier) return;
    Notification notification;
    notification.summary = title;
    notification.body = text;
    // The window may have been closed before the notification is picked.
    notification.actions.push_back(
        {QStringLiteral("default"), QStringLiteral("Show"), [shown = QPointer<QWidget>(window)] {
             if (shown) BringWindowToFront(shown);
         }});
    notifier->Send(notification);
}

}  // namespace kestavo::ui
