// SPDX-License-Identifier: GPL-2.0-or-later
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/activation_token.h"
#include "app/single_instance.h"
#include "ui/qt_env.h"

namespace vantorel {
namespace {

using test::pump_until;

// The later start runs on a thread of its own, as it would in a process of
// its own, while this thread's loop serves the first instance.
SingleInstance::Result start_elsewhere(const QString& name, const QByteArray& activation_token = {},
                                      const SingleInstance::TokenSource& ask_desktop = {}) {
    std::atomic<bool> done{false};
    SingleInstance::Result result = SingleInstance::Result::First;
    std::thread later([&] {
        SingleInstance second(name);
        result = second.start(activation_token, ask_desktop);
        done = true;
    });
    pump_until([&] { return done.load(); });
    later.join();
    return result;
}

TEST(SingleInstanceTest, SecondStartWakesTheFirst) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    SingleInstance first(name);
    int wakes = 0;
    QObject::connect(&first, &SingleInstance::wakeRequested, [&] { ++wakes; });
    ASSERT_EQ(first.start(), SingleInstance::Result::First);

    EXPECT_EQ(start_elsewhere(name), SingleInstance::Result::WokeOther);
    EXPECT_TRUE(pump_until([&] { return wakes == 1; }));
    EXPECT_EQ(start_elsewhere(name), SingleInstance::Result::WokeOther);
    EXPECT_TRUE(pump_until([&] { return wakes == 2; }));
}

// The token the launcher gave the later start is what lets the running
// window come to the front on Wayland; one that could break the request
// line is dropped, the wake itself still counts.
TEST(SingleInstanceTest, SecondStartHandsItsActivationTokenToTheFirst) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    SingleInstance first(name);
    QList<QByteArray> tokens;
    QObject::connect(&first, &SingleInstance::wakeRequested, [&](const QByteArray& token) { tokens << token; });
    ASSERT_EQ(first.start(), SingleInstance::Result::First);
    const struct {
        const char* what;
        QByteArray sent, received;
    } cases[] = {
        {"a launcher's token", "sway-1234_TIME5678", "sway-1234_TIME5678"},
        {"none", "", ""},
        {"with a space", "two words", ""},
        {"with a line break", "a\nwake", ""},
        {"too long", QByteArray(256, 'x'), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tokens.clear();
        EXPECT_EQ(start_elsewhere(name, c.sent), SingleInstance::Result::WokeOther);
        ASSERT_TRUE(pump_until([&] { return !tokens.isEmpty(); }));
        pump_until([] { return false; }, 5);
        EXPECT_EQ(tokens, QList<QByteArray>{c.received});
    }
}

// Started from a terminal, a start has no token of its own: the one the
// desktop gives it goes over instead, so the window still comes forward.
// The launcher's own token wins, and a first start asks the desktop nothing.
TEST(SingleInstanceTest, StartWithoutATokenOfItsOwnHandsOverTheDesktopsToken) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    SingleInstance first(name);
    QList<QByteArray> tokens;
    QObject::connect(&first, &SingleInstance::wakeRequested, [&](const QByteArray& token) { tokens << token; });
    int asked = 0;
    ASSERT_EQ(first.start({}, [&] { ++asked; return QByteArrayLiteral("unused"); }), SingleInstance::Result::First);
    EXPECT_EQ(asked, 0) << "a first start asked the desktop for a token";
    const struct {
        const char* what;
        QByteArray own, desktop, received;
        int asked;
    } cases[] = {
        {"the launcher's own", "launcher-1", "desktop-1", "launcher-1", 0},
        {"none of its own", "", "desktop-2", "desktop-2", 1},
        {"none from the desktop either", "", "", "", 1},
        {"an unusable one from the desktop", "", "two words", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tokens.clear();
        asked = 0;
        EXPECT_EQ(start_elsewhere(name, c.own, [&] { ++asked; return c.desktop; }), SingleInstance::Result::WokeOther);
        ASSERT_TRUE(pump_until([&] { return !tokens.isEmpty(); }));
        EXPECT_EQ(tokens, QList<QByteArray>{c.received});
        EXPECT_EQ(asked, c.asked);
    }
}

// Asking the compositor fails quietly: outside Wayland, with no compositor
// at the socket, or with one that never answers (the start holds the start
// lock meanwhile, so it must not wait for ever).
TEST(SingleInstanceTest, TokenRequestThatFindsNoCompositorGivesNoneAndReturns) {
    QTemporaryDir dir;
    const QByteArray silent = QFile::encodeName(dir.filePath(QStringLiteral("silent-0")));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, silent.constData(), static_cast<std::size_t>(silent.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    const bool had = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    const struct {
        const char* what;
        QByteArray display;  // empty: unset
    } cases[] = {
        {"no Wayland session", ""},
        {"no compositor at the socket", QFile::encodeName(dir.filePath(QStringLiteral("absent-0")))},
        {"a compositor that never answers", silent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.display.isEmpty()) qunsetenv("WAYLAND_DISPLAY");
        else qputenv("WAYLAND_DISPLAY", c.display);
        ASSERT_EQ(qgetenv("WAYLAND_DISPLAY"), c.display);
        EXPECT_EQ(RequestActivationToken("io.github.qvvantorel.QVVantorel", 300), "");
    }
    if (had) qputenv("WAYLAND_DISPLAY", saved);
    else qunsetenv("WAYLAND_DISPLAY");
    ::close(listener);
}

TEST(SingleInstanceTest, LeftoverSocketOfACrashedCopyDoesNotBlockTheStart) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    {
        QFile stale(name);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance first(name);
    EXPECT_EQ(first.start(), SingleInstance::Result::First);
    EXPECT_EQ(start_elsewhere(name), SingleInstance::Result::WokeOther);
}

// Another user who can reach the socket file still gets no answer: the
// first copy checks who is on the other end.
TEST(SingleInstanceTest, AnotherUserIsRefusedEvenWhenTheSocketIsOpenToAll) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    SingleInstance first(name);
    int wakes = 0;
    QObject::connect(&first, &SingleInstance::wakeRequested, [&] { ++wakes; });
    ASSERT_EQ(first.start(), SingleInstance::Result::First);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    ::chmod(QFile::encodeName(name).constData(), 0777);

    const QByteArray path = QFile::encodeName(name);
    const pid_t child = ::fork();
    if (child == 0) {
        // Plain system calls only: this is a forked copy of a Qt program.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ::_exit(2);
        // The first copy may close the connection before the request is
        // written: that is a refusal too (and must not raise SIGPIPE).
        if (::send(fd, "wake\n", 5, MSG_NOSIGNAL) != 5) ::_exit(1);
        pollfd p{fd, POLLIN, 0};
        char answer[8] = {};
        const bool answered = ::poll(&p, 1, 3000) == 1 && ::read(fd, answer, sizeof answer) > 0;
        ::_exit(answered ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    pump_until([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 1000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "0: answered, 2: could not connect, 3: could not change user";
    EXPECT_EQ(wakes, 0);
    // This user is still served.
    EXPECT_EQ(start_elsewhere(name), SingleInstance::Result::WokeOther);
}

// A client of our own on a plain socket, as vantorelctl is.
struct RawClient {
    explicit RawClient(const QString& name) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path - 1);
        connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd); }
    void send(const std::string& bytes) const { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // What arrived so far; `closed` once the other side has ended the
    // connection.
    void take() {
        char buffer[256];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) received.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) closed = true;
    }
    int fd = -1;
    bool connected = false;
    bool closed = false;
    std::string received;
};

// Requests are lines however the bytes arrive; a peer that sends no line end
// within the limit is no client of ours and loses its connection.
TEST(SingleInstanceTest, RequestsAreLinesHoweverTheBytesArrive) {
    struct Case {
        const char* what;
        std::vector<std::string> chunks;
        std::string answers;
        int wakes;
        bool dropped;
    };
    // The longest request of ours: a hold on a folder at the path limit with
    // every byte escaped.
    std::string longest = "hold /";
    for (int i = 0; i < 4094; ++i) longest += "%0A";
    std::string longest_answer = longest;
    longest_answer.replace(0, 4, "HOLD");
    const std::vector<Case> cases = {
        {"wake in pieces", {"wa", "ke", "\n"}, "ok\n", 1, false},
        {"two requests in one write", {"status\nhold\n"}, "STATUS\nHOLD\n", 0, false},
        {"a request and a wake", {"status\nwake\n"}, "STATUS\nok\n", 1, false},
        {"a wake with a token", {"wake tok-1\n"}, "ok\n", 1, false},
        {"a request that begins like a wake", {"wakeful\n"}, "WAKEFUL\n", 0, false},
        {"unanswered request", {"quiet\n"}, "", 0, false},
        {"the longest hold", {longest + "\n"}, longest_answer + "\n", 0, false},
        {"no line end within the limit", {std::string(17000, 'x')}, "", 0, true},
        {"a line over the limit", {std::string(16500, 'x') + "\n"}, "", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
        SingleInstance first(name);
        int wakes = 0;
        int closed = 0;
        QObject::connect(&first, &SingleInstance::wakeRequested, [&] { ++wakes; });
        first.set_request_handler([](const void*, const QByteArray& line) {
            return line == "quiet" ? QByteArray() : line.toUpper();
        });
        first.set_closed_handler([&](const void*) { ++closed; });
        ASSERT_EQ(first.start(), SingleInstance::Result::First);

        RawClient client(name);
        ASSERT_TRUE(client.connected);
        for (const std::string& chunk : c.chunks) {
            client.send(chunk);
            pump_until([] { return false; }, 20);
        }
        pump_until([&] {
            client.take();
            return c.dropped ? client.closed : client.received.size() >= c.answers.size();
        }, 2000);
        EXPECT_EQ(client.received, c.answers);
        EXPECT_EQ(wakes, c.wakes);
        EXPECT_EQ(client.closed, c.dropped);
        EXPECT_EQ(closed, c.dropped ? 1 : 0);
    }
}

// Only this user may even open the socket file, and it goes with the
// program.
TEST(SingleInstanceTest, SocketFileIsTheUsersAloneAndGoesWithTheProgram) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("QV Vantorel"));
    {
        SingleInstance first(name);
        ASSERT_EQ(first.start(), SingleInstance::Result::First);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u) << "group or others may open it";
    }
    EXPECT_FALSE(QFile::exists(name));
}

