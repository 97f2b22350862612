// SPDX-License-Identifier: GPL-2.0-or-later
// The receiver link on the real hidraw backend, against emulated nodes: the
// receiver plugged in and pulled out again and again, the last time while a
// configuration write holds its command collection. Every descriptor and
// reader thread opened for a receiver ends with it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>

#include "core/event_loop.h"
#include "core/profile_source.h"
#include "device/device_events.h"
#include "device/link_fakes.h"
#include "device/linux/hidapi_backend.h"
#include "device/wireless_connection.h"
#include "hidraw_testbed.h"

namespace vantorel {
namespace {

using testing::Bytes;
using testing::HidrawTestbed;

int count_entries(const char* folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    return ec ? -1 : static_cast<int>(std::distance(it, std::filesystem::directory_iterator()));
}

class ReceiverOnHidraw : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HidrawTestbed::preloaded()) GTEST_SKIP() << "needs umockdev-wrapper (ctest runs it that way)";
        bed = std::make_unique<HidrawTestbed>();
        ASSERT_TRUE(backend.init());
    }
    void TearDown() override { wireless.StopReaders(); }

    HidrawTestbed::UsbDevice plug() {
        return bed->add_usb(kVendorId, kReceiverProductId,
                            {testing::boot_mouse_collection(),
                             testing::concat({testing::command_collection(0x05), testing::event_collection(0x03)})});
    }
    bool pump_until(const std::function<bool()>& done) {
        for (int i = 0; i < 5000; ++i) {
            loop.process_pending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    static int fd_count() { return count_entries("/proc/self/fd"); }
    // Waits (bounded) until the descriptor count is at most `limit`, or, for
    // -1, until it stays the same over a few polls.
    void settle_at_most(int limit) {
        int last = -2, same = 0;
        for (int i = 0; i < 2500 && same < 5; ++i) {
            const int n = fd_count();
            if (limit >= 0 && n <= limit) return;
            same = n == last ? same + 1 : 0;
            last = n;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    bool up() const { return links.wireless_connected.load() == 1; }

    std::unique_ptr<HidrawTestbed> bed;
    HidapiBackend backend;
    ManualClock clock;
    EventLoop loop{clock};
    LinkFacts facts;
    LinkState links;
    MemoryProfileSource profiles;
    DeviceEvents events{loop, facts, links, profiles, nullptr};
    WirelessConnection wireless{backend, loop, events};
};

TEST_F(ReceiverOnHidraw, PluggedAndPulled30TimesLeavesNoDescriptorOrReaderBehind) {
    constexpr int kRounds = 30;
    int threads = -1;
    const Bytes battery = {0x03, 0x27, 0x41, 0x00, 0x50};
    for (int i = 0; i < kRounds; ++i) {
        SCOPED_TRACE("round " + std::to_string(i));
        const auto receiver = plug();
        const std::string node = receiver.nodes[1].devnode;
        // The test bed's own descriptors for the new nodes are in from here.
        settle_at_most(-1);
        const int fds = fd_count();
        if (i == 0) threads = count_entries("/proc/self/task");

        wireless.OpenWirelessDevices();
        ASSERT_EQ(wireless.running_readers(), 1);
        bed->feed(node, battery);
        ASSERT_TRUE(pump_until([&] { return up(); }));
        std::shared_ptr<HidDevice> command = wireless.command_device();
        ASSERT_TRUE(command);
        EXPECT_EQ(command->send_feature_report(Bytes{0x05, 0x03, 0x01, 0x00, 0x00}), 64);

        // The last time, a write is under way as the receiver goes: its
        // handle outlives the removal until the write lets go of it.
        if (i != kRounds - 1) command.reset();
        wireless.OnNodeRemoved(node);
        EXPECT_FALSE(up());
        EXPECT_EQ(wireless.running_readers(), 0);
        EXPECT_FALSE(wireless.command_device());
        if (command) {
            EXPECT_GT(count_entries("/proc/self/fd"), fds) << "the handle a write holds stays open";
            command.reset();
        }
        // The test bed answers the nodes' requests from a thread of this
        // process and closes its side of each connection a moment after
        // ours closes; wait for that (bounded) before counting.
        settle_at_most(fds);
        EXPECT_EQ(fd_count(), fds);
        bed->unplug(receiver);
    }
    EXPECT_EQ(WirelessConnection::live_reader_threads(), 0);
    pump_until([&] { return count_entries("/proc/self/task") <= threads; });
    EXPECT_EQ(count_entries("/proc/self/task"), threads);
}

}  // namespace
}  // namespace vantorel
