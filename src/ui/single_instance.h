// SPDX-License-Identifier: GPL-3.0-or-later
// One window per user: a later start with catalog files hands them to the
// window already running, over a local socket in the user's runtime
// folder, instead of opening a second window.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace kestavo::ui {

// The socket the running window listens on: in $XDG_RUNTIME_DIR (as Qt
// finds it), readable by the user alone.
QString InstanceSocketPath();

// Sends `files` to the window listening on `socketPath` and waits for it
// to take them; false when no window answers.
bool HandOverFiles(const QString& socketPath, const QStringList& files);

// The running window's side: takes the files later starts send.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);

    // Listens on `socketPath`, unless another window answers there already
    // (it keeps the files of later starts). A socket left by a window that
    // ended is replaced.
    bool Listen(const QString& socketPath);

signals:
    void FilesArrived(const QStringList& files);

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    QLocalServer* server_;
};

// The hand-over's wire form: each name in the file system's encoding,
// ended by a NUL byte, and one more NUL byte after the last.
QByteArray EncodeFileNames(const QStringList& files);
// The names of a complete message; false while more bytes are to come.
bool DecodeFileNames(const QByteArray& message, QStringList& files);

}  // namespace kestavo::ui
