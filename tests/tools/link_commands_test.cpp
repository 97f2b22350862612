// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl devices, monitor and apply on the library, run as a user runs
// them: against the virtual mouse, and on the real links of a machine that
// has no mouse.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "cli_run.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;
CliRun run(const std::string& args, bool with_errors = false) { return testing::run_cli(args, with_errors); }

using nlohmann::json;

TEST(DevicesCommand, EachSimulatedLinkIsPresentOpenedAndIdentifiedAndNoOtherIs) {
    for (const std::string link : {"wireless", "wired", "ble"}) {
        SCOPED_TRACE(link);
        const CliRun r = run("devices --json --simulate=" + link);
        ASSERT_EQ(r.status, 0) << r.out;
        const json devices = json::parse(r.out);
        EXPECT_TRUE(devices["simulated"].get<bool>());
        EXPECT_TRUE(devices["mouse_found"].get<bool>());
        EXPECT_EQ(devices["active_link"], link);
        ASSERT_EQ(devices["links"].size(), 3u);
        for (const json& l : devices["links"]) {
            const bool chosen = l["link"] == link;
            EXPECT_EQ(l["present"].get<bool>(), chosen) << l.dump();
            EXPECT_EQ(l["opened"].get<bool>(), chosen) << l.dump();
            EXPECT_EQ(l["identified"].get<bool>(), chosen) << l.dump();
            EXPECT_FALSE(l["permission_denied"].get<bool>());
            EXPECT_EQ(l["nodes"].empty(), !chosen) << l.dump();
        }
    }
}

TEST(DevicesCommand, TheReceiverIsTheDefaultAndTheTableSaysWhereReportsGo) {
    const CliRun r = run("devices --simulate");
    ASSERT_EQ(r.status, 0);
    const auto lines = r.lines();
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[1].substr(0, 41), "receiver       yes      yes     yes      ");
    EXPECT_EQ(lines[2].substr(0, 30), "cable          no       -     ");
    EXPECT_EQ(lines[4], "mouse found: reports go over the receiver (wireless)");
}

// The machines the tests run on have no mouse: nothing is found, which is
// not an error, and the answer comes without a long wait.
TEST(DevicesCommand, RealLinksWithoutAMouseSayNoMouseFoundAndSucceed) {
    if (!VANTORELCTL_REAL_LINKS) {
        const CliRun r = run("devices", true);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.out.find("no device support"), std::string::npos) << r.out;
        GTEST_SKIP() << "built without the real links";
    }
    const CliRun text = run("devices");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("no mouse found: "), std::string::npos) << text.out;
    const CliRun j = run("devices --json --wait 0.2");
    ASSERT_EQ(j.status, 0);
    const json devices = json::parse(j.out);
    EXPECT_FALSE(devices["simulated"].get<bool>());
    EXPECT_FALSE(devices["mouse_found"].get<bool>());
    EXPECT_EQ(devices["active_link"], "none");
}

TEST(MonitorCommand, SimulatedEventsArriveAsOneJsonObjectPerLine) {
    struct Case {
        std::string link;
        std::string battery_state;
    };
    for (const Case& c : {Case{"wireless", "discharging"}, Case{"wired", "charging"}, Case{"ble", "discharging"}}) {
        SCOPED_TRACE(c.link);
        const CliRun r = run("monitor --json --duration 1 --simulate=" + c.link);
        ASSERT_EQ(r.status, 0) << r.out;
        std::vector<json> events;
        for (const std::string& line : r.lines()) {
            ASSERT_TRUE(json::accept(line)) << line;
            events.push_back(json::parse(line));
        }
        ASSERT_EQ(events.size(), 3u) << r.out;
        // The link comes up first: on the receiver only once the mouse's
        // first report identified it.
        EXPECT_EQ(events[0], (json{{"event", "link"}, {"link", c.link}, {"up", true}}));
        EXPECT_EQ(events[1]["event"], "battery");
        EXPECT_EQ(events[1]["link"], c.link);
        EXPECT_EQ(events[1]["percent"], 80);
        EXPECT_EQ(events[1]["state"], c.battery_state);
        EXPECT_EQ(events[2], (json{{"event", "dpi_stage"}, {"link", c.link}, {"stage", 2}}));
    }
}

TEST(MonitorCommand, TextLinesAndTheRealLinksWithoutAMouse) {
    const CliRun text = run("monitor --duration 0.5 --simulate=wired");
    ASSERT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "link up: wired (cable)\nbattery: charging, 80% [wired]\ndpi stage: 2 [wired]\n");
    // Nothing to show, and nothing on standard output; it still ends when
    // asked to.
    const CliRun none = run("monitor --json --duration 0.3");
    EXPECT_EQ(none.status, VANTORELCTL_REAL_LINKS ? 0 : 2);
    EXPECT_EQ(none.out, "");
}

// Ctrl+C (and SIGTERM) end the monitor the way the end of --duration does.
TEST(MonitorCommand, AnInterruptEndsItCleanly) {
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(VANTORELCTL_PATH, "vantorelctl", "monitor", "--json", "--simulate=wired", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        FILE* out = fdopen(fds[0], "r");
        ASSERT_NE(out, nullptr);
        // Its three events are out: the monitor is running.
        char line[512];
        int lines = 0;
        while (lines < 3 && std::fgets(line, sizeof line, out)) ++lines;
        EXPECT_EQ(lines, 3);
        kill(pid, sig);
        while (std::fgets(line, sizeof line, out)) ++lines;
        std::fclose(out);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(lines, 3);
    }
}

// The profile comes from the library when no file is named, as it does on
// the real links.
TEST(ApplyOnTheLibrary, FullApplyOverEachSimulatedLinkLeavesTheMouseHoldingTheSelectedProfile) {
    testing::TempDir dir;
    const std::string data = "--data-dir " + (dir.path() / "Data").string();
    for (const std::string link : {"wired", "ble"}) {
        SCOPED_TRACE(link);
        const CliRun r = run(data + " apply --full --simulate=" + link);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("link: " + link + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("profile: selected profile of the library (\"Profile 1\")"), std::string::npos);
        EXPECT_NE(r.out.find("virtual mouse: holds the profile"), std::string::npos) << r.out;
    }
    EXPECT_EQ(run(data + " profile list").out, "* 0  Profile 1\n");
}

}  // namespace
}  // namespace vantorel
