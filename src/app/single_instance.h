// SPDX-License-Identifier: GPL-2.0-or-later
// One running copy per user. The first start listens on a local socket named
// "QV Vantorel" in the user's runtime folder; a later start connects to it,
// asks the first one to show itself, handing over the activation token the
// desktop gave it, and ends. The same socket takes
// requests of vantorelctl, one line each, which the request handler answers.
// Plain Unix sockets watched by the event loop: the program needs no
// network library for this.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace vantorel {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result {
        First,     // this process is the running instance now
        WokeOther, // another instance runs and was asked to show itself
    };

    static constexpr const char* kName = "QV Vantorel";

    // The socket path: kName in the user's runtime folder (program_socket_path();
    // empty when there is none, and then the program does not listen).
    static QString default_server_name();

    explicit SingleInstance(QString server_name = default_server_name());
    ~SingleInstance() override;

    // Asks the desktop for a token when this start has none of its own.
    using TokenSource = std::function<QByteArray()>;

    // `activation_token`: what the launcher gave this start to bring a window
    // to the front (XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID on
    // X11); a running copy gets it with the request to show itself. Without
    // one, `ask_desktop` is asked, and only when a running copy answers: a
    // first start talks to no compositor for it.
    Result start(const QByteArray& activation_token = {}, const TokenSource& ask_desktop = {});
    QString server_name() const { return server_name_; }
    // Whether start() made this process listen on server_name().
    bool listening() const { return listen_fd_ >= 0; }

    // Asks a running instance to show itself; false when none answers.
    static bool wake_running(const QString& server_name, int timeout_ms = 1000,
                             const QByteArray& activation_token = {}, const TokenSource& ask_desktop = {});
    // The token a start hands over: printable, no spaces, at most 255
    // bytes; anything else is none.
    static QByteArray usable_token(const QByteArray& token);
    // The token of this start from its environment, or empty.
    static QByteArray activation_token_from_environment();

    // Every line other than the wake request goes to the handler, with the
    // connection it came on; a non-empty answer is sent back as one line.
    // The closed handler hears of every connection that ends.
    using RequestHandler = std::function<QByteArray(const void* connection, const QByteArray& line)>;
    using ClosedHandler = std::function<void(const void* connection)>;
    void set_request_handler(RequestHandler handler) { on_request_ = std::move(handler); }
    void set_closed_handler(ClosedHandler handler) { on_closed_ = std::move(handler); }

signals:
    // A later start asked this instance to show itself; `activation_token`
    // is the one it brought, or empty.
    void wakeRequested(const QByteArray& activation_token);

private:
    struct Connection;
    void accept_pending();
    void read_from(Connection* connection);
    void drop(Connection* connection);

    QString server_name_;
    int listen_fd_ = -1;
    bool own_socket_file_ = false;
    QSocketNotifier* listener_ = nullptr;
    std::vector<std::unique_ptr<Connection>> connections_;
    RequestHandler on_request_;
    ClosedHandler on_closed_;
};

}  // namespace vantorel