TEST(SingleInstanceTest, DefaultNameLivesInTheUsersRuntimeFolder) {
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.path().toUtf8());
    EXPECT_EQ(SingleInstance::default_server_name(), dir.filePath(QStringLiteral("QV Vantorel")));
    qunsetenv("XDG_RUNTIME_DIR");
}

// A start looks for a running copy and takes its place under a lock on a
// file beside the socket: while another start holds it, it waits, and a
// lock file left behind (by a crash, or by an older version that wrote its
// process id into it) is no obstacle once nobody holds it.
TEST(SingleInstanceTest, StartWaitsWhileAnotherStartHoldsTheLock) {
    QTemporaryDir runtime;
    const QString name = runtime.filePath(QStringLiteral("QV Vantorel"));
    {
        QFile leftover(name + QStringLiteral(".lock"));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
        leftover.write("4242\nqv-vantorel\nsomehost\n");
    }
    const int held = ::open(QFile::encodeName(name + QStringLiteral(".lock")).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    std::atomic<bool> started{false};
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // Still waiting: it has not listened yet.
        EXPECT_FALSE(started.load());
        EXPECT_FALSE(QFile::exists(name));
        ::close(held);
    });
    SingleInstance first(name);
    EXPECT_EQ(first.start(), SingleInstance::Result::First);
    started = true;
    release.join();
    EXPECT_TRUE(QFile::exists(name));
}

