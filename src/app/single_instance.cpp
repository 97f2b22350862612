// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

#include "core/trace.h"

namespace vantorel {

namespace {
constexpr char kWake[] = "wake\n";
// A request names a data folder; longer lines are no request of ours.
constexpr qint64 kMaxLine = 4096;

// Only the user running this copy may talk to it, whatever the socket
// file's permissions turn out to be.
bool PeerIsThisUser(qintptr descriptor) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return false;
    return peer.uid == ::getuid();
}
}

QString SingleInstance::default_server_name() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return QDir(dir).filePath(QLatin1String(kName));
}

SingleInstance::SingleInstance(QString server_name) : server_name_(std::move(server_name)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::wake_running(const QString& server_name, int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(server_name);
    if (!socket.waitForConnected(timeout_ms)) return false;
    socket.write(kWake, sizeof kWake - 1);
    socket.flush();
    socket.waitForBytesWritten(timeout_ms);
    // The first instance answers once it has taken the request.
    socket.waitForReadyRead(timeout_ms);
    socket.disconnectFromServer();
    return true;
}

SingleInstance::Result SingleInstance::start() {
    // Two starts at the same moment must not both become the first: the lock
    // makes "is anyone listening? then listen" one step.
    QLockFile lock(server_name_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(5000)) trace("single instance: no lock on %s\n", qPrintable(lock.error() == QLockFile::PermissionError ? QStringLiteral("permission") : QStringLiteral("timeout")));

    if (wake_running(server_name_)) {
        trace("single instance: another copy runs; it was asked to show itself\n");
        return Result::WokeOther;
    }
    // Nobody answered: a socket file left by a crashed copy is stale.
    QLocalServer::removeServer(server_name_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(server_name_)) {
        // Run anyway; only the single-instance rule is lost.
        trace("single instance: cannot listen on %s: %s\n", qPrintable(server_name_),
              qPrintable(server_->errorString()));
        return Result::First;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            if (!PeerIsThisUser(socket->socketDescriptor())) {
                trace("single instance: refused a connection from another user\n");
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
                if (on_closed_) on_closed_(socket);
                socket->deleteLater();
            });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine(kMaxLine);
                    if (line == kWake) {
                        socket->write("ok\n");
                        socket->flush();
                        emit wakeRequested();
                        continue;
                    }
                    if (!line.endsWith('\n') || !on_request_) {
                        socket->abort();  // not one of ours
                        return;
                    }
                    const QByteArray answer = on_request_(socket, line.chopped(1));
                    if (!answer.isEmpty()) {
                        socket->write(answer + '\n');
                        socket->flush();
                    }
                }
                if (socket->bytesAvailable() > kMaxLine) socket->abort();  // not one of ours
            });
        }
    });
    return Result::First;
}

}  // namespace vantorel
