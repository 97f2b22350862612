// SPDX-License-Identifier: GPL-2.0-or-later
// The event dispatch of the three links, and how the page's link view shows
// what it reports: the battery display and the show/hide rule of the
// link-dependent sections.
#include "device/device_events.h"

#include <gtest/gtest.h>

#include "device/wired_driver.h"
#include "link_fakes.h"

namespace vantorel {
namespace {

using testing::RecordingView;

class DeviceEventsTest : public ::testing::Test, protected testing::LinkViewRig {
protected:
    DeviceEventsTest() {
        std::lock_guard<std::mutex> lock(profiles.mutex());
        for (int k = 0; k < 8; ++k) profiles.current().set_dpi_value(k, 16 * (k + 1));
        profiles.current().set_polling_rate_index(2);
        profiles.current().set_dpi_stage_index(0);
        last_applied = profiles.current();
    }
    // Device events come as the four bytes the mouse sends.
    void device(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
        events.DispatchDeviceEvent(static_cast<std::uint16_t>(b0 | b1 << 8), static_cast<std::uint16_t>(b2 | b3 << 8));
        loop.process_pending();
    }
    void ble(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
        events.DispatchBleEvent(static_cast<std::uint16_t>(b0 | b1 << 8), static_cast<std::uint16_t>(b2 | b3 << 8));
        loop.process_pending();
    }
    ProfileRecord current() {
        std::lock_guard<std::mutex> lock(profiles.mutex());
        return profiles.current();
    }
    std::vector<std::int64_t> popups;  // DPI codes the popup was asked to show
    int link_changes = 0;
    DeviceEvents events{loop, link_view, links, profiles, [this](const ProfileChange& change) {
                            std::lock_guard<std::mutex> lock(profiles.mutex());
                            change(profiles.current());
                            change(last_applied);
                            ++commits;
                        }};
    const bool hooked_ = [this] {
        events.set_dpi_stage_handler([this](std::int64_t code) { popups.push_back(code); });
        events.set_link_change_handler([this] { ++link_changes; });
        return true;
    }();
};

TEST(DeviceEventDecoding, EachCarrierGivesTheSameWordsAndShortCarriersGiveNone) {
    const std::vector<std::uint8_t> report = {0x03, 0x27, 0x41, 0x01, 0x32, 0xEE};
    const DeviceEvent battery{0x4127, 0x3201};
    EXPECT_EQ(event_from_input_report(report), battery);
    EXPECT_FALSE(event_from_input_report(std::span(report).first(4)));
    const std::vector<std::uint8_t> other_id = {0x02, 0x27, 0x41, 0x01, 0x32};
    EXPECT_FALSE(event_from_input_report(other_id));

    const std::vector<std::uint8_t> value = {0x27, 0x41, 0x01, 0x32};
    EXPECT_EQ(event_from_ble_value(value), battery);
    EXPECT_FALSE(event_from_ble_value(std::span(value).first(3)));
    EXPECT_FALSE(event_from_ble_value({}));

    // Only the low 16 bits of each parameter count.
    EXPECT_EQ(event_from_wired_message(kMsgWiredEvent, 0xABCD4127, 0x77773201), battery);
    EXPECT_EQ(event_from_wired_message(kMsgWiredAttach, 1, 0), (DeviceEvent{0x7F00, 1}));
    EXPECT_EQ(event_from_wired_message(kMsgWiredAttach, 0, 0), (DeviceEvent{0x7F00, 2}));
    EXPECT_EQ(event_from_wired_message(kMsgWiredAttach, 5, 0), (DeviceEvent{0x7F00, 0}));
    EXPECT_FALSE(event_from_wired_message(kMsgWiredAttach + 100, 1, 0));
}

TEST(DpiPopup, TextFollowsTheTwoDpiRanges) {
    EXPECT_EQ(dpi_popup_text(16), "800 DPI");
    EXPECT_EQ(dpi_popup_text(200), "10000 DPI");
    EXPECT_EQ(dpi_popup_text(201), "10100 DPI");
    EXPECT_EQ(dpi_popup_text(320), "22000 DPI");
    // A stored code can be anything; the text must still be right.
    EXPECT_EQ(dpi_popup_text(2147483647), "214748354700 DPI");
}

TEST_F(DeviceEventsTest, DpiStageEventSelectsTheStageShowsThePopupAndCommits) {
    device(0x27, 0x10, 0x03, 0x00);
    EXPECT_EQ(current().dpi_stage_index(), 2);
    EXPECT_TRUE(view.selected["ms_1_option_dpi_step_3"]);
    ASSERT_EQ(static_cast<int>(popups.size()), 1);
    EXPECT_EQ(popups.back(), 48);  // the stage's DPI code
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(last_applied, current());

    // An edit still waiting for its apply is not taken along by the commit:
    // the next apply still sends it.
    const std::int32_t applied_brightness = last_applied.brightness();
    {
        std::lock_guard<std::mutex> lock(profiles.mutex());
        profiles.current().set_brightness(applied_brightness + 3);
    }
    device(0x27, 0x10, 0x02, 0x00);
    EXPECT_EQ(last_applied.dpi_stage_index(), 1);
    EXPECT_EQ(last_applied.brightness(), applied_brightness);
    EXPECT_EQ(current().brightness(), applied_brightness + 3);
    EXPECT_EQ(commits, 2);

    // Stages outside 1..8 change nothing.
    device(0x27, 0x10, 0x00, 0x00);
    device(0x27, 0x10, 0x09, 0x00);
    device(0x27, 0x10, 0x03, 0x01);  // high value byte makes it 259
    EXPECT_EQ(commits, 2);
    EXPECT_EQ(static_cast<int>(popups.size()), 2);
}

TEST_F(DeviceEventsTest, PollingRateEventMapsItsCodeAndOnlyTheUsbLinksTouchTheButtons) {
    device(0x27, 0x20, 0x04, 0x00);
    EXPECT_EQ(current().polling_rate_index(), 1);
    EXPECT_TRUE(view.selected["ms_1_btn_prate_2"]);
    device(0x27, 0x20, 0x03, 0x00);
    EXPECT_EQ(current().polling_rate_index(), 0);
    EXPECT_TRUE(view.selected["ms_1_btn_prate_1"]);
    device(0x27, 0x20, 0x01, 0x00);
    EXPECT_EQ(current().polling_rate_index(), 3);
    EXPECT_EQ(commits, 3);

    device(0x27, 0x20, 0x09, 0x00);
    EXPECT_EQ(current().polling_rate_index(), 3);
    EXPECT_EQ(commits, 3);

    view.selected.clear();
    ble(0x27, 0x20, 0x02, 0x00);
    EXPECT_EQ(current().polling_rate_index(), 2);
    EXPECT_EQ(commits, 4);
    EXPECT_TRUE(view.selected.empty());
}

TEST_F(DeviceEventsTest, BatteryOnTheReceiverShowsThePercentageAndRaisesTheLink) {
    device(0x27, 0x41, 0x01, 0x32);
    EXPECT_EQ(view.power_text(), "50%");
    EXPECT_FALSE(view.power_resource_mode());
    EXPECT_EQ(view.power_progress(), 50);
    EXPECT_TRUE(view.is_visible(controls::kWirelessIndicator));
    EXPECT_TRUE(events.watchdog_running());
    EXPECT_EQ(links.wireless_connected.load(), 1);
    EXPECT_EQ(links.any_link_connected.load(), 1);
    EXPECT_EQ(link_changes, 1);
    // The tray and the low-battery warning read what the page shows.
    EXPECT_EQ(links.battery_percent.load(), 50);

    // Charging, then an impossible percentage: full.
    device(0x27, 0x41, 0x03, 0x00);
    EXPECT_EQ(links.battery_charging.load(), 1);
    EXPECT_TRUE(view.power_resource_mode());
    EXPECT_EQ(view.power_text(), "charging_text");
    EXPECT_TRUE(link_view.charging_animation_running());
    device(0x27, 0x41, 0x00, 0x96);
    EXPECT_EQ(view.power_text(), "100%");
    EXPECT_EQ(view.power_progress(), 100);
    EXPECT_EQ(links.battery_percent.load(), 100);
    EXPECT_EQ(links.battery_charging.load(), 0);
    EXPECT_FALSE(link_view.charging_animation_running());
    EXPECT_EQ(link_changes, 1);  // the link was up already
}

TEST_F(DeviceEventsTest, BatteryWithTheCableAttachedShowsChargingAndDropsTheReceiverLink) {
    device(0x27, 0x41, 0x01, 0x32);  // receiver link up
    links.wired_state.store(kWiredAttached);
    device(0x27, 0x41, 0x01, 0x32);
    EXPECT_TRUE(view.power_resource_mode());
    EXPECT_EQ(view.power_text(), "charging_text");
    EXPECT_FALSE(view.is_visible(controls::kWirelessIndicator));
    EXPECT_EQ(links.wireless_connected.load(), 0);
    EXPECT_EQ(links.any_link_connected.load(), 1);  // the cable still is a link
    device(0x27, 0x41, 0x02, 0x64);
    EXPECT_EQ(view.power_text(), "100%");
}

TEST_F(DeviceEventsTest, BatteryOverBluetoothTouchesNeitherLinksNorWatchdog) {
    events.ReportCharging();
    ble(0x27, 0x41, 0x00, 0x96);  // 150 %: animation stops, label stays
    EXPECT_FALSE(link_view.charging_animation_running());
    EXPECT_EQ(view.power_text(), "charging_text");
    EXPECT_EQ(view.power_progress(), -1);
    ble(0x27, 0x41, 0x01, 0x32);
    EXPECT_EQ(view.power_text(), "50%");
    ble(0x27, 0x41, 0x03, 0x00);
    EXPECT_EQ(view.power_text(), "charging_text");
    ble(0x27, 0x41, 0x02, 0x00);
    EXPECT_EQ(view.power_text(), "100%");
    EXPECT_FALSE(events.watchdog_running());
    EXPECT_EQ(links.wireless_connected.load(), 0);
    EXPECT_EQ(link_changes, 0);
}

TEST_F(DeviceEventsTest, AcknowledgeLightEffectAndCommitOnlyEvents) {
    for (bool over_ble : {false, true}) {
        auto ack = [&](std::uint8_t status) {
            if (over_ble) ble(0x27, 0x50, status, 0x00);
            else device(0x27, 0x50, status, 0x00);
        };
        links.ack_received.store(0);
        ack(0x00);
        EXPECT_EQ(links.ack_received.load(), 1);
        ack(0x01);
        EXPECT_EQ(links.ack_received.load(), 0);
    }
    EXPECT_EQ(commits, 0);

    device(0x27, 0x70, 0x35, 0x00);
    EXPECT_EQ(current().light_mode(), 3);
    EXPECT_EQ(view.item["ms_1_combo_light"], 3);
    EXPECT_EQ(view.light_refreshes, 1);
    EXPECT_EQ(commits, 1);

    device(0x27, 0x80, 0x05, 0x00);
    EXPECT_EQ(commits, 2);
    device(0x27, 0x80, 0x06, 0x00);
    device(0x27, 0x80, 0x00, 0x00);
    device(0x27, 0x60, 0x01, 0x00);
    EXPECT_EQ(commits, 2);
}

TEST_F(DeviceEventsTest, AnotherMarkerIsIgnoredOnEveryLink) {
    const ProfileRecord before = current();
    device(0x28, 0x41, 0x01, 0x32);
    ble(0x28, 0x41, 0x01, 0x32);
    device(0x28, 0x10, 0x03, 0x00);
    device(0x28, 0x50, 0x00, 0x00);
    EXPECT_EQ(view.calls, 0);
    EXPECT_TRUE(popups.empty());
    EXPECT_EQ(link_changes, 0);
    EXPECT_EQ(links.ack_received.load(), 0);
    EXPECT_FALSE(events.watchdog_running());
    EXPECT_EQ(current(), before);
    EXPECT_EQ(commits, 0);
}

TEST_F(DeviceEventsTest, ChargingAnimationRunsZeroToHundredAndStartsOverOnAttach) {
    std::vector<int> shown;
    for (int i = 0; i < 53; ++i) {
        link_view.OnChargingTick();
        shown.push_back(view.power_progress());
    }
    EXPECT_EQ(shown[0], 0);
    EXPECT_EQ(shown[1], 2);
    EXPECT_EQ(shown[50], 100);
    EXPECT_EQ(shown[51], 0);  // period of 51 ticks
    EXPECT_EQ(shown[52], 2);
    links.wired_state.store(kWiredAttached);
    events.LinkChanged(ConnectionMode::Wired, true);
    events.ReportCharging();
    link_view.OnChargingTick();
    EXPECT_EQ(view.power_progress(), 0);
    events.ClearBattery();
    EXPECT_EQ(view.power_text(), "");
    EXPECT_FALSE(view.power_resource_mode());
    EXPECT_FALSE(link_view.charging_animation_running());
}

TEST_F(DeviceEventsTest, LinkSectionsHidePollingAndDebounceOverBluetoothOnly) {
    view.selected["ms_1_check_prate"] = true;
    view.visible["ms_1_ver_prate"] = true;
    view.visible["ms_1_check_prate"] = true;
    view.visible["ms_1_check_key_debounce"] = true;
    links.ble_connected.store(1);
    link_view.RefreshLinkSections();
    EXPECT_EQ(view.light_refreshes, 1);
    EXPECT_FALSE(view.selected["ms_1_check_prate"]);
    EXPECT_FALSE(view.visible["ms_1_check_prate"]);
    EXPECT_FALSE(view.visible["ms_1_ver_prate"]);
    EXPECT_FALSE(view.visible["ms_1_check_key_debounce"]);
    EXPECT_FALSE(view.visible.count("ms_1_hor_key_debounce"));  // was not shown, so not touched

    // The cable offers them again even while Bluetooth LE is up.
    links.wired_state.store(kWiredAttached);
    link_view.RefreshLinkSections();
    EXPECT_TRUE(view.visible["ms_1_check_prate"]);
    EXPECT_TRUE(view.visible["ms_1_check_key_debounce"]);

    // Bluetooth LE down without the cable: the receiver offers them again.
    links.wired_state.store(kWiredDetached);
    link_view.RefreshLinkSections();
    ASSERT_FALSE(view.visible["ms_1_check_prate"]);
    links.ble_connected.store(0);
    links.wireless_connected.store(1);
    link_view.RefreshLinkSections();
    EXPECT_TRUE(view.visible["ms_1_check_prate"]);
    EXPECT_TRUE(view.visible["ms_1_check_key_debounce"]);
}

}  // namespace
}  // namespace vantorel
