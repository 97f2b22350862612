// SPDX-License-Identifier: GPL-2.0-or-later
// The Bluetooth LE link against a stand-in BlueZ on a private system bus:
// the mouse coming and going, the subscription to its events however late
// the mouse is ready for it, a BlueZ that does not answer, and writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "core/apply_engine.h"
#include "device/linux/bluez_transport.h"
#include "device/link_fakes.h"
#include "device/linux/bluez_standin.h"
#include "device/report_sender.h"
#ifdef VANTORELCTL_PATH
#include "test_util.h"
#include "tools/cli_run.h"
#endif

namespace vantorel {
namespace {

using testing::StandInBluez;

class BusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        bus_ = std::make_unique<testing::PrivateSystemBus>();
        ASSERT_FALSE(bus_->address().empty()) << "dbus-daemon did not start";
    }
    void TearDown() override { bus_.reset(); }

private:
    std::unique_ptr<testing::PrivateSystemBus> bus_;
};
const auto* const kBus = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

// Entries of a /proc/self folder: the process's threads or open descriptors.
int count_entries(const char* folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    return ec ? -1 : static_cast<int>(std::distance(it, std::filesystem::directory_iterator()));
}

const std::vector<std::uint8_t> kReport{0x55, 0x0C, 0x01, 0x00, 0x00, 0x00};

