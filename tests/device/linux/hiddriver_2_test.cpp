// SPDX-License-Identifier: GPL-2.0-or-later
// The wired driver library, loaded as the application loads it, against an
// emulated wired mouse.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "device/wired_driver.h"
#include "device/hid_backend.h"
#include "hidraw_testbed.h"
#include "vantorel/wired_driver_abi.h"

namespace vantorel {
namespace {

using testing::Bytes;
using testing::HidrawTestbed;
using testing::RecordingHost;

int post_to(void* target, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    static_cast<RecordingHost*>(target)->post_message(message, wparam, lparam);
    return 1;
}

VantorelWindow window_of(RecordingHost& host) { return VantorelWindow{&host, &post_to}; }

struct Driver {
    void* module = nullptr;
    VantorelSetVidPidFn set_vid_pid = nullptr;
    VantorelOpenDevMonitorFn open_dev_monitor = nullptr;
    VantorelCloseDevMonitorFn close_dev_monitor = nullptr;
    VantorelOpenFeatureDeviceFn open_feature_device = nullptr;
    VantorelCloseFeatureDeviceFn close_feature_device = nullptr;
    VantorelSetFeatureFn set_feature = nullptr;
    VantorelGetFeatureFn get_feature = nullptr;

    bool load() {
        module = dlopen(VANTOREL_HIDDRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!module) return false;
        set_vid_pid = reinterpret_cast<VantorelSetVidPidFn>(dlsym(module, "Set_VIDPID"));
        open_dev_monitor = reinterpret_cast<VantorelOpenDevMonitorFn>(dlsym(module, "Open_DevMonitor"));
        close_dev_monitor = reinterpret_cast<VantorelCloseDevMonitorFn>(dlsym(module, "Close_DevMonitor"));
        open_feature_device = reinterpret_cast<VantorelOpenFeatureDeviceFn>(dlsym(module, "Open_FeatureDevice"));
        close_feature_device = reinterpret_cast<VantorelCloseFeatureDeviceFn>(dlsym(module, "Close_FeatureDevice"));
        set_feature = reinterpret_cast<VantorelSetFeatureFn>(dlsym(module, "SetFeature"));
        get_feature = reinterpret_cast<VantorelGetFeatureFn>(dlsym(module, "GetFeature"));
        return set_vid_pid && open_dev_monitor && close_dev_monitor && open_feature_device && close_feature_device &&
               set_feature && get_feature;
    }
};

class WiredDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HidrawTestbed::preloaded()) GTEST_SKIP() << "needs umockdev-wrapper (ctest runs it that way)";
        ASSERT_TRUE(driver_.load()) << dlerror();
        bed_ = std::make_unique<HidrawTestbed>();
    }
    void TearDown() override {
        if (!driver_.module) return;
        driver_.close_feature_device();
        driver_.close_dev_monitor();
        driver_.set_vid_pid(0, 0);
        dlclose(driver_.module);
    }

    // The mouse on its cable: a boot mouse interface and the interface with
    // the command and event collections.
    HidrawTestbed::UsbDevice add_wired() {
        return bed_->add_usb(kVendorId, kWiredProductId,
                             {testing::boot_mouse_collection(),
                              testing::concat({testing::command_collection(0x05), testing::event_collection(0x03)})});
    }

    Driver driver_;
    std::unique_ptr<HidrawTestbed> bed_;
};

TEST_F(WiredDriverTest, SetFeatureWritesExactBytesToTheCommandCollection) {
    auto wired = add_wired();
    driver_.set_vid_pid(kVendorId, kWiredProductId);
    ASSERT_NE(driver_.open_feature_device(), 0);

    // The 15-byte light report goes out padded to the 64 bytes the
    // collection declares for report 0x05.
    const Bytes report = {0x05, 0x0F, 0x01, 0x03, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x00, 0x2D};
    EXPECT_NE(driver_.set_feature(report.data(), static_cast<int>(report.size())), 0);
    Bytes padded = report;
    padded.resize(64, 0);
    EXPECT_EQ(bed_->hidraw(wired.nodes[1].devnode).features_sent(), std::vector<Bytes>{padded});
    EXPECT_TRUE(bed_->hidraw(wired.nodes[0].devnode).features_sent().empty());

    // GetFeature reads the report named in byte 0.
    bed_->hidraw(wired.nodes[1].devnode).set_feature_reply({0x05, 0xAA, 0xBB});
    unsigned char in[8] = {0x05};
    EXPECT_EQ(driver_.get_feature(in, sizeof in), 3);
    EXPECT_EQ(in[1], 0xAA);

    // Bad arguments and a closed device refuse without touching the node.
    EXPECT_EQ(driver_.set_feature(nullptr, 15), 0);
    EXPECT_EQ(driver_.set_feature(report.data(), 0), 0);
    driver_.close_feature_device();
    EXPECT_EQ(driver_.set_feature(report.data(), static_cast<int>(report.size())), 0);
    EXPECT_EQ(bed_->hidraw(wired.nodes[1].devnode).features_sent().size(), 1u);
}

