// SPDX-License-Identifier: GPL-2.0-or-later
// An X11 tray that starts after the program, on a private X server (Xvfb)
// with the program on Qt's xcb platform and no session bus: the watch hears
// the tray announce itself, and the icon docks in it once, with no timer
// running while the watch waits.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QPixmap>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "quiet_server.h"
#include "ui/qt_pump.h"
#include "ui/tray_icon.h"
#include "ui/tray_watcher.h"

namespace vantorel::ui {
namespace {

class XvfbQt : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string display = ":" + std::to_string(400 + getpid() % 200);
        server_ = vantorel::testing::start_quiet_server({"Xvfb", display, "-screen", "0", "320x240x24", "-nolisten", "tcp"});
        bool up = false;
        for (int i = 0; i < 100 && !up; ++i) {
            xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
            up = !xcb_connection_has_error(c);
            xcb_disconnect(c);
            if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!up) GTEST_SKIP() << "no Xvfb";
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        // No desktop's bus and no platform theme: the X11 tray alone.
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
        unsetenv("QT_QPA_PLATFORMTHEME");
        unsetenv("WAYLAND_DISPLAY");
        static int argc = 1;
        static char name[] = "tray-x11-tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

private:
    pid_t server_ = -1;
    QApplication* app_ = nullptr;
};

::testing::Environment* const xvfb_qt = ::testing::AddGlobalTestEnvironment(new XvfbQt);

using test::pump_until;

// A system tray of the test's own, on a connection of its own: it takes the
// screen's tray selection and announces itself as a real tray does, and
// counts the icons that ask to dock in it.
class StandInTray {
public:
    StandInTray() : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        root_ = screen->root;
        manager_ = atom("MANAGER");
        selection_ = atom("_NET_SYSTEM_TRAY_S0");
        opcode_ = atom("_NET_SYSTEM_TRAY_OPCODE");
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_flush(c_);
    }
    ~StandInTray() { xcb_disconnect(c_); }
    StandInTray(const StandInTray&) = delete;
    StandInTray& operator=(const StandInTray&) = delete;

    void start() {
        xcb_set_selection_owner(c_, window_, selection_, XCB_CURRENT_TIME);
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = root_;
        event.type = manager_;
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = selection_;
        event.data.data32[2] = window_;
        xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&event));
        xcb_flush(c_);
    }
    int dock_requests() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            const auto* cm = reinterpret_cast<const xcb_client_message_event_t*>(e);
            if ((e->response_type & 0x7F) == XCB_CLIENT_MESSAGE && cm->type == opcode_ && cm->data.data32[1] == 0)
                ++docks_;  // SYSTEM_TRAY_REQUEST_DOCK
            std::free(e);
        }
        return docks_;
    }

private:
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    xcb_connection_t* c_;
    xcb_window_t root_ = 0, window_ = 0;
    xcb_atom_t manager_ = 0, selection_ = 0, opcode_ = 0;
    int docks_ = 0;
};

TEST(TrayOnX11, ATrayThatStartsAfterTheProgramGetsTheIconOnceAndNothingIsTimedMeanwhile) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_FALSE(TrayIcon::IsAvailable()) << "a tray runs already";
    TrayIcon icon;
    QPixmap picture(16, 16);
    picture.fill(Qt::darkCyan);
    int appeared = 0;
    TrayWatcher watcher(&TrayIcon::IsAvailable, QDBusConnection::sessionBus());
    QObject::connect(&watcher, &TrayWatcher::appeared, [&] {
        ++appeared;
        EXPECT_TRUE(icon.CreateTrayIcon(nullptr, 1025, QIcon(picture), QStringLiteral("QV Vantorel")));
    });
    pump_until([] { return false; }, 10);
    EXPECT_EQ(appeared, 0) << "no tray yet";
    EXPECT_TRUE(watcher.Watching());
    // Waiting wakes nobody: no object of the watch holds a timer.
    QObjectList parts = watcher.findChildren<QObject*>();
    parts.append(&watcher);
    for (QObject* part : parts)
        EXPECT_TRUE(QAbstractEventDispatcher::instance()->registeredTimers(part).isEmpty())
            << part->metaObject()->className();

    StandInTray tray;
    tray.start();
    EXPECT_TRUE(pump_until([&] { return appeared > 0; }));
    EXPECT_TRUE(pump_until([&] { return tray.dock_requests() > 0; })) << "the icon never asked to dock";
    pump_until([] { return false; }, 20);
    EXPECT_EQ(appeared, 1);
    EXPECT_EQ(tray.dock_requests(), 1);
    EXPECT_FALSE(watcher.Watching());
    EXPECT_TRUE(icon.IsCreated());
}

}  // namespace
}  // namespace vantorel::ui