class BlueZLink : public ::testing::Test {
protected:
    // The stand-in's devices exist before the link starts; unless the test
    // says otherwise, the link starts once the transport has read them.
    void start(std::vector<StandInBluez::DeviceSetup> devices, bool wait_for_objects = true) {
        mouse.connect_ble();
        for (const auto& d : devices) bluez.add(d);
        gatt = std::shared_ptr<BluezTransport>(BluezTransport::open());
        ASSERT_TRUE(gatt);
        if (wait_for_objects) {
            ASSERT_TRUE(gatt->wait_for_objects());
        }
        LinkController::Options o;
        o.ble_gatt = gatt;
        h.wired->open_result = 0;  // no cable
        h.make(std::move(o));
        h.links.wireless_connected = 1;
        h.ctl->Start();
    }
    // Handles what the bus thread posts until `done` holds (bounded wait).
    bool pump_until(const std::function<bool()>& done) {
        for (int i = 0; i < 5000; ++i) {
            h.loop.process_pending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    bool up() const { return h.links.ble_connected.load() == 1; }
    bool notifying() { return bluez.counts("dev_mouse").notifying; }
    // A charging event notified by the mouse reaches the window's loop.
    // The mouse repeats it until it arrives: right after BlueZ came back, a
    // value may go by while the link is still settling its subscription.
    bool charging_event_arrives() {
        const int before = h.event_count(ConnectionMode::Ble);
        return pump_until([&] {
            if (h.event_count(ConnectionMode::Ble) > before) return true;
            bluez.notify("dev_mouse", {0x27, 0x41, 0x03, 0x00});
            return false;
        });
    }
    int link_changes() const { return h.link_changes; }
    void open_notifications() { h.loop.run_for(Millis(kBleDiscoveryDelayMs)); }

    VirtualMouse mouse;
    StandInBluez bluez{mouse};
    testing::LinkHarness h;
    std::shared_ptr<BluezTransport> gatt;
};

TEST_F(BlueZLink, ConnectedMouseBringsTheLinkUpAndItsEventsThroughAfterTwoSeconds) {
    start({{.name = "dev_mouse"}});
    ASSERT_TRUE(up());
    EXPECT_TRUE(h.view.is_visible(controls::kBleIndicator));
    EXPECT_EQ(h.view.label[std::string(controls::kPowerLabel)].text, "100%");
    EXPECT_EQ(h.links.wireless_connected.load(), 0);
    EXPECT_EQ(bluez.counts("dev_mouse").start_notify, 0);
    open_notifications();
    ASSERT_TRUE(pump_until([&] { return notifying(); }));
    EXPECT_EQ(bluez.counts("dev_mouse").start_notify, 1);

    // Short values carry no event; the charging one that follows does.
    bluez.notify("dev_mouse", {});
    bluez.notify("dev_mouse", {0x27, 0x41, 0x03});
    bluez.notify("dev_mouse", {0x27, 0x41, 0x03, 0x00});
    ASSERT_TRUE(pump_until([&] { return h.event_count(ConnectionMode::Ble) > 0; }));
    EXPECT_EQ(h.event_count(ConnectionMode::Ble), 1);
    EXPECT_TRUE(h.link_view.charging_animation_running());
    EXPECT_EQ(h.view.label[std::string(controls::kPowerLabel)].text, controls::kChargingTextKey);
}

TEST_F(BlueZLink, CharacteristicsWithoutTheirFlagAreLeftAlone) {
    start({{.name = "dev_mouse", .writable = false, .notifiable = false}});
    ASSERT_TRUE(up());
    open_notifications();
    EXPECT_EQ(bluez.counts("dev_mouse").start_notify, 0);
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(kReport), 0);
    EXPECT_EQ(bluez.counts("dev_mouse").writes, 0);
    EXPECT_TRUE(up()) << "the link stays up without a subscription";
}

TEST_F(BlueZLink, ArrivalsRemovalsAndConnectionChangesSwitchTheLink) {
    start({});
    EXPECT_FALSE(up());
    // Another product first, then the mouse: only the mouse is an arrival.
    bluez.add({.name = "dev_other", .modalias = StandInBluez::kOtherModalias}, true);
    bluez.add({.name = "dev_mouse"}, true);
    ASSERT_TRUE(pump_until([&] { return up(); }));
    EXPECT_EQ(h.arrivals, 1);
    open_notifications();
    ASSERT_TRUE(pump_until([&] { return notifying(); }));

    // Its HID-over-GATT node arriving too changes nothing.
    const int changes = link_changes();
    h.device_change(true, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.loop.process_pending();
    EXPECT_EQ(link_changes(), changes);

    bluez.set_connected("dev_mouse", false);
    ASSERT_TRUE(pump_until([&] { return !up(); }));
    EXPECT_FALSE(h.view.is_visible(controls::kBleIndicator));
    EXPECT_TRUE(pump_until([&] { return bluez.counts("dev_mouse").stop_notify == 1; }));
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(kReport), 0);
    EXPECT_EQ(bluez.counts("dev_mouse").writes, 0) << "a write with the link down touches nothing";

    bluez.set_connected("dev_mouse", true);
    ASSERT_TRUE(pump_until([&] { return up(); }));
    bluez.remove("dev_mouse");
    ASSERT_TRUE(pump_until([&] { return !up(); }));

    // The HID node alone brings the link back when BlueZ reaches the mouse.
    h.device_change(true, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.loop.process_pending();
    EXPECT_FALSE(up()) << "no working transport, no link";
    bluez.add({.name = "dev_mouse2"}, true);
    ASSERT_TRUE(pump_until([&] { return up(); }));
    h.device_change(false, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.loop.process_pending();
    EXPECT_FALSE(up());
    h.device_change(true, "/dev/hidraw7", kBleVendorId, kBleProductId, DeviceBus::Bluetooth);
    h.loop.process_pending();
    EXPECT_TRUE(up());
}

// The mouse ready for its events only after the discovery timer ran: its
// notify characteristic exported late (a first pairing, a slow GATT
// discovery), its services resolved late (BlueZ refuses to subscribe until
// then), or a BlueZ that came back with its objects exported before it took
// its name (so none of its announcements reached the link).
enum class LateMouse { Characteristic, ServicesResolved, BlueZBackWithItsObjects };

class BlueZLinkLate : public BlueZLink, public ::testing::WithParamInterface<LateMouse> {};

TEST_P(BlueZLinkLate, EventsComeThroughOnceTheMouseIsReady) {
    const LateMouse late = GetParam();
    start({{.name = "dev_mouse",
            .services_resolved = late != LateMouse::ServicesResolved,
            .gatt = late != LateMouse::Characteristic}});
    ASSERT_TRUE(up());
    open_notifications();
    switch (late) {
        case LateMouse::Characteristic:
            EXPECT_FALSE(notifying());
            bluez.export_gatt("dev_mouse");
            break;
        case LateMouse::ServicesResolved:
            EXPECT_FALSE(notifying());
            bluez.set_services_resolved("dev_mouse", true);
            break;
        case LateMouse::BlueZBackWithItsObjects: {
            ASSERT_TRUE(pump_until([&] { return notifying(); }));
            const int changes = link_changes() + 2;
            bluez.restart(true);
            ASSERT_TRUE(pump_until([&] { return link_changes() >= changes && up(); }));
            open_notifications();
            break;
        }
    }
    ASSERT_TRUE(pump_until([&] { return notifying(); }));
    EXPECT_TRUE(charging_event_arrives());
    EXPECT_EQ(h.view.label[std::string(controls::kPowerLabel)].text, controls::kChargingTextKey);
}

INSTANTIATE_TEST_SUITE_P(Ways, BlueZLinkLate,
                         ::testing::Values(LateMouse::Characteristic, LateMouse::ServicesResolved,
                                           LateMouse::BlueZBackWithItsObjects),
                         [](const ::testing::TestParamInfo<LateMouse>& param) {
                             switch (param.param) {
                                 case LateMouse::Characteristic: return "CharacteristicExportedLate";
                                 case LateMouse::ServicesResolved: return "ServicesResolvedLate";
                                 case LateMouse::BlueZBackWithItsObjects: return "BlueZBackWithItsObjects";
                             }
                             return "";
                         });

// BlueZ stuck (its main loop not turning) when the link reads its objects
// and when it subscribes: the window's loop goes on at once, on this thread,
// and everything asked for is done once BlueZ answers. A call made on this
// thread would have given up (time-out) before the stand-in is let go.
TEST_F(BlueZLink, AStalledBlueZNeverHoldsTheWindowsLoop) {
    bluez.stall();
    start({{.name = "dev_mouse"}}, false);
    EXPECT_FALSE(up()) << "the mouse is not known before BlueZ answered";
    bluez.resume();
    ASSERT_TRUE(pump_until([&] { return up(); })) << "the object tree read once BlueZ answers";

    bluez.stall();
    open_notifications();
    bluez.resume();
    ASSERT_TRUE(pump_until([&] { return notifying(); }));
    EXPECT_TRUE(charging_event_arrives()) << "the subscription asked for while BlueZ was stuck";
}

TEST_F(BlueZLink, OnlyTheConnectedDeviceIsWritten) {
    start({{.name = "dev_idle", .connected = false}, {.name = "dev_mouse"}});
    ASSERT_TRUE(up());
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(kReport), 1);
    EXPECT_EQ(bluez.counts("dev_mouse").writes, 1);
    EXPECT_EQ(bluez.counts("dev_idle").writes, 0);
    open_notifications();
    EXPECT_EQ(bluez.counts("dev_idle").start_notify, 0);
}

// The apply engine, the report sender and the link, with BlueZ in between.
class BleApplyOverBlueZ : public BlueZLink {
protected:
    void SetUp() override {
        start({{.name = "dev_mouse"}});
        sender.set_ble_transport(h.ctl->ble_link());
        ProfileRecord r;
        r.reset_to_defaults();
        r.set_dpi_value(2, 3200);
        r.set_light_mode(1);
        r.set_polling_rate_index(2);
        std::lock_guard<std::mutex> lock(h.profiles.mutex());
        h.profiles.current() = r;
    }
    void TearDown() override { engine.stop(); }
    void apply() {
        engine.reset_last_applied();
        engine.request_apply();
        h.loop.process_pending();
        engine.wait_idle();
    }
    bool holds(std::string* why) {
        std::lock_guard<std::mutex> lock(h.profiles.mutex());
        return mouse.holds_exactly(h.profiles.current(), why, ConnectionMode::Ble);
    }

    ReportSender sender{h.links, h.clock};
    ApplyEngine engine{h.profiles, sender, h.clock, [this] { return h.links.any(); }};
};

TEST_F(BleApplyOverBlueZ, FullApplyLeavesTheMouseHoldingTheProfile) {
    ASSERT_TRUE(up());
    apply();
    std::string why;
    EXPECT_TRUE(holds(&why)) << why;
    EXPECT_EQ(mouse.rejected_reports(), 0);
    EXPECT_FALSE(mouse.config().polling_code.has_value()) << "no polling report over Bluetooth LE";
}

TEST_F(BleApplyOverBlueZ, BlueZGoingAwayMidApplyEndsTheApplyAndTheLink) {
    bluez.vanish_after_writes(1);
    apply();
    EXPECT_FALSE(holds(nullptr));
    ASSERT_TRUE(pump_until([&] { return !up(); }));
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(kReport), 0);
}

// BlueZ restarting, over and over, the first time in the middle of an
// apply: the link follows the service down and up, the apply reports what
// did not get through, the link needs no new thread or descriptor per
// restart, and the next apply brings the mouse in step.
TEST_F(BleApplyOverBlueZ, BlueZRestartingDuringAnApplyLeavesTheLinkWorkingAndLeaksNothing) {
    std::mutex m;
    std::vector<ApplySummary> summaries;
    engine.set_finished_callback([&](const ApplySummary& s) {
        std::lock_guard<std::mutex> lock(m);
        summaries.push_back(s);
    });
    auto last = [&] {
        std::lock_guard<std::mutex> lock(m);
        return summaries.empty() ? ApplySummary{} : summaries.back();
    };
    ASSERT_TRUE(up());
    open_notifications();
    const int threads = count_entries("/proc/self/task");
    const int fds = count_entries("/proc/self/fd");

    bluez.vanish_after_writes(2);
    apply();
    EXPECT_TRUE(last().ran);
    EXPECT_FALSE(last().all_taken()) << "writes after BlueZ left were counted as taken";
    ASSERT_TRUE(pump_until([&] { return !up(); }));
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE("restart " + std::to_string(i));
        // Down (unless it is already) and up again, each seen by the link.
        const int changes = link_changes() + (up() ? 2 : 1);
        bluez.restart();
        ASSERT_TRUE(pump_until([&] { return link_changes() >= changes && up(); }));
    }
    EXPECT_EQ(h.ctl->ble_link()->BleWrite(kReport), 1) << "a write reaches the new BlueZ";
    open_notifications();
    EXPECT_TRUE(pump_until([&] { return notifying(); })) << "events are subscribed to again";