TEST_F(WiredDriverTest, OpenFeatureDeviceFailsWithoutTheMouseOrItsIds) {
    bed_->add_usb(kVendorId, kReceiverProductId, {testing::command_collection(0x05)});
    EXPECT_EQ(driver_.open_feature_device(), 0);  // no Set_VIDPID yet: nothing is named
    driver_.set_vid_pid(kVendorId, kWiredProductId);
    EXPECT_EQ(driver_.open_feature_device(), 0);  // only the receiver is there

    // A mouse with no command or vendor collection cannot be configured.
    bed_->add_usb(kVendorId, kWiredProductId, {testing::boot_mouse_collection()});
    EXPECT_EQ(driver_.open_feature_device(), 0);
}

TEST_F(WiredDriverTest, DeviceEventsArePostedAsTheEventMessage) {
    auto wired = add_wired();
    RecordingHost host;
    const VantorelWindow window = window_of(host);
    driver_.set_vid_pid(kVendorId, kWiredProductId);
    driver_.open_dev_monitor(&window, kMsgWiredEvent, kMsgWiredAttach);
    ASSERT_NE(driver_.open_feature_device(), 0);

    bed_->feed(wired.nodes[1].devnode, {0x03, 0x27, 0x10, 0x02, 0x00});
    ASSERT_TRUE(host.wait_for(1));
    bed_->feed(wired.nodes[1].devnode, {0x03, 0x27, 0x41, 0x01, 0x32});
    ASSERT_TRUE(host.wait_for(2));

    auto messages = host.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, kMsgWiredEvent);
    EXPECT_EQ(messages[0].wparam, 0x1027u);
    EXPECT_EQ(messages[0].lparam, 0x0002);
    EXPECT_EQ(messages[1].wparam, 0x4127u);
    EXPECT_EQ(messages[1].lparam, 0x3201);
}

// Each node of the mouse announces itself (its command node may come last,
// and the application opens the feature device once that one is there); the
// receiver's nodes never count, and detach comes with the last node.
TEST_F(WiredDriverTest, AttachIsPostedForEveryNodeOfTheMouseAndDetachForTheLast) {
    RecordingHost host;
    const VantorelWindow window = window_of(host);
    driver_.set_vid_pid(kVendorId, kWiredProductId);
    driver_.open_dev_monitor(&window, kMsgWiredEvent, kMsgWiredAttach);

    auto receiver = bed_->add_usb(kVendorId, kReceiverProductId, {testing::command_collection(0x05)});
    auto wired = add_wired();  // two hidraw nodes
    ASSERT_TRUE(host.wait_for(2));
    bed_->unplug(receiver);
    bed_->unplug(wired);
    ASSERT_TRUE(host.wait_for(3));

    auto messages = host.messages();
    ASSERT_EQ(messages.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].id, kMsgWiredAttach);
        EXPECT_EQ(messages[i].wparam, i < 2 ? 1u : 0u);
    }
}

TEST_F(WiredDriverTest, NothingReachesTheWindowAfterCloseDevMonitor) {
    auto wired = add_wired();
    RecordingHost host;
    const VantorelWindow window = window_of(host);
    driver_.set_vid_pid(kVendorId, kWiredProductId);
    driver_.open_dev_monitor(&window, kMsgWiredEvent, kMsgWiredAttach);
    ASSERT_NE(driver_.open_feature_device(), 0);
    bed_->feed(wired.nodes[1].devnode, {0x03, 0x27, 0x70, 0x30, 0x00});
    ASSERT_TRUE(host.wait_for(1));

    // The reader keeps running after the monitor closes: it reads the next
    // report before Close_FeatureDevice has joined it, and must drop it.
    driver_.close_dev_monitor();
    bed_->feed(wired.nodes[1].devnode, {0x03, 0x27, 0x50, 0x00, 0x00});
    driver_.close_feature_device();
    auto messages = host.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wparam, 0x7027u);
    EXPECT_EQ(messages[0].lparam, 0x0030);
}

}  // namespace
}  // namespace vantorel