// The real program: a second start hands its activation token over, the
// first one shows itself, and the second ends with 0: it did what it was
// started for.
TEST(SingleInstanceTest, SecondProgramStartExitsWithZeroAndRaisesTheFirst) {
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/qv-vantorel");
    if (!QFile::exists(program)) GTEST_SKIP() << "qv-vantorel not built";
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QV_VANTOREL_DEBUG"), QStringLiteral("1"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {QStringLiteral("--demo")});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = runtime.filePath(QStringLiteral("QV Vantorel"));
    QByteArray first_log;
    ASSERT_TRUE(pump_until([&] {
        first_log += first.readAllStandardError();
        return first_log.contains("main window: shown") || first.state() != QProcess::Running;
    }, 3000)) << first_log.constData();
    ASSERT_EQ(first.state(), QProcess::Running) << first_log.constData();
    ASSERT_TRUE(QFile::exists(socket));

    QProcess second;
    QProcessEnvironment second_env = env;
    second_env.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QStringLiteral("launcher-token-1"));
    second.setProcessEnvironment(second_env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_TRUE(pump_until([&] {
        first_log += first.readAllStandardError();
        return first_log.contains("raised on request of a later start");
    }, 3000)) << first_log.constData();
    EXPECT_TRUE(first_log.contains("asks to be shown, with an activation token")) << first_log.constData();
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

}  // namespace
}  // namespace vantorel
