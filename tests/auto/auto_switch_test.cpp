// SPDX-License-Identifier: GPL-2.0-or-later
// The switching rules on a test executor and a made-up /proc: focus that
// rests, the fallback, the hand choice, our dialogs, running processes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "auto/auto_switch.h"
#include "auto/timer_executor.h"
#include "test_util.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using test::TimerExecutor;

class AutoSwitchRules : public ::testing::Test {
protected:
    AutoSwitchRules() {
        bindings_.bind(u"Web", "firefox");
        bindings_.bind(u"Game", "exe:Game.exe");
        bindings_.bind(u"Editor", "org.kde.kate");
        sw_.set_current(u"Desk");
        sw_.set_bindings(bindings_);
    }
    // A process in the made-up /proc: its executable (a link), comm and
    // command line.
    void spawn(std::uint32_t pid, const std::string& exe, const std::string& comm, const std::string& cmdline) {
        const fs::path dir = proc_.path() / std::to_string(pid);
        fs::create_directories(dir);
        if (!exe.empty()) fs::create_symlink(exe, dir / "exe");
        std::ofstream(dir / "comm") << comm << '\n';
        std::ofstream(dir / "cmdline", std::ios::binary) << cmdline;
    }
    void end(std::uint32_t pid) { fs::remove_all(proc_.path() / std::to_string(pid)); }
    // Focus moves to `app` and rests there.
    void rest_on(const std::string& app, std::uint32_t pid = 0) {
        sw_.focus_changed({app, "title", pid});
        ASSERT_TRUE(exec_.fire(AutoSwitch::kRestTimer));
    }

    testing::TempDir proc_;
    TimerExecutor exec_;
    std::vector<std::u16string> switches_;
    AppBindings bindings_;
    AutoSwitch sw_{exec_, [this](const std::u16string& p) { switches_.push_back(p); }, ProcessScan(proc_.path())};
};

TEST_F(AutoSwitchRules, AltTabThroughWindowsSwitchesNothing) {
    rest_on("firefox");
    EXPECT_EQ(exec_.interval(AutoSwitch::kRestTimer), -1);
    switches_.clear();
    // Alt+Tab passes the editor and comes back; no window rested but the last.
    for (const char* app : {"org.kde.kate", "konsole", "firefox"}) sw_.focus_changed({app, "", 0});
    ASSERT_TRUE(exec_.fire(AutoSwitch::kRestTimer));
    EXPECT_FALSE(exec_.fire(AutoSwitch::kRestTimer)) << "each report started a rest of its own";
    EXPECT_TRUE(switches_.empty());
    // Another window of the same application is no move either.
    rest_on("Firefox");
    EXPECT_TRUE(switches_.empty());
    sw_.focus_changed({"org.kde.kate", "", 0});
    EXPECT_EQ(exec_.interval(AutoSwitch::kRestTimer), AutoSwitch::kFocusRestMs);
}

