// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl auto ... run as a user runs it, and the profile commands
// keeping the bindings with their profile: what the bindings file holds
// afterwards and what is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "auto/app_bindings.h"
#include "library/profile_library.h"
#include "test_util.h"
#include "tools/cli_run.h"

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class AutoCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileLibrary lib;
        MapTextLookup texts({{"add_profile_text", u"Profile "}});
        fs::create_directories(data() / "ms_1");
        lib.load(data() / "ms_1" / "pro.data", texts);
        lib.at(0).set_profile_name(u"Home");
        lib.append(lib.at(0)).set_profile_name(u"Work");
        lib.append(lib.at(0)).set_profile_name(u"12");
        ASSERT_TRUE(lib.save());
    }
    fs::path data() const { return dir_.path() / "Data"; }
    fs::path file() const { return data() / "app-profiles.conf"; }
    testing::CliRun cli(const std::string& args) const {
        return testing::run_cli("--data-dir " + data().string() + " " + args, false,
                                "XDG_RUNTIME_DIR=" + dir_.path().string());
    }
    json status() const {
        const testing::CliRun r = cli("auto status --json");
        EXPECT_EQ(r.status, 0);
        return json::parse(r.out, nullptr, false);
    }
    AppBindings bindings() const {
        AppBindings b;
        EXPECT_TRUE(b.load(file(), {}, LoadMode::ReadOnly).clean());
        return b;
    }
    testing::TempDir dir_;
};

TEST_F(AutoCommands, BindingsSwitchingAndFallbackReadBackAsSet) {
    json s = status();
    EXPECT_FALSE(s["switching"].get<bool>()) << "switching is on before anything is bound";
    EXPECT_FALSE(fs::exists(file())) << "status wrote the file";
    EXPECT_EQ(s["detector"], "unknown (the program is not running)");

    const struct {
        const char* args;
        std::vector<AppBinding> bound;
        bool switching;
        json fallback;
    } steps[] = {
        {"auto bind home Firefox exe:Game.exe", {{"Firefox", u"Home"}, {"exe:Game.exe", u"Home"}}, true, nullptr},
        {"auto bind --name 12 firefox", {{"Firefox", u"12"}, {"exe:Game.exe", u"Home"}}, true, nullptr},
        {"auto off", {{"Firefox", u"12"}, {"exe:Game.exe", u"Home"}}, false, nullptr},
        {"auto bind 1 steam", {{"Firefox", u"12"}, {"exe:Game.exe", u"Home"}, {"steam", u"Work"}}, false, nullptr},
        {"auto fallback Work", {{"Firefox", u"12"}, {"exe:Game.exe", u"Home"}, {"steam", u"Work"}}, false,
         {{"profile", "Work"}, {"exists", true}}},
        {"auto on", {{"Firefox", u"12"}, {"exe:Game.exe", u"Home"}, {"steam", u"Work"}}, true,
         {{"profile", "Work"}, {"exists", true}}},
        {"auto unbind Home EXE:game.exe", {{"Firefox", u"12"}, {"steam", u"Work"}}, true,
         {{"profile", "Work"}, {"exists", true}}},
        {"auto fallback none", {{"Firefox", u"12"}, {"steam", u"Work"}}, true, nullptr},
        {"auto unbind --name 12", {{"steam", u"Work"}}, true, nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args);
        ASSERT_EQ(cli(step.args).status, 0);
        EXPECT_EQ(bindings().bindings(), step.bound);
        s = status();
        EXPECT_EQ(s["switching"].get<bool>(), step.switching);
        EXPECT_EQ(s["fallback"], step.fallback);
    }
    EXPECT_EQ(s["bindings"], json::parse(R"([{"profile":"Work","apps":["steam"],"exists":true}])"));
}

TEST_F(AutoCommands, RefusedChangesLeaveTheBindingsAsTheyWere) {
    ASSERT_EQ(cli("auto bind Home firefox").status, 0);
    const AppBindings before = bindings();
    const struct {
        const char* args;
        int status;
    } cases[] = {
        {"auto bind Nobody firefox", 2},    {"auto bind Home exe:", 2},         {"auto bind Home steam exe:/bin/x", 2},
        {"auto unbind Home steam", 2},      {"auto unbind Work firefox", 2},    {"auto fallback Nobody", 2},
        {"auto bind Home", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(cli(c.args).status, c.status);
        EXPECT_EQ(bindings().bindings(), before.bindings());
        EXPECT_FALSE(bindings().fallback());
    }
}

TEST_F(AutoCommands, RenamingAProfileKeepsItsBindingsAndDeletingDropsThem) {
    ASSERT_EQ(cli("auto bind Work firefox exe:Game.exe").status, 0);
    ASSERT_EQ(cli("auto bind Home steam").status, 0);
    ASSERT_EQ(cli("auto fallback Work").status, 0);

    ASSERT_EQ(cli("profile rename Work Office").status, 0);
    EXPECT_EQ(bindings().apps_of(u"Office"), (std::vector<std::string>{"firefox", "exe:Game.exe"}));
    EXPECT_EQ(bindings().fallback(), u"Office");

    // A copy starts without bindings (the mouse may be absent: the copy is kept).
    const int duplicated = cli("profile duplicate Office Copy").status;
    EXPECT_TRUE(duplicated == 0 || duplicated == 3) << duplicated;
    EXPECT_TRUE(bindings().apps_of(u"Copy").empty());

    ASSERT_EQ(cli("profile delete Office").status, 0);
    EXPECT_EQ(bindings().bindings(), (std::vector<AppBinding>{{"steam", u"Home"}}));
    EXPECT_FALSE(bindings().fallback());
}

}  // namespace
}  // namespace vantorel
