// SPDX-License-Identifier: GPL-2.0-or-later
// The command-line tool as a user runs it: a real process, its output and
// its exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

#include "core/profile_record.h"
#include "library/macro_record.h"
#include "library/transfer.h"
#include "cli_run.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;
CliRun run(const std::string& args, bool with_errors = false) { return testing::run_cli(args, with_errors); }

class VantorelctlTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir_.path() / name).string(); }
    std::string data() const { return "--data-dir " + path("Data"); }
    testing::TempDir dir_;
};

TEST_F(VantorelctlTest, ReportsOfANewProfileAreExact) {
    ASSERT_EQ(run("profile new --name Fresh --out " + path("f.pro")).status, 0);
    CliRun light = run("report light --profile-file " + path("f.pro"));
    EXPECT_EQ(light.status, 0);
    EXPECT_EQ(light.out, "05 0f 01 00 03 a8 00 ff 00 02 04 01 b0 00 00\n");
    EXPECT_EQ(run("report polling --profile-file " + path("f.pro")).out, "06 09 01 01 fe 00 00 00 00\n");
    EXPECT_EQ(run("report start --profile-file " + path("f.pro")).out, "0c 0a 01 fe 01 fe 00 00 00 00\n");
    const std::string dpi = run("report dpi --profile-file " + path("f.pro")).out;
    EXPECT_EQ(dpi.substr(0, 48), "04 38 01 00 01 3f 20 00 12 25 38 4b 75 81 00 00 ");
    EXPECT_NE(dpi.find(" 02 0f 48 00 00 00 00\n"), std::string::npos);
}

TEST_F(VantorelctlTest, MacroReportPrintsOneLinePerBlock) {
    ProfileRecord r;
    r.reset_to_defaults();
    SlotRef s = r.slot(2);
    s.set_function_code(kFunctionMacro);
    s.set_macro_action_count(60);
    for (std::size_t i = 0; i < 60; ++i) s.set_macro_action(i, {0x04, static_cast<std::uint8_t>(1 + i % 2), 20});
    ASSERT_TRUE(export_profile(r, path("m.pro")));
    CliRun m = run("report macro --slot 2 --profile-file " + path("m.pro"));
    EXPECT_EQ(m.status, 0);
    ASSERT_EQ(std::count(m.out.begin(), m.out.end(), '\n'), 2);
    EXPECT_EQ(m.out.substr(0, 9), "09 83 09 ");
    EXPECT_NE(m.out.find("\n09 83 0a 00 "), std::string::npos);
}

TEST_F(VantorelctlTest, MissingOrWrongSizedProfileFileFails) {
    CliRun missing = run("report dpi --profile-file " + path("none.pro"));
    EXPECT_NE(missing.status, 0);
    EXPECT_TRUE(missing.out.empty());
    std::ofstream(path("short.pro")) << "too short";
    EXPECT_NE(run("report light --profile-file " + path("short.pro")).status, 0);
    EXPECT_NE(run("report bogus --profile-file " + path("short.pro")).status, 0);
}

TEST_F(VantorelctlTest, CommandsThatOnlyLookCreateNothing) {
    const std::string folder = path("fresh");
    for (const char* look : {"profile list", "profile show", "profile export 0 x.pro", "macro list", "macro show 0"}) {
        CliRun r = run("--data-dir " + folder + " " + look, true);
        EXPECT_FALSE(std::filesystem::exists(folder)) << look;
        if (std::string(look).starts_with("profile list")) {
            EXPECT_NE(r.out.find("no profile library in"), std::string::npos) << r.out;
        }
    }
    // A macro library cut short inside its last record is listed, not repaired.
    std::filesystem::create_directories(folder + "/ms_1");
    std::ofstream(folder + "/ms_1/macro.data", std::ios::binary) << std::string(700, '\0');
    EXPECT_EQ(run("--data-dir " + folder + " macro list").out, "0    (0 actions)\n1    (0 actions)\n");
    EXPECT_EQ(std::filesystem::file_size(folder + "/ms_1/macro.data"), 700u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder + "/ms_1"), {}), 1);
}

// A command that cannot do what it was asked says so in its exit status.
TEST_F(VantorelctlTest, UnreadableLibraryAndEmptyFolderAreNotSuccesses) {
    const std::string folder = path("blocked");
    std::filesystem::create_directories(folder + "/ms_1/pro.data");  // a folder where the file belongs
    const CliRun list = run("--data-dir " + folder + " profile list", true);
    EXPECT_EQ(list.status, 1) << list.out;
    EXPECT_NE(list.out.find("could not be read"), std::string::npos) << list.out;
    const CliRun empty = run("--data-dir '' profile list", true);
    EXPECT_EQ(empty.status, 2) << empty.out;
    EXPECT_NE(empty.out.find("--data-dir needs a folder"), std::string::npos) << empty.out;
}