TEST_F(AutoSwitchRules, FocusOnAnUnboundApplicationBringsBackTheFallback) {
    const struct {
        const char* what;
        std::optional<std::u16string> marked;
        std::vector<std::u16string> expected;
    } cases[] = {
        {"none marked: the profile before the automatic switch", std::nullopt, {u"Web", u"Editor", u"Desk"}},
        {"the marked one", u"Idle", {u"Web", u"Editor", u"Idle"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppBindings b = bindings_;
        b.set_fallback(c.marked);
        sw_.set_bindings(b);
        sw_.set_current(u"Desk");
        switches_.clear();
        rest_on("firefox");
        rest_on("org.kde.kate");
        rest_on("konsole");
        rest_on("dolphin");  // already on the fallback: nothing more
        EXPECT_EQ(switches_, c.expected);
    }
}

TEST_F(AutoSwitchRules, TheProfileToReturnToFollowsARenameAndGoesWithADelete) {
    const struct {
        bool renamed;
        std::vector<std::u16string> expected;
    } cases[] = {{true, {u"Web", u"Home"}}, {false, {u"Web"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.renamed ? "renamed" : "deleted");
        AutoSwitch sw(exec_, [this](const std::u16string& p) { switches_.push_back(p); }, ProcessScan(proc_.path()));
        sw.set_bindings(bindings_);
        sw.set_current(u"Desk");
        switches_.clear();
        sw.focus_changed({"firefox", "", 0});
        ASSERT_TRUE(exec_.fire(AutoSwitch::kRestTimer));
        if (c.renamed) sw.profile_renamed(u"DESK", u"Home");
        else sw.profile_removed(u"desk");
        sw.focus_changed({"konsole", "", 0});
        ASSERT_TRUE(exec_.fire(AutoSwitch::kRestTimer));
        EXPECT_EQ(switches_, c.expected);
    }
}

TEST_F(AutoSwitchRules, AHandPickedProfileStaysUntilFocusMovesOn) {
    rest_on("firefox");
    sw_.chosen_by_hand(u"Other");
    rest_on("firefox");  // another window of the same application
    spawn(40, "/usr/bin/wine64-preloader", "Game.exe", std::string("C:\\Games\\Game.exe\0-dx11", 23));
    ASSERT_TRUE(exec_.fire(AutoSwitch::kScanTimer));
    EXPECT_EQ(switches_, std::vector<std::u16string>{u"Web"}) << "the hand choice did not hold";
    EXPECT_EQ(sw_.current(), u"Other");
    // A choice made while a focus change still rests holds for that application.
    sw_.focus_changed({"org.kde.kate", "", 0});
    sw_.chosen_by_hand(u"Other");
    EXPECT_FALSE(exec_.fire(AutoSwitch::kRestTimer));
    EXPECT_EQ(sw_.focused_application(), "org.kde.kate");
    rest_on("konsole");  // moved on: the running game decides
    EXPECT_EQ(switches_, (std::vector<std::u16string>{u"Web", u"Game"}));
}

TEST_F(AutoSwitchRules, NothingSwitchesWhileADialogIsOpenThenTheLatestFocusApplies) {
    sw_.dialog_opened();
    sw_.dialog_opened();
    rest_on("firefox");
    rest_on("org.kde.kate");
    sw_.dialog_closed();
    EXPECT_TRUE(switches_.empty());
    sw_.dialog_closed();
    EXPECT_EQ(switches_, std::vector<std::u16string>{u"Editor"});
    sw_.dialog_closed();  // one close too many changes nothing
    rest_on("firefox");
    EXPECT_EQ(switches_, (std::vector<std::u16string>{u"Editor", u"Web"}));
}

TEST_F(AutoSwitchRules, ExeBindingsFollowRunningProcessesAndTheFocusedOne) {
    rest_on("konsole");
    spawn(7, "/opt/proton/bin/wine64-preloader", "Game.exe", std::string("Z:\\Steam\\Game.exe\0", 18));
    ASSERT_TRUE(exec_.fire(AutoSwitch::kScanTimer));
    EXPECT_EQ(switches_, std::vector<std::u16string>{u"Game"});
    end(7);
    ASSERT_TRUE(exec_.fire(AutoSwitch::kScanTimer));
    EXPECT_EQ(switches_, (std::vector<std::u16string>{u"Game", u"Desk"}));
    // A window whose desktop names no application: its process does.
    spawn(9, "/usr/games/Game.exe (deleted)", "Game.exe", "");
    rest_on("", 9);
    EXPECT_EQ(sw_.focused_application(), "exe:Game.exe");
    EXPECT_EQ(switches_.back(), u"Game");
}

TEST_F(AutoSwitchRules, ProcessScanRunsOnlyWhileExeBindingsExistAndSwitchingIsOn) {
    AppBindings no_exe;
    no_exe.bind(u"Web", "firefox");
    AppBindings off = bindings_;
    off.set_switching(false);
    const struct {
        const char* what;
        const AppBindings& bindings;
        bool scanning;
    } cases[] = {{"no exe: binding", no_exe, false}, {"switching off", off, false}, {"exe: binding", bindings_, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sw_.set_bindings(c.bindings);
        EXPECT_EQ(exec_.active(AutoSwitch::kScanTimer), c.scanning);
        EXPECT_EQ(sw_.scanning(), c.scanning);
    }
    EXPECT_EQ(exec_.interval(AutoSwitch::kScanTimer), AutoSwitch::kScanPeriodMs);
    // Switching off: focus switches nothing either.
    sw_.set_bindings(off);
    rest_on("firefox");
    EXPECT_TRUE(switches_.empty());
}

TEST_F(AutoSwitchRules, ProcessesAreKnownByExecutableCommAndWineCommandLine) {
    spawn(1, "/usr/bin/firefox", "firefox-bin", std::string("/usr/lib/firefox/firefox\0-P\0", 28));
    spawn(2, "", "kworker/0:1", "");  // another user's: no readable exe link
    spawn(3, "/usr/bin/wine64-preloader", "Game.exe", std::string("C:\\Games\\Game.exe\0", 18));
    spawn(4, "/usr/bin/python3.12", "python3", std::string("python3\0tool.py\0", 16));
    fs::create_directories(proc_.path() / "self");  // not a process folder
    const ProcessScan scan(proc_.path());
    const std::map<std::uint32_t, std::vector<std::string>> expected = {
        {1, {"firefox"}},
        {2, {"kworker/0:1"}},
        {3, {"wine64-preloader", "Game.exe"}},
        {4, {"python3.12", "python3"}},
    };
    std::map<std::uint32_t, std::vector<std::string>> found;
    for (const RunningProcess& p : scan.scan()) found[p.pid] = p.names;
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(scan.names_of(99).empty());
}

}  // namespace
}  // namespace vantorel
