// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl apply against the virtual mouse, run as a user runs it. These
// run in real time (the link pacing is real), so they stay few and short.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <vector>

#include "core/profile_record.h"
#include "core/reports.h"
#include "cli_run.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;
CliRun run(const std::string& args, bool with_errors = false) { return testing::run_cli(args, with_errors); }

class ApplyCommand : public ::testing::Test {
protected:
    std::string write(const std::string& name, const ProfileRecord& r) {
        const std::string file = (dir_.path() / name).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(r.bytes().data()), static_cast<std::streamsize>(r.bytes().size()));
        return file;
    }
    static ProfileRecord with_macro() {
        ProfileRecord r;
        r.reset_to_defaults();
        r.set_profile_name(u"Trace");
        SlotRef s = r.slot(1);
        s.set_function_code(kFunctionMacro);
        s.set_macro_action_count(4);
        for (std::size_t i = 0; i < 4; ++i) s.set_macro_action(i, {0x04, static_cast<std::uint8_t>(1 + i % 2), 30});
        return r;
    }
    testing::TempDir dir_;
};

TEST_F(ApplyCommand, FullApplyOverTheCableTracesEveryTransmission) {
    const ProfileRecord r = with_macro();
    const CliRun run_result = run("apply --full --simulate=wired --trace --profile-file " + write("t.pro", r));
    EXPECT_EQ(run_result.status, 0) << run_result.out;
    const auto lines = run_result.lines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "wired 0c 0a 01 fe 01 fe 00 00 00 00");
    EXPECT_EQ(lines[2], "wired " + to_hex(build_light_report(r).bytes()));
    // The macro block of slot 1 (block 5) as its three parts.
    EXPECT_EQ(lines[5].substr(0, 23), "wired 09 40 05 00 00 00");
    EXPECT_EQ(lines[6].substr(0, 17), "wired 09 40 05 01");
    EXPECT_EQ(lines[7].substr(0, 17), "wired 09 40 05 02");
    EXPECT_EQ(lines[7].size(), std::string("wired").size() + 64 * 3);
    EXPECT_NE(run_result.out.find("macro block 5: 3 transmissions, written"), std::string::npos);
    EXPECT_NE(run_result.out.find("virtual mouse: holds the profile"), std::string::npos);
}

TEST_F(ApplyCommand, OnlyTheDifferenceGoesOverBluetooth) {
    ProfileRecord before = with_macro();
    ProfileRecord after = before;
    after.set_key_debounce(9);
    const CliRun r = run("apply --simulate=ble --trace --profile-file " + write("after.pro", after) +
                         " --last-applied " + write("before.pro", before));
    EXPECT_EQ(r.status, 0) << r.out;
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "ble " + to_hex(build_light_report(after).bytes()));
    EXPECT_NE(r.out.find("reports: 1 (1 transmissions)"), std::string::npos);
}

TEST_F(ApplyCommand, TheReceiverIsTheDefaultLinkAndAcknowledges) {
    ProfileRecord before = with_macro();
    ProfileRecord after = before;
    after.set_polling_rate_index(0);
    const CliRun r = run("apply --simulate --trace --profile-file " + write("after.pro", after) + " --last-applied " +
                         write("before.pro", before));
    EXPECT_EQ(r.status, 0) << r.out;
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "wireless 06 09 01 08 f7 00 00 00 00");
    EXPECT_NE(r.out.find("polling: 1 transmission, acknowledged"), std::string::npos);
}

// Without --simulate the real links are used; there is no mouse on the
// machines the tests run on. A build without them says so.
TEST_F(ApplyCommand, WithoutAMouseGivesUpAfterTheWaitAndABadFileIsRefused) {
    const CliRun none = run("apply --wait 0.2 --trace --profile-file " + write("a.pro", with_macro()), true);
    if (VANTORELCTL_REAL_LINKS) {
        EXPECT_EQ(none.status, 3) << none.out;
        EXPECT_NE(none.out.find("vantorelctl: no mouse found: "), std::string::npos) << none.out;
    } else {
        EXPECT_EQ(none.status, 2) << none.out;
        EXPECT_NE(none.out.find("no device support"), std::string::npos) << none.out;
    }
    EXPECT_EQ(none.out.find("reports:"), std::string::npos) << none.out;
    const std::string bad = (dir_.path() / "bad.pro").string();
    std::ofstream(bad) << "short";
    EXPECT_EQ(run("apply --simulate=wired --profile-file " + bad).status, 2);
}

// A macro longer than its four blocks hold (here 160 actions of 200 ms, as
// an unchecked import brought in) went out cut to about 97 actions while the
// apply said the mouse held the profile and exited 0.
TEST_F(ApplyCommand, AMacroCutOnTheMouseIsSaidAndFailsTheApply) {
    ProfileRecord r = with_macro();
    SlotRef s = r.slot(1);
    s.set_macro_name(u"Long");
    s.set_macro_action_count(160);
    for (std::size_t i = 0; i < 160; ++i) s.set_macro_action(i, {0x04, static_cast<std::uint8_t>(1 + i % 2), 200});
    const CliRun cut = run("apply --full --simulate=wired --profile-file " + write("cut.pro", r));
    EXPECT_EQ(cut.status, 1) << cut.out;
    EXPECT_NE(cut.out.find("macro of button 2 (\"Long\"): CUT, only "), std::string::npos) << cut.out;
    EXPECT_NE(cut.out.find(" of its 160 actions fit the mouse"), std::string::npos) << cut.out;
    EXPECT_EQ(cut.out.find("holds the profile"), std::string::npos) << cut.out;
}

}  // namespace
}  // namespace vantorel