TEST_F(VantorelctlTest, ExportImportRoundTripThroughTheLibrary) {
    ProfileRecord first;
    first.reset_to_defaults();
    first.set_profile_name(u"Imported");
    ASSERT_TRUE(export_profile(first, path("p.pro")));
    EXPECT_EQ(run(data() + " profile import " + path("p.pro")).status, 0);
    EXPECT_EQ(run(data() + " profile list").out, "  0  Profile 1\n* 1  Imported\n");
    ASSERT_EQ(run(data() + " profile export 1 " + path("p.pro")).status, 0);
    CliRun imported = run(data() + " profile import " + path("p.pro"));
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(run(data() + " profile list").out, "  0  Profile 1\n  1  Imported\n* 2  Imported_1\n");
    CliRun json = run(data() + " profile show 2 --json");
    EXPECT_NE(json.out.find("\"name\": \"Imported_1\""), std::string::npos);
    EXPECT_NE(json.out.find("\"dpi\": 22000"), std::string::npos);
    EXPECT_NE(run(data() + " profile show 7").status, 0);
    EXPECT_NE(run(data() + " profile import " + path("missing.pro")).status, 0);
    EXPECT_EQ(run(data() + " profile list").out, "  0  Profile 1\n  1  Imported\n* 2  Imported_1\n");
}

TEST_F(VantorelctlTest, MacroImportTwiceGetsANumberedName) {
    MacroRecord m;
    m.set_name(u"Burst");
    m.set_action_count(2);
    m.set_action(0, {0x04, 1, 30});
    m.set_action(1, {0x04, 2, 30});
    ASSERT_TRUE(export_macro(m, path("b.macro")));
    EXPECT_EQ(run(data() + " macro import " + path("b.macro")).status, 0);
    EXPECT_EQ(run(data() + " macro import " + path("b.macro")).status, 0);
    EXPECT_EQ(run(data() + " macro list").out, "0  Burst  (2 actions)\n1  Burst_1  (2 actions)\n");
    CliRun show = run(data() + " macro show 1");
    EXPECT_EQ(show.out, "# Burst_1 (2 actions)\npress a 30\nrelease a 30\n");
}

// A damaged stored count is listed as what the mouse would get, and said to
// be damaged.
TEST_F(VantorelctlTest, DamagedMacroCountsShowWhatTheMouseWouldGet) {
    std::filesystem::create_directories(path("Data/ms_1"));
    std::ofstream out(path("Data/ms_1/macro.data"), std::ios::binary);
    for (const auto& [name, count] : {std::pair{u"A", 2147483647}, std::pair{u"B", -5}, std::pair{u"C", 7}}) {
        MacroRecord m;
        m.set_name(name);
        m.set_action_count(count);
        out.write(reinterpret_cast<const char*>(m.bytes().data()), static_cast<std::streamsize>(m.bytes().size()));
    }
    out.close();
    EXPECT_EQ(run(data() + " macro list").out,
              "0  A  (160 actions; damaged record: it says 2147483647)\n"
              "1  B  (0 actions; damaged record: it says -5)\n"
              "2  C  (7 actions)\n");
    EXPECT_EQ(run(data() + " macro show 1").out, "# B (0 actions; damaged record: it says -5)\n");
}

// Exports created missing folders and wrote a profile as the library's own
// missing macro.data (64 garbage macros); imports took any action count and
// said the file was not a profile whatever went wrong.
TEST_F(VantorelctlTest, RefusedExportsAndImportsSayWhyAndChangeNothing) {
    MacroRecord m;
    m.set_name(u"Burst");
    m.set_action_count(1);
    m.set_action(0, {0x04, 1, 30});
    ASSERT_TRUE(export_macro(m, path("b.macro")));
    ASSERT_EQ(run(data() + " macro import " + path("b.macro")).status, 0);
    m.set_action_count(-5);
    ASSERT_TRUE(export_macro(m, path("neg.macro")));
    ProfileRecord p;
    p.reset_to_defaults();
    SlotRef slot = p.slot(3);
    slot.set_function_code(kFunctionMacro);
    slot.set_macro_action_count(160);
    for (std::size_t i = 0; i < 160; ++i) slot.set_macro_action(i, {0x04, static_cast<std::uint8_t>(1 + i % 2), 200});
    ASSERT_TRUE(export_profile(p, path("long.pro")));
    std::filesystem::create_directory(path("folder.pro"));

    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"macro export 0 " + path("none/r.macro"), 2, "the folder " + path("none") + " does not exist"},
        {"profile export 0 " + path("Data/ms_1/macro.data"), 2, "holds the library's own files"},
        {"macro import " + path("neg.macro"), 2, "action count -5 is damaged"},
        {"profile import " + path("long.pro"), 2, "the macro of button 4 cannot go to the mouse"},
        {"profile import " + path("folder.pro"), 2, "not a regular file"},
    };
    for (const auto& c : cases) {
        const CliRun r = run(data() + " " + c.args, true);
        EXPECT_EQ(r.status, c.status) << c.args << '\n' << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << '\n' << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(path("none")));
    EXPECT_EQ(run(data() + " macro list").out, "0  Burst  (1 action)\n");
    EXPECT_EQ(run(data() + " profile list").out, "* 0  Profile 1\n");
}

}  // namespace
}  // namespace vantorel
