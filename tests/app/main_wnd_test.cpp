// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include "app/main_wnd.h"
#include "app/session.h"
#include "ui/window_messages.h"
#include "ui/controls.h"
#include "ui/qt_env.h"

// Last: Xlib's macros (None, Bool, Status) would clash with names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace vantorel {
namespace {

using test::pump;
using test::pump_until;

class FakePage : public MousePage {
public:
    QStringList menu_commands;
    std::vector<int> host_timers;
    int inits = 0;
    int loads = 0;
    int reads = 0;
    int opens = 0;
    Host seen;

    void Attach(const Host& host) override {
        MousePage::Attach(host);
        seen = host;
    }
    void Init() override { ++inits; }
    void ReadLibraries() override { ++reads; }
    void LoadLibraries() override { ++loads; }
    void OpenLinks() override { ++opens; }
    void OnMenuCommand(const QString& name) override { menu_commands << name; }
    void OnHostTimer(int id) override { host_timers.push_back(id); }
    QStringList ProfileNames() const override { return profiles; }
    int SelectedProfile() const override { return selected; }
    void SelectProfile(int index) override { selected = index; }

    QStringList profiles;
    int selected = -1;
};

class RecordingNotifier : public app::Notifier {
public:
    explicit RecordingNotifier(std::vector<std::u16string>& shown) : shown_(shown) {}
    void notify(const std::u16string&, const std::u16string& body) override { shown_.push_back(body); }

private:
    std::vector<std::u16string>& shown_;
};

class MainWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::TrayIcon::SetAvailabilityOverride(false);
        auto page = std::make_unique<FakePage>();
        page_ = page.get();
        wnd_ = std::make_unique<CMainWnd>(std::move(page));
        links_ = std::make_shared<FixedLinkPresence>();
        wnd_->SetLinkPresence(links_);
        wnd_->SetHookSearchDirs({});
        QObject::connect(wnd_.get(), &CMainWnd::finished, [this] { ++finished_; });
    }
    void TearDown() override {
        wnd_.reset();
        ui::TrayIcon::SetAvailabilityOverride(std::nullopt);
        pump();
    }
    void create() {
        ASSERT_TRUE(wnd_->CreateMain());
        auto timers = std::make_unique<ui::ManualTimerService>();
        timers_ = timers.get();
        wnd_->SetTimerService(std::move(timers));
        wnd_->ShowWindow();
        pump();
    }
    void click(const char* name) {
        auto* b = wnd_->FindControl<QAbstractButton>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        b->click();
        pump();
    }
    void command(const char* name) {
        wnd_->PostMenuCommand(ui::MenuCommand{QString::fromLatin1(name), {}, {}});
        pump();
    }
    int tab() { return ui::GetCurSel(wnd_->FindControl(QStringLiteral("device_tab_switch"))); }
    QList<CDPIMsg*> popups() {
        QList<CDPIMsg*> out;
        for (QWidget* w : QApplication::allWidgets()) {
            if (auto* p = qobject_cast<CDPIMsg*>(w)) out << p;
        }
        return out;
    }

    FakePage* page_ = nullptr;
    std::unique_ptr<CMainWnd> wnd_;
    std::shared_ptr<FixedLinkPresence> links_;
    ui::ManualTimerService* timers_ = nullptr;
    int finished_ = 0;
};

