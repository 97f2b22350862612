// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/virtual_mouse.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/event_loop.h"
#include "device/wired_driver.h"
#include "core/reports.h"
#include "device/report_sender.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::hex;

ProfileRecord sample_record() {
    ProfileRecord r;
    r.reset_to_defaults();
    r.set_dpi_value(6, 250);
    r.set_dpi_stage_enabled(6, 1);
    r.set_dpi_stage_index(3);
    r.set_light_mode(1);
    r.set_brightness(11);
    r.set_light_color({10, 20, 30});
    r.set_polling_rate_index(0);
    r.slot(5).set_function_code(kFunctionShortcut);
    r.slot(5).set_shortcut_modifiers(0x03);
    r.slot(5).set_shortcut_key(0x04);
    SlotRef m = r.slot(1);
    m.set_function_code(kFunctionMacro);
    m.set_macro_repeat_count(3);
    m.set_macro_action_count(70);  // two blocks
    for (int i = 0; i < 70; ++i)
        m.set_macro_action(static_cast<std::size_t>(i), {0x04, static_cast<std::uint8_t>(1 + i % 2), 20});
    return r;
}

std::vector<Report> all_reports(const ProfileRecord& r) {
    std::vector<Report> v = {build_start_report(), build_dpi_report(r), build_light_report(r), build_polling_report(r),
                             build_buttons_report(r)};
    for (int k = 0; k < 18; ++k)
        if (r.slot(k).function_code() == kFunctionMacro)
            for (const Report& b : build_macro_blocks(r, k)) v.push_back(b);
    return v;
}

// Collects the events the mouse sends, whatever the link.
struct EventLog {
    explicit EventLog(VirtualMouse& mouse) {
        mouse.set_event_tap([this](ConnectionMode link, const MouseEvent& e) {
            std::lock_guard<std::mutex> lock(mutex);
            events.emplace_back(link, e);
        });
    }
    std::vector<std::pair<ConnectionMode, MouseEvent>> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(events, {});
    }
    std::mutex mutex;
    std::vector<std::pair<ConnectionMode, MouseEvent>> events;
};

const MouseEvent kAck = {0x27, 0x50, 0x00, 0x00};
const MouseEvent kNak = {0x27, 0x50, 0x01, 0x00};

// ---------------------------------------------------------------------------
// Checking and keeping reports

TEST(VirtualMouse, RefusesMalformedReportsWithANegativeAcknowledge) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    EventLog log(mouse);
    ProfileRecord r = sample_record();

    std::vector<std::pair<const char*, std::vector<std::uint8_t>>> bad;
    auto as_vec = [](const Report& rep) { return std::vector<std::uint8_t>(rep.bytes().begin(), rep.bytes().end()); };
    auto v = as_vec(build_dpi_report(r));
    v[51] ^= 1;
    bad.emplace_back("bad checksum", v);
    v = as_vec(build_light_report(r));
    v[1] = 16;
    bad.emplace_back("length byte", v);
    v = as_vec(build_light_report(r));
    v.pop_back();
    bad.emplace_back("cut short", v);
    v = as_vec(build_light_report(r));
    v.push_back(7);
    bad.emplace_back("data after the end", v);
    v = as_vec(build_buttons_report(r));
    v[2] = 2;
    bad.emplace_back("byte 2", v);
    v = as_vec(build_polling_report(r));
    v[4] = 0;
    bad.emplace_back("polling complement", v);
    bad.emplace_back("unknown type", std::vector<std::uint8_t>{0x07, 0x09, 0x01, 0, 0, 0, 0, 0, 0});
    bad.emplace_back("empty", std::vector<std::uint8_t>{});
    for (const auto& [what, bytes] : bad) {
        mouse.feed(ConnectionMode::Ble, bytes);
        const auto events = log.take();
        ASSERT_EQ(events.size(), 1u) << what;
        EXPECT_EQ(events[0].second, kNak) << what;
    }
    const MouseConfig c = mouse.config();
    EXPECT_FALSE(c.dpi || c.light || c.polling_code || c.buttons);
    EXPECT_EQ(mouse.rejected_reports(), static_cast<int>(bad.size()));
}

