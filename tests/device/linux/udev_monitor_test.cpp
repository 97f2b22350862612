// SPDX-License-Identifier: GPL-2.0-or-later
// UdevMonitor and enumerate_present against emulated devices and uevents.
#include <gtest/gtest.h>

#include "device/hid_backend.h"
#include "device/linux/udev_monitor.h"
#include "hidraw_testbed.h"

namespace vantorel {
namespace {

using testing::HidrawTestbed;
using testing::RecordingHost;

class UdevMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HidrawTestbed::preloaded()) GTEST_SKIP() << "needs umockdev-wrapper (ctest runs it that way)";
        bed_ = std::make_unique<HidrawTestbed>();
    }
    void TearDown() override { monitor_.stop(); }

    HidrawTestbed::UsbDevice add_receiver() {
        return bed_->add_usb(kVendorId, kReceiverProductId,
                             {testing::concat({testing::command_collection(0x05), testing::event_collection(0x03)})});
    }
    HidrawTestbed::UsbDevice add_wired() {
        return bed_->add_usb(kVendorId, kWiredProductId,
                             {testing::boot_mouse_collection(), testing::command_collection(0x05)});
    }

    std::vector<DeviceChange> drain() {
        std::vector<DeviceChange> changes;
        while (auto c = queue_.pop()) changes.push_back(std::move(*c));
        return changes;
    }

    std::unique_ptr<HidrawTestbed> bed_;
    // Counts the monitor's word after each change it queued.
    RecordingHost host_;
    DeviceChangeQueue queue_;
    UdevMonitor monitor_{[this] { host_.post_message(0, 0, 0); }, queue_};
};

TEST_F(UdevMonitorTest, ReceiverArrivalAndRemovalReachTheQueueAndAreToldOnceEach) {
    ASSERT_TRUE(monitor_.start());
    auto receiver = add_receiver();
    ASSERT_TRUE(host_.wait_for(2));  // the USB device and its hidraw node

    auto arrivals = drain();
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[0].subsystem, "usb");
    EXPECT_EQ(arrivals[0].syspath, receiver.syspath);
    EXPECT_EQ(arrivals[1].subsystem, "hidraw");
    EXPECT_EQ(arrivals[1].devnode, receiver.nodes[0].devnode);
    EXPECT_EQ(arrivals[1].syspath, receiver.nodes[0].hidraw);
    for (const DeviceChange& c : arrivals) {
        EXPECT_TRUE(c.arrival);
        EXPECT_EQ(c.bus, DeviceBus::Usb);
        EXPECT_EQ(c.vendor_id, kVendorId);
        EXPECT_EQ(c.product_id, kReceiverProductId);
    }

    bed_->unplug(receiver);
    ASSERT_TRUE(host_.wait_for(4));
    auto removals = drain();
    ASSERT_EQ(removals.size(), 2u);
    EXPECT_EQ(removals[0].subsystem, "hidraw");
    EXPECT_EQ(removals[0].devnode, receiver.nodes[0].devnode);
    EXPECT_EQ(removals[0].product_id, kReceiverProductId);
    EXPECT_EQ(removals[1].subsystem, "usb");
    EXPECT_EQ(removals[1].product_id, kReceiverProductId);
    for (const DeviceChange& c : removals) EXPECT_FALSE(c.arrival);

    EXPECT_EQ(host_.messages().size(), 4u) << "each change is told once";
}

TEST_F(UdevMonitorTest, RemovalOfANodePresentAtStartIsRecognised) {
    auto wired = add_wired();
    ASSERT_TRUE(monitor_.start());

    bed_->unplug(wired);
    ASSERT_TRUE(host_.wait_for(3));  // two hidraw nodes, then the USB device
    auto removals = drain();
    ASSERT_EQ(removals.size(), 3u);
    EXPECT_EQ(removals[0].devnode, wired.nodes[0].devnode);
    EXPECT_EQ(removals[1].devnode, wired.nodes[1].devnode);
    EXPECT_EQ(removals[2].subsystem, "usb");
    for (const DeviceChange& c : removals) {
        EXPECT_FALSE(c.arrival);
        EXPECT_EQ(c.product_id, kWiredProductId);
    }
}

TEST_F(UdevMonitorTest, ForeignDevicesAreNotReported) {
    ASSERT_TRUE(monitor_.start());
    auto foreign = bed_->add_usb(0x046D, 0xC077, {testing::boot_mouse_collection()});
    // Bluetooth LE ids on a USB device are not the mouse either.
    auto impostor = bed_->add_usb(kBleVendorId, kBleProductId, {testing::vendor_collection(0x07)});
    bed_->unplug(foreign);
    bed_->unplug(impostor);
    auto ble = bed_->add_bluetooth(kBleVendorId, kBleProductId, testing::vendor_collection(0x07));

    // Events are handled in order, so the first report is the mouse's.
    ASSERT_TRUE(host_.wait_for(1));
    auto changes = drain();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].bus, DeviceBus::Bluetooth);
    EXPECT_EQ(changes[0].vendor_id, kBleVendorId);
    EXPECT_EQ(changes[0].product_id, kBleProductId);
    EXPECT_EQ(changes[0].devnode, ble.devnode);

    bed_->unplug(ble);
    ASSERT_TRUE(host_.wait_for(2));
    changes = drain();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(changes[0].arrival);
    EXPECT_EQ(changes[0].bus, DeviceBus::Bluetooth);
}

TEST_F(UdevMonitorTest, StopsPromptlyAndStartsAgain) {
    ASSERT_TRUE(monitor_.start());
    EXPECT_TRUE(monitor_.start());  // already running
    monitor_.stop();
    EXPECT_FALSE(monitor_.running());
    monitor_.stop();

    ASSERT_TRUE(monitor_.start());
    add_wired();
    ASSERT_TRUE(host_.wait_for(3));
    EXPECT_EQ(drain().size(), 3u);
}

TEST_F(UdevMonitorTest, EnumeratePresentListsOurNodesOnly) {
    auto receiver = add_receiver();
    auto wired = add_wired();
    auto ble = bed_->add_bluetooth(kBleVendorId, kBleProductId, testing::vendor_collection(0x07));
    bed_->add_usb(0x046D, 0xC077, {testing::boot_mouse_collection()});

    auto present = enumerate_present();
    ASSERT_EQ(present.size(), 4u);
    // Ordered by device node: hidraw0 receiver, hidraw1-2 wired, hidraw3 BLE.
    EXPECT_EQ(present[0].devnode, receiver.nodes[0].devnode);
    EXPECT_EQ(present[0].identity.device, WatchedDevice::Receiver);
    EXPECT_EQ(present[1].devnode, wired.nodes[0].devnode);
    EXPECT_EQ(present[2].devnode, wired.nodes[1].devnode);
    EXPECT_EQ(present[2].identity.device, WatchedDevice::WiredMouse);
    EXPECT_EQ(present[3].devnode, ble.devnode);
    EXPECT_EQ(present[3].identity.device, WatchedDevice::BleMouse);
    EXPECT_EQ(present[3].identity.bus, DeviceBus::Bluetooth);
    EXPECT_EQ(present[3].syspath, ble.hidraw);
    // The emulated nodes belong to this process's user.
    for (const PresentDevice& p : present) EXPECT_TRUE(p.accessible) << p.devnode;
}

}  // namespace
}  // namespace vantorel