TEST_F(MainWndTest, StartsWithThePageHostedAndTheNoMouseView) {
    create();
    EXPECT_EQ(page_->inits, 1);
    EXPECT_EQ(page_->loads, 1);
    EXPECT_EQ(page_->seen.window, wnd_.get());
    EXPECT_EQ(page_->seen.host, static_cast<WindowHost*>(wnd_.get()));
    EXPECT_EQ(page_->seen.hooks, &wnd_->Hooks().table());
    EXPECT_TRUE(wnd_->HasVirtualWnd(QStringLiteral("MS_1_Page")));
    EXPECT_EQ(wnd_->size(), QSize(800, 572));
    EXPECT_TRUE(wnd_->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(wnd_->windowTitle(), "QV Vantorel");
    EXPECT_EQ(tab(), CMainWnd::kNoMouseItem);
    EXPECT_FALSE(ui::IsVisible(wnd_->FindControl(QStringLiteral("demo_badge"))));
}

// With no link up, a look at the links reads every device node: the start
// and each change of the links look once, not once for the tab and again
// for the tray.
TEST_F(MainWndTest, TheStartAndALinkChangeLookAtTheDeviceNodesOnce) {
    create();
    EXPECT_EQ(links_->queries(), 1);
    wnd_->OnLinksChanged();
    EXPECT_EQ(links_->queries(), 2);
}

// Reading every device node on each look of the window (the start's, each
// link change's) is kept from the look before until the device watch counts
// a change; a look the session's choice took serves the first.
TEST(PageLinkPresenceTest, ALookAtTheDeviceNodesIsKeptUntilADeviceChanges) {
    LinkState links;
    bool probe = true;
    int looks = 0;
    const PageLinkPresence presence(
        links, [&probe] { return probe; },
        [&looks] {
            ++looks;
            return LinkReport{MouseAccess::NoPermission, "/dev/hidraw" + std::to_string(looks)};
        },
        LinkReport{MouseAccess::NoPermission, "/dev/hidraw0"});
    struct Step {
        const char* what;
        std::function<void()> change;
        MouseAccess access;
        const char* device;
        int looks;
    };
    const Step steps[] = {
        {"the choice's look", [] {}, MouseAccess::NoPermission, "/dev/hidraw0", 0},
        {"asked again", [] {}, MouseAccess::NoPermission, "/dev/hidraw0", 0},
        {"a device changed", [&] { links.device_changes.fetch_add(1); }, MouseAccess::NoPermission, "/dev/hidraw1", 1},
        {"asked again", [] {}, MouseAccess::NoPermission, "/dev/hidraw1", 1},
        {"a link came up", [&] { links.wireless_connected.store(1); }, MouseAccess::Connected, "", 1},
        {"it went, the virtual mouse stands in",
         [&] {
             links.wireless_connected.store(0);
             links.device_changes.fetch_add(1);
             probe = false;
         },
         MouseAccess::Absent, "", 1},
        {"it stepped aside", [&] { probe = true; }, MouseAccess::NoPermission, "/dev/hidraw2", 2},
    };
    for (const Step& step : steps) {
        step.change();
        const LinkReport report = presence.query();
        EXPECT_EQ(report.access, step.access) << step.what;
        EXPECT_EQ(report.device, step.device) << step.what;
        EXPECT_EQ(looks, step.looks) << step.what;
    }
}

TEST_F(MainWndTest, DemoShowsTheMousePageAndSaysSo) {
    wnd_->SetDemo(true);
    wnd_->SetLinkPresence(std::make_shared<DemoLinkPresence>());
    create();
    EXPECT_EQ(tab(), CMainWnd::kMousePageItem);
    EXPECT_TRUE(wnd_->windowTitle().contains(QStringLiteral("Demo")));
    EXPECT_TRUE(ui::IsVisible(wnd_->FindControl(QStringLiteral("demo_badge"))));
}

TEST_F(MainWndTest, LinkChangesSwitchTheTabAndExplainMissingAccess) {
    create();
    links_->set({MouseAccess::Connected, {}});
    wnd_->OnLinksChanged();
    pump();
    EXPECT_EQ(tab(), CMainWnd::kMousePageItem);

    links_->set({MouseAccess::NoPermission, "/dev/hidraw5"});
    wnd_->OnLinksChanged();
    pump();
    EXPECT_EQ(tab(), CMainWnd::kNoMouseItem);
    EXPECT_TRUE(ui::IsVisible(wnd_->FindControl(QStringLiteral("no_access_help"))));
    EXPECT_TRUE(ui::GetText(wnd_->FindControl(QStringLiteral("no_mouse_text"))).contains("/dev/hidraw5"));
    EXPECT_TRUE(ui::GetText(wnd_->FindControl(QStringLiteral("no_access_rule"))).contains("udevadm"));

    links_->set({});
    wnd_->OnLinksChanged();
    pump();
    EXPECT_FALSE(ui::IsVisible(wnd_->FindControl(QStringLiteral("no_access_help"))));
    EXPECT_EQ(ui::GetText(wnd_->FindControl(QStringLiteral("no_mouse_title"))), "Connect your QV Vantorel");
}

// At start the window shows first; the mouse page, hidden until a mouse is
// there, is built and set up right after the first paint, or at once when a
// mouse is already there, or a moment later when the window is not shown.
TEST_F(MainWndTest, ThePageIsSetUpAfterTheFirstPaintOrWhenNeeded) {
    struct Case {
        const char* name;
        MouseAccess access;
        bool show;
    };
    for (const Case& c : {Case{"no mouse, shown", MouseAccess::Absent, true},
                          Case{"mouse there", MouseAccess::Connected, true},
                          Case{"started in the tray", MouseAccess::Absent, false}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        links_->set({c.access, {}});
        wnd_->SetPageAfterFirstPaint(true);
        ASSERT_TRUE(wnd_->CreateMain());
        const bool at_once = c.access == MouseAccess::Connected;
        EXPECT_EQ(wnd_->PageReady(), at_once);
        EXPECT_EQ(page_->inits, at_once ? 1 : 0);
        EXPECT_EQ(page_->reads, 1);  // the profiles are read before the first paint
        EXPECT_EQ(wnd_->FindControl(QStringLiteral("ms_1_page")) != nullptr, at_once);
        if (c.show) wnd_->ShowWindow();
        ASSERT_TRUE(pump_until([this] { return wnd_->PageReady(); }, 100));
        EXPECT_EQ(page_->inits, 1);
        EXPECT_EQ(page_->loads, 1);

        // The late page is wired, has its texts and shows with its tab.
        links_->set({MouseAccess::Connected, {}});
        wnd_->OnLinksChanged();
        wnd_->ShowWindow();
        pump();
        EXPECT_EQ(tab(), CMainWnd::kMousePageItem);
        auto* apply = wnd_->FindControl<QAbstractButton>(QStringLiteral("ms_1_apply_btn"));
        ASSERT_NE(apply, nullptr);
        EXPECT_TRUE(apply->isVisible());
        EXPECT_EQ(apply->text(), ui::Tr(QStringLiteral("apply_text")));
        EXPECT_EQ(wnd_->VirtualWndOf(apply), QStringLiteral("MS_1_Page"));
        wnd_->EnsurePage();
        EXPECT_EQ(page_->inits, 1);
        wnd_.reset();
    }
}

// What the window's first frame shows: the device tab's item when the first
// paint event of any of its widgets arrives (-1 before it is painted).
// `on_paint` (when given) is called then too.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(CMainWnd& wnd, std::function<void()> on_paint = {}) : wnd_(wnd), on_paint_(std::move(on_paint)) {
        qApp->installEventFilter(this);
    }
    ~FirstFrame() override { qApp->removeEventFilter(this); }
    int item = -1;

    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (item < 0 && e->type() == QEvent::Paint && w && w->window() == &wnd_) {
            item = ui::GetCurSel(wnd_.FindControl(QStringLiteral("device_tab_switch")));
            if (on_paint_) on_paint_();
        }
        return false;
    }

