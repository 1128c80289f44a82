// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace kestavo::ui {
namespace {

constexpr int kConnectWaitMs = 1000;
constexpr int kAnswerWaitMs = 5000;
// More than any list of catalog files; a longer message is not taken.
constexpr qsizetype kLongestMessage = 4 * 1024 * 1024;
const QByteArray kTaken = QByteArrayLiteral("taken\n");

bool SomeoneAnswers(const QString& socketPath) {
    QLocalSocket probe;
    probe.connectToServer(socketPath);
    const bool answers = probe.waitForConnected(kConnectWaitMs);
    probe.abort();
    return answers;
}

}  // namespace

QString InstanceSocketPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("kestavo-window"));
}

QByteArray EncodeFileNames(const QStringList& files) {
    QByteArray message;
    for (const QString& file : files) {
        message += QFile::encodeName(file);
        message += '\0';
    }
    message += '\0';
    return message;
}

bool DecodeFileNames(const QByteArray& message, QStringList& files) {
    files.clear();
    qsizetype start = 0;
    while (start < message.size()) {
        const qsizetype end = message.indexOf('\0', start);
        if (end < 0) break;
        if (end == start) return true;  // the empty name that ends the list
        files << QFile::decodeName(message.mid(start, end - start));
        start = end + 1;
    }
    files.clear();
    return false;
}

bool HandOverFiles(const QString& socketPath, const QStringList& files) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kConnectWaitMs)) return false;
    socket.write(EncodeFileNames(files));
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) return false;
    // The files count as handed over only once the window said it took them.
    QByteArray answer;
    while (answer.size() < kTaken.size() && socket.waitForReadyRead(kAnswerWaitMs))
        answer += socket.readAll();
    return answer.startsWith(kTaken);
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
}

bool InstanceServer::Listen(const QString& socketPath) {
    if (SomeoneAnswers(socketPath)) return false;
    QLocalServer::removeServer(socketPath);
    return server_->listen(socketPath);
}

void InstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->bytesAvailable() > 0) OnReadyRead(socket);
    }
}

void InstanceServer::OnReadyRead(QLocalSocket* socket) {
    QByteArray message = socket->property("message").toByteArray() + socket->readAll();
    if (message.size() > kLongestMessage) {
        socket->abort();
        return;
    }
    QStringList files;
    if (!DecodeFileNames(message, files)) {
        socket->setProperty("message", message);
        return;
    }
    socket->setProperty("message", QVariant());
    socket->write(kTaken);
    socket->flush();
    socket->disconnectFromServer();
    emit FilesArrived(files);
}

}  // namespace kestavo::ui
