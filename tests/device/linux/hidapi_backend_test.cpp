// SPDX-License-Identifier: GPL-2.0-or-later
// HidapiBackend against emulated hidraw nodes.
#include <gtest/gtest.h>

#include <atomic>

#include <algorithm>
#include <array>
#include <thread>

#include "device/linux/hidapi_backend.h"
#include "hidraw_testbed.h"

namespace vantorel {
namespace {

using testing::Bytes;
using testing::HidrawTestbed;

class HidapiBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HidrawTestbed::preloaded()) GTEST_SKIP() << "needs umockdev-wrapper (ctest runs it that way)";
        bed_ = std::make_unique<HidrawTestbed>();
        ASSERT_TRUE(backend_.init());
    }

    // The receiver: a boot mouse interface and the interface that carries
    // the command (0x000B) and event (0x000A) collections.
    HidrawTestbed::UsbDevice add_receiver() {
        return bed_->add_usb(kVendorId, kReceiverProductId,
                             {testing::boot_mouse_collection(),
                              testing::concat({testing::command_collection(0x05), testing::event_collection(0x03)})});
    }

    std::unique_ptr<HidrawTestbed> bed_;
    HidapiBackend backend_;
};

const HidDeviceInfo* find_page(const std::vector<HidDeviceInfo>& list, std::uint16_t page) {
    auto it = std::find_if(list.begin(), list.end(), [&](const HidDeviceInfo& i) { return i.usage_page == page; });
    return it == list.end() ? nullptr : &*it;
}

TEST_F(HidapiBackendTest, EnumerateListsBothCollectionsWithOneSharedPairingKey) {
    auto receiver = add_receiver();
    bed_->add_usb(kVendorId, kWiredProductId, {testing::command_collection(0x05)});  // not asked for

    auto list = backend_.enumerate(kVendorId, kReceiverProductId);
    ASSERT_EQ(list.size(), 3u);
    const HidDeviceInfo* command = find_page(list, kCommandUsagePage);
    const HidDeviceInfo* event = find_page(list, kEventUsagePage);
    const HidDeviceInfo* mouse = find_page(list, 0x0001);
    ASSERT_TRUE(command && event && mouse);

    EXPECT_EQ(command->path, receiver.nodes[1].devnode);
    EXPECT_EQ(event->path, command->path);
    EXPECT_EQ(command->usage, 0);
    EXPECT_EQ(event->usage, 0);
    EXPECT_EQ(command->interface_number, 1);
    EXPECT_EQ(command->vendor_id, kVendorId);
    EXPECT_EQ(command->product_id, kReceiverProductId);

    // The key is the USB interface: shared by the collections of interface
    // 1, different for interface 0.
    EXPECT_EQ(command->pairing_key, receiver.nodes[1].interface);
    EXPECT_EQ(event->pairing_key, command->pairing_key);
    EXPECT_EQ(mouse->pairing_key, receiver.nodes[0].interface);
    EXPECT_EQ(mouse->interface_number, 0);
}

TEST_F(HidapiBackendTest, BluetoothNodeIsKeyedByItsHidDevice) {
    auto node = bed_->add_bluetooth(kBleVendorId, kBleProductId, testing::vendor_collection(0x07));
    auto list = backend_.enumerate(kBleVendorId, kBleProductId);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, node.devnode);
    EXPECT_EQ(list[0].usage_page, 0xFF00);
    EXPECT_EQ(list[0].pairing_key, node.hid);
}