private:
    CMainWnd& wnd_;
    std::function<void()> on_paint_;
};

// A user with the mouse never sees the "connect your mouse" view flash by
// while its link comes up; a user without one gets the quick start with the
// page built after the first paint; a mouse found at start whose link never
// comes up gives way to the view for no mouse, and one whose link came up
// is followed as any other.
TEST_F(MainWndTest, AMouseFoundAtStartIsOnTheFirstFrameWithoutTheNoMouseViewFlashing) {
    struct Case {
        const char* name;
        bool found;
        bool link_comes;
    };
    for (const Case& c : {Case{"found, its link comes up", true, true}, Case{"found, no link comes", true, false},
                          Case{"none found", false, false}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto timers = std::make_unique<ui::ManualTimerService>();
        timers_ = timers.get();
        wnd_->SetTimerService(std::move(timers));
        wnd_->SetMouseAtStart(c.found);
        // The first frame waits for no link: the receiver is opened after it.
        int opened_at_frame = -1;
        FirstFrame frame(*wnd_, [&] { opened_at_frame = page_->opens; });
        ASSERT_TRUE(wnd_->CreateMain());
        EXPECT_EQ(wnd_->PageReady(), c.found);
        wnd_->ShowWindow();
        ASSERT_TRUE(pump_until([&] { return frame.item >= 0; }, 100));
        EXPECT_EQ(frame.item, c.found ? CMainWnd::kMousePageItem : CMainWnd::kNoMouseItem);
        EXPECT_EQ(opened_at_frame, 0);
        ASSERT_TRUE(pump_until([this] { return wnd_->PageReady() && page_->opens > 0; }, 100));
        EXPECT_EQ(page_->opens, 1);

        if (c.link_comes) {
            links_->set({MouseAccess::Connected, {}});
            wnd_->OnLinksChanged();
        }
        timers_->fire(CMainWnd::kTimerMouseAwaited);
        pump();
        EXPECT_EQ(tab(), c.link_comes ? CMainWnd::kMousePageItem : CMainWnd::kNoMouseItem);
        links_->set({});
        wnd_->OnLinksChanged();
        pump();
        EXPECT_EQ(tab(), CMainWnd::kNoMouseItem) << "a link that went down";
        wnd_.reset();
    }
    // Started in the tray with the mouse there: no frame comes, and the
    // links are opened all the same.
    SetUp();
    wnd_->SetMouseAtStart(true);
    ASSERT_TRUE(wnd_->CreateMain());
    EXPECT_EQ(page_->opens, 0);
    EXPECT_TRUE(pump_until([this] { return page_->opens == 1; }, 100));
}

// The demo as the program starts it: the virtual mouse's link comes up
// through its reader thread, after the window shows.
TEST_F(MainWndTest, TheDemoIsOnTheFirstFrame) {
    QTemporaryDir folder;
    const SessionChoice session = ChooseSession(true);
    std::unique_ptr<CMS_1_Page> owned = MakeMousePage(session, DataFolder::at(folder.path().toStdString()));
    CMS_1_Page& page = *owned;
    wnd_ = std::make_unique<CMainWnd>(std::move(owned));
    ConnectMousePage(*wnd_, page);
    wnd_->SetHookSearchDirs({});
    wnd_->SetMouseAtStart(session.mouse_at_start);
    FirstFrame frame(*wnd_);
    ASSERT_TRUE(wnd_->CreateMain());
    wnd_->ShowWindow();
    ASSERT_TRUE(pump_until([&] { return frame.item >= 0; }, 100));
    EXPECT_EQ(frame.item, CMainWnd::kMousePageItem);
    wnd_->DestroyWindow();
}

TEST_F(MainWndTest, ExitButtonHidesToTheTrayAndTheProgramKeepsRunning) {
    ui::TrayIcon::SetAvailabilityOverride(true);
    create();
    ASSERT_TRUE(wnd_->Tray().IsCreated());
    click("exit_btn");
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_FALSE(wnd_->IsDestroyed());
    EXPECT_EQ(finished_, 0);

    // Left click on the tray icon brings it back; so does a second start.
    wnd_->post_message(kMsgTrayIcon, 0, ui::TrayIcon::kLeftButtonUp);
    pump();
    EXPECT_TRUE(wnd_->isVisible());
    click("exit_btn");
    wnd_->post_message(kMsgWakeInstance);
    pump();
    EXPECT_TRUE(wnd_->isVisible());
    EXPECT_EQ(finished_, 0);
}

// Without a tray the window's close button must still do something where
// the compositor has no minimise (sway): it hides the window, the program
// keeps running, a second start shows it, and the first time a notification
// says so.
TEST_F(MainWndTest, ExitButtonWithoutATrayHidesTheWindowAndSaysHowToQuitOnce) {
    std::vector<std::u16string> shown;
    wnd_->SetNotifier(std::make_unique<RecordingNotifier>(shown));
    create();
    ASSERT_FALSE(wnd_->Tray().IsCreated());
    for (int round = 0; round < 2; ++round) {
        QWidget* exit = wnd_->FindControl(QStringLiteral("exit_btn"));
        ASSERT_NE(exit, nullptr);
        QTest::mouseClick(exit, Qt::LeftButton, {}, exit->rect().center());
        pump();
        EXPECT_FALSE(wnd_->isVisible()) << "round " << round;
        EXPECT_FALSE(wnd_->isMinimized());
        EXPECT_EQ(finished_, 0);
        ASSERT_EQ(shown.size(), 1u) << "told once, round " << round;
        EXPECT_NE(QString::fromStdU16String(shown[0]).indexOf(QStringLiteral("Ctrl+Q")), -1);
        wnd_->post_message(kMsgWakeInstance);
        pump();
        EXPECT_TRUE(wnd_->isVisible());
    }
    QWidget* min = wnd_->FindControl(QStringLiteral("min_btn"));
    QTest::mouseClick(min, Qt::LeftButton, {}, min->rect().center());
    pump();
    EXPECT_TRUE(wnd_->isMinimized());
}

// A panel started after the program: the icon comes, the title bar's Quit
// goes, and the close button hides to the tray without a word.
TEST_F(MainWndTest, ATrayThatComesLaterGetsTheIcon) {
    std::vector<std::u16string> shown;
    wnd_->SetNotifier(std::make_unique<RecordingNotifier>(shown));
    create();
    ASSERT_FALSE(wnd_->Tray().IsCreated());
    QWidget* quit = wnd_->FindControl(QStringLiteral("quit_btn"));
    ASSERT_TRUE(quit && quit->isVisible());

    ui::TrayIcon::SetAvailabilityOverride(true);
    EXPECT_TRUE(pump_until([this] { return wnd_->Tray().IsCreated(); }));
    EXPECT_FALSE(quit->isVisible());
    EXPECT_NE(wnd_->TrayMenu(), nullptr);
    QWidget* exit = wnd_->FindControl(QStringLiteral("exit_btn"));
    QTest::mouseClick(exit, Qt::LeftButton, {}, exit->rect().center());
    pump();
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(finished_, 0);
}

TEST_F(MainWndTest, OnlyPageMenuCommandsReachThePage) {
    create();
    wnd_->hide();
    command("configuration");
    EXPECT_TRUE(wnd_->isVisible());
    command("ms_1_dpi_up");
    command("Configuration");
    command("about");
    EXPECT_EQ(page_->menu_commands, QStringList{"ms_1_dpi_up"});
    EXPECT_EQ(finished_, 0);
    command("EXIT");
    EXPECT_EQ(finished_, 1);
    EXPECT_TRUE(wnd_->IsDestroyed());
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_EQ(page_->menu_commands, QStringList{"ms_1_dpi_up"});

    EXPECT_TRUE(IsPageMenuCommand(QStringLiteral("ms_1_select_macro")));
    EXPECT_TRUE(IsPageMenuCommand(QStringLiteral("ms")));  // a beginning of "ms_1"
    EXPECT_FALSE(IsPageMenuCommand(QString()));
    EXPECT_FALSE(IsPageMenuCommand(QStringLiteral("ms_2_click")));
    EXPECT_FALSE(IsPageMenuCommand(QStringLiteral("exit")));
}

TEST_F(MainWndTest, TrayMenuFromItsSkinEndsTheProgram) {
    ui::TrayIcon::SetAvailabilityOverride(true);
    create();
    ASSERT_NE(wnd_->TrayMenu(), nullptr);
    QStringList names;
    for (const ui::MenuCommand& c : wnd_->TrayMenu()->Commands()) names << c.name;
    EXPECT_EQ(names, (QStringList{"configuration", "auto_switch", "autostart", "exit"}));
    QAction* exit = wnd_->TrayMenu()->GetMenuUI()->findChild<QAction*>(QStringLiteral("exit"));
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->text(), "Quit");
    exit->trigger();
    pump();
    EXPECT_EQ(finished_, 1);
    EXPECT_FALSE(wnd_->Tray().IsCreated());
    EXPECT_TRUE(page_->menu_commands.isEmpty());
}

