// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications (org.freedesktop.Notifications on the session bus):
// sent without waiting for the server, with buttons where the server shows
// them, and a button's work done when the user picks it. Where no
// notification server answers, nothing is shown and nothing is said.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace kestavo::ui {

struct NotificationAction {
    QString key;    // the action's name on the bus; "default" is a click on the notification
    QString label;  // the button's text
    std::function<void()> run;
};

struct Notification {
    // Names the notification for Withdraw; a later one with the same tag
    // takes its place. Empty: the notification stays until the user closes it.
    QString tag;
    QString summary;
    QString body;
    // Offered only where the server's capabilities list "actions".
    std::vector<NotificationAction> actions;
};

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    void Send(const Notification& notification);
    // Closes the notification of `tag`, shown or on its way.
    void Withdraw(const QString& tag);

    // The server's numbers of the notifications it took that are still open.
    std::vector<uint> OpenIds() const;

private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnClosed(uint id, uint reason);

private:
    struct Open {
        uint id;
        Notification notification;
    };
    void Deliver(Notification notification, quint64 serial, bool withActions);
    void Opened(uint id, Notification notification, quint64 serial);
    void Close(uint id);
    std::vector<Open>::iterator FindTag(const QString& tag);

    std::vector<Open> open_;
    // The serial of the newest Send of each tag: an answer to an older one
    // (or to one withdrawn since) is closed at once.
    QHash<QString, quint64> latest_;
    quint64 serial_ = 0;
};

// Brings a window to the front, out of the task bar when minimised.
void BringWindowToFront(QWidget* window);

// Tells that the long work of `window` (its title) has ended while the user
// was elsewhere; picking the notification brings the window back. Nothing
// without a notifier.
void NotifyWorkEnded(DesktopNotifier* notifier, QWidget* window, const QString& title,
                     const QString& text);

}  // namespace kestavo::ui
