// SPDX-License-Identifier: GPL-2.0-or-later
// How the commands read what names a profile or a macro: a whole number is
// an index, anything else a name, --name takes a number as a name; rename is
// OLD NEW and duplicate SOURCE [NEW-NAME] for profiles and macros alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "library/macro_library.h"
#include "library/profile_library.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;

class CommandGrammar : public ::testing::Test {
protected:
    // Profiles "Home", "0" (a name that is a number) and "Work", "Work"
    // selected; macros "Reload" and "0".
    std::filesystem::path library(const std::string& folder) const {
        const std::filesystem::path data = dir_.path() / folder;
        std::filesystem::create_directories(data / "ms_1");
        ProfileLibrary lib;
        MapTextLookup texts({{"add_profile_text", u"Profile "}});
        lib.load(data / "ms_1" / "pro.data", texts);
        lib.at(0).set_profile_name(u"Home");
        const ProfileRecord home = lib.at(0);
        for (const char16_t* name : {u"0", u"Work"}) lib.append(home).set_profile_name(name);
        lib.at(2).set_light_mode(2);
        lib.set_selected_profile_index(2);
        EXPECT_TRUE(lib.save());
        MacroLibrary macros;
        for (const char16_t* name : {u"Reload", u"0"}) {
            MacroRecord m;
            m.set_name(name);
            macros.append(m);
        }
        EXPECT_TRUE(macros.save(data / "ms_1" / "macro.data"));
        return data;
    }
    CliRun cli(const std::filesystem::path& data, const std::string& args) const {
        return testing::run_cli("--data-dir " + data.string() + " " + args, true,
                                "XDG_RUNTIME_DIR=" + dir_.path().string());
    }
    static std::vector<std::string> profile_names(const std::filesystem::path& data) {
        ProfileLibrary lib;
        MapTextLookup texts;
        lib.load(data / "ms_1" / "pro.data", texts, {}, LoadMode::ReadOnly);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < lib.size(); ++i) names.push_back(to_utf8(lib.at(i).profile_name()));
        return names;
    }
    static std::vector<std::string> macro_names(const std::filesystem::path& data) {
        MacroLibrary lib;
        lib.load(data / "ms_1" / "macro.data", {}, LoadMode::ReadOnly);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < lib.size(); ++i) names.push_back(to_utf8(lib[i].name()));
        return names;
    }
    testing::TempDir dir_;
};

