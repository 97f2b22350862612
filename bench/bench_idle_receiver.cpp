// SPDX-License-Identifier: GPL-2.0-or-later
// Wake-ups of the receiver's reader threads on the real hidraw backend, with
// an emulated receiver: first idle, then with one battery report every
// 100 ms. A reader blocks in poll() on its node and its stop eventfd, so it
// should wake only for a report. Wake-ups are context switches
// (voluntary + involuntary) read from /proc/self/task/TID/status.
//
// Under umockdev every read() of an emulated node first goes to the test
// bed's thread and back over a socket, which costs the reading thread a few
// wake-ups of its own per report. A bare poll() and read() thread on a
// second emulated node gives that floor, to set the reader's count against.
// The process sum counts every thread: the main one, the test bed's and the
// bare reader too.
//   umockdev-wrapper vantorel_bench_idle_receiver [SECONDS]
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "core/event_loop.h"
#include "core/profile_source.h"
#include "device/device_events.h"
#include "device/link_state.h"
#include "device/linux/hidapi_backend.h"
#include "device/wireless_connection.h"
#include "hidraw_testbed.h"

using namespace vantorel;
using testing::Bytes;
using testing::HidrawTestbed;

namespace {

std::set<int> thread_ids() {
    std::set<int> ids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec))
        ids.insert(std::atoi(entry.path().filename().c_str()));
    return ids;
}

// Context switches of one thread so far; 0 when it is gone.
long long switches(int tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    long long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("voluntary_ctxt_switches:") || line.starts_with("nonvoluntary_ctxt_switches:"))
            total += std::atoll(line.c_str() + line.find(':') + 1);
    }
    return total;
}

template <typename Tids>
long long switches_of(const Tids& tids) {
    long long total = 0;
    for (int tid : tids) total += switches(tid);
    return total;
}

// A thread that only waits in poll() and reads, as the receiver's reader
// does, without anything of ours around it.
class BareReader {
public:
    explicit BareReader(const std::string& devnode)
        : fd_(::open(devnode.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)), stop_(::eventfd(0, EFD_CLOEXEC)) {
        thread_ = std::thread([this] { run(); });
        while (tid_.load() == 0) std::this_thread::yield();
    }
    ~BareReader() {
        const std::uint64_t one = 1;
        if (::write(stop_, &one, sizeof one) != sizeof one) std::fprintf(stderr, "cannot stop the bare reader\n");
        thread_.join();
        ::close(fd_);
        ::close(stop_);
    }
    bool opened() const { return fd_ >= 0; }
    int tid() const { return tid_.load(); }

private:
    void run() {
        tid_ = static_cast<int>(::gettid());
        std::uint8_t buffer[WirelessConnection::kReportBufferSize];
        for (;;) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) || !(fds[0].revents & POLLIN)) return;
            if (::read(fd_, buffer, sizeof buffer) < 0 && errno != EAGAIN) return;
        }
    }
    int fd_;
    int stop_;
    std::atomic<int> tid_{0};
    std::thread thread_;
};

struct Counts {
    long long readers;
    long long bare;
    long long process;
};

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 5.0;
    if (!HidrawTestbed::preloaded()) {
        std::fprintf(stderr, "needs the umockdev preload: umockdev-wrapper %s [seconds]\n", argv[0]);
        return 1;
    }
    HidrawTestbed bed;
    HidapiBackend backend;
    if (!backend.init()) {
        std::fprintf(stderr, "hidapi does not start\n");
        return 1;
    }
    ManualClock clock;  // the watchdog and other timers stay where they are
    EventLoop loop{clock};
    LinkFacts facts;
    LinkState links;
    MemoryProfileSource profiles;
    DeviceEvents events{loop, facts, links, profiles, nullptr};
    WirelessConnection wireless{backend, loop, events};
    int reports_handled = 0;
    events.set_event_tap([&](ConnectionMode, const DeviceEvent&) { ++reports_handled; });

    const auto receiver =
        bed.add_usb(kVendorId, kReceiverProductId,
                    {testing::boot_mouse_collection(),
                     testing::concat({testing::command_collection(0x05), testing::event_collection(0x03)})});
    const std::string node = receiver.nodes[1].devnode;
    const Bytes battery = {0x03, 0x27, 0x41, 0x00, 0x50};
    const std::string bare_node = bed.add_usb(0x1234, 0x5678, {testing::boot_mouse_collection()}).nodes[0].devnode;
    BareReader bare(bare_node);
    if (!bare.opened()) {
        std::fprintf(stderr, "cannot open %s\n", bare_node.c_str());
        return 1;
    }
    sleep_ms(200);  // the test bed's own threads for the new nodes start first

    const std::set<int> before = thread_ids();
    wireless.OpenWirelessDevices();
    std::vector<int> readers;
    for (int tid : thread_ids())
        if (!before.contains(tid)) readers.push_back(tid);
    const int live = WirelessConnection::live_reader_threads();
    if (static_cast<int>(readers.size()) != live)
        std::fprintf(stderr, "%zu new threads for %d readers\n", readers.size(), live);

    bed.feed(node, battery);
    for (int i = 0; i < 5000 && links.wireless_connected.load() != 1; ++i) {
        loop.process_pending();
        sleep_ms(2);
    }
    if (links.wireless_connected.load() != 1) {
        std::fprintf(stderr, "the receiver link did not come up\n");
        return 1;
    }
    sleep_ms(1000);

    auto snapshot = [&] { return Counts{switches_of(readers), switches(bare.tid()), switches_of(thread_ids())}; };
    const auto period_ms = static_cast<int>(seconds * 1000);

    // Idle: the main thread only sleeps.
    Counts start = snapshot();
    auto began = std::chrono::steady_clock::now();
    sleep_ms(period_ms);
    Counts end = snapshot();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    loop.process_pending();
    std::printf("idle: %.1f s, reader threads %zu, reader wake-ups %lld (%.1f/s), process wake-ups %lld (%.1f/s)\n",
                took, readers.size(), end.readers - start.readers, (end.readers - start.readers) / took,
                end.process - start.process, (end.process - start.process) / took);

    // Reports: one battery report every 100 ms, the loop pumped after each.
    reports_handled = 0;
    const int reports = std::max(1, static_cast<int>(seconds * 10));
    start = snapshot();
    began = std::chrono::steady_clock::now();
    for (int i = 0; i < reports; ++i) {
        bed.feed(node, battery);
        bed.feed(bare_node, battery);
        sleep_ms(100);
        loop.process_pending();
    }
    end = snapshot();
    took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const long long woke = end.readers - start.readers;
    std::printf("reports: %d in %.1f s (%d handled), reader wake-ups %lld (%.2f per report; bare poll and read "
                "on an emulated node %.2f), process wake-ups %lld (%.1f/s)\n",
                reports, took, reports_handled, woke, static_cast<double>(woke) / reports,
                static_cast<double>(end.bare - start.bare) / reports, end.process - start.process,
                (end.process - start.process) / took);

    wireless.StopReaders();
    return 0;
}
