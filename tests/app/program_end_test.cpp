// SPDX-License-Identifier: GPL-2.0-or-later
// Ending the program the way users end it: the tray's Quit while a dialog
// that uses the input hook library is open, and the signals a log-out, a
// shutdown or `kill` send. Each ends the program as Quit does.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>

#include "app/main_wnd.h"
#include "app/session.h"
#include "ui/controls.h"
#include "ui/qt_env.h"

namespace vantorel {
namespace {

using test::pump;
using test::pump_until;

// Where each thread of a process that does not come up is: its name, its
// state and the kernel function it waits in.
QByteArray threads_of(qint64 pid) {
    QByteArray out("\nthreads:");
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks + u'/' + tid + QStringLiteral("/stat"));
        QFile wchan(tasks + u'/' + tid + QStringLiteral("/wchan"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        out += "\n  " + tid.toLatin1() + ' ' + line.mid(line.indexOf('('), close < 0 ? -1 : close - line.indexOf('(') + 3);
        if (wchan.open(QIODevice::ReadOnly)) out += " in " + wchan.readAll();
    }
    return out;
}

class ProgramEnd : public ::testing::Test {
protected:
    // An X11 session: the one where the input hook library is loaded.
    ProgramEnd() {
        for (const char* name : {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY"})
            saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                                      : std::nullopt);
        qputenv("XDG_SESSION_TYPE", "x11");
        qunsetenv("WAYLAND_DISPLAY");
        if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("DISPLAY", ":0");
    }
    void TearDown() override {
        ui::TrayIcon::SetAvailabilityOverride(std::nullopt);
        for (const auto& [name, value] : saved_) {
            if (value) qputenv(name, *value);
            else qunsetenv(name);
        }
    }
    QTemporaryDir dir_;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

// The program on the virtual mouse, wired as main() wires it, with the fake
// hook library; `inside` runs while the dialog that `open` opens is up, and
// then the tray's Quit is chosen. Returns when the program's loop has ended.
void quit_from_the_tray_during(const std::function<void(CMainWnd&)>& open,
                               const std::function<void(ui::SkinWindow&)>& inside, const QString& folder) {
    ui::TrayIcon::SetAvailabilityOverride(true);
    std::unique_ptr<CMS_1_Page> owned = MakeMousePage(SessionChoice{true, true, "test"}, DataFolder::at(folder.toStdString()));
    CMS_1_Page& page = *owned;
    CMainWnd wnd(std::move(owned));
    ConnectMousePage(wnd, page);
    wnd.SetHookSearchDirs({QStringLiteral(FAKE_HOOK_DIR)});
    QObject::connect(&wnd, &CMainWnd::finished, qApp, &QApplication::quit, Qt::QueuedConnection);
    ASSERT_TRUE(wnd.CreateMain());
    wnd.ShowWindow();
    wnd.EnsurePage();
    ASSERT_TRUE(wnd.Hooks().loaded());
    ASSERT_TRUE(pump_until([&] { return ui::GetCurSel(wnd.FindControl(QStringLiteral("device_tab_switch"))) == 1; }));
    bool reached = false;
    bool loaded_as_dialog_went = false;
    std::function<void()> poll = [&] {
        auto* dialog = qobject_cast<ui::SkinWindow*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return void(QTimer::singleShot(10, poll));
        inside(*dialog);
        reached = true;
        // The dialog calls into the hook library as it goes.
        QObject::connect(dialog, &QObject::destroyed, [&] { loaded_as_dialog_went = wnd.Hooks().loaded(); });
        // What the desktop's tray does with the menu entry.
        wnd.TrayMenu()->GetMenuUI()->findChild<QAction*>(QStringLiteral("exit"))->trigger();
    };
    QTimer::singleShot(10, poll);
    QTimer::singleShot(0, &wnd, [&] { open(wnd); });
    QTimer::singleShot(20000, qApp, &QApplication::quit);  // a stuck dialog fails, it does not hang
    QApplication::exec();
    EXPECT_TRUE(reached);
    EXPECT_TRUE(loaded_as_dialog_went) << "the hook library was freed under an open dialog";
    EXPECT_TRUE(wnd.IsDestroyed());
}

void click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

TEST_F(ProgramEnd, QuitFromTheTrayWithAKeyCapturingDialogOpenEndsCleanly) {
    const struct {
        const char* name;
        std::function<void(CMainWnd&)> open;
        std::function<void(ui::SkinWindow&)> inside;
    } cases[] = {
        {"key combination, capturing",
         [](CMainWnd& wnd) {
             click(wnd.FindControl(QStringLiteral("ms_1_btn_key_4")));
             pump_until([] { return QApplication::activePopupWidget() != nullptr; });
             auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
             ASSERT_NE(menu, nullptr);
             for (QAction* a : menu->actions()) {
                 QMenu* sub = a->menu();
                 QAction* item = sub ? sub->findChild<QAction*>(QStringLiteral("ms_1_shortcut")) : nullptr;
                 if (!item && a->objectName() == QLatin1String("ms_1_shortcut")) item = a;
                 if (!item) continue;
                 if (sub) {
                     QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                     ASSERT_TRUE(pump_until([&] { return sub->isVisible(); }));
                     QTest::mouseClick(sub, Qt::LeftButton, {}, sub->actionGeometry(item).center());
                 } else {
                     QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
                 }
                 return;
             }
             FAIL() << "no key combination item";
         },
         [](ui::SkinWindow& d) {
             QWidget* field = d.FindControl(QStringLiteral("edit_key"));
             ASSERT_NE(field, nullptr);
             click(field);
             pump();
         }},
        {"macro editor, recording",
         [](CMainWnd& wnd) { click(wnd.FindControl(QStringLiteral("ms_1_btn_macro"))); },
         [](ui::SkinWindow& d) {
             click(d.FindControl(QStringLiteral("ms_1_macro_record_btn")));
             pump();
             ASSERT_TRUE(ui::GetCheck(d.FindControl(QStringLiteral("ms_1_macro_record_btn"))));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        quit_from_the_tray_during(c.open, c.inside, dir_.filePath(QString::fromLatin1(c.name)));
    }
}

// The built program in a home of its own, with its trace on.
struct ProgramRun {
    static QString program() { return QCoreApplication::applicationDirPath() + QStringLiteral("/qv-vantorel"); }

    explicit ProgramRun(const QStringList& arguments, const std::vector<std::pair<QString, QString>>& extra = {}) {
        QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QV_VANTOREL_DEBUG"), QStringLiteral("1"));
        for (const auto& [name, value] : extra) env.insert(name, value);
        app.setProcessEnvironment(env);
        app.start(program(), arguments + QStringList{QStringLiteral("--data-dir"), home.filePath(QStringLiteral("Data"))});
    }
    // Until the window is shown or the program ends, at most `ms`.
    bool wait_shown(int ms) {
        return app.waitForStarted() && pump_until([&] {
            log += app.readAllStandardError();
            return log.contains("main window: shown") || app.state() != QProcess::Running;
        }, ms);
    }
    QByteArray why() const { return log + threads_of(app.processId()); }

    QTemporaryDir home;
    QProcess app;
    QByteArray log;
};

// kill -TERM (log-out, shutdown), Ctrl+C and a closed terminal end the
// program as Quit does: it exits normally and what Quit writes is written.
TEST_F(ProgramEnd, TermIntAndHupEndTheProgramAsQuitDoes) {
    if (!QFile::exists(ProgramRun::program())) GTEST_SKIP() << "qv-vantorel not built";
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        ProgramRun run({QStringLiteral("--demo")});
        QProcess& app = run.app;
        const QByteArray& log = run.log;
        ASSERT_TRUE(run.wait_shown(3000)) << run.why().constData();
        ASSERT_EQ(app.state(), QProcess::Running) << log.constData();
        // Work started before the application must not take Qt's main thread.
        EXPECT_FALSE(log.contains("not created in the main() thread")) << log.constData();

        ::kill(static_cast<pid_t>(app.processId()), signal_number);
        ASSERT_TRUE(app.waitForFinished(10000));
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << log.constData();
        EXPECT_EQ(app.exitCode(), 0);
        // Quit keeps the window's size for the next start.
        QSettings kept(run.home.filePath(QStringLiteral("config/qv-vantorel/window.conf")), QSettings::IniFormat);
        EXPECT_TRUE(kept.value(QStringLiteral("size")).toSize().isValid());
    }
}

// A system bus that takes connections and never answers (a bus daemon that
// is stuck): the bus library waits for it a minute and more. BlueZ is
// reached over it, which holds up neither the window nor the end.
TEST_F(ProgramEnd, AStuckSystemBusHoldsUpNeitherTheWindowNorTheEnd) {
    if (!QFile::exists(ProgramRun::program())) GTEST_SKIP() << "qv-vantorel not built";
    QTemporaryDir bus_dir;
    // Connections wait in the socket's backlog: nothing takes or answers them.
    const QByteArray bus_path = QFile::encodeName(bus_dir.filePath(QStringLiteral("system_bus")));
    const int stuck = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(stuck, 0);
    const std::unique_ptr<int, void (*)(int*)> close_stuck(new int(stuck), [](int* fd) {
        ::close(*fd);
        delete fd;
    });
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(bus_path.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, bus_path.constData(), static_cast<std::size_t>(bus_path.size()));
    ASSERT_EQ(::bind(stuck, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(stuck, 8), 0);

    ProgramRun run({QStringLiteral("--no-demo")},
                   {{QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + QFile::decodeName(bus_path)}});
    QProcess& app = run.app;
    const QByteArray& log = run.log;
    ASSERT_TRUE(run.wait_shown(15000)) << "no window while the system bus is stuck\n" << run.why().constData();
    ASSERT_EQ(app.state(), QProcess::Running) << log.constData();
    EXPECT_FALSE(log.contains("bluez: no system bus")) << "the bus answered: the test's bus is not stuck\n" << log.constData();

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(15000)) << "the end waits for the stuck bus" << threads_of(app.processId()).constData();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << log.constData() << app.readAllStandardError().constData();
    EXPECT_EQ(app.exitCode(), 0);
}

}  // namespace
}  // namespace vantorel