TEST_F(MainWndTest, RepeatedDpiMessagesUpdateOnePopupThatClosesAfterTheLast) {
    create();
    for (int code : {16, 32, 48, 320}) wnd_->ShowDpiPopup(code);
    pump();
    ASSERT_EQ(popups().size(), 1);
    CDPIMsg* popup = wnd_->DpiPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Text(), "22000 DPI");
    EXPECT_EQ(ui::GetText(popup->FindControl(QStringLiteral("dpi_label"))), "22000 DPI");
    EXPECT_EQ(timers_->starts(kTimerDpiPopup), 4);  // restarted by every message
    EXPECT_EQ(timers_->interval(kTimerDpiPopup), 2000);

    const Qt::WindowFlags flags = popup->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_EQ(popup->geometry(), DpiPopupGeometry(QGuiApplication::primaryScreen()->availableGeometry()));

    ASSERT_TRUE(timers_->fire(kTimerDpiPopup));
    EXPECT_FALSE(timers_->active(kTimerDpiPopup));
    EXPECT_EQ(wnd_->DpiPopup(), nullptr);
    EXPECT_TRUE(pump_until([&] { return popups().isEmpty(); }));  // deleted itself

    wnd_->ShowDpiPopup(16);
    pump();
    ASSERT_EQ(popups().size(), 1);
    EXPECT_EQ(wnd_->DpiPopup()->Text(), "800 DPI");
}

