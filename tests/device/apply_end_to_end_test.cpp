// SPDX-License-Identifier: GPL-2.0-or-later
// The apply engine, the report sender and the virtual mouse together.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "core/apply_engine.h"
#include "core/event_loop.h"
#include "session/virtual_session.h"
#include "device/report_sender.h"
#include "device/virtual_mouse.h"

namespace vantorel {
namespace {

void give_macro(ProfileRecord& r, int slot, int actions, std::uint16_t delay) {
    SlotRef s = r.slot(slot);
    s.set_function_code(kFunctionMacro);
    s.set_macro_repeat_count(2);
    s.set_macro_action_count(static_cast<std::uint16_t>(actions));
    for (int i = 0; i < actions; ++i)
        s.set_macro_action(static_cast<std::size_t>(i),
                           {static_cast<std::uint8_t>(0x04 + i % 20), static_cast<std::uint8_t>(1 + i % 2), delay});
}

ProfileRecord rich_record() {
    ProfileRecord r;
    r.reset_to_defaults();
    r.set_dpi_value(6, 300);
    r.set_dpi_stage_enabled(6, 1);
    r.set_dpi_color(6, {1, 2, 3});
    r.set_dpi_stage_index(6);
    r.set_light_mode(1);
    r.set_brightness(5);
    r.set_polling_rate_index(1);
    r.slot(6).set_function_code(kFunctionShortcut);
    r.slot(6).set_shortcut_modifiers(0x05);
    r.slot(6).set_shortcut_key(0x2B);
    r.slot(16).set_function_code(64);
    give_macro(r, 0, 120, 300);  // long delays: several blocks
    give_macro(r, 4, 10, 15);
    give_macro(r, 9, 6, 40);     // a slot whose blocks start at 0
    return r;
}

// The apply engine and the report sender straight on the virtual mouse's
// receiver, without the links, in virtual time: the stress below runs the
// engine against edits and commits, not the links.
class Session {
public:
    Session() {
        sender.set_command_device_provider([this] { return command; });
        // The acknowledge reaches the link state as the event dispatch sets it.
        mouse.set_event_tap([this](ConnectionMode, const MouseEvent& e) {
            if (e[1] == kEventAcknowledge) links.ack_received.store(e[2] == 0 ? 1 : 0);
        });
        mouse.plug_receiver();
        command = mouse.receiver().open_path(FakeReceiverBackend::kCommandPath);
        links.wireless_connected = 1;
    }
    ~Session() { engine.stop(); }

    void load(const ProfileRecord& r) {
        {
            std::lock_guard<std::mutex> lock(source.mutex());
            source.current() = r;
        }
        engine.reset_last_applied();
    }
    // One apply, run to its end.
    void apply() {
        engine.request_apply();
        loop.process_pending();
        engine.wait_idle();
    }
    bool holds(std::string* why) {
        std::lock_guard<std::mutex> lock(source.mutex());
        return mouse.holds_exactly(source.current(), why, ConnectionMode::Wireless);
    }