// hidraw sends exactly what it is given; the mouse expects each feature
// report at the length its descriptor declares, as Windows pads them.
TEST_F(HidapiBackendTest, FeatureReportsArePaddedToTheLengthTheDescriptorDeclares) {
    auto receiver = bed_->add_usb(kVendorId, kReceiverProductId,
                                  {testing::concat({testing::mouse_command_collection(), testing::event_collection(0x03)})});
    const std::string path = receiver.nodes[0].devnode;
    auto device = backend_.open_path(path);
    ASSERT_TRUE(device);

    auto report = [](std::uint8_t id, std::size_t n) {
        Bytes r(n, 0xA5);
        r[0] = id;
        return r;
    };
    struct Case {
        Bytes sent;
        std::size_t arrives;  // length at the node; the tail is zeros
    };
    const Case cases[] = {
        {report(0x05, 15), 32},   // light report: two main items declare 31 bytes
        {report(0x04, 56), 64},   // DPI
        {report(0x06, 9), 16},    // polling, declared behind Push/Pop
        {report(0x09, 64), 64},   // a macro part fills its report exactly
        {report(0x05, 40), 40},   // longer than declared: sent whole, never cut
        {report(0x0C, 10), 10},   // an id the descriptor does not declare: as given
    };
    for (const Case& c : cases) EXPECT_EQ(device->send_feature_report(c.sent), static_cast<int>(c.arrives));
    EXPECT_EQ(device->send_feature_report({}), -1);

    const std::vector<Bytes> sent = bed_->hidraw(path).features_sent();
    ASSERT_EQ(sent.size(), std::size(cases));
    for (std::size_t i = 0; i < sent.size(); ++i) {
        Bytes expected = cases[i].sent;
        expected.resize(cases[i].arrives, 0);
        EXPECT_EQ(sent[i], expected) << "case " << i;
    }
}

TEST_F(HidapiBackendTest, ReadTimeoutReturnsOneFedReportAndTimesOutWhenIdle) {
    auto receiver = add_receiver();
    const std::string path = receiver.nodes[1].devnode;
    auto device = backend_.open_path(path);
    ASSERT_TRUE(device);
    std::array<std::uint8_t, 100> buffer{};

    EXPECT_EQ(device->read_timeout(buffer, 0), 0);

    const Bytes battery = {0x03, 0x27, 0x41, 0x01, 0x32};
    bed_->feed(path, battery);
    ASSERT_EQ(device->read_timeout(buffer, -1), 5);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), battery);

    const Bytes ack = {0x03, 0x27, 0x50, 0x00, 0x00};
    bed_->feed(path, ack);
    ASSERT_EQ(device->read_timeout(buffer, -1), 5);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), ack);

    EXPECT_EQ(device->read_timeout(buffer, 20), 0);
    EXPECT_EQ(device->read_timeout(std::span<std::uint8_t>(), 0), -1);
}

TEST_F(HidapiBackendTest, SendsWhileAnotherThreadWaitsInRead) {
    auto receiver = add_receiver();
    const std::string path = receiver.nodes[1].devnode;
    auto device = backend_.open_path(path);
    ASSERT_TRUE(device);

    int got = 0;
    std::array<std::uint8_t, 100> buffer{};
    std::thread reader([&] { got = device->read_timeout(buffer, -1); });

    const Bytes report = {0x05, 0x03, 0x01, 0x00, 0x00};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(device->send_feature_report(report), 64);  // padded to its declared length
    bed_->feed(path, {0x03, 0x27, 0x10, 0x02, 0x00});
    reader.join();

    EXPECT_EQ(got, 5);
    EXPECT_EQ(buffer[2], 0x10);
    EXPECT_EQ(bed_->hidraw(path).features_sent().size(), 20u);
}

// A reader blocks without a time-out (no periodic wake-up while the mouse is
// quiet) and is still stopped at once.
TEST_F(HidapiBackendTest, AnInterruptEndsABlockingReadForGood) {
    auto receiver = add_receiver();
    auto device = backend_.open_path(receiver.nodes[1].devnode);
    ASSERT_TRUE(device);
    std::array<std::uint8_t, 100> buffer{};
    std::atomic<int> got{-2};
    std::thread reader([&] { got = device->read_timeout(buffer, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(got.load(), -2);  // still waiting
    device->interrupt();
    reader.join();
    EXPECT_EQ(got.load(), 0);
    EXPECT_EQ(device->read_timeout(buffer, -1), 0);  // and every later read
}

TEST_F(HidapiBackendTest, OpeningAMissingNodeFails) {
    add_receiver();
    EXPECT_EQ(backend_.open_path("/dev/hidraw9"), nullptr);
    EXPECT_TRUE(backend_.enumerate(kVendorId, kWiredProductId).empty());
}

}  // namespace
}  // namespace vantorel