// The popup comes while the user works (or plays) in another window: that
// window keeps the keyboard.
// On a real desktop (X11, or Wayland under sway in the Wayland test).
TEST_F(MainWndTest, ShowingTheDpiPopupLeavesTheFocusWhereItIs) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "the offscreen platform gives every window it shows the focus";
    create();
    QWidget other;
    other.setWindowTitle(QStringLiteral("another program"));
    other.resize(300, 200);
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other)) GTEST_SKIP() << "this platform does not move the focus between windows";
    wnd_->ShowDpiPopup(16);
    // A window on X11; on Wayland a notification, and no window at all.
    pump_until([this] { return wnd_->DpiPopup() && wnd_->DpiPopup()->isVisible(); }, 50);
    pump_until([] { return false; }, 30);
    EXPECT_EQ(QGuiApplication::focusWindow(), other.windowHandle())
        << "focus on " << (QGuiApplication::focusWindow() ? qPrintable(QGuiApplication::focusWindow()->title()) : "nothing");
    EXPECT_TRUE(other.isActiveWindow());
}

// Over a full-screen game on X11 the popup passes a click on its corner of
// the screen on to the game: a real click through the X server (XTest).
TEST_F(MainWndTest, AClickOnTheDpiPopupGoesToTheWindowUnderIt) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "a click through X11 needs its server";
    Display* display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        if (display) XCloseDisplay(display);
        GTEST_SKIP() << "the X server has no XTest";
    }
    create();
    struct Game : QWidget {
        int presses = 0;
        void mousePressEvent(QMouseEvent*) override { ++presses; }
    } game;
    game.setGeometry(QGuiApplication::primaryScreen()->geometry());
    game.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&game));
    wnd_->ShowDpiPopup(16);
    ASSERT_TRUE(pump_until([this] { return wnd_->DpiPopup() && wnd_->DpiPopup()->isVisible(); }, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_->DpiPopup()));
    const QPoint centre = wnd_->DpiPopup()->geometry().center();
    XTestFakeMotionEvent(display, -1, centre.x(), centre.y(), CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
    EXPECT_TRUE(pump_until([&] { return game.presses == 1; }, 50)) << "the popup took the click";
    XCloseDisplay(display);
}