    ManualClock clock;
    LinkState links;
    VirtualMouse mouse{clock};
    std::shared_ptr<HidDevice> command;
    ReportSender sender{links, clock};
    MemoryProfileSource source;
    EventLoop loop{clock};
    ApplyEngine engine{source, sender, clock, [this] { return links.any(); }};
};

// The mouse session on one link of the virtual mouse, brought up as the
// mouse brings it up.
class EndToEnd : public ::testing::TestWithParam<ConnectionMode> {
protected:
    void SetUp() override {
        s.start();
        ASSERT_TRUE(s.link_up(GetParam()));
        s.load(rich_record());
        ASSERT_TRUE(s.apply().has_value());
    }
    ManualClock clock;
    testing::VirtualSession s{clock};
};

TEST_P(EndToEnd, FullApplyLeavesTheMouseHoldingTheProfile) {
    std::string why;
    EXPECT_TRUE(s.holds(GetParam(), &why)) << why;
    EXPECT_EQ(s.mouse.rejected_reports(), 0);
    EXPECT_EQ(s.mouse.config().start_reports, 1);
    EXPECT_EQ(s.engine().full_apply(), 0);
}

TEST_P(EndToEnd, BrightnessEditReachesTheMouseAsOneLightReport) {
    s.mouse.clear_log();
    s.edit([](ProfileRecord& r) { r.set_brightness(9); });
    ASSERT_TRUE(s.apply().has_value());
    const auto reports = s.mouse.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].type(), kReportLight);
    EXPECT_TRUE(reports[0].accepted);
    EXPECT_EQ(s.mouse.transmissions(), 1);
    EXPECT_EQ(s.mouse.config().light->level, 9);
    std::string why;
    EXPECT_TRUE(s.holds(GetParam(), &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Links, EndToEnd,
                         ::testing::Values(ConnectionMode::Wired, ConnectionMode::Wireless, ConnectionMode::Ble),
                         [](const ::testing::TestParamInfo<ConnectionMode>& p) {
                             return std::string(connection_mode_name(p.param));
                         });

// One thread edits the record as fast as it can while applies, full
// applies and both kinds of commit run; CI runs it under ThreadSanitizer.
// When the edits stop, one more full apply leaves the mouse holding exactly
// the record.
TEST(ApplyStress, EditsAppliesAndCommitsRunTogether) {
    Session s;
    ProfileRecord start;
    start.reset_to_defaults();
    give_macro(start, 0, 12, 20);
    s.load(start);

    // A reader drains the receiver's event collection, as the link logic does.
    std::atomic<bool> done{false};
    auto events = s.mouse.receiver().open_path(FakeReceiverBackend::kEventPath);
    std::thread reader([&] {
        std::array<std::uint8_t, 100> buf{};
        while (!done.load()) events->read_timeout(buf, 5);
    });

    std::atomic<bool> stop_editing{false};
    std::atomic<long> edits{0};
    std::thread editor([&] {
        std::mt19937 gen(20240607);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
        while (!stop_editing.load()) {
            {
                std::lock_guard<std::mutex> lock(s.source.mutex());
                ProfileRecord& r = s.source.current();
                switch (pick(0, 5)) {
                    case 0: r.set_brightness(pick(0, 15)); break;
                    case 1: r.set_dpi_value(pick(0, 7), pick(1, 320)); break;
                    case 2: r.set_polling_rate_index(pick(0, 3)); break;
                    case 3: r.set_light_color({static_cast<std::uint8_t>(pick(0, 255)), 0, 9}); break;
                    case 4: r.slot(pick(2, 17)).set_function_code(static_cast<std::uint8_t>(pick(0, 14))); break;
                    default:
                        r.slot(0).set_macro_action(static_cast<std::size_t>(pick(0, 11)),
                                                   {0x05, kActionPress, static_cast<std::uint16_t>(pick(0, 900))});
                        break;
                }
            }
            edits.fetch_add(1);
            std::this_thread::yield();
        }
    });

    // Every round lets the editor make some edits first, so edits keep
    // landing between, during and after the applies and commits.
    constexpr int kRounds = 200;
    constexpr long kEditsPerRound = 10;
    for (int i = 0; i < kRounds; ++i) {
        while (edits.load() < kEditsPerRound * (i + 1)) std::this_thread::yield();
        if (i % 7 == 0) s.engine.set_full_apply();
        s.engine.request_apply();
        s.loop.process_pending();
        if (i % 3 == 0) {
            EXPECT_TRUE(s.engine.commit());
        }
        if (i % 5 == 0) {
            EXPECT_TRUE(s.engine.commit_device_change([i](ProfileRecord& r) { r.set_dpi_stage_index(i % 6); }));
        }
        if (i % 10 == 0) s.engine.wait_idle();
    }
    s.engine.wait_idle();
    stop_editing = true;
    editor.join();

    s.engine.set_full_apply();
    s.apply();
    done = true;
    reader.join();

    EXPECT_GE(edits.load(), kRounds * kEditsPerRound);
    EXPECT_EQ(s.engine.applies_run(), kRounds + 1);
    EXPECT_EQ(s.mouse.rejected_reports(), 0);
    std::string why;
    EXPECT_TRUE(s.holds(&why)) << why;
    ProfileRecord current;
    {
        std::lock_guard<std::mutex> lock(s.source.mutex());
        current = s.source.current();
    }
    EXPECT_TRUE(s.engine.last_applied() == current);
}

}  // namespace
}  // namespace vantorel
