// SPDX-License-Identifier: GPL-2.0-or-later
// Emulated USB and Bluetooth HID devices with hidraw nodes, on umockdev.
//
// The test binary runs under umockdev-wrapper, whose preloaded library sends
// /sys, /dev and the udev monitor of this process into the test bed. Each
// hidraw node is a PTY (a byte stream: input reports are written into it one
// at a time from the test side) with an ioctl handler that answers the
// hidraw requests hidapi makes: the report descriptor size (hidapi's check
// that the node is a hidraw node), the descriptor, and feature reports, whose
// bytes it records.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <cstdint>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace vantorel::testing {

using Bytes = std::vector<std::uint8_t>;

// Report descriptors of the collections the tests use.
Bytes command_collection(std::uint8_t feature_report_id);  // usage page 0x000B, usage 0, one 63-byte feature report
Bytes event_collection(std::uint8_t input_report_id);      // usage page 0x000A, usage 0, one 63-byte input report
Bytes vendor_collection(std::uint8_t feature_report_id);   // usage page 0xFF00, usage 1, feature + input report
Bytes boot_mouse_collection();                             // usage page 0x0001, usage 2
// The mouse's command collection as such firmware declares it: usage page
// 0x000B, feature reports 0x04 (DPI, 64 bytes), 0x05 (light, 32 bytes, two
// main items), 0x06 (polling, 16 bytes, behind a Push/Pop) and 0x09 (macro
// parts, 64 bytes), each with its id byte.
Bytes mouse_command_collection();
Bytes concat(std::initializer_list<Bytes> parts);

// The ioctl side of one emulated hidraw node.
class FakeHidraw {
public:
    explicit FakeHidraw(Bytes descriptor) : descriptor_(std::move(descriptor)) {}

    const Bytes& descriptor() const { return descriptor_; }
    // Every feature report sent to the node, in order, report id first.
    std::vector<Bytes> features_sent() const;
    // The answer to a feature report read of report id `reply[0]`.
    void set_feature_reply(Bytes reply);
    // Called on umockdev's worker thread.
    bool handle(UMockdevIoctlClient* client);

private:
    Bytes descriptor_;
    mutable std::mutex mutex_;
    std::vector<Bytes> sent_;
    std::map<std::uint8_t, Bytes> replies_;
};

struct HidNode {
    std::string interface;  // sysfs path of the USB interface ("" on Bluetooth)
    std::string hid;        // sysfs path of the HID device
    std::string hidraw;     // sysfs path of the hidraw device
    std::string devnode;    // /dev/hidrawN
};

class HidrawTestbed {
public:
    HidrawTestbed();
    ~HidrawTestbed();
    HidrawTestbed(const HidrawTestbed&) = delete;
    HidrawTestbed& operator=(const HidrawTestbed&) = delete;

    // True when the umockdev preload library is active in this process.
    static bool preloaded();

    // A USB device with one HID interface per descriptor (interface numbers
    // 0, 1, ...). Arrival uevents go out for every device added.
    struct UsbDevice {
        std::string syspath;
        std::vector<HidNode> nodes;
    };
    UsbDevice add_usb(std::uint16_t vendor_id, std::uint16_t product_id, const std::vector<Bytes>& descriptors);
    // A Bluetooth LE HID device (HID over GATT: no USB parent).
    HidNode add_bluetooth(std::uint16_t vendor_id, std::uint16_t product_id, const Bytes& descriptor);

    // Unplugs: removal uevents for the hidraw nodes, the interfaces and the
    // USB device, in the kernel's order, then the sysfs tree goes away.
    void unplug(const UsbDevice& device);
    void unplug(const HidNode& bluetooth_node);

    FakeHidraw& hidraw(const std::string& devnode);
    // Writes one input report into the node.
    void feed(const std::string& devnode, const Bytes& report);

private:
    HidNode add_node(const std::string& parent, std::uint16_t bus, std::uint16_t vendor_id, std::uint16_t product_id,
                     const Bytes& descriptor, const std::string& interface);
    void remove_node(const HidNode& node);

    UMockdevTestbed* testbed_;
    int next_usb_ = 1;
    int next_hid_ = 1;
    int next_hidraw_ = 0;
    std::map<std::string, std::unique_ptr<FakeHidraw>> fakes_;
    std::map<std::string, UMockdevIoctlBase*> handlers_;
};

// Records what a watcher posts (its wake-ups, as the main window would get
// them).
class RecordingHost {
public:
    struct Message {
        std::uint32_t id;
        std::uintptr_t wparam;
        std::intptr_t lparam;
    };
    void post_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);

    // Waits until at least `count` messages were posted; false when that
    // did not happen within a generous deadline (the test has failed then).
    bool wait_for(std::size_t count);
    std::vector<Message> messages() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
};

}  // namespace vantorel::testing