// On Wayland the DPI is a notification: each replaces the one before, and no
// window comes up that could take the focus.
TEST_F(MainWndTest, OnWaylandTheDpiIsANotificationNotAWindow) {
    std::vector<std::u16string> shown;
    wnd_->SetDpiNotifier(std::make_unique<RecordingNotifier>(shown));
    create();
    for (int code : {16, 32, 320}) wnd_->ShowDpiPopup(code);
    pump();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(QString::fromStdU16String(shown.back()), QStringLiteral("22000 DPI"));
    EXPECT_TRUE(popups().isEmpty());
    EXPECT_EQ(wnd_->DpiPopup(), nullptr);
}

TEST_F(MainWndTest, TimersArmedFromAnotherThreadRunOnTheWindow) {
    create();
    // A page's timer, armed and stopped from a worker thread.
    constexpr int kPageTimer = 900;
    std::thread([this] { wnd_->set_timer(kPageTimer, 1000); }).join();
    ASSERT_TRUE(pump_until([&] { return timers_->active(kPageTimer); }));
    std::thread([this] { wnd_->kill_timer(kPageTimer); }).join();
    EXPECT_TRUE(pump_until([&] { return !timers_->active(kPageTimer); }));
}

TEST_F(MainWndTest, ThePagesOwnTimersAreHandedOnAndTheWindowsAreNot) {
    create();
    constexpr int kPageTimer = 900;
    for (int id : {kPageTimer, int{kTimerScrollSettings}}) wnd_->SetTimer(id, 10);
    for (int id : {kPageTimer, int{kTimerScrollSettings}}) timers_->fire(id);
    EXPECT_EQ(page_->host_timers, std::vector<int>{kPageTimer});
    EXPECT_TRUE(timers_->active(kPageTimer));  // the page's timer keeps running
    EXPECT_FALSE(timers_->active(kTimerScrollSettings));
    EXPECT_TRUE(wnd_->SendMessage(kMsgHookEvent, 0x41, 0));  // taken, nothing done
    EXPECT_FALSE(wnd_->SendMessage(4242));
}

TEST_F(MainWndTest, ControlsCanBeShownFromOtherThreads) {
    create();
    QWidget* badge = wnd_->FindControl(QStringLiteral("demo_badge"));
    std::thread([this] { wnd_->set_control_visible("demo_badge", true); }).join();
    EXPECT_TRUE(pump_until([&] { return ui::IsVisible(badge); }));
    wnd_->set_control_visible("no_such_control", true);  // ignored
}

TEST_F(MainWndTest, ClosedByTheDesktopEndsTheProgramOnce) {
    create();
    wnd_->ShowDpiPopup(16);
    pump();
    wnd_->close();
    pump();
    EXPECT_EQ(finished_, 1);
    EXPECT_TRUE(wnd_->IsDestroyed());
    EXPECT_EQ(wnd_->DpiPopup(), nullptr);
    wnd_->DestroyWindow();
    EXPECT_EQ(finished_, 1);
}

