// SPDX-License-Identifier: GPL-2.0-or-later
// The X11 focus detector against a private X server and a stand-in window
// manager, and the choice of detector for a session.
#include <atomic>
#include <thread>

#include "focus/focus_detectors.h"
#include "focus/x11_desktop.h"
#include "focus/x11_focus.h"

namespace vantorel {
namespace {

using testing::X11Desktop;
using X11Focus = X11Desktop;
using namespace std::string_literals;

// Each step changes the desktop and is answered by exactly this report, in
// this order (the first is the window focused when following starts).
TEST_F(X11Focus, ReportsEachFocusChangeInOrderWithClassTitleAndPid) {
    const xcb_window_t browser = make_window({"navigator\0Firefox\0"s, "Ünïcødé — page", "", 4242});
    const xcb_window_t terminal = make_window({"term\0XTerm\0"s, "", "caf\xe9", 0});
    const xcb_window_t bare = make_window({});
    const xcb_window_t gone = make_window({"gone\0Gone\0"s, "gone", "", 1});
    xcb_destroy_window(wm(), gone);
    activate(browser);

    X11FocusDetector detector(loop, display());
    ASSERT_TRUE(detector.start(record())) << detector.why();
    EXPECT_EQ(detector.description(), "following the focused window through X11");
    struct Step {
        const char* what;
        std::function<void()> change;
        FocusReport expected;
    };
    const Step steps[] = {
        {"the window focused at the start", [] {}, {"Firefox", "Ünïcødé — page", 4242}},
        {"a Latin-1 WM_NAME and no pid", [&] { activate(terminal); }, {"XTerm", "café", 0}},
        {"a window without WM_CLASS or title", [&] { activate(bare); }, {"", "", 0}},
        {"a title set while focused", [&] { set_title(bare, "late"); }, {"", "late", 0}},
        {"a window that no longer exists", [&] { activate(gone); }, {}},
        {"focus back", [&] { activate(browser); }, {"Firefox", "Ünïcødé — page", 4242}},
        {"no window focused", [&] { activate(XCB_WINDOW_NONE); }, {}},
        {"following goes on", [&] { activate(terminal); }, {"XTerm", "café", 0}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].change();
        ASSERT_TRUE(wait_for_reports(i + 1)) << "no report after: " << steps[i].what;
        EXPECT_EQ(reports[i], steps[i].expected) << steps[i].what << ": got '" << reports[i].app_id << "' '"
                                                 << reports[i].title << "' " << reports[i].pid;
    }
    detector.stop();
}

TEST_F(X11Focus, RefusesWithAReasonWhereThereIsNothingToFollow) {
    const struct {
        const char* what;
        std::string display;
        std::function<void()> prepare;
        const char* why;
    } cases[] = {
        {"no DISPLAY", "", [] {}, "DISPLAY"},
        {"a display no server answers", ":32765", [] {}, "could not be opened"},
        {"no _NET_SUPPORTED", display(), [] { remove_supported(); }, "_NET_ACTIVE_WINDOW"},
        {"_NET_SUPPORTED without the active window", display(), [] { set_supported({"_NET_WM_NAME"}); },
         "_NET_ACTIVE_WINDOW"},
    };
    for (const auto& c : cases) {
        c.prepare();
        X11FocusDetector detector(loop, c.display);
        EXPECT_FALSE(detector.start(record())) << c.what;
        EXPECT_NE(detector.why().find(c.why), std::string::npos) << c.what << ": " << detector.why();
    }
    loop.run_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(reports.empty());
}

// stop() returns while the window manager keeps changing the focus, no
// report is delivered after it (not even those queued before it), and a
// second start follows again.
TEST_F(X11Focus, StopWhileFocusChangesFlowReturnsAndNothingIsReportedAfter) {
    const xcb_window_t a = make_window({"a\0A\0"s, "a", "", 1});
    const xcb_window_t b = make_window({"b\0B\0"s, "b", "", 2});
    std::atomic<bool> flipping{true};
    // Connected here, not on its thread: libxcb's connect reads the X
    // authority through a static buffer of libXau, and the detector connects
    // on this thread (as the program does on its UI thread).
    xcb_connection_t* const flipping_wm = xcb_connect(display().c_str(), nullptr);
    std::thread flipper([&] {
        for (unsigned i = 0; flipping; ++i) {
            activate(i % 2 ? a : b, flipping_wm);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    X11FocusDetector detector(loop, display());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(detector.start(record())) << detector.why();
        const std::size_t before = reports.size();
        EXPECT_TRUE(wait_for_reports(before + 5)) << "round " << round;
        // The executor's thread is busy a while: reports queue up.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        detector.stop();
        const std::size_t at_stop = reports.size();
        loop.run_for(std::chrono::milliseconds(100));
        EXPECT_EQ(reports.size(), at_stop) << "reports after stop() in round " << round;
    }
    flipping = false;
    flipper.join();
    xcb_disconnect(flipping_wm);
}

TEST_F(X11Focus, StoppingFromTheListenerEndsTheReports) {
    const xcb_window_t a = make_window({"a\0A\0"s, "a", "", 1});
    activate(a);
    X11FocusDetector detector(loop, display());
    ASSERT_TRUE(detector.start([&](const FocusReport& r) {
        reports.push_back(r);
        detector.stop();
    }));
    ASSERT_TRUE(wait_for_reports(1));
    activate(make_window({"b\0B\0"s, "b", "", 2}));
    loop.run_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reports.size(), 1u);
}

// The session decides the detector; each that cannot follow says why.
using FocusChoice = X11Desktop;

TEST_F(FocusChoice, EachSessionGetsTheDetectorThatCanFollowIt) {
    const std::string x = display();
    const std::string no_wayland = "vantorel-no-such-wayland-display";
    const struct {
        const char* what;
        FocusSession session;
        bool net_supported;
        const char* description;  // or, when it cannot follow, part of why()
        const char* why;
    } cases[] = {
        {"X11 session", {"x11", "", x, ""}, true, "following the focused window through X11", nullptr},
        {"DISPLAY without a session type", {"", "", x, ""}, true, "following the focused window through X11", nullptr},
        {"Wayland without the wlroots protocol", {"wayland", no_wayland, x, "sway"}, true,
         "following the focused window through X11 (XWayland windows only", nullptr},
        {"X11 session, window manager without _NET_ACTIVE_WINDOW", {"x11", "", x, ""}, false,
         "not following the focused window", "_NET_ACTIVE_WINDOW"},
        {"Wayland with neither protocol nor XWayland", {"wayland", no_wayland, "", ""}, true,
         "not following the focused window", "could not be opened"},
        {"no graphical session", {"tty", "", "", ""}, true, "not following the focused window",
         "neither WAYLAND_DISPLAY nor DISPLAY"},
    };
    for (const auto& c : cases) {
        if (c.net_supported) set_supported({"_NET_ACTIVE_WINDOW"});
        else remove_supported();
        const auto detector = make_focus_detector(loop, c.session);
        EXPECT_EQ(detector->description().rfind(c.description, 0), 0u) << c.what << ": " << detector->description();
        if (c.why) {
            EXPECT_FALSE(detector->start(record())) << c.what;
            EXPECT_NE(detector->why().find(c.why), std::string::npos) << c.what << ": " << detector->why();
        } else {
            EXPECT_TRUE(detector->start(record())) << c.what << ": " << detector->why();
        }
    }
}

TEST(FocusSessionRead, SessionKindAndDesktopNamesAreReadAsTheEnvironmentMeansThem) {
    const struct {
        FocusSession session;
        bool wayland;
        const char* desktop;
        bool is_desktop;
    } cases[] = {
        {{"wayland", "", "", "ubuntu:GNOME"}, true, "gnome", true},
        {{"x11", "wayland-0", ":0", "KDE"}, false, "KDE", true},
        {{"", "wayland-0", "", "GNOME-Flashback:GNOME"}, true, "GNOME", true},
        {{"tty", "", ":0", "GNOME-Flashback"}, false, "GNOME", false},
        {{"", "", "", ""}, false, "KDE", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.session.wayland(), c.wayland) << c.session.session_type << "/" << c.session.wayland_display;
        EXPECT_EQ(c.session.desktop_is(c.desktop), c.is_desktop) << c.session.desktop << " is " << c.desktop;
    }
}

}  // namespace
}  // namespace vantorel
