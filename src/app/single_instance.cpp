// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/single_instance.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "app/line_splitter.h"
#include "core/trace.h"
#include "library/program_mark.h"

namespace vantorel {

namespace {
constexpr char kWake[] = "wake";
// A request names a data folder (up to the path limit, each byte written in
// at most three); longer lines are no request of ours.
constexpr std::size_t kMaxLine = 16384;

// Only the user running this copy may talk to it, whatever the socket
// file's permissions turn out to be.
bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) return false;
    return peer.uid == ::getuid();
}

std::optional<sockaddr_un> AddressOf(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || static_cast<std::size_t>(native.size()) >= sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    return address;
}

// Sends all of `bytes` or nothing more: a peer that does not read its
// answers loses its connection rather than stall the program.
bool SendAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// An advisory lock on a file beside the socket, held while a start looks
// for a running copy and takes its place. The kernel lets go of it when its
// holder ends, so a crashed start leaves nothing stale, and nothing has to
// be written (or synced to disk) to take it.
class StartLock {
public:
    explicit StartLock(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (fd_ < 0) {
            trace("single instance: no lock file %s: %s\n", qPrintable(path), std::strerror(errno));
            return;
        }
        // Another start holds it for a moment only; give up after 5 s.
        for (int waited = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; waited += 10) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= 5000) {
                trace("single instance: no lock on %s: %s\n", qPrintable(path), std::strerror(errno));
                return;
            }
            ::usleep(10000);
        }
    }
    ~StartLock() {
        if (fd_ >= 0) ::close(fd_);  // and with it the lock
    }
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;

private:
    int fd_;
};

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}
}  // namespace

struct SingleInstance::Connection {
    explicit Connection(int descriptor) : fd(descriptor), lines(kMaxLine) {}
    ~Connection() {
        delete notifier;
        if (fd >= 0) ::close(fd);
    }
    int fd;
    QSocketNotifier* notifier = nullptr;
    LineSplitter lines;
};

QString SingleInstance::default_server_name() {
    // Worked out the same way by every start, whatever Qt would choose.
    return QFile::decodeName(QByteArray::fromStdString(program_socket_path().string()));
}

SingleInstance::SingleInstance(QString server_name) : server_name_(std::move(server_name)) {}

SingleInstance::~SingleInstance() {
    connections_.clear();
    delete listener_;
    if (listen_fd_ >= 0) ::close(listen_fd_);
    if (own_socket_file_) ::unlink(QFile::encodeName(server_name_).constData());
}

QByteArray SingleInstance::usable_token(const QByteArray& token) {
    if (token.isEmpty() || token.size() > 255) return {};
    for (const char c : token) {
        if (c <= ' ' || c > '~') return {};
    }
    return token;
}

QByteArray SingleInstance::activation_token_from_environment() {
    const QByteArray wayland = usable_token(qgetenv("XDG_ACTIVATION_TOKEN"));
    return wayland.isEmpty() ? usable_token(qgetenv("DESKTOP_STARTUP_ID")) : wayland;
}

bool SingleInstance::wake_running(const QString& server_name, int timeout_ms, const QByteArray& activation_token,
                                  const TokenSource& ask_desktop) {
    const std::optional<sockaddr_un> address = AddressOf(server_name);
    if (!address) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool woken = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
        QByteArray token = usable_token(activation_token);
        if (token.isEmpty() && ask_desktop) token = usable_token(ask_desktop());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        const QByteArray request = QByteArray(kWake) + (token.isEmpty() ? QByteArray() : ' ' + token) + '\n';
        woken = ::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL) ==
                request.size();
        // The first instance answers once it has taken the request; a slow
        // answer still means it listens (only one copy can).
        pollfd p{fd, POLLIN, 0};
        while (woken && ::poll(&p, 1, RemainingMs(deadline)) < 0 && errno == EINTR) {
        }
    }
    ::close(fd);
    return woken;
}