// A re-skin that lost the window's own controls and the page: the window
// still starts, routes its messages and ends, without the missing parts.
TEST_F(MainWndTest, SkinWithoutItsControlsStillRuns) {
    test::ScratchResources res;
    res.write("main.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="main_root">
 <property name="geometry"><rect><x>0</x><y>0</y><width>800</width><height>572</height></rect></property>
 <layout class="QVBoxLayout" name="l"><item><widget class="QLabel" name="title_text"/></item></layout>
</widget></ui>)");
    create();
    EXPECT_EQ(wnd_->FindControl(QStringLiteral("exit_btn")), nullptr);
    EXPECT_EQ(wnd_->FindControl(QStringLiteral("device_tab_switch")), nullptr);
    links_->set({MouseAccess::NoPermission, "/dev/hidraw0"});
    wnd_->OnLinksChanged();
    wnd_->ShowDpiPopup(16);
    pump();
    wnd_->SetTimer(kTimerScrollSettings, 10);
    timers_->fire(kTimerScrollSettings);
    wnd_->CloseToTray();
    command("ms_1_dpi_up");
    EXPECT_EQ(page_->menu_commands, QStringList{"ms_1_dpi_up"});
    command("exit");
    EXPECT_EQ(finished_, 1);
}

// The tray answers for the mouse while the window is hidden: its tooltip
// names the link and battery, its menu switches profiles and writes the
// autostart entry, all driven by clicks in the opened menu.
TEST_F(MainWndTest, TrayShowsTheMouseSwitchesProfilesAndStartsWithTheDesktop) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ui::TrayIcon::SetAvailabilityOverride(true);
    page_->profiles = {"Work", "Game", "Travel"};
    page_->selected = 0;
    // Started on a data folder of its own: the desktop starts it there too.
    wnd_->SetAutostart(Autostart(config.path()), QStringLiteral("/opt/QV Apps/qv-vantorel"),
                       {QStringLiteral("--data-dir"), QStringLiteral("/home/u/Mouse Data")});
    create();
    EXPECT_FALSE(ui::IsVisible(wnd_->FindControl(QStringLiteral("quit_btn"))));

    const struct {
        LinkReport report;
        const char* second_line;
    } tips[] = {
        {{}, "Connect your QV Vantorel"},
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 76, false}, "2.4 GHz receiver \u00b7 76 %"},
        {{MouseAccess::Connected, {}, LinkKind::Wired, 76, true}, "Cable \u00b7 Charging"},
        {{MouseAccess::Connected, {}, LinkKind::Ble, -1, false}, "Bluetooth"},
    };
    for (const auto& t : tips) {
        links_->set(t.report);
        wnd_->OnLinksChanged();
        pump();
        EXPECT_EQ(wnd_->Tray().TooltipText(), QStringLiteral("QV Vantorel\n") + QString::fromUtf8(t.second_line));
    }

    QMenu* menu = wnd_->TrayMenu()->GetMenuUI();
    auto click_entry = [&](const char* name) {
        menu->popup(QPoint(10, 10));
        pump();
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        ASSERT_TRUE(menu->actions().contains(action)) << name;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        pump();
    };
    click_entry("profile_1");
    EXPECT_EQ(page_->selected, 1);
    menu->popup(QPoint(10, 10));
    pump();
    EXPECT_TRUE(menu->findChild<QAction*>(QStringLiteral("profile_1"))->isChecked());
    EXPECT_EQ(menu->findChild<QAction*>(QStringLiteral("autostart"))->text(), "Start with the desktop");
    menu->close();

    click_entry("autostart");
    QFile entry(config.path() + QStringLiteral("/autostart/io.github.qvvantorel.QVVantorel.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        "Exec=\"/opt/QV Apps/qv-vantorel\" --data-dir \"/home/u/Mouse Data\" --hidden\n"));
    entry.close();
    click_entry("autostart");
    EXPECT_FALSE(entry.exists());
    EXPECT_EQ(finished_, 0);
}

TEST_F(MainWndTest, LowBatteryIsNotifiedOncePerDischarge) {
    std::vector<std::u16string> shown;
    wnd_->SetNotifier(std::make_unique<RecordingNotifier>(shown));
    create();
    const struct {
        LinkReport report;
        std::size_t notifications;
    } steps[] = {
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 40, false}, 0},
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 15, false}, 1},
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 14, false}, 1},
        {{MouseAccess::Connected, {}, LinkKind::Wired, 14, true}, 1},
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 12, false}, 2},
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 5, false}, 3},
        {{}, 3},  // the mouse went away: the next one starts a fresh discharge
        {{MouseAccess::Connected, {}, LinkKind::Wireless, 5, false}, 4},
    };
    for (const auto& step : steps) {
        links_->set(step.report);
        // The session tells the window of each battery reading.
        wnd_->battery_changed();
        pump();
        EXPECT_EQ(shown.size(), step.notifications) << step.report.battery_percent;
    }
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], u"The mouse battery is at 15 %. Connect the charging cable soon.");
}

