// SPDX-License-Identifier: GPL-2.0-or-later
// The command line's link session on the virtual mouse, and how the link
// commands put what they found into words.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link_session.h"
#include "link_text.h"

namespace vantorel::cli {
namespace {

using namespace std::chrono_literals;

// Long enough never to be reached when the session works; the runs below end
// on their condition.
constexpr Millis kGenerous = std::chrono::duration_cast<Millis>(30s);

std::unique_ptr<LinkSession> simulated(ConnectionMode link, ProfileSource* profiles = nullptr) {
    LinkSession::Options options;
    options.simulate = link;
    options.profiles = profiles;
    options.read_timeout_ms = 50;
    std::string error;
    auto session = LinkSession::create(options, &error);
    EXPECT_TRUE(session) << error;
    return session;
}

TEST(LinkSession, TheReceiverComesUpOnTheMousesFirstReportAndItsEventsAreCommitted) {
    MemoryProfileSource profiles;
    profiles.current().reset_to_defaults();
    auto session = simulated(ConnectionMode::Wireless, &profiles);
    std::vector<std::string> seen;
    session->set_link_observer([&](ConnectionMode link, bool up) { seen.push_back(link_change_text(link, up)); });
    session->set_event_observer([&](ConnectionMode link, const DeviceEvent& e) { seen.push_back(event_text(link, e)); });
    session->start();
    session->mouse()->press_dpi_stage(4);
    ASSERT_TRUE(session->run_until([&] { return seen.size() >= 3; }, kGenerous));
    EXPECT_EQ(seen, (std::vector<std::string>{"link up: wireless (receiver)", "battery: discharging, 80% [wireless]",
                                              "dpi stage: 4 [wireless]"}));
    EXPECT_EQ(session->usable_link(), ConnectionMode::Wireless);
    EXPECT_TRUE(session->settled());
    // Without a commit of its own the change goes into the edited record.
    {
        std::lock_guard<std::mutex> lock(profiles.mutex());
        EXPECT_EQ(profiles.current().dpi_stage_index(), 3);
    }
    // The sender reaches the identified receiver's command collection.
    EXPECT_NE(session->controller().wireless_command_device(), nullptr);
    session->shutdown();
    session->shutdown();
}

TEST(LinkSession, ACommitGivenToTheSessionTakesTheMousesChanges) {
    auto session = simulated(ConnectionMode::Wired);
    int commits = 0;
    session->set_commit([&](const ProfileChange&) { ++commits; });
    session->start();
    EXPECT_EQ(session->usable_link(), ConnectionMode::Wired);  // the cable is decided at start
    session->mouse()->press_dpi_stage(3);
    ASSERT_TRUE(session->run_until([&] { return commits == 1; }, kGenerous));
}

// A stop asked for from another thread ends the run however it is timed
// against the run's start, and every later run too.
TEST(LinkSession, AStopEndsTheRunEvenWhenItComesBeforeTheRun) {
    auto session = simulated(ConnectionMode::Ble);
    session->start();
    session->stop();
    EXPECT_FALSE(session->run_until(nullptr, kGenerous));
    EXPECT_TRUE(session->stop_requested());

    auto other = simulated(ConnectionMode::Ble);
    other->start();
    std::thread stopper([&] { other->stop(); });
    EXPECT_FALSE(other->run_until(nullptr, kGenerous));
    stopper.join();
    EXPECT_FALSE(other->run_until([] { return false; }, kGenerous));
}

TEST(LinkSession, WakeMakesTheRunLookAgain) {
    auto session = simulated(ConnectionMode::Wired);
    session->start();
    std::atomic<bool> flag{false};
    std::thread waker([&] {
        flag.store(true);
        session->wake();
    });
    EXPECT_TRUE(session->run_until([&] { return flag.load(); }, kGenerous));
    waker.join();
}

// ---------------------------------------------------------------------------
// Words

LinkReport absent(ConnectionMode link) {
    LinkReport r;
    r.link = link;
    return r;
}

TEST(LinkText, ANodeWeMayNotOpenPointsToTheUdevRule) {
    LinkReport receiver = absent(ConnectionMode::Wireless);
    receiver.present = true;
    receiver.permission_denied = true;
    receiver.nodes = {"/dev/hidraw3", "/dev/hidraw4"};
    receiver.note = "permission denied";
    const std::vector<LinkReport> reports = {receiver, absent(ConnectionMode::Wired), absent(ConnectionMode::Ble)};

    const std::string reason = missing_mouse_reason(reports, 8.0);
    EXPECT_NE(reason.find("permission denied on /dev/hidraw3, /dev/hidraw4"), std::string::npos) << reason;
    EXPECT_NE(reason.find("70-qv-vantorel.rules"), std::string::npos) << reason;
    EXPECT_NE(reason.find("\"Device access\""), std::string::npos) << reason;

    const auto j = devices_json(reports, ConnectionMode::None, false);
    EXPECT_FALSE(j["mouse_found"].get<bool>());
    EXPECT_TRUE(j["links"][0]["permission_denied"].get<bool>());
    EXPECT_EQ(j["advice"], permission_advice(reports));
    const std::string table = devices_text(reports, ConnectionMode::None);
    EXPECT_NE(table.find("receiver       yes      no      no"), std::string::npos) << table;
    EXPECT_NE(table.find("no mouse found: permission denied on /dev/hidraw3"), std::string::npos) << table;
}

TEST(LinkText, APresentDeviceThatDidNotAnswerIsNamedWithTheWait) {
    LinkReport receiver = absent(ConnectionMode::Wireless);
    receiver.present = receiver.opened = true;
    receiver.note = "the mouse has not reported on the receiver";
    EXPECT_EQ(missing_mouse_reason({receiver, absent(ConnectionMode::Wired)}, 8.0),
              "receiver: the mouse has not reported on the receiver (waited 8.0 s)");
    // Nothing there at all: what to plug in.
    const std::string none = missing_mouse_reason({absent(ConnectionMode::Wireless)}, 8.0);
    EXPECT_NE(none.find("no receiver, cable or Bluetooth LE device"), std::string::npos);
}

// Over Bluetooth LE without BlueZ: the mouse is found, but there is nothing
// to send over.
TEST(LinkText, AMouseFoundOnALinkThatCannotTakeReportsIsNotTakenForAbsent) {
    LinkReport ble = absent(ConnectionMode::Ble);
    ble.present = ble.opened = ble.identified = true;
    ble.note = "BlueZ could not be reached on the system bus";
    const std::vector<LinkReport> reports = {absent(ConnectionMode::Wireless), absent(ConnectionMode::Wired), ble};
    const auto j = devices_json(reports, ConnectionMode::None, false);
    EXPECT_TRUE(j["mouse_found"].get<bool>());
    EXPECT_EQ(j["active_link"], "none");
    const std::string table = devices_text(reports, ConnectionMode::None);
    EXPECT_NE(table.find("mouse found, but no link it is on can take reports: Bluetooth LE: BlueZ could not"),
              std::string::npos)
        << table;
}

TEST(LinkText, EventsAreDecodedAsTheMouseMeansThem) {
    auto ev = [](std::uint8_t code, std::uint16_t value) {
        return DeviceEvent{static_cast<std::uint16_t>(kEventMarker | (code << 8)), value};
    };
    // Battery: state in the low byte, percentage in the high byte; a
    // percentage above 100 is no percentage.
    const auto battery = event_json(ConnectionMode::Wireless, ev(kEventBattery, 0x3201));
    EXPECT_EQ(battery["state"], "discharging");
    EXPECT_EQ(battery["percent"], 50);
    EXPECT_TRUE(event_json(ConnectionMode::Ble, ev(kEventBattery, 0x9600))["percent"].is_null());
    EXPECT_EQ(event_text(ConnectionMode::Ble, ev(kEventBattery, 0x9602)), "battery: full [ble]");
    EXPECT_EQ(event_text(ConnectionMode::Wired, ev(kEventBattery, 0x6403)), "battery: charging, 100% [wired]");
    // Polling rate: the report interval in milliseconds.
    EXPECT_EQ(event_json(ConnectionMode::Wired, ev(kEventPollingRate, 4))["hz"], 250);
    EXPECT_TRUE(event_json(ConnectionMode::Wired, ev(kEventPollingRate, 3))["hz"].is_null());
    // Light effect: the high nibble of the low byte.
    EXPECT_EQ(event_json(ConnectionMode::Wired, ev(kEventLightEffect, 0x0153))["effect"], 5);
    EXPECT_EQ(event_text(ConnectionMode::Wireless, ev(kEventAcknowledge, 0x0001)), "acknowledge: refused (0x01) [wireless]");
    EXPECT_EQ(event_text(ConnectionMode::Wireless, ev(kEventDpiStage, 9)), "dpi stage: 9 (out of range, ignored) [wireless]");
    EXPECT_EQ(event_json(ConnectionMode::Wireless, ev(0x80, 2))["event"], "other");
}

}  // namespace
}  // namespace vantorel::cli
