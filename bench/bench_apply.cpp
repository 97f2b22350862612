// SPDX-License-Identifier: GPL-2.0-or-later
// What a full apply costs beyond the waits the mouse's protocol requires,
// on each link, with and without a macro: the apply engine, the report
// sender and the virtual mouse in real time. The sender's clock adds up
// every wait it is asked for (the pacing); the rest of the wall time is our
// own cost.
//   vantorel_bench_apply [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/apply_engine.h"
#include "core/event_loop.h"
#include "core/function_codes.h"
#include "core/messages.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"

using namespace vantorel;

namespace {

// Real time, with every wait counted.
class PacingClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void sleep_for(Millis d) override {
        waited_ms_ += d.count();
        SteadyClock::instance().sleep_for(d);
    }
    long long waited_ms() const { return waited_ms_.load(); }

private:
    std::atomic<long long> waited_ms_{0};
};

ProfileRecord profile(bool with_macro) {
    ProfileRecord r;
    r.reset_to_defaults();
    r.set_brightness(5);
    r.set_polling_rate_index(1);
    if (with_macro) {
        SlotRef s = r.slot(4);
        s.set_function_code(kFunctionMacro);
        s.set_macro_repeat_count(1);
        s.set_macro_action_count(10);
        for (int i = 0; i < 10; ++i)
            s.set_macro_action(static_cast<std::size_t>(i),
                               {static_cast<std::uint8_t>(0x04 + i / 2), static_cast<std::uint8_t>(1 + i % 2), 20});
    }
    return r;
}

struct Result {
    double wall_ms = 0;
    double paced_ms = 0;
};

Result apply_once(ConnectionMode link, bool with_macro) {
    PacingClock pacing;
    LinkState links;
    VirtualMouse mouse;  // real time
    std::shared_ptr<HidDevice> command;
    ReportSender sender{links, pacing};
    MemoryProfileSource source;
    EventLoop loop;
    ApplyEngine engine{source, sender, pacing, [&links] { return links.any(); }};
    sender.set_wired_driver(&mouse.wired_driver());
    sender.set_ble_transport(&mouse.ble());
    sender.set_command_device_provider([&command] { return command; });
    mouse.set_event_tap([&links](ConnectionMode, const MouseEvent& e) {
        if (e[1] == kEventAcknowledge) links.ack_received.store(e[2] == 0 ? 1 : 0);
    });
    switch (link) {
        case ConnectionMode::Wired:
            mouse.plug_cable();
            mouse.wired_driver().set_vid_pid(kVendorId, kWiredProductId);
            mouse.wired_driver().open_feature_device();
            links.wired_state = kWiredAttached;
            break;
        case ConnectionMode::Wireless:
            mouse.plug_receiver();
            command = mouse.receiver().open_path(FakeReceiverBackend::kCommandPath);
            links.wireless_connected = 1;
            break;
        case ConnectionMode::Ble:
            mouse.connect_ble();
            links.ble_connected = 1;
            break;
        case ConnectionMode::None: break;
    }
    {
        std::lock_guard<std::mutex> lock(source.mutex());
        source.current() = profile(with_macro);
    }
    engine.reset_last_applied();
    const auto began = std::chrono::steady_clock::now();
    engine.request_apply();
    loop.process_pending();
    engine.wait_idle();
    const auto ended = std::chrono::steady_clock::now();
    engine.stop();
    std::string why;
    {
        std::lock_guard<std::mutex> lock(source.mutex());
        if (!mouse.holds_exactly(source.current(), &why, link)) std::fprintf(stderr, "the mouse differs: %s\n", why.c_str());
    }
    return {std::chrono::duration<double, std::milli>(ended - began).count(), static_cast<double>(pacing.waited_ms())};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("%-10s %-8s %10s %10s %10s\n", "link", "macro", "wall ms", "paced ms", "overhead");
    for (ConnectionMode link : {ConnectionMode::Wired, ConnectionMode::Wireless, ConnectionMode::Ble}) {
        for (bool with_macro : {false, true}) {
            std::vector<Result> results;
            for (int i = 0; i < runs; ++i) results.push_back(apply_once(link, with_macro));
            std::sort(results.begin(), results.end(),
                      [](const Result& a, const Result& b) { return a.wall_ms - a.paced_ms < b.wall_ms - b.paced_ms; });
            const Result& m = results[results.size() / 2];
            std::printf("%-10s %-8s %10.1f %10.1f %9.2f%%\n", connection_mode_name(link), with_macro ? "yes" : "no",
                        m.wall_ms, m.paced_ms, 100.0 * (m.wall_ms - m.paced_ms) / std::max(1.0, m.paced_ms));
        }
    }
    return 0;
}