TEST_F(MainWndTest, WithoutATrayTheTitleBarAndCtrlQEndTheProgram) {
    create();
    QWidget* quit = wnd_->FindControl(QStringLiteral("quit_btn"));
    ASSERT_NE(quit, nullptr);
    ASSERT_TRUE(quit->isVisible());
    QTest::mouseClick(quit, Qt::LeftButton, {}, quit->rect().center());
    pump();
    EXPECT_EQ(finished_, 1);

    SetUp();
    finished_ = 0;
    create();
    QApplication::setActiveWindow(wnd_.get());
    QTest::keyClick(wnd_.get(), Qt::Key_Q, Qt::ControlModifier);
    pump();
    EXPECT_EQ(finished_, 1);
    EXPECT_TRUE(wnd_->IsDestroyed());
}

// The window keeps the size the user gave it, and never opens larger than
// the screen's work area.
TEST_F(MainWndTest, RemembersItsSizeWithinTheWorkArea) {
    QSize kept;
    wnd_->SetSizeMemory([&kept] { return kept; }, [&kept](QSize size) { kept = size; });
    create();
    wnd_->resize(900, 640);
    wnd_->DestroyWindow();
    EXPECT_EQ(kept, QSize(900, 640));

    kept = QSize(3000, 2000);
    SetUp();
    wnd_->SetSizeMemory([&kept] { return kept; }, [&kept](QSize size) { kept = size; });
    create();
    const QRect area(0, 0, 1280, 720);
    wnd_->FitToArea(area);
    EXPECT_TRUE(area.contains(wnd_->geometry())) << wnd_->width() << "x" << wnd_->height();
}

// In the demo anyone can see what the mouse's own buttons do: the badge's
// menu presses them on the virtual mouse, and the page and the DPI popup
// follow the mouse's report as they would a real mouse's.
TEST_F(MainWndTest, TheDemoBadgesMenuPressesTheVirtualMousesButtons) {
    QTemporaryDir folder;
    std::unique_ptr<CMS_1_Page> owned = MakeMousePage(ChooseSession(true), DataFolder::at(folder.path().toStdString()));
    CMS_1_Page& page = *owned;
    wnd_ = std::make_unique<CMainWnd>(std::move(owned));
    ConnectMousePage(*wnd_, page);
    wnd_->SetHookSearchDirs({});
    ASSERT_TRUE(wnd_->CreateMain());
    wnd_->ShowWindow();
    std::shared_ptr<VirtualMouse> mouse = page.session().demo_mouse();
    ASSERT_NE(mouse, nullptr);
    ASSERT_TRUE(pump_until([&] { return mouse->config().dpi && mouse->config().light; }));
    auto checked_stage = [&] {
        for (int n = 1; n <= 8; ++n) {
            if (ui::GetCheck(wnd_->FindControl(QStringLiteral("ms_1_option_dpi_step_%1").arg(n)))) return n;
        }
        return 0;
    };
    auto light_effect = [&] { return ui::GetCurSel(wnd_->FindControl(QStringLiteral("ms_1_combo_light"))); };

    for (const char* item : {"demo_press_dpi", "demo_press_light"}) {
        SCOPED_TRACE(item);
        const int stage_before = checked_stage();
        const int effect_before = light_effect();
        QWidget* badge = wnd_->FindControl(QStringLiteral("demo_badge"));
        ASSERT_TRUE(badge && badge->isVisible());
        QTest::mouseClick(badge, Qt::LeftButton, {}, badge->rect().center());
        pump();
        ASSERT_NE(wnd_->DemoMenu(), nullptr);
        QMenu* menu = wnd_->DemoMenu()->GetMenuUI();
        ASSERT_TRUE(menu->isVisible());
        QAction* action = menu->findChild<QAction*>(QString::fromLatin1(item));
        ASSERT_NE(action, nullptr);
        EXPECT_FALSE(action->text().isEmpty());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());

        if (QLatin1String(item) == QLatin1String("demo_press_dpi")) {
            ASSERT_TRUE(pump_until([&] { return checked_stage() != stage_before; })) << "the page did not follow";
            EXPECT_EQ(checked_stage(), mouse->config().dpi->stage);
            ASSERT_TRUE(pump_until([&] { return wnd_->DpiPopup() != nullptr; }));
            const QString shown = ui::GetText(wnd_->FindControl(QStringLiteral("ms_1_edit_dpi_%1").arg(checked_stage())));
            EXPECT_EQ(wnd_->DpiPopup()->Text(), ui::Tr(QStringLiteral("dpi_popup_text")).arg(shown));
        } else {
            ASSERT_TRUE(pump_until([&] { return light_effect() != effect_before; })) << "the page did not follow";
            EXPECT_EQ(light_effect(), mouse->config().light->effect);
        }
    }
    wnd_->DestroyWindow();
}

}  // namespace
}  // namespace vantorel