TEST(VirtualMouse, KeepsWhatEachReportSetsAndHoldsExactlyTheRecord) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    EventLog log(mouse);
    ProfileRecord r = sample_record();
    std::string why;
    EXPECT_FALSE(mouse.holds_exactly(r, &why));
    EXPECT_EQ(why, "no DPI report was taken");

    for (const Report& rep : all_reports(r)) mouse.feed(ConnectionMode::Ble, rep.bytes());
    for (const auto& [link, e] : log.take()) EXPECT_EQ(e, kAck);
    EXPECT_TRUE(mouse.holds_exactly(r, &why)) << why;

    const MouseConfig c = mouse.config();
    EXPECT_EQ(c.start_reports, 1);
    EXPECT_EQ(c.dpi->stage, 4);
    EXPECT_EQ(c.dpi->codes[6], dpi_code(250));
    EXPECT_EQ(c.light->effect, 1);
    EXPECT_EQ(c.light->level, 11);
    EXPECT_EQ(c.light->color, (Color{10, 20, 30}));
    EXPECT_EQ(*c.polling_code, 8);
    EXPECT_EQ((*c.buttons)[5], (DeviceTriple{0x11, 0x03, 0x04}));
    EXPECT_EQ((*c.buttons)[1], (DeviceTriple{0x12, 0x00, 0x05}));
    EXPECT_EQ(c.macro_blocks.size(), 2u);  // blocks 5 and 6

    ProfileRecord other = r;
    other.set_brightness(12);
    EXPECT_FALSE(mouse.holds_exactly(other, &why));
    EXPECT_EQ(why, "light settings differ");
    other = r;
    other.set_brightness(12);
    other.set_light_mode(0);  // brightness is not sent for this effect ...
    r.set_light_mode(0);
    mouse.feed(ConnectionMode::Ble, build_light_report(r).bytes());
    EXPECT_TRUE(mouse.holds_exactly(other, &why)) << why;  // ... so the mouse cannot tell
    other.slot(1).set_macro_action(69, {0x05, kActionRelease, 20});
    EXPECT_FALSE(mouse.holds_exactly(other, &why));
    EXPECT_EQ(why, "macro block 6 differs");
}

TEST(VirtualMouse, PutsSplitMacroBlocksBackTogether) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    EventLog log(mouse);
    const ProfileRecord r = sample_record();
    const Report block = build_macro_blocks(r, 1)[1];
    for (ConnectionMode link : {ConnectionMode::Wired, ConnectionMode::Wireless}) {
        for (int i = 0; i < 3; ++i) mouse.feed(link, ReportSender::split_part(block.bytes(), i, link));
        const auto events = log.take();
        ASSERT_EQ(events.size(), 1u);  // one answer per block, after its third part
        EXPECT_EQ(events[0], std::make_pair(link, kAck));
        EXPECT_EQ(mouse.config().macro_blocks.at(6), block);
    }
    // Out of order, over the wrong link, or whole over USB: refused.
    mouse.feed(ConnectionMode::Wired, ReportSender::split_part(block.bytes(), 1, ConnectionMode::Wired));
    mouse.feed(ConnectionMode::Ble, ReportSender::split_part(block.bytes(), 0, ConnectionMode::Wired));
    mouse.feed(ConnectionMode::Wireless, block.bytes());
    auto first = ReportSender::split_part(block.bytes(), 0, ConnectionMode::Wired);
    first[1] = 0x0C;  // only the third part may be short
    mouse.feed(ConnectionMode::Wired, first);
    const auto events = log.take();
    ASSERT_EQ(events.size(), 4u);
    for (const auto& e : events) EXPECT_EQ(e.second, kNak);
    // A corrupted part spoils the checksum of the whole block.
    auto middle = ReportSender::split_part(block.bytes(), 1, ConnectionMode::Wired);
    middle[10] ^= 0xFF;
    mouse.feed(ConnectionMode::Wired, ReportSender::split_part(block.bytes(), 0, ConnectionMode::Wired));
    mouse.feed(ConnectionMode::Wired, middle);
    mouse.feed(ConnectionMode::Wired, ReportSender::split_part(block.bytes(), 2, ConnectionMode::Wired));
    ASSERT_EQ(log.take().size(), 1u);
    EXPECT_EQ(mouse.reports().back().problem, "report 0x09 has a bad checksum");
}

