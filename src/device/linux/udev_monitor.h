// SPDX-License-Identifier: GPL-2.0-or-later
// Watches libudev for the three devices the tool talks to and tells the main
// window when one arrives or leaves:
//  - the 2.4 GHz receiver, USB 1D57:FA60;
//  - the mouse on its cable, USB 1D57:2227;
//  - the mouse over Bluetooth LE, HID 045E:0227 on the Bluetooth bus.
//
// Two kinds of udev devices are reported: the hidraw nodes of those devices
// (identified by their parent HID device's HID_ID) and the USB devices
// themselves (DEVTYPE usb_device). USB interfaces are left out; each of them
// also brings a hidraw node, which is what the links open.
//
// A removal carries only what the uevent says, since sysfs is already gone:
// a USB device still names itself (ID_VENDOR_ID / ID_MODEL_ID or PRODUCT), a
// hidraw node does not, so the monitor remembers every matching node it saw
// arrive or found present at start and matches its removal by device node.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/device_change.h"

struct udev;
struct udev_monitor;
struct udev_device;

namespace vantorel {

enum class WatchedDevice { Receiver, WiredMouse, BleMouse };

// "receiver", "wired", "ble"
const char* watched_device_name(WatchedDevice device);

struct DeviceIdentity {
    WatchedDevice device = WatchedDevice::Receiver;
    DeviceBus bus = DeviceBus::Other;
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
};

// Properties of one udev device or uevent, by name.
using UeventProperties = std::map<std::string, std::string, std::less<>>;

// The matching rules, one per device.
bool is_receiver(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id);
bool is_wired_mouse(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id);
bool is_ble_mouse(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id);
std::optional<DeviceIdentity> identify(DeviceBus bus, std::uint16_t vendor_id, std::uint16_t product_id);

// HID_ID of a HID device: "bus:vendor:product" in hexadecimal, for example
// "0005:0000045E:00000227". The kernel's bus numbers: 3 USB, 5 Bluetooth.
struct HidId {
    DeviceBus bus = DeviceBus::Other;
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
};
std::optional<HidId> parse_hid_id(std::string_view text);

// PRODUCT of a USB device or interface uevent: "vendor/product/bcdDevice" in
// hexadecimal without leading zeros, for example "1d57/fa60/100".
struct UsbId {
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
};
std::optional<UsbId> parse_usb_product(std::string_view text);

// A USB device uevent (DEVTYPE usb_device) of one of our devices. The ids
// come from ID_VENDOR_ID / ID_MODEL_ID when udev added them, else PRODUCT.
std::optional<DeviceIdentity> identify_usb_device(const UeventProperties& properties);

// A hidraw node, from the properties of its parent HID device (HID_ID).
std::optional<DeviceIdentity> identify_hid_device(const UeventProperties& hid_properties);

// A matching hidraw node that is present now.
struct PresentDevice {
    DeviceIdentity identity;
    std::string devnode;   // /dev/hidrawN
    std::string syspath;
    // The node can be opened for reading and writing by this process; false
    // means the device is there but the udev rule did not grant us access.
    bool accessible = false;
};

// Lists the matching hidraw nodes present now, ordered by device node.
std::vector<PresentDevice> enumerate_present();

class UdevMonitor {
public:
    // `changed` is called on the monitor's thread after each change queued.
    UdevMonitor(std::function<void()> changed, DeviceChangeQueue& queue);
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // Sets up the udev monitor (subsystems hidraw and usb), notes the
    // matching nodes present now and starts the monitor thread. Returns false
    // when libudev could not be set up; true when it runs (also when it was
    // running already).
    bool start();
    // Stops the thread and waits for it; after it returns nothing more is
    // pushed or posted. Harmless when not running.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    void run();
    void handle_event(udev_device* device);
    void report(const DeviceIdentity& identity, bool arrival, std::string subsystem, std::string devnode,
                std::string syspath);
    void release();

    std::function<void()> changed_;
    DeviceChangeQueue& queue_;
    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    int stop_fd_ = -1;
    std::thread thread_;
    // Matching hidraw nodes seen, by device node; touched only by start()
    // before the thread runs and by the thread afterwards.
    std::map<std::string, DeviceIdentity> known_nodes_;
};

}  // namespace vantorel
