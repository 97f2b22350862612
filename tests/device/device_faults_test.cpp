// SPDX-License-Identifier: GPL-2.0-or-later
// Device faults: the virtual mouse misbehaving and its links coming and going
// while the apply engine sends through the link controller, in the mouse
// session the page uses. Whatever happens, the program keeps running, holds no handle or
// thread it opened for a link that is gone, reports a report the mouse did
// not take as not taken, and the profile it shows is the one it saved; once
// a link is back, an apply leaves the mouse holding exactly that profile.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/apply_engine.h"
#include "core/event_loop.h"
#include "core/messages.h"
#include "device/link_controller.h"
#include "device/link_fakes.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"
#include "session/mouse_session.h"

namespace vantorel {
namespace {

// Entries of a /proc/self folder: the process's threads or open descriptors.
int count_entries(const char* folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return -1;
    return static_cast<int>(std::distance(it, std::filesystem::directory_iterator()));
}
int thread_count() { return count_entries("/proc/self/task"); }
int fd_count() { return count_entries("/proc/self/fd"); }

// Keeps the record as last saved, as the library file would hold it.
class SavingSource final : public ProfileSource {
public:
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override { return record_; }
    bool save(std::string*) override {
        saved_ = record_;
        return true;
    }
    std::optional<ProfileRecord> saved() {
        std::lock_guard<std::mutex> lock(mutex_);
        return saved_;
    }
    ProfileRecord shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        return record_;
    }

private:
    std::mutex mutex_;
    ProfileRecord record_;
    std::optional<ProfileRecord> saved_;
};

void give_macro(ProfileRecord& r, int slot, int actions, std::uint16_t delay) {
    SlotRef s = r.slot(slot);
    s.set_function_code(kFunctionMacro);
    s.set_macro_repeat_count(1);
    s.set_macro_action_count(static_cast<std::uint16_t>(actions));
    for (int i = 0; i < actions; ++i)
        s.set_macro_action(static_cast<std::size_t>(i),
                           {static_cast<std::uint8_t>(0x04 + i % 20), static_cast<std::uint8_t>(1 + i % 2), delay});
}

// Two macros of several blocks each, so faults can strike inside them.
ProfileRecord profile_with_macros() {
    ProfileRecord r;
    r.reset_to_defaults();
    r.set_dpi_value(3, 250);
    r.set_light_mode(1);
    r.set_brightness(4);
    r.set_polling_rate_index(2);
    give_macro(r, 0, 90, 300);
    give_macro(r, 5, 30, 20);
    return r;
}

// Members are public: the table of faults below reaches into the fixture.
class DeviceFaults : public ::testing::Test, public MouseObserver {
public:
    void SetUp() override {
        // The engine's sleeps run in virtual time, faster than the readers
        // could bring the acknowledge to the loop, so it reaches the link
        // state the moment the mouse answers; the readers still get it.
        mouse.set_event_tap([this](ConnectionMode link, const MouseEvent& e) {
            if (link == ConnectionMode::Wireless && e[1] == kEventAcknowledge)
                links.ack_received.store(e[2] == 0 ? 1 : 0);
        });
        session.add_observer(this);
        loop.set_message_handler([this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) { session.on_message(m, w, l); });
        loop.set_timer_handler([this](int id) { session.on_timer(id); });
        {
            std::lock_guard<std::mutex> lock(source.mutex());
            source.current() = profile_with_macros();
        }
        session.start();
        engine = session.engine();
        engine->reset_last_applied();
    }
    void TearDown() override { session.shutdown(); }
    void apply_finished(const ApplySummary& s) override {
        std::lock_guard<std::mutex> lock(summaries_mutex);
        summaries.push_back(s);
    }

    void start() {
        session.open();
        loop.process_pending();
    }