// ---------------------------------------------------------------------------
// Answers and events

TEST(VirtualMouse, AnswersPromptlyLateOrNever) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    EventLog log(mouse);
    const Report light = build_light_report(sample_record());
    mouse.set_answer_mode(AnswerMode::Silent);
    mouse.feed(ConnectionMode::Ble, light.bytes());
    EXPECT_TRUE(log.take().empty());
    mouse.set_answer_mode(AnswerMode::Late, Millis(700));
    mouse.feed(ConnectionMode::Ble, light.bytes());
    clock.advance(Millis(699));
    EXPECT_TRUE(log.take().empty());
    clock.advance(Millis(1));
    EXPECT_EQ(log.take().size(), 1u);
    EXPECT_EQ(mouse.accepted_reports(kReportLight), 2);
}

TEST(VirtualMouse, LateAnswerInRealTimeArrivesOnTheReceiver) {
    VirtualMouse mouse;  // steady clock
    mouse.plug_receiver();
    auto command = mouse.receiver().open_path(FakeReceiverBackend::kCommandPath);
    auto events = mouse.receiver().open_path(FakeReceiverBackend::kEventPath);
    mouse.set_answer_mode(AnswerMode::Late, Millis(5));
    ASSERT_EQ(command->send_feature_report(build_light_report(sample_record()).bytes()), 15);
    std::array<std::uint8_t, 100> buf{};
    const int n = events->read_timeout(buf, 10000);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(hex(std::span(buf.data(), 5)), "03 27 50 00 00");
}

// Vanishing from a link: the transmission it vanishes on is lost unanswered
// and its write fails, the link is down afterwards, and what came before
// stays held. Each carrier, through its own write.
TEST(VirtualMouse, VanishesFromTheLinkOfTheTransmissionItWasToldTo) {
    struct Carrier {
        ConnectionMode link;
        std::function<int(VirtualMouse&, std::span<const std::uint8_t>)> write;  // 1 when written
        std::function<bool(VirtualMouse&)> up;
    };
    const Carrier carriers[] = {
        {ConnectionMode::Wired,
         [](VirtualMouse& m, std::span<const std::uint8_t> b) { return m.wired_driver().set_feature(b); },
         [](VirtualMouse& m) { return m.wired_driver().cable_plugged(); }},
        {ConnectionMode::Wireless,
         [](VirtualMouse& m, std::span<const std::uint8_t> b) {
             auto command = m.receiver().open_path(FakeReceiverBackend::kCommandPath);
             return command && command->send_feature_report(b) > 0 ? 1 : 0;
         },
         [](VirtualMouse& m) { return m.receiver().plugged(); }},
        {ConnectionMode::Ble, [](VirtualMouse& m, std::span<const std::uint8_t> b) { return m.ble().write(b); },
         [](VirtualMouse& m) { return m.ble().connected(); }},
    };
    for (const Carrier& c : carriers) {
        SCOPED_TRACE(connection_mode_name(c.link));
        ManualClock clock;
        VirtualMouse mouse(clock);
        EventLog log(mouse);
        mouse.plug_cable();
        mouse.wired_driver().set_vid_pid(kVendorId, kWiredProductId);
        mouse.wired_driver().open_feature_device();
        mouse.plug_receiver();
        mouse.connect_ble();
        if (c.link != ConnectionMode::Wired) mouse.unplug_cable();
        if (c.link == ConnectionMode::Ble) mouse.unplug_receiver();

        const ProfileRecord r = sample_record();
        mouse.vanish_after(2);
        EXPECT_EQ(c.write(mouse, build_light_report(r).bytes()), 1);
        EXPECT_EQ(c.write(mouse, build_dpi_report(r).bytes()), 0) << "the write it vanished on failed";
        EXPECT_FALSE(c.up(mouse));
        EXPECT_EQ(c.write(mouse, build_buttons_report(r).bytes()), 0);
        EXPECT_EQ(log.take().size(), 1u) << "only the first transmission was answered";
        EXPECT_EQ(mouse.accepted_reports(kReportLight), 1);
        EXPECT_EQ(mouse.accepted_reports(kReportDpi), 0);
        EXPECT_EQ(mouse.transmissions(), 2);
    }
}

