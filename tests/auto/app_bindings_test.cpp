// SPDX-License-Identifier: GPL-2.0-or-later
// The application bindings and their file: what survives a save and a load,
// what a damaged file costs, and the bindings following their profile.
#include <gtest/gtest.h>

#include <fstream>

#include "auto/app_bindings.h"
#include "core/text.h"
#include "test_util.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;

class AppBindingsFile : public ::testing::Test {
protected:
    fs::path file() const { return dir_.path() / "app-profiles.conf"; }
    void write(const std::string& text) const { std::ofstream(file(), std::ios::binary) << text; }
    std::string read() const {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    AppBindings reloaded() const {
        AppBindings b;
        const LoadReport report = b.load(file());
        EXPECT_TRUE(report.clean()) << (report.problems.empty() ? "" : report.problems.front());
        return b;
    }
    testing::TempDir dir_;
};

TEST_F(AppBindingsFile, AwkwardNamesSurviveASaveAndALoad) {
    const struct {
        const char* app;
        const char16_t* profile;
    } cases[] = {
        {"firefox", u"Web"},
        {"exe:My Game.exe", u"Shooter \"fast\""},
        {"org.kde.dolphin", u"back\\slash\ttab"},
        {"exe:ゲーム.exe", u"Ünïcode 名前"},
        {"steam_app_1234", u"  spaces around  "},
    };
    AppBindings b;
    for (const auto& c : cases) ASSERT_TRUE(b.bind(c.profile, c.app));
    b.set_fallback(u"Desk \"top\"");
    ASSERT_TRUE(b.save(file()));
    const AppBindings back = reloaded();
    EXPECT_EQ(back.bindings(), b.bindings());
    EXPECT_EQ(back.fallback(), b.fallback());
    EXPECT_FALSE(back.switching_chosen());
}

TEST_F(AppBindingsFile, SwitchingIsOffUntilTheFirstBindingAndATurnedOffUserStaysOff) {
    AppBindings b;
    EXPECT_FALSE(b.switching());
    ASSERT_TRUE(b.bind(u"Game", "exe:game"));
    EXPECT_TRUE(b.switching());
    ASSERT_TRUE(b.save(file()));
    EXPECT_TRUE(reloaded().switching());

    b.set_switching(false);
    ASSERT_TRUE(b.save(file()));
    AppBindings back = reloaded();
    ASSERT_TRUE(back.bind(u"Web", "firefox"));
    EXPECT_FALSE(back.switching());

    // Turned on with no binding yet: on.
    AppBindings on;
    on.set_switching(true);
    ASSERT_TRUE(on.save(file()));
    EXPECT_TRUE(reloaded().switching());
}

TEST_F(AppBindingsFile, ADamagedBindingsFileIsSetAsideNotFatal) {
    const std::string header = "qv-vantorel-app-profiles 1\n";
    const std::string good = "bind \"firefox\" \"Web\"\n";
    const struct {
        const char* what;
        std::string text;
        std::size_t kept;  // bindings still there
    } cases[] = {
        {"another program's file", "[Settings]\nfoo=bar\n", 0},
        {"an unclosed quote", header + good + "bind \"steam \"Game\"\n", 1},
        {"an unknown entry", header + "frobnicate 3\n" + good, 1},
        {"a bind without its profile", header + good + "bind \"x\"\n", 1},
        {"an exe: path", header + "bind \"exe:/usr/bin/x\" \"A\"\n" + good, 1},
        {"a bad escape", header + "fallback \"\\q\"\n" + good, 1},
        {"bytes that are not UTF-8", header + good + "bind \"\xff\xfe\" \"A\"\n", 1},
        {"a file too long", header + std::string(AppBindings::kMaxFileSize, '#'), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& e : fs::directory_iterator(dir_.path())) fs::remove(e.path());
        write(c.text);

        AppBindings looked;
        const LoadReport read_only = looked.load(file(), {}, LoadMode::ReadOnly);
        EXPECT_FALSE(read_only.clean());
        EXPECT_FALSE(read_only.kept_aside);
        EXPECT_EQ(read(), c.text) << "a command that only looks moved or wrote the file";

        AppBindings b;
        const LoadReport report = b.load(file());
        ASSERT_TRUE(report.kept_aside);
        EXPECT_FALSE(report.clean());
        EXPECT_EQ(b.bindings().size(), c.kept);
        std::ifstream aside(*report.kept_aside, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), c.text);
        EXPECT_TRUE(report.save_status);
        EXPECT_EQ(reloaded().bindings(), b.bindings()) << "the repaired file does not read back clean";
    }
}

TEST_F(AppBindingsFile, RenamingAProfileKeepsItsBindings) {
    AppBindings b;
    ASSERT_TRUE(b.bind(u"Game", "exe:game.exe"));
    ASSERT_TRUE(b.bind(u"Game", "steam"));
    ASSERT_TRUE(b.bind(u"Web", "firefox"));
    b.set_fallback(u"Game");

    EXPECT_TRUE(b.profile_renamed(u"GAME", u"Shooter"));  // names compare in any case
    EXPECT_EQ(b.apps_of(u"Shooter"), (std::vector<std::string>{"exe:game.exe", "steam"}));
    EXPECT_TRUE(b.apps_of(u"Game").empty());
    EXPECT_EQ(b.fallback(), u"Shooter");

    // Deleted: its bindings and its fallback mark go; the others stay.
    EXPECT_TRUE(b.profile_removed(u"shooter"));
    EXPECT_FALSE(b.fallback());
    EXPECT_EQ(b.bindings(), (std::vector<AppBinding>{{"firefox", u"Web"}}));
    EXPECT_FALSE(b.profile_removed(u"Nothing"));
}

TEST_F(AppBindingsFile, ApplicationsMatchWithoutRegardToCaseAndOnlyTheirKind) {
    AppBindings b;
    ASSERT_TRUE(b.bind(u"Web", "Firefox"));
    ASSERT_TRUE(b.bind(u"Game", "EXE:Game.exe"));
    EXPECT_EQ(b.profile_for_app("firefox"), u"Web");
    EXPECT_EQ(b.profile_for_exe({"wine64-preloader", "game.EXE"}), u"Game");
    EXPECT_FALSE(b.profile_for_app("exe:Game.exe")) << "an exe: binding matched a window's application id";
    EXPECT_FALSE(b.profile_for_exe({"Firefox"})) << "an application id matched a process";
    EXPECT_FALSE(b.profile_for_app(""));

    // One application follows one profile: binding it again moves it.
    ASSERT_TRUE(b.bind(u"Work", "FIREFOX"));
    EXPECT_EQ(b.profile_for_app("firefox"), u"Work");
    EXPECT_EQ(b.bindings().size(), 2u);
    EXPECT_FALSE(b.unbind(u"Web", "firefox"));
    EXPECT_TRUE(b.unbind(u"work", "FireFox"));
}

TEST_F(AppBindingsFile, UnusableApplicationNamesAreRefused) {
    const std::string cases[] = {"", "exe:", "EXE:", "exe:/usr/bin/game", "tab\there", "new\nline",
                                 std::string(256, 'a'), "\xc3("};
    AppBindings b;
    for (const std::string& app : cases) {
        SCOPED_TRACE(app);
        EXPECT_TRUE(b.bind(u"P", app).IsInvalidArgument());
    }
    EXPECT_TRUE(b.empty());
}

}  // namespace
}  // namespace vantorel
