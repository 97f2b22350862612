// SPDX-License-Identifier: GPL-2.0-or-later
// The commands that change the library (set, button, profile, macro) run as
// a user runs them, against the virtual mouse with --trace: what goes on the
// wire, what the library files hold afterwards, and what is refused. The
// link pacing is real, so each case sends little.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "edit/function_codes.h"
#include "core/reports.h"
#include "library/macro_library.h"
#include "library/profile_library.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;

std::vector<std::uint8_t> bytes_of(const std::string& hex) {
    std::vector<std::uint8_t> out;
    std::istringstream in(hex);
    for (std::string b; in >> b;) out.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
    return out;
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class EditCommands : public ::testing::Test {
protected:
    void SetUp() override {
        // A library whose selected profile differs from the defaults where
        // the cases change it, so that each change is a real one.
        ProfileLibrary lib;
        MapTextLookup texts({{"add_profile_text", u"Profile "}});
        std::filesystem::create_directories(data() / "ms_1");
        lib.load(data() / "ms_1" / "pro.data", texts);
        ProfileRecord& r = lib.at(0);
        r.set_brightness(3);
        r.set_dpi_value(1, 16);  // 800 DPI
        r.set_profile_name(u"Home");
        r.set_move_mode(1);
        ProfileRecord& second = lib.append(r);
        second.set_profile_name(u"Work");
        second.set_light_mode(2);
        ASSERT_TRUE(lib.save());
        MacroLibrary macros;
        MacroRecord reload;
        reload.set_name(u"Reload");
        reload.set_action(0, {0x15, kActionPress, 20});
        reload.set_action(1, {0x15, kActionRelease, 10});
        reload.set_action_count(2);
        macros.append(reload);
        ASSERT_TRUE(macros.save(data() / "ms_1" / "macro.data"));
    }

    std::filesystem::path data() const { return dir_.path() / "Data"; }
    // The program's socket is looked for in a runtime folder of the test's
    // own, where no desktop program runs.
    CliRun cli(const std::string& args, bool with_errors = false) const {
        return testing::run_cli("--data-dir " + data().string() + " " + args, with_errors,
                                "XDG_RUNTIME_DIR=" + dir_.path().string());
    }
    // The reports the trace shows on the cable, in order.
    static std::vector<std::vector<std::uint8_t>> wire(const CliRun& r) {
        std::vector<std::vector<std::uint8_t>> out;
        for (const std::string& line : r.lines())
            if (line.rfind("wired ", 0) == 0) out.push_back(bytes_of(line.substr(6)));
        return out;
    }
    ProfileLibrary profiles() const {
        ProfileLibrary lib;
        MapTextLookup texts;
        lib.load(data() / "ms_1" / "pro.data", texts, {}, LoadMode::ReadOnly);
        return lib;
    }
    MacroLibrary macros() const {
        MacroLibrary lib;
        lib.load(data() / "ms_1" / "macro.data", {}, LoadMode::ReadOnly);
        return lib;
    }
    ProfileRecord selected() const {
        const ProfileLibrary lib = profiles();
        return lib.at(static_cast<std::size_t>(lib.selected_profile_index()));
    }

    testing::TempDir dir_;
};

struct OneReport {
    const char* args;
    std::uint8_t report;
};

TEST_F(EditCommands, EachChangeSendsExactlyTheSectionItTouches) {
    const OneReport cases[] = {
        {"set brightness=7", kReportLight},
        {"set dpi.2=1600", kReportDpi},
        {"button 4 ctrl+c", kReportButtons},
        {"set polling-rate=500", kReportPolling},
    };
    for (const OneReport& c : cases) {
        const CliRun r = cli(std::string(c.args) + " --simulate=wired --trace");
        EXPECT_EQ(r.status, 0) << c.args << '\n' << r.out;
        const auto reports = wire(r);
        ASSERT_EQ(reports.size(), 1u) << c.args << '\n' << r.out;
        EXPECT_EQ(reports[0].at(0), c.report) << c.args;
        // What went out is what the library now holds.
        const ProfileRecord saved = selected();
        const Report expected = c.report == kReportLight   ? build_light_report(saved)
                                : c.report == kReportDpi     ? build_dpi_report(saved)
                                : c.report == kReportPolling ? build_polling_report(saved)
                                                             : build_buttons_report(saved);
        const auto want = expected.bytes();
        EXPECT_EQ(reports[0], std::vector<std::uint8_t>(want.begin(), want.end())) << c.args;
    }
    const ProfileRecord saved = selected();
    EXPECT_EQ(saved.brightness(), 7);
    EXPECT_EQ(dpi_display_value(saved.dpi_value(1)), 1600);
    EXPECT_EQ(saved.polling_rate_index(), 2);
}

TEST_F(EditCommands, AKeyCombinationGoesOutAsItsTriple) {
    const CliRun r = cli("button 4 ctrl+c --simulate=wired --trace");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto reports = wire(r);
    ASSERT_EQ(reports.size(), 1u) << r.out;
    ASSERT_EQ(reports[0].at(0), kReportButtons);
    // Button 4's triple follows the three bytes of the report's head and
    // the triples of buttons 1..3.
    EXPECT_EQ(reports[0].at(3 + 3 * 3), 0x11);
    EXPECT_EQ(reports[0].at(4 + 3 * 3), 0x01);
    EXPECT_EQ(reports[0].at(5 + 3 * 3), 0x06);
    EXPECT_EQ(selected().slot(3).function_code(), kFunctionShortcut);
}

TEST_F(EditCommands, SelectingAProfileSendsAllOfIt) {
    const CliRun r = cli("profile select work --simulate=wired --trace");
    EXPECT_EQ(r.status, 0) << r.out;
    const auto reports = wire(r);
    ASSERT_GE(reports.size(), 5u) << r.out;
    EXPECT_EQ(reports[0].at(0), kReportStart);
    EXPECT_NE(r.out.find("apply: full"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("virtual mouse: holds the profile"), std::string::npos) << r.out;
    EXPECT_EQ(profiles().selected_profile_index(), 1);
}

struct RefusedCase {
    std::string args;
    int status;
    const char* message;
};

TEST_F(EditCommands, BadValuesAreRefusedAndNothingIsWritten) {
    std::ofstream(dir_.path() / "bad.txt") << "press a 20\npress nokey 10\n";
    const std::string bad_file = (dir_.path() / "bad.txt").string();
    // --from read a folder as an empty macro, hung on a FIFO and read a huge
    // file (or /dev/zero) without end.
    const std::string folder = (dir_.path() / "folder").string(), fifo = (dir_.path() / "fifo").string(),
                      huge = (dir_.path() / "huge.txt").string();
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(huge) << "press a 20\n";
    std::filesystem::resize_file(huge, 1 << 20);
    const RefusedCase cases[] = {
        {"set brightness=16", 2, "bad value \"16\" for brightness: out of range 1..15"},
        {"set brightness=5 dpi.9=800", 2, "unknown setting \"dpi.9\""},
        {"set polling-rate=300", 2, "125, 250, 500 or 1000"},
        // Refused with the reason, never held or rounded silently.
        {"set dpi.3=22001", 2, "bad value \"22001\" for dpi.3: out of range 50..22000 DPI"},
        {"set dpi.3=1234", 2, "not on the 50 DPI step; the nearest are 1200 and 1250 DPI"},
        {"set active-stage=7", 2, "stage 7 is off; switch it on first (dpi-enabled.7=on)"},
        {"set dpi-enabled.2=off", 2, "stage 2 is the active stage and stays on"},
        {"set brightness", 2, "expected NAME=VALUE"},
        {"set brightness=5 --profile Nope", 2, "no profile \"Nope\""},
        {"button 1 off", 1, "only left click"},
        {"button 13 off", 2, "buttons 1..12"},
        {"button 4 hyper+q", 2, "\"hyper\" is no key"},
        {"button 4 warp-speed", 2, "unknown function"},
        {"button 4 macro:Nope", 2, "no macro \"Nope\""},
        {"button 4 macro:Reload --repeat 0", 2, ""},
        {"profile new home", 2, "exists already"},
        {"profile rename WORK --profile 0", 2, "exists already"},
        {"profile select 7", 2, "no profile \"7\""},
        {"macro new reload", 2,
         "a macro named \"reload\" exists already (names are compared without regard to letter case)"},
        {"macro new ThisNameIsFarTooLongForAMacro", 2, "at most 23 characters"},
        {"macro new Burst --from " + bad_file, 2, "line 2: \"nokey\" is not in the key table"},
        {"macro new Burst --from " + folder, 2, "not a regular file"},
        {"macro new Burst --from " + fifo, 2, "not a regular file"},
        {"macro new Burst --from " + huge, 2, "1048576 bytes long, more than"},
        {"macro delete Nope", 2, "no macro \"Nope\""},
        {"frobnicate", 2, ""},
        {"profile new 'ab\xff'", 2, "not valid UTF-8"},
        {"macro rename Reload 'Re\xc0\xafload'", 2, "not valid UTF-8"},  // an overlong '/'
        {"profile rename " + std::string(100, 'x'), 2, "at most 99 characters"},
        {"set light-off=9008888888888888880", 2, "minutes 0.5..30 in steps of 0.5"},  // doubled, it overflowed
        {"status --wait nan", 2, "is not a number of seconds"},
        {"monitor --duration nan", 2, "is not a number of seconds"},
        {"monitor --duration inf", 2, "is not a number of seconds"},
    };
    const std::string profiles_before = read_file(data() / "ms_1" / "pro.data");
    const std::string macros_before = read_file(data() / "ms_1" / "macro.data");
    for (const RefusedCase& c : cases) {
        const CliRun r = cli(c.args + " --simulate=wired --trace", true);
        EXPECT_EQ(r.status, c.status) << c.args << '\n' << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << '\n' << r.out;
        EXPECT_TRUE(wire(r).empty()) << c.args << '\n' << r.out;
        EXPECT_EQ(read_file(data() / "ms_1" / "pro.data"), profiles_before) << c.args;
        EXPECT_EQ(read_file(data() / "ms_1" / "macro.data"), macros_before) << c.args;
    }
}

TEST_F(EditCommands, ProfileListOperationsKeepTheirRules) {
    // New and duplicate select what they add; rename and reset of another
    // profile send nothing; delete refuses the last profile.
    EXPECT_EQ(cli("profile new Travel --simulate=wired").status, 0);
    EXPECT_EQ(profiles().size(), 3u);
    EXPECT_EQ(profiles().selected_profile_index(), 2);
    EXPECT_EQ(to_utf8(selected().profile_name()), "Travel");

    const CliRun rename = cli("profile rename Office --profile work --simulate=wired --trace");
    EXPECT_EQ(rename.status, 0) << rename.out;
    EXPECT_TRUE(wire(rename).empty()) << rename.out;
    EXPECT_EQ(to_utf8(profiles().at(1).profile_name()), "Office");

    EXPECT_EQ(cli("profile duplicate --profile Office --simulate=wired").status, 0);
    ASSERT_EQ(profiles().size(), 4u);
    EXPECT_NE(to_utf8(profiles().at(3).profile_name()), "Office");
    EXPECT_EQ(profiles().at(3).light_mode(), 2);

    const CliRun reset = cli("profile reset 0 --simulate=wired --trace");
    EXPECT_EQ(reset.status, 0) << reset.out;
    EXPECT_TRUE(wire(reset).empty()) << "profile 0 is not the selected one\n" << reset.out;
    EXPECT_EQ(profiles().at(0).brightness(), 8);
    EXPECT_EQ(profiles().at(0).move_mode(), 0) << "Restore defaults leaves Move mode on";
    EXPECT_EQ(to_utf8(profiles().at(0).profile_name()), "Home");

    // Deleting the selected last profile selects the one before it.
    EXPECT_EQ(cli("profile delete --simulate=wired").status, 0);
    EXPECT_EQ(profiles().size(), 3u);
    EXPECT_EQ(profiles().selected_profile_index(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(cli("profile delete 0 --simulate=wired").status, 0);
    const CliRun last = cli("profile delete --simulate=wired", true);
    EXPECT_EQ(last.status, 1);
    EXPECT_NE(last.out.find("the last profile cannot be deleted"), std::string::npos) << last.out;
    EXPECT_EQ(profiles().size(), 1u);
}

TEST_F(EditCommands, MacrosFromTextFollowTheButtonsThatPlayThem) {
    std::ofstream(dir_.path() / "burst.txt") << "# three shots\npress mouse-left 5\nrelease mouse-left 200\n";
    const CliRun added = cli("macro new Burst --from " + (dir_.path() / "burst.txt").string());
    ASSERT_EQ(added.status, 0) << added.out;
    ASSERT_EQ(macros().size(), 2u);
    EXPECT_EQ(macros()[1].action(1), (MacroAction{0xF1, kActionRelease, 200}));

    const CliRun assigned = cli("button 5 macro:burst --mode 0 --repeat 3 --simulate=wired --trace");
    ASSERT_EQ(assigned.status, 0) << assigned.out;
    {
        const ProfileRecord record = selected();
        const ConstSlotRef slot = record.slot(4);
        EXPECT_EQ(slot.function_code(), kFunctionMacro);
        EXPECT_EQ(to_utf8(slot.macro_name()), "Burst");
        EXPECT_EQ(slot.macro_repeat_count(), 3);
        EXPECT_EQ(slot.macro_action_count(), 2);
    }
    const auto sent = wire(assigned);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].at(0), kReportButtons);
    EXPECT_EQ(sent.back().at(0), kReportMacro);

    // A renamed macro stays on its button; a deleted one gives the button
    // back its own function, and the mouse is told.
    ASSERT_EQ(cli("macro rename Burst Volley --simulate=wired").status, 0);
    EXPECT_EQ(to_utf8(selected().slot(4).macro_name()), "Volley");
    EXPECT_EQ(selected().slot(4).function_code(), kFunctionMacro);
    const CliRun deleted = cli("macro delete volley --simulate=wired --trace");
    ASSERT_EQ(deleted.status, 0) << deleted.out;
    EXPECT_EQ(macros().size(), 1u);
    EXPECT_EQ(selected().slot(4).function_code(), kDefaultButtonFunctions[4]);
    ASSERT_FALSE(wire(deleted).empty()) << deleted.out;
    EXPECT_EQ(wire(deleted)[0].at(0), kReportButtons);
}

// macro show printed raw codes ("key 0x15 press then 20 ms") that
// macro new --from could not read.
TEST_F(EditCommands, AShownMacroReadsBackAsTheSameMacro) {
    const CliRun shown = cli("macro show 0");
    ASSERT_EQ(shown.status, 0) << shown.out;
    std::ofstream(dir_.path() / "reload.txt") << shown.out;
    const CliRun added = cli("macro new Copy --from " + (dir_.path() / "reload.txt").string());
    ASSERT_EQ(added.status, 0) << shown.out << added.out;
    ASSERT_EQ(macros().size(), 2u);
    const MacroLibrary lib = macros();
    ASSERT_EQ(lib[1].action_count(), 2);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(lib[1].action(i), lib[0].action(i)) << i;
}

// profile show said "menu", "fire_button" and a bare "shortcut" where
// button --list and the button command say right-click, rapid-fire, ctrl+c.
TEST_F(EditCommands, ProfileShowNamesButtonsAsTheButtonCommandTakesThem) {
    for (const char* args : {"button 3 fire", "button 4 ctrl+c", "button 5 macro:reload"})
        ASSERT_EQ(cli(std::string(args) + " --simulate=wired").status, 0) << args;
    const CliRun list = cli("button --list");
    for (const char* word : {"right-click", "rapid-fire"})
        EXPECT_NE(list.out.find(std::string("\n") + word + "\n"), std::string::npos) << word;
    const CliRun shown = cli("profile show");
    for (const char* line : {"  2: right-click\n", "  3: rapid-fire\n", "  4: ctrl+c\n", "  5: macro:Reload\n"})
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;
    const auto j = nlohmann::json::parse(cli("profile show --json").out);
    EXPECT_EQ(j["buttons"][2]["function"], "rapid-fire");
    EXPECT_EQ(j["buttons"][3]["keys"], "ctrl+c");
}

TEST_F(EditCommands, GetPrintsWhatSetWrote) {
    ASSERT_EQ(cli("set light-color=#10a0ff debounce=8 --profile Work --simulate=wired").status, 0);
    const CliRun text = cli("get light-color debounce --profile work");
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "light-color=#10A0FF\ndebounce=8\n");
    const CliRun json = cli("get --json");
    ASSERT_EQ(json.status, 0);
    const auto j = nlohmann::json::parse(json.out);
    // Numbers are JSON numbers (every value was a string), words strings.
    EXPECT_EQ(j["brightness"], 3);  // the selected profile, untouched
    EXPECT_EQ(j["dpi.2"], 800);
    EXPECT_EQ(j["light-off"].type(), nlohmann::json::value_t::number_float);
    EXPECT_EQ(j["ripple"], "on");
    EXPECT_EQ(j["light-effect"], "off");
    EXPECT_EQ(j["dpi-color.1"].type(), nlohmann::json::value_t::string);
    EXPECT_EQ(j.size(), 8u * 3 + 14);  // move-mode too, once only on the page

    // profile show printed raw numbers ("Light: effect 1", "Ripple control:
    // 1"): it shows every setting but the stages' as get does.
    const CliRun shown = cli("profile show Work");
    for (const std::string& line : cli("get --profile Work").lines())
        if (line.rfind("dpi", 0) != 0) {
            EXPECT_NE(shown.out.find(' ' + line), std::string::npos) << line << shown.out;
        }
    EXPECT_NE(shown.out.find(" dpi.2=800 "), std::string::npos) << shown.out;
}

TEST_F(EditCommands, StatusAndBatteryOnTheReceiver) {
    const CliRun battery = cli("battery --simulate");
    ASSERT_EQ(battery.status, 0) << battery.out;
    int percent = -1;
    std::string state;
    std::istringstream(battery.out) >> percent >> state;
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
    EXPECT_FALSE(state.empty());

    const CliRun status = cli("status --json --simulate");
    ASSERT_EQ(status.status, 0) << status.out;
    const auto j = nlohmann::json::parse(status.out);
    EXPECT_EQ(j["link"], "wireless");
    EXPECT_EQ(j["battery"]["percent"], percent);
    EXPECT_EQ(j["profile"]["name"], "Home");
    EXPECT_EQ(j["active_stage"]["stage"], 2);
}

TEST_F(EditCommands, WithoutAMouseTheChangeIsKeptAndTheStatusSaysSo) {
    if (!VANTORELCTL_REAL_LINKS) GTEST_SKIP() << "built without the real links";
    const CliRun r = cli("set brightness=6 --wait 0.2", true);
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.out.find("no mouse found"), std::string::npos) << r.out;
    EXPECT_EQ(selected().brightness(), 6);
    // With no device of the mouse present and no --wait, a change waited 8 s
    // for a mouse nobody was plugging in; now it is saved and ends at once.
    const CliRun at_once = cli("set brightness=9", true);
    EXPECT_EQ(at_once.status, 3) << at_once.out;
    EXPECT_EQ(at_once.out.find("waiting up to"), std::string::npos) << at_once.out;
    EXPECT_NE(at_once.out.find("the change is saved"), std::string::npos) << at_once.out;
    EXPECT_EQ(selected().brightness(), 9);
    // --wait still waits for a mouse being plugged in.
    EXPECT_NE(r.out.find("waiting up to 0.2 s"), std::string::npos) << r.out;
    // --json stays JSON without a mouse (it printed nothing), the reason in it.
    const CliRun status = cli("status --json --wait 0.2");
    EXPECT_EQ(status.status, 3);
    const auto j = nlohmann::json::parse(status.out);
    EXPECT_TRUE(j["link"].is_null());
    EXPECT_NE(j["reason"].get<std::string>().find("no mouse found"), std::string::npos) << status.out;
    EXPECT_EQ(j["profile"]["name"], "Home");
}

