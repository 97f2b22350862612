// SPDX-License-Identifier: GPL-2.0-or-later
// The rules that decide which udev devices are ours, from the ids udev gives.
#include <gtest/gtest.h>

#include "device/linux/udev_monitor.h"

namespace vantorel {
namespace {

TEST(HidIdTest, ParsesBusVendorAndProduct) {
    auto ble = parse_hid_id("0005:0000045E:00000227");
    ASSERT_TRUE(ble);
    EXPECT_EQ(ble->bus, DeviceBus::Bluetooth);
    EXPECT_EQ(ble->vendor_id, 0x045E);
    EXPECT_EQ(ble->product_id, 0x0227);

    auto usb = parse_hid_id("0003:00001d57:0000fa60");  // case does not matter
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->bus, DeviceBus::Usb);
    EXPECT_EQ(usb->vendor_id, 0x1D57);
    EXPECT_EQ(usb->product_id, 0xFA60);

    auto i2c = parse_hid_id("0018:000004F3:00003057");
    ASSERT_TRUE(i2c);
    EXPECT_EQ(i2c->bus, DeviceBus::Other);
}

TEST(HidIdTest, RejectsMalformedText) {
    EXPECT_FALSE(parse_hid_id(""));
    EXPECT_FALSE(parse_hid_id("0003:00001D57"));
    EXPECT_FALSE(parse_hid_id("0003:00001D57:0000FA60:1"));
    EXPECT_FALSE(parse_hid_id("0003::0000FA60"));
    EXPECT_FALSE(parse_hid_id("0003:00001D57:0000FA6G"));
    EXPECT_FALSE(parse_hid_id("0003:00011D57:0000FA60"));  // vendor does not fit 16 bits
    EXPECT_FALSE(parse_hid_id("0003:000001D57:0000FA60"));  // more than eight digits
    EXPECT_FALSE(parse_hid_id("0003: 1D57:0000FA60"));
}

TEST(UsbProductTest, ParsesKernelProductString) {
    auto id = parse_usb_product("1d57/fa60/100");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->vendor_id, 0x1D57);
    EXPECT_EQ(id->product_id, 0xFA60);
    auto short_ids = parse_usb_product("45e/227/0");  // no leading zeros
    ASSERT_TRUE(short_ids);
    EXPECT_EQ(short_ids->vendor_id, 0x045E);
    EXPECT_EQ(short_ids->product_id, 0x0227);

    EXPECT_FALSE(parse_usb_product("1d57/fa60"));
    EXPECT_FALSE(parse_usb_product("1d57/fa600/100"));
    EXPECT_FALSE(parse_usb_product("1d57/fa60/100/1"));
    EXPECT_FALSE(parse_usb_product("/fa60/100"));
}

TEST(MatchRulesTest, EachDeviceOnlyOnItsBus) {
    EXPECT_TRUE(is_receiver(DeviceBus::Usb, 0x1D57, 0xFA60));
    EXPECT_FALSE(is_receiver(DeviceBus::Bluetooth, 0x1D57, 0xFA60));
    EXPECT_TRUE(is_wired_mouse(DeviceBus::Usb, 0x1D57, 0x2227));
    EXPECT_FALSE(is_wired_mouse(DeviceBus::Usb, 0x1D57, 0xFA60));
    EXPECT_TRUE(is_ble_mouse(DeviceBus::Bluetooth, 0x045E, 0x0227));
    // A USB device that happens to carry the Bluetooth ids is not the mouse.
    EXPECT_FALSE(is_ble_mouse(DeviceBus::Usb, 0x045E, 0x0227));
    EXPECT_FALSE(identify(DeviceBus::Usb, 0x045E, 0x0227));

    auto wired = identify(DeviceBus::Usb, 0x1D57, 0x2227);
    ASSERT_TRUE(wired);
    EXPECT_EQ(wired->device, WatchedDevice::WiredMouse);
    EXPECT_STREQ(watched_device_name(wired->device), "wired");
}

TEST(IdentifyUeventTest, UsbDevicePrefersUdevIdsAndFallsBackToProduct) {
    auto receiver = identify_usb_device(
        {{"DEVTYPE", "usb_device"}, {"ID_VENDOR_ID", "1d57"}, {"ID_MODEL_ID", "fa60"}, {"PRODUCT", "1d57/2227/100"}});
    ASSERT_TRUE(receiver);
    EXPECT_EQ(receiver->device, WatchedDevice::Receiver);

    // A kernel removal uevent without udev's ids still names the device.
    auto wired = identify_usb_device({{"DEVTYPE", "usb_device"}, {"PRODUCT", "1d57/2227/100"}});
    ASSERT_TRUE(wired);
    EXPECT_EQ(wired->device, WatchedDevice::WiredMouse);
    EXPECT_EQ(wired->bus, DeviceBus::Usb);

    // Broken udev ids fall back to PRODUCT.
    auto fallback = identify_usb_device(
        {{"DEVTYPE", "usb_device"}, {"ID_VENDOR_ID", "zz"}, {"ID_MODEL_ID", "fa60"}, {"PRODUCT", "1d57/fa60/100"}});
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->device, WatchedDevice::Receiver);
}

TEST(IdentifyUeventTest, IgnoresInterfacesForeignAndIdlessDevices) {
    EXPECT_FALSE(identify_usb_device({{"DEVTYPE", "usb_interface"}, {"PRODUCT", "1d57/fa60/100"}}));
    EXPECT_FALSE(identify_usb_device({{"PRODUCT", "1d57/fa60/100"}}));
    EXPECT_FALSE(identify_usb_device({{"DEVTYPE", "usb_device"}, {"PRODUCT", "46d/c077/7200"}}));
    EXPECT_FALSE(identify_usb_device({{"DEVTYPE", "usb_device"}}));
}

TEST(IdentifyUeventTest, HidDeviceByHidId) {
    auto ble = identify_hid_device({{"HID_ID", "0005:0000045E:00000227"}, {"HID_NAME", "QV Vantorel"}});
    ASSERT_TRUE(ble);
    EXPECT_EQ(ble->device, WatchedDevice::BleMouse);
    EXPECT_EQ(ble->bus, DeviceBus::Bluetooth);

    auto receiver = identify_hid_device({{"HID_ID", "0003:00001D57:0000FA60"}});
    ASSERT_TRUE(receiver);
    EXPECT_EQ(receiver->device, WatchedDevice::Receiver);

    EXPECT_FALSE(identify_hid_device({{"HID_ID", "0003:0000046D:0000C077"}}));
    EXPECT_FALSE(identify_hid_device({{"HID_NAME", "no id"}}));
}

}  // namespace
}  // namespace vantorel