TEST(VirtualMouse, OwnButtonsChangeWhatItHoldsAndReportOnTheEventLink) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    EventLog log(mouse);
    const ProfileRecord r = sample_record();
    for (const Report& rep : all_reports(r)) mouse.feed(ConnectionMode::Ble, rep.bytes());
    log.take();

    EXPECT_EQ(mouse.event_link(), ConnectionMode::None);
    mouse.connect_ble();
    mouse.plug_receiver();
    EXPECT_EQ(mouse.event_link(), ConnectionMode::Wireless);
    mouse.press_dpi_stage(3);
    mouse.press_polling_rate(2);
    mouse.press_light_effect(9);  // another effect that shows the brightness
    mouse.report_battery(1, 0x32);
    mouse.plug_cable();
    mouse.emit_event(0x80, 2);
    const auto events = log.take();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].second, (MouseEvent{0x27, 0x10, 0x03, 0x00}));
    EXPECT_EQ(events[1].second, (MouseEvent{0x27, 0x20, 0x02, 0x00}));
    EXPECT_EQ(events[2].second, (MouseEvent{0x27, 0x70, 0x90, 0x00}));
    EXPECT_EQ(events[3].second, (MouseEvent{0x27, 0x41, 0x01, 0x32}));
    EXPECT_EQ(events[3].first, ConnectionMode::Wireless);
    EXPECT_EQ(events[4].first, ConnectionMode::Wired);
    const MouseConfig c = mouse.config();
    EXPECT_EQ(c.dpi->stage, 3);
    EXPECT_EQ(*c.polling_code, 2);
    EXPECT_EQ(c.light->effect, 9);

    // Written back into the record the way the event dispatch does, the
    // record matches the mouse again.
    ProfileRecord updated = r;
    updated.set_dpi_stage_index(2);
    updated.set_polling_rate_index(2);
    updated.set_light_mode(9);
    std::string why;
    EXPECT_TRUE(mouse.holds_exactly(updated, &why)) << why;
}

// ---------------------------------------------------------------------------
// The carriers

TEST(FakeReceiver, ListsTwoPairedCollectionsAndCarriesReportsAndEvents) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    FakeReceiverBackend& backend = mouse.receiver();
    EXPECT_TRUE(backend.enumerate(kVendorId, kReceiverProductId).empty());
    mouse.plug_receiver();
    EXPECT_TRUE(backend.enumerate(kVendorId, kWiredProductId).empty());
    const auto list = backend.enumerate(kVendorId, kReceiverProductId);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].usage_page, kCommandUsagePage);
    EXPECT_EQ(list[1].usage_page, kEventUsagePage);
    EXPECT_EQ(list[0].usage, 0);
    EXPECT_EQ(list[1].usage, 0);
    EXPECT_EQ(list[0].pairing_key, list[1].pairing_key);
    EXPECT_FALSE(list[0].pairing_key.empty());

    auto command = backend.open_path(list[0].path);
    auto events = backend.open_path(list[1].path);
    ASSERT_TRUE(command && events);
    EXPECT_EQ(backend.open_path("elsewhere"), nullptr);
    std::array<std::uint8_t, 100> buf{};
    EXPECT_EQ(events->read_timeout(buf, 0), 0);
    const Report polling = build_polling_report(sample_record());
    EXPECT_EQ(command->send_feature_report(polling.bytes()), 9);
    EXPECT_EQ(events->send_feature_report(polling.bytes()), -1);
    ASSERT_EQ(events->read_timeout(buf, 0), 5);
    EXPECT_EQ(hex(std::span(buf.data(), 5)), "03 27 50 00 00");
    mouse.report_battery(3, 0);
    ASSERT_EQ(events->read_timeout(buf, 0), 5);
    EXPECT_EQ(hex(std::span(buf.data(), 5)), "03 27 41 03 00");
}