// Delete matched the name "0" before the index, duplicate took its argument
// as the new name, profile rename OLD NEW failed.
TEST_F(CommandGrammar, ChangesReachTheProfileOrMacroTheArgumentNames) {
    const struct {
        std::string args;
        std::vector<std::string> profiles;
        std::vector<std::string> macros;
    } cases[] = {
        {"profile delete 0", {"0", "Work"}, {"Reload", "0"}},
        {"profile delete --name 0", {"Home", "Work"}, {"Reload", "0"}},
        {"profile duplicate 0", {"Home", "0", "Work", "Home_1"}, {"Reload", "0"}},
        {"profile duplicate Work Copy", {"Home", "0", "Work", "Copy"}, {"Reload", "0"}},
        {"profile rename Work Office", {"Home", "0", "Office"}, {"Reload", "0"}},
        {"profile rename 2 Office", {"Home", "0", "Office"}, {"Reload", "0"}},
        {"profile rename Office --profile Work", {"Home", "0", "Office"}, {"Reload", "0"}},
        {"profile rename --name 0 Zero", {"Home", "Zero", "Work"}, {"Reload", "0"}},
        {"macro delete 0", {"Home", "0", "Work"}, {"0"}},
        {"macro rename --name 0 Zero", {"Home", "0", "Work"}, {"Reload", "Zero"}},
        {"macro rename 0 Again", {"Home", "0", "Work"}, {"Again", "0"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::filesystem::path data = library("case" + std::to_string(n++));
        const CliRun r = cli(data, c.args + " --simulate=wired");
        EXPECT_EQ(r.status, 0) << c.args << '\n' << r.out;
        EXPECT_EQ(profile_names(data), c.profiles) << c.args << '\n' << r.out;
        EXPECT_EQ(macro_names(data), c.macros) << c.args << '\n' << r.out;
    }
}

// show and export took only an index ("Could not convert: index = Reload").
TEST_F(CommandGrammar, LookingCommandsTakeAnIndexOrANameAlike) {
    const std::filesystem::path data = library("Data");
    const std::string out = (dir_.path() / "out").string();
    const struct {
        std::string args;
        int status;
        std::string output;
    } cases[] = {
        {"profile show Work --json", 0, "\"index\": 2"},
        {"profile show 1 --json", 0, "\"name\": \"0\""},
        {"profile show --name 0 --json", 0, "\"index\": 1"},
        {"profile show 3", 2, "no profile \"3\" (vantorelctl profile list shows them: an index 0..2 or a name)"},
        {"profile show 99999999999999999999999", 2, "no profile \"99999999999999999999999\""},
        {"profile show Nope", 2, "no profile \"Nope\""},
        {"profile export Work " + out + ".pro", 0, ""},
        {"macro show Reload --json", 0, "\"index\": 0"},
        {"macro show --name 0 --json", 0, "\"index\": 1"},
        {"macro show 5", 2, "no macro \"5\""},
        {"macro export reload " + out + ".macro", 0, ""},
        {"set brightness=3 --profile 5 --simulate=wired", 2, "no profile \"5\""},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(data, c.args);
        EXPECT_EQ(r.status, c.status) << c.args << '\n' << r.out;
        EXPECT_NE(r.out.find(c.output), std::string::npos) << c.args << '\n' << r.out;
    }
    EXPECT_TRUE(std::filesystem::exists(out + ".pro"));
    EXPECT_TRUE(std::filesystem::exists(out + ".macro"));
}

// An unknown command said only "A subcommand is required".
TEST_F(CommandGrammar, UnknownCommandsAndOptionsAreNamedWithTheNearest) {
    const std::filesystem::path data = library("Data");
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"prfile list", "unknown command \"prfile\" for vantorelctl (did you mean \"profile\"?)"},
        {"profile shw", "unknown command \"shw\" for vantorelctl profile (did you mean \"show\"?)"},
        {"frobnicate", "unknown command \"frobnicate\" for vantorelctl; vantorelctl --help lists the commands"},
        {"profile show --jsn", "unknown option \"--jsn\" for vantorelctl profile show (did you mean \"--json\"?)"},
        {"set --profle=1 brightness=3", "unknown option \"--profle=1\" for vantorelctl set (did you mean \"--profile\"?)"},
        {"--verbos profile list", "unknown option \"--verbos\" for vantorelctl profile list (did you mean \"--verbose\"?)"},
    };
    for (const auto& c : cases) {
        const CliRun r = cli(data, c.args);
        EXPECT_EQ(r.status, 2) << c.args << '\n' << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << '\n' << r.out;
    }
}

// Writing a profile or macro to a missing folder or onto a folder ended with
// 1 while every unreadable file ended with 2.
TEST_F(CommandGrammar, ABadOrMissingFileIsAUsageErrorInEveryCommand) {
    const std::filesystem::path data = library("Data");
    const std::string none = (dir_.path() / "none").string(), folder = (dir_.path() / "folder.pro").string();
    std::filesystem::create_directory(folder);
    const std::string cases[] = {
        "profile new --name X --out " + none + "/x.pro",
        "profile new --name X --out " + folder,
        "profile export 0 " + folder,
        "macro export 0 " + folder,
        "profile import " + none + ".pro",
        "macro import " + none + ".macro",
        "macro new N --from " + none + ".txt --simulate=wired",
        "apply --simulate=wired --profile-file " + none + ".pro",
        "report dpi --profile-file " + none + ".pro",
    };
    for (const std::string& args : cases) {
        const CliRun r = cli(data, args);
        EXPECT_EQ(r.status, 2) << args << '\n' << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(none));
}

}  // namespace
}  // namespace vantorel
