// SPDX-License-Identifier: GPL-2.0-or-later
// The receiver link: enumeration, pairing, identification, reader threads,
// the watchdog, arrivals and removals. Reader threads are real; the fake
// nodes hand them reports, and time only moves on the virtual clock.
#include "device/wireless_connection.h"

#include <gtest/gtest.h>

#include "link_fakes.h"

namespace vantorel {
namespace {

using testing::LinkHarness;
using Collection = testing::ScriptedHidBackend::Collection;
using State = WirelessConnection::EventState;

constexpr Collection kCommand{0x000B, 0};
constexpr Collection kEvent{0x000A, 0};
const std::vector<std::uint8_t> kBattery50 = {0x03, 0x27, 0x41, 0x01, 0x32};
const std::vector<std::uint8_t> kAck = {0x03, 0x27, 0x50, 0x00, 0x00};

TEST(ReceiverPairing, WindowsPathsUseTheirFifthFieldOtherPathsTheBackendKey) {
    const std::string col1 = "\\\\?\\hid#vid_1d57&pid_fa60&mi_01&col01#8&2a3b4c5d&0&0000#{4d1e55b2}";
    const std::string col2 = "\\\\?\\HID#VID_1D57&PID_FA60&MI_01&COL02#8&2A3B4C5D&0&0001#{4d1e55b2}";
    EXPECT_EQ(windows_pairing_key(col1), "2a3b4c5d");
    EXPECT_TRUE(pairing_keys_match(windows_pairing_key(col1), windows_pairing_key(col2)));
    EXPECT_FALSE(pairing_keys_match(windows_pairing_key(col1), windows_pairing_key(
                                                                   "\\\\?\\hid#vid_1d57&pid_fa60&mi_01&col01#8&99&0&0000")));
    EXPECT_EQ(windows_pairing_key("\\\\?\\hid#vid_1d57&pid_fa60&mi_01"), "");

    HidDeviceInfo linux_node;
    linux_node.path = "/dev/hidraw3";
    linux_node.pairing_key = "/sys/devices/pci0000:00/usb1/1-2/1-2:1.1";
    EXPECT_EQ(receiver_pairing_key(linux_node), linux_node.pairing_key);
    linux_node.path = col1;  // a Windows path wins over whatever the backend said
    EXPECT_EQ(receiver_pairing_key(linux_node), "2a3b4c5d");
}

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override { h.make(); }
    // The usual receiver: command and event collections on two nodes of one
    // interface.
    void add_receiver(const std::string& key = "usb1-2:1.1") {
        h.hid.add_node("/dev/hidraw1", {kCommand}, key);
        h.hid.add_node("/dev/hidraw2", {kEvent}, key);
    }
    WirelessConnection& wireless() { return h.ctl->wireless(); }
    LinkHarness h;
};

TEST_F(ReceiverTest, ArrivalBurstIsEnumeratedOnceASecondAfterTheLastArrival) {
    add_receiver();
    for (int i = 0; i < 3; ++i) {
        h.device_change(true, "/dev/hidraw" + std::to_string(i + 1));
        h.loop.run_for(Millis(300));
    }
    EXPECT_EQ(h.hid.enumerations(), 0);
    h.loop.run_for(Millis(699));  // 999 ms after the third
    EXPECT_EQ(h.hid.enumerations(), 0);
    h.loop.run_for(Millis(1));
    EXPECT_EQ(h.hid.enumerations(), 1);
    h.loop.run_for(Millis(5000));
    EXPECT_EQ(h.hid.enumerations(), 1);
    EXPECT_EQ(wireless().event_count(), 1);
    EXPECT_EQ(wireless().running_readers(), 1);
}

TEST_F(ReceiverTest, CollectionsOtherThanUsageZeroAreNeitherKeptNorRead) {
    h.hid.add_node("/dev/hidraw1", {{0x000B, 1}}, "k");
    h.hid.add_node("/dev/hidraw2", {{0x0001, 0x0002}}, "k");
    wireless().OpenWirelessDevices();
    EXPECT_EQ(wireless().command_count(), 0);
    EXPECT_EQ(wireless().event_count(), 0);
    EXPECT_EQ(wireless().running_readers(), 0);
    EXPECT_EQ(h.hid.open_handles(), 0);
}

TEST_F(ReceiverTest, MouseIsIdentifiedByItsFirstReportAndItsEventsDispatched) {
    add_receiver();
    wireless().OpenWirelessDevices();
    EXPECT_EQ(wireless().event_state(0), State::Undecided);
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    EXPECT_EQ(wireless().event_state(0), State::Mouse);
    EXPECT_EQ(wireless().active_path(), "/dev/hidraw1");
    EXPECT_NE(wireless().command_device(), nullptr);
    EXPECT_EQ(h.view.power_text(), "50%");
    EXPECT_TRUE(h.wireless_visible());
    EXPECT_EQ(h.links.wireless_connected.load(), 1);
    EXPECT_EQ(h.link_changes, 1);
    EXPECT_TRUE(h.ctl->events().watchdog_running());
}

TEST_F(ReceiverTest, ForeignCollectionStaysForeignUntilTheNextEnumeration) {
    add_receiver();
    wireless().OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw2", {0x03, 0x26, 0x41, 0x01, 0x32}));
    EXPECT_EQ(wireless().event_state(0), State::Foreign);
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    ASSERT_TRUE(h.feed("/dev/hidraw2", kAck));
    EXPECT_EQ(h.event_count(ConnectionMode::Wireless), 0);
    EXPECT_EQ(h.links.ack_received.load(), 0);
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
    EXPECT_EQ(wireless().command_device(), nullptr);

    wireless().OpenWirelessDevices();
    EXPECT_EQ(wireless().event_state(0), State::Undecided);
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    EXPECT_EQ(wireless().event_state(0), State::Mouse);
}

// On hidraw one node carries every collection of the receiver's interface:
// keyboard and consumer reports (a button mapped to a key) may come first and
// must not make the receiver foreign.
TEST_F(ReceiverTest, SharedNodeIsDecidedOnlyByReportsThatCanCarryMouseEvents) {
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint8_t>> before;  // reports ahead of the battery event
        State after_before;
        State after_battery;
    };
    const Case cases[] = {
        {"report id 3 without the marker", {{0x03, 0x26, 0x41, 0x01, 0x32}}, State::Foreign, State::Foreign},
        {"keyboard and consumer first", {{0x01, 0x02, 0x00, 0x04, 0, 0, 0, 0, 0}, {0x02, 0xE9, 0x00}}, State::Undecided,
         State::Mouse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        h.hid.add_node("/dev/hidraw1", {kCommand}, "k");
        h.hid.add_node("/dev/hidraw2", {kEvent, {0x0001, 0x0006}, {0x000C, 0x0001}}, "k");
        wireless().OpenWirelessDevices();
        for (const auto& r : c.before) ASSERT_TRUE(h.feed("/dev/hidraw2", r));
        EXPECT_EQ(wireless().event_state(0), c.after_before);
        ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
        EXPECT_EQ(wireless().event_state(0), c.after_battery);
        EXPECT_EQ(h.links.wireless_connected.load(), c.after_battery == State::Mouse ? 1 : 0);
    }
}

TEST_F(ReceiverTest, OtherReportIdIdentifiesButIsNeitherDispatchedNorAWatchdogRestart) {
    add_receiver();
    wireless().OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw2", {0x02, 0x27, 0x50, 0x00, 0x00}));
    EXPECT_EQ(wireless().event_state(0), State::Mouse);
    EXPECT_NE(wireless().command_device(), nullptr);
    EXPECT_EQ(h.event_count(ConnectionMode::Wireless), 0);
    EXPECT_EQ(h.links.ack_received.load(), 0);
    EXPECT_FALSE(h.ctl->events().watchdog_running());
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
}

TEST_F(ReceiverTest, WatchdogDropsASilentLinkAndTheNextEventBringsItBack) {
    add_receiver();
    wireless().OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    h.loop.run_for(Millis(5999));
    EXPECT_TRUE(h.wireless_visible());
    ASSERT_TRUE(h.feed("/dev/hidraw2", kAck));  // restarts the six seconds
    h.loop.run_for(Millis(5999));
    EXPECT_TRUE(h.wireless_visible());
    h.loop.run_for(Millis(1));
    EXPECT_FALSE(h.wireless_visible());
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
    EXPECT_EQ(h.links.any_link_connected.load(), 0);
    EXPECT_EQ(h.link_changes, 2);
    EXPECT_FALSE(h.ctl->events().watchdog_running());

    ASSERT_TRUE(h.feed("/dev/hidraw2", kAck));
    EXPECT_TRUE(h.wireless_visible());
    EXPECT_EQ(h.links.any_link_connected.load(), 1);
    EXPECT_EQ(h.link_changes, 3);
}

TEST_F(ReceiverTest, EmptyKeysPairAndDifferentKeysDoNot) {
    h.hid.add_node("/dev/hidraw1", {kCommand}, "");
    h.hid.add_node("/dev/hidraw2", {kEvent}, "");
    h.hid.add_node("/dev/hidraw5", {kEvent}, "other");
    wireless().OpenWirelessDevices();
    ASSERT_EQ(wireless().event_count(), 2);
    ASSERT_TRUE(h.feed("/dev/hidraw5", kBattery50));
    EXPECT_EQ(wireless().event_state(1), State::Undecided);  // nothing to pair with
    EXPECT_EQ(h.event_count(ConnectionMode::Wireless), 0);
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    EXPECT_EQ(wireless().event_state(0), State::Mouse);
    EXPECT_EQ(h.event_count(ConnectionMode::Wireless), 1);
}

TEST_F(ReceiverTest, CollectionsSharingANodeShareOneHandleClosedOnce) {
    // hidapi lists every usage pair of a node's descriptor with the same path.
    h.hid.add_node("/dev/hidraw1", {kCommand, kEvent, {0x0001, 0x0002}, kEvent}, "k");
    wireless().OpenWirelessDevices();
    EXPECT_EQ(wireless().command_count(), 1);
    EXPECT_EQ(wireless().event_count(), 1);
    EXPECT_EQ(wireless().running_readers(), 1);
    EXPECT_EQ(h.hid.opens(), 1);
    ASSERT_TRUE(h.feed("/dev/hidraw1", kBattery50));
    EXPECT_EQ(h.links.wireless_connected.load(), 1);

    h.device_change(false, "/dev/hidraw1");
    h.loop.process_pending();
    EXPECT_EQ(wireless().running_readers(), 0);
    EXPECT_EQ(h.hid.closes(), 1);
    EXPECT_EQ(h.hid.open_handles(), 0);
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
}

TEST_F(ReceiverTest, RemovalDropsTheLinkButTheSendersDeviceOutlivesIt) {
    add_receiver();
    wireless().OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    auto sending_on = wireless().command_device();  // the sender is mid-report
    ASSERT_NE(sending_on, nullptr);
    h.hid.set_plugged("/dev/hidraw1", false);
    h.hid.set_plugged("/dev/hidraw2", false);
    h.device_change(false, "/dev/hidraw2");
    h.device_change(false, "/dev/hidraw1");
    // An event the reader posted just before it was stopped is handled after
    // the removal; it must not raise the link again.
    h.loop.post([this] { h.ctl->wireless().OnWirelessEvent(0x5027, 0); });
    h.loop.process_pending();
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
    EXPECT_FALSE(h.wireless_visible());
    EXPECT_EQ(h.links.ack_received.load(), 0);
    EXPECT_EQ(wireless().command_device(), nullptr);
    EXPECT_EQ(wireless().running_readers(), 0);
    EXPECT_EQ(h.hid.open_handles(), 1);  // only the one the sender holds
    sending_on.reset();
    EXPECT_EQ(h.hid.open_handles(), 0);
}

TEST_F(ReceiverTest, ReenumerationKeepsTheCommandDeviceUntilANewIdentification) {
    add_receiver();
    wireless().OpenWirelessDevices();
    ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
    const auto first = wireless().command_device();
    wireless().OpenWirelessDevices();
    EXPECT_EQ(wireless().command_device(), first);
    EXPECT_EQ(h.links.wireless_connected.load(), 1);
    ASSERT_TRUE(h.feed("/dev/hidraw2", kAck));
    EXPECT_NE(wireless().command_device(), first);
    EXPECT_EQ(h.links.ack_received.load(), 1);
}

TEST_F(ReceiverTest, ManyUnplugReplugCyclesFindTheReceiverEachTimeAndLeakNothing) {
    add_receiver();
    wireless().OpenWirelessDevices();
    for (int cycle = 0; cycle < 25; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(h.feed("/dev/hidraw2", kBattery50));
        ASSERT_EQ(h.links.wireless_connected.load(), 1);

        h.hid.set_plugged("/dev/hidraw1", false);
        h.hid.set_plugged("/dev/hidraw2", false);
        h.device_change(false, "/dev/hidraw1");
        h.device_change(false, "/dev/hidraw2");
        h.loop.process_pending();
        ASSERT_EQ(h.links.wireless_connected.load(), 0);
        ASSERT_EQ(h.hid.open_handles(), 0);
        ASSERT_EQ(WirelessConnection::live_reader_threads(), 0);

        h.hid.set_plugged("/dev/hidraw1", true);
        h.hid.set_plugged("/dev/hidraw2", true);
        h.device_change(true, "/dev/hidraw1");
        h.device_change(true, "/dev/hidraw2");
        h.loop.run_for(Millis(1000));
        ASSERT_EQ(h.hid.enumerations(), cycle + 2);
        ASSERT_EQ(h.hid.open_handles(), 2);
        ASSERT_EQ(WirelessConnection::live_reader_threads(), 1);
    }
    h.ctl->Shutdown();
    EXPECT_EQ(WirelessConnection::live_reader_threads(), 0);
}

}  // namespace
}  // namespace vantorel
