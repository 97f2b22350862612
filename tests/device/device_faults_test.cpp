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
#include "device/link_controller.h"
#include "device/link_fakes.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"
#include "session/mouse_session.h"
#include "session/virtual_session.h"

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
class DeviceFaults : public ::testing::Test {
public:
    void SetUp() override {
        rig.edit([](ProfileRecord& r) { r = profile_with_macros(); });
        rig.session->start();
        rig.engine().reset_last_applied();
    }
    void start() {
        rig.session->open();
        loop.process_pending();
    }
    bool pump_until(const std::function<bool()>& done) { return rig.pump_until(done); }
    // One apply the way an edit asks for one.
    ApplySummary apply() {
        const auto summary = rig.apply();
        EXPECT_TRUE(summary.has_value()) << "the apply request went nowhere";
        return summary.value_or(ApplySummary{});
    }
    void edit(const std::function<void(ProfileRecord&)>& change) { rig.edit(change); }
    void receiver_change(bool arrival) { rig.receiver_change(arrival); }
    bool bring_up_receiver() { return rig.bring_up_receiver(); }
    void pull_receiver() {
        mouse.unplug_receiver();
        receiver_change(false);
    }
    bool bring_up_cable() { return rig.bring_up_cable(); }
    bool bring_up_ble() { return rig.bring_up_ble(); }
    bool link_up(ConnectionMode link) { return rig.link_up(link); }

    // The profile shown is the one saved, and the mouse holds exactly it.
    void expect_in_step(ConnectionMode link) {
        const ProfileRecord shown = source.shown();
        const auto saved = source.saved();
        ASSERT_TRUE(saved.has_value());
        EXPECT_TRUE(*saved == shown) << "the profile shown is not the profile saved";
        std::string why;
        EXPECT_TRUE(mouse.holds_exactly(shown, &why, link)) << why;
    }

    ManualClock clock;
    testing::VirtualSession rig{clock};
    EventLoop& loop = rig.loop;
    VirtualMouse& mouse = rig.mouse;
    testing::SavingSource& source = rig.source;
    LinkState& links = rig.links();
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