// A data folder that cannot be written (a read-only mount; for a user other
// than root, a folder without write permission): each change is refused
// with exit 1 and a message, nothing in the folder changes, and the
// commands that only look still answer.
TEST_F(EditCommands, ReadOnlyDataFolderRefusesEveryChangeAndKeepsItsFiles) {
    std::ofstream(dir_.path() / "burst.txt") << "press mouse-left 5\nrelease mouse-left 20\n";
    ASSERT_EQ(cli("profile export 1 " + (dir_.path() / "work.pro").string()).status, 0);
    const std::string folder = data().string();
    std::string wrap = "XDG_RUNTIME_DIR=" + dir_.path().string();
    if (::getuid() == 0) {
        if (std::system("unshare -m true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespace here";
        wrap += " unshare -m sh -c 'mount --bind \"" + folder + "\" \"" + folder + "\" && mount -o remount,bind,ro \"" +
                folder + "\" \"" + folder + "\" && exec \"$0\" \"$@\"'";
    } else {
        ASSERT_EQ(std::system(("chmod -R a-w '" + folder + "'").c_str()), 0);
    }
    const auto listing = [&] {
        std::string all;
        for (const auto& e : std::filesystem::recursive_directory_iterator(data()))
            all += e.path().string() + "\n" + (e.is_regular_file() ? read_file(e.path()) : std::string()) + "\n";
        return all;
    };
    const std::string before = listing();
    const auto run = [&](const std::string& args) {
        return testing::run_cli("--data-dir " + folder + " " + args, true, wrap);
    };

    const struct {
        const char* args;
        int status;
    } cases[] = {
        {"set brightness=2 --simulate=wired", 1},
        {"button 4 ctrl+v --simulate=wired", 1},
        {"profile new Trip --simulate=wired", 1},
        {"profile rename Away --simulate=wired", 1},
        {"profile delete 0 --simulate=wired", 1},
        {"macro delete Reload", 1},
        {"profile list", 0},
        {"get", 0},
        {"macro list", 0},
    };
    for (const auto& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << '\n' << r.out;
        if (c.status != 0) {
            EXPECT_NE(r.out.find("cannot be written"), std::string::npos) << c.args << '\n' << r.out;
        }
    }
    const std::string imports[] = {"profile import " + (dir_.path() / "work.pro").string(),
                                   "macro new Burst --from " + (dir_.path() / "burst.txt").string()};
    for (const std::string& args : imports) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 1) << args << '\n' << r.out;
        EXPECT_EQ(r.out.find("Imported"), std::string::npos) << r.out;
    }
    EXPECT_EQ(listing(), before);
    if (::getuid() != 0) {
        EXPECT_EQ(std::system(("chmod -R u+w '" + folder + "'").c_str()), 0);
    }
}

}  // namespace
}  // namespace vantorel