    // Lets what the reader threads post reach the loop (bounded real-time wait).
    bool pump_until(const std::function<bool()>& done) {
        for (int i = 0; i < 5000; ++i) {
            loop.process_pending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // One apply the way an edit asks for one. The loop is left alone while
    // it sends, so nothing the readers post meanwhile can touch the
    // acknowledge flag under the sender.
    ApplySummary apply() {
        loop.process_pending();
        const std::size_t before = summary_count();
        engine->request_apply();
        loop.process_pending();
        engine->wait_idle();
        loop.process_pending();
        std::lock_guard<std::mutex> lock(summaries_mutex);
        EXPECT_GT(summaries.size(), before) << "the apply request went nowhere";
        return summaries.empty() ? ApplySummary{} : summaries.back();
    }
    std::size_t summary_count() {
        std::lock_guard<std::mutex> lock(summaries_mutex);
        return summaries.size();
    }

    void edit(const std::function<void(ProfileRecord&)>& change) {
        std::lock_guard<std::mutex> lock(source.mutex());
        change(source.current());
    }

    // The receiver's two nodes coming or going, as the udev watch reports them.
    void receiver_change(bool arrival) {
        for (const char* node : {FakeReceiverBackend::kCommandPath, FakeReceiverBackend::kEventPath}) {
            changes->push(testing::hidraw_change(arrival, node));
            loop.post_message(arrival ? kMsgDeviceArrival : kMsgDeviceRemoval);
        }
        loop.process_pending();
    }
    // Plugged, enumerated after the arrival settles, and identified by the
    // first event the mouse sends.
    bool bring_up_receiver() {
        mouse.plug_receiver();
        receiver_change(true);
        loop.run_for(Millis(WirelessConnection::kArrivalSettleMs));
        mouse.report_battery(0, 80);
        return pump_until([&] { return links.wireless_connected.load() == 1; });
    }
    void pull_receiver() {
        mouse.unplug_receiver();
        receiver_change(false);
    }
    bool bring_up_cable() {
        mouse.plug_cable();
        loop.process_pending();
        loop.run_for(Millis(WiredLink::kAttachSettleMs));
        return links.wired_state.load() == kWiredAttached;
    }
    bool bring_up_ble() {
        mouse.connect_ble();
        return pump_until([&] { return links.ble_connected.load() == 1; });
    }
    bool link_up(ConnectionMode link) {
        switch (link) {
            case ConnectionMode::Wired: return bring_up_cable();
            case ConnectionMode::Wireless: return bring_up_receiver();
            case ConnectionMode::Ble: return bring_up_ble();
            case ConnectionMode::None: break;
        }
        return false;
    }

    // The profile shown is the one saved, and the mouse holds exactly it.
    void expect_in_step(ConnectionMode link) {
        const ProfileRecord shown = source.shown();
        const auto saved = source.saved();
        ASSERT_TRUE(saved.has_value());
        EXPECT_TRUE(*saved == shown) << "the profile shown is not the profile saved";
        std::string why;
        EXPECT_TRUE(mouse.holds_exactly(shown, &why, link)) << why;
    }

    // The mouse session as the page builds it, on the virtual mouse.
    MouseSetup setup() {
        MouseSetup m;
        m.hid = std::shared_ptr<HidBackend>(std::shared_ptr<void>(), &mouse.receiver());
        m.wired_driver = mouse.shared_wired_driver();
        m.ble_gatt = mouse.shared_ble();
        m.clock = &clock;
        m.wireless.read_timeout_ms = -1;
        m.start_device_monitor = [this](WindowHost&, DeviceChangeQueue& queue) -> std::shared_ptr<void> {
            changes = &queue;
            return nullptr;
        };
        return m;
    }

    ManualClock clock;
    EventLoop loop{clock};
    testing::RecordingView view;
    SavingSource source;
    VirtualMouse mouse{clock};
    DeviceChangeQueue* changes = nullptr;
    MouseSession session{loop, loop, source, view, setup()};
    LinkState& links = session.links();
    ApplyEngine* engine = nullptr;
    std::mutex summaries_mutex;
    std::vector<ApplySummary> summaries;
};

// A fault that strikes during an edit's apply, and how the link comes back.
struct FaultCase {
    const char* name;
    ConnectionMode link;
    std::function<void(DeviceFaults&)> strike;   // arms the fault before the apply
    std::function<bool(DeviceFaults&)> recover;  // afterwards: the link usable again
    ConnectionMode link_after;                   // the link the recovery apply goes on
};

class DeviceFaultCases : public DeviceFaults, public ::testing::WithParamInterface<FaultCase> {};

// The edit whose apply the fault strikes is neither lost nor reported as
// taken; the program keeps running, shows what it saved, and the next apply
// once a link is back brings the mouse in step.
TEST_P(DeviceFaultCases, EditSurvivesTheFaultAndReachesTheMouseOnceALinkIsBack) {
    const FaultCase& c = GetParam();
    start();
    ASSERT_TRUE(link_up(c.link));
    ASSERT_TRUE(apply().all_taken());
    expect_in_step(c.link);

    edit([](ProfileRecord& r) {
        r.set_brightness(9);
        r.set_dpi_value(3, 300);
        give_macro(r, 0, 90, 310);  // every block of the macro changes
    });
    c.strike(*this);
    const ApplySummary faulty = apply();
    EXPECT_TRUE(faulty.ran);
    EXPECT_FALSE(faulty.all_taken()) << "a report the mouse never took was counted as taken";
    EXPECT_TRUE(faulty.saved);
    EXPECT_TRUE(source.saved() == source.shown()) << "the profile shown is not the profile saved";

    ASSERT_TRUE(c.recover(*this));
    ASSERT_EQ(links.mode(), c.link_after);
    const ApplySummary again = apply();
    EXPECT_TRUE(again.ran);
    EXPECT_TRUE(again.all_taken());
    expect_in_step(c.link_after);
    EXPECT_EQ(mouse.rejected_reports(), 0) << "a report reached the mouse broken up";
}

const FaultCase kFaultCases[] = {
    {"AcknowledgementsThatNeverCome", ConnectionMode::Wireless,
     [](DeviceFaults& f) { f.mouse.set_answer_mode(AnswerMode::Silent); },
     [](DeviceFaults& f) {
         f.mouse.set_answer_mode(AnswerMode::Prompt);
         // The watchdog may have dropped the silent link meanwhile.
         return f.links.wireless_connected.load() == 1 || f.bring_up_receiver();
     },
     ConnectionMode::Wireless},
    {"ReceiverMouseVanishesInTheMiddleOfAMacroBlock", ConnectionMode::Wireless,
     // DPI, light and button reports, then the first macro block: its second part.
     [](DeviceFaults& f) { f.mouse.vanish_after(5); },
     [](DeviceFaults& f) {
         f.receiver_change(false);
         return f.links.wireless_connected.load() == 0 && f.bring_up_receiver();
     },
     ConnectionMode::Wireless},
    {"CabledMouseVanishesInTheMiddleOfAMacroBlock", ConnectionMode::Wired,
     [](DeviceFaults& f) { f.mouse.vanish_after(5); },
     [](DeviceFaults& f) {
         f.loop.process_pending();
         return f.links.wired_state.load() != kWiredAttached && f.bring_up_cable();
     },
     ConnectionMode::Wired},
    {"BluetoothLeDropsDuringAWrite", ConnectionMode::Ble,
     [](DeviceFaults& f) { f.mouse.vanish_after(2); },  // the light report
     [](DeviceFaults& f) {
         f.loop.process_pending();
         return f.links.ble_connected.load() == 0 && f.bring_up_ble();
     },
     ConnectionMode::Ble},
    {"CablePluggedWhileTheReceiverLinkIsBusy", ConnectionMode::Wireless,
     [](DeviceFaults& f) {
         // In the middle of the first macro block on the receiver; the
         // receiver is then pulled for good before the recovery.
         f.mouse.after_transmissions(4, [&f] { f.mouse.plug_cable(); });
         f.mouse.vanish_after(8);
     },
     [](DeviceFaults& f) {
         f.loop.process_pending();
         f.loop.run_for(Millis(WiredLink::kAttachSettleMs));
         f.receiver_change(false);
         return f.links.wired_state.load() == kWiredAttached;
     },
     ConnectionMode::Wired},
};

INSTANTIATE_TEST_SUITE_P(Faults, DeviceFaultCases, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

// The receiver pulled out a hundred times, each time while an apply is
// sending (at a different point of it, often inside a macro block), and
// plugged back in: every reader thread and handle of a gone receiver ends
// with it, and afterwards the program applies as before.
TEST_F(DeviceFaults, ReceiverUnpluggedAndReplugged100TimesWhileAppliesRunLeaksNothing) {
    start();
    ASSERT_TRUE(bring_up_receiver());
    ASSERT_TRUE(apply().all_taken());
    const int threads = thread_count();
    const int fds = fd_count();
    const int handles = mouse.receiver().open_handles();
    ASSERT_GT(threads, 0);
    ASSERT_GT(fds, 0);
    EXPECT_EQ(WirelessConnection::live_reader_threads(), 1);

    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE("round " + std::to_string(i));
        edit([i](ProfileRecord& r) {
            r.set_brightness(i % 16);
            r.set_dpi_value(3, 100 + i);
            give_macro(r, 5, 30, static_cast<std::uint16_t>(20 + i));
        });
        // DPI, light, buttons and at least one macro block (three parts) go out.
        mouse.vanish_after(1 + i % 6);
        const ApplySummary s = apply();
        mouse.vanish_after(0);
        EXPECT_TRUE(s.ran);
        EXPECT_FALSE(s.all_taken());
        receiver_change(false);
        ASSERT_EQ(links.wireless_connected.load(), 0);
        ASSERT_TRUE(bring_up_receiver());
    }

    const ApplySummary last = apply();
    EXPECT_TRUE(last.all_taken());
    expect_in_step(ConnectionMode::Wireless);

    EXPECT_EQ(WirelessConnection::live_reader_threads(), 1);
    EXPECT_EQ(mouse.receiver().open_handles(), handles);
    // Threads end a moment after they are joined or let go of; wait for that
    // (bounded) before counting.
    pump_until([&] { return thread_count() <= threads; });
    EXPECT_EQ(thread_count(), threads);
    EXPECT_EQ(fd_count(), fds);
}

}  // namespace
}  // namespace vantorel