TEST(FakeReceiver, UnplugKillsHandlesAndReplugNeedsNewOnes) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    FakeReceiverBackend& backend = mouse.receiver();
    for (int cycle = 0; cycle < 25; ++cycle) {
        mouse.plug_receiver();
        auto command = backend.open_path(FakeReceiverBackend::kCommandPath);
        auto events = backend.open_path(FakeReceiverBackend::kEventPath);
        ASSERT_TRUE(command && events);
        EXPECT_EQ(backend.open_handles(), 2);
        // A reader blocked with no time-out wakes up on the unplug.
        std::array<std::uint8_t, 100> buf{};
        int result = 0;
        std::thread reader([&] { result = events->read_timeout(buf, -1); });
        mouse.unplug_receiver();
        reader.join();
        EXPECT_EQ(result, -1);
        EXPECT_TRUE(backend.enumerate(kVendorId, kReceiverProductId).empty());
        EXPECT_EQ(backend.open_path(FakeReceiverBackend::kCommandPath), nullptr);
        mouse.plug_receiver();
        EXPECT_EQ(command->send_feature_report(build_start_report().bytes()), -1);  // stale handle
        mouse.unplug_receiver();
    }
    EXPECT_EQ(backend.open_handles(), 0);
    EXPECT_EQ(backend.opens(), 50);
    EXPECT_EQ(mouse.transmissions(), 0);
}

TEST(FakeWiredDriver, FollowsTheDriverContractAndPostsToTheWindow) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    using M = std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t>;
    std::vector<M> got;
    VantorelWindow window{&got, [](void* target, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
                              static_cast<std::vector<M>*>(target)->emplace_back(m, w, l);
                              return 1;
                          }};
    FakeWiredDriver& driver = mouse.wired_driver();
    const Report light = build_light_report(sample_record());

    mouse.plug_cable();
    EXPECT_EQ(driver.open_feature_device(), 0);  // ids not set yet
    driver.set_vid_pid(kVendorId, kWiredProductId);
    driver.open_dev_monitor(window, kMsgWiredEvent, kMsgWiredAttach);
    EXPECT_EQ(driver.set_feature(light.bytes()), 0);
    EXPECT_EQ(driver.open_feature_device(), 1);
    EXPECT_EQ(driver.set_feature(light.bytes()), 1);
    mouse.unplug_cable();
    EXPECT_EQ(driver.set_feature(light.bytes()), 0);
    mouse.plug_cable();
    mouse.press_dpi_stage(2);
    driver.close_dev_monitor();
    mouse.unplug_cable();  // no longer posted
    const std::vector<M> want = {
        M{kMsgWiredEvent, 0x5027, 0x0000},  // the acknowledge of the light report
        M{kMsgWiredAttach, 0, 0},
        M{kMsgWiredAttach, 1, 0},
        M{kMsgWiredEvent, 0x1027, 0x0002},
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(mouse.accepted_reports(kReportLight), 1);
}

TEST(FakeBle, WritesReachTheMouseAndEventsComeAsNotifications) {
    ManualClock clock;
    VirtualMouse mouse(clock);
    FakeBleTransport& ble = mouse.ble();
    std::vector<std::string> notified;
    ble.set_notify_handler([&](std::span<const std::uint8_t> v) { notified.push_back(hex(v)); });
    const Report block = build_macro_blocks(sample_record(), 1)[0];
    EXPECT_EQ(ble.write(block.bytes()), 0);
    mouse.connect_ble();
    EXPECT_EQ(ble.write(block.bytes()), 1);
    mouse.report_battery(2, 100);
    EXPECT_EQ(notified, (std::vector<std::string>{"27 50 00 00", "27 41 02 64"}));
    EXPECT_EQ(mouse.config().macro_blocks.count(5), 1u);
}

}  // namespace
}  // namespace vantorel