    apply();
    EXPECT_TRUE(last().all_taken());
    std::string why;
    EXPECT_TRUE(holds(&why)) << why;
    pump_until([&] { return count_entries("/proc/self/task") <= threads; });
    EXPECT_EQ(count_entries("/proc/self/task"), threads);
    EXPECT_EQ(count_entries("/proc/self/fd"), fds);
}

#ifdef VANTORELCTL_PATH
// vantorelctl on the real links, with the stand-in BlueZ as the system's.
class BlueZCli : public ::testing::Test {
protected:
    VirtualMouse mouse;
    StandInBluez bluez{mouse};
    vantorel::testing::TempDir dir;
};

TEST_F(BlueZCli, DevicesAndApplyGoOverBluetoothLE) {
    mouse.connect_ble();
    bluez.add({.name = "dev_mouse"});
    const auto devices = vantorel::testing::run_cli("devices --json");
    EXPECT_NE(devices.out.find("\"active_link\": \"ble\""), std::string::npos) << devices.out;

    ProfileRecord r;
    r.reset_to_defaults();
    r.set_dpi_value(1, 1600);
    r.set_light_mode(2);
    const std::string file = (dir.path() / "p.pro").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(r.bytes().data()), static_cast<std::streamsize>(r.bytes().size()));
    const auto applied = vantorel::testing::run_cli("apply --full --wait 5 --profile-file " + file, true);
    EXPECT_EQ(applied.status, 0) << applied.out;
    std::string why;
    EXPECT_TRUE(mouse.holds_exactly(r, &why, ConnectionMode::Ble)) << why;
    EXPECT_FALSE(mouse.config().polling_code.has_value());
}
#endif

}  // namespace
}  // namespace vantorel