SingleInstance::Result SingleInstance::start(const QByteArray& activation_token, const TokenSource& ask_desktop) {
    if (server_name_.isEmpty()) {
        // No runtime folder of the user's: run, without the single-instance rule.
        trace("single instance: no runtime folder to listen in\n");
        return Result::First;
    }
    // Two starts at the same moment must not both become the first: the lock
    // makes "is anyone listening? then listen" one step.
    const StartLock lock(server_name_ + QStringLiteral(".lock"));

    if (wake_running(server_name_, 1000, activation_token, ask_desktop)) {
        trace("single instance: another copy runs; it was asked to show itself\n");
        return Result::WokeOther;
    }
    const std::optional<sockaddr_un> address = AddressOf(server_name_);
    const int fd = address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0) {
        // Run anyway; only the single-instance rule is lost.
        trace("single instance: cannot listen on %s: %s\n", qPrintable(server_name_),
              address ? std::strerror(errno) : "name too long");
        return Result::First;
    }
    // Nobody answered: a socket file left by a crashed copy is stale.
    const QByteArray path = QFile::encodeName(server_name_);
    ::unlink(path.constData());
    // The socket file is the user's alone from the moment it exists.
    const mode_t old_mask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0;
    ::umask(old_mask);
    if (!bound || ::listen(fd, 16) != 0) {
        trace("single instance: cannot listen on %s: %s\n", qPrintable(server_name_), std::strerror(errno));
        if (bound) ::unlink(path.constData());
        ::close(fd);
        return Result::First;
    }
    listen_fd_ = fd;
    own_socket_file_ = true;
    listener_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, [this] { accept_pending(); });
    return Result::First;
}

void SingleInstance::accept_pending() {
    for (;;) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: none left; anything else: try on the next wake-up
        }
        if (!PeerIsThisUser(fd)) {
            trace("single instance: refused a connection from another user\n");
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>(fd);
        Connection* raw = connection.get();
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
        connect(connection->notifier, &QSocketNotifier::activated, this, [this, raw] { read_from(raw); });
        connections_.push_back(std::move(connection));
    }
}

void SingleInstance::read_from(Connection* connection) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            // The peer is gone; what it sent before that was taken already.
            drop(connection);
            return;
        }
        if (!connection->lines.feed(std::string_view(buffer, static_cast<std::size_t>(n)))) {
            drop(connection);  // not one of ours
            return;
        }
        while (std::optional<std::string> line = connection->lines.next()) {
            const std::string_view wake(kWake);
            if (*line == wake || line->rfind(std::string(wake) + ' ', 0) == 0) {
                if (!SendAll(connection->fd, QByteArrayLiteral("ok\n"))) {
                    drop(connection);
                    return;
                }
                const QByteArray token = line->size() > wake.size()
                                             ? usable_token(QByteArray::fromStdString(line->substr(wake.size() + 1)))
                                             : QByteArray();
                trace("single instance: a later start asks to be shown%s\n",
                      token.isEmpty() ? "" : ", with an activation token");
                emit wakeRequested(token);
                continue;
            }
            if (!on_request_) {
                drop(connection);
                return;
            }
            const QByteArray answer = on_request_(connection, QByteArray::fromStdString(*line));
            if (!answer.isEmpty() && !SendAll(connection->fd, answer + '\n')) {
                drop(connection);
                return;
            }
        }
        if (connection->lines.failed()) {
            drop(connection);
            return;
        }
    }
}

void SingleInstance::drop(Connection* connection) {
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [connection](const std::unique_ptr<Connection>& c) { return c.get() == connection; });
    if (it == connections_.end()) return;
    // The connection's own notifier is signalling now: stop it, and free the
    // connection once that call has returned.
    connection->notifier->setEnabled(false);
    std::unique_ptr<Connection> owned = std::move(*it);
    connections_.erase(it);
    ::shutdown(owned->fd, SHUT_RDWR);
    if (on_closed_) on_closed_(owned.get());
    QTimer::singleShot(0, this, [gone = std::shared_ptr<Connection>(std::move(owned))] {});
}

}  // namespace vantorel
