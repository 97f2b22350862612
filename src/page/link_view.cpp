// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/link_view.h"

#include <cstdio>
#include <string>

namespace vantorel {
namespace {

constexpr int kAnimationStep = 2;
constexpr int kAnimationEnd = 100;

std::string indexed(const char* format, int i) {
    char name[64];
    std::snprintf(name, sizeof name, format, i);
    return name;
}

std::string_view indicator(ConnectionMode link) {
    switch (link) {
        case ConnectionMode::Wired: return controls::kWiredIndicator;
        case ConnectionMode::Wireless: return controls::kWirelessIndicator;
        case ConnectionMode::Ble: return controls::kBleIndicator;
        case ConnectionMode::None: break;
    }
    return {};
}

}  // namespace

LinkView::LinkView(Executor& executor, DeviceView& view, const LinkState& links)
    : view_(view), links_(links), charging_(executor, "charging animation", [this] { OnChargingTick(); }) {}

void LinkView::link_changed(ConnectionMode link, bool up) {
    view_.set_visible(indicator(link), up);
    // A cable that was never there changes no section.
    if (link == ConnectionMode::Wired && !up && links_.wired_state.load() == kWiredNeverSeen) return;
    if (link == ConnectionMode::Wired && up) animation_position_ = 0;  // charging starts over
    if (link == ConnectionMode::Ble) {
        if (up) {
            // The mouse reports no battery over this link; a running charging
            // animation is left alone.
            view_.set_progress(controls::kPowerProgress, 100);
            view_.set_label(controls::kPowerLabel, "100%", DeviceView::LabelMode::Plain);
        } else {
            charging_.stop();
        }
    }
    RefreshLinkSections();
}

void LinkView::battery_read(const BatteryReading& reading) {
    switch (reading.kind) {
        case BatteryReading::Kind::Level:
            charging_.stop();
            view_.set_progress(controls::kPowerProgress, reading.percent);
            view_.set_label(controls::kPowerLabel, std::to_string(reading.percent) + "%",
                            DeviceView::LabelMode::Plain);
            break;
        case BatteryReading::Kind::Charging:
            view_.set_label(controls::kPowerLabel, controls::kChargingTextKey, DeviceView::LabelMode::ResourceText);
            charging_.start(kChargingTickMs, true);
            break;
        case BatteryReading::Kind::Cleared:
            view_.set_label(controls::kPowerLabel, "", DeviceView::LabelMode::Plain);
            charging_.stop();
            break;
        case BatteryReading::Kind::Unreadable:
            // The animation stops where it is; the label stays.
            charging_.stop();
            break;
    }
}

void LinkView::mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) {
    switch (setting) {
        case MouseSetting::DpiStage:
            view_.set_selected_silently(indexed(controls::kDpiStepOptionFormat, value), true);
            break;
        case MouseSetting::PollingRate:
            // Polling rate is not offered over Bluetooth LE, so its buttons
            // stay as they are there.
            if (!over_bluetooth) view_.set_selected_silently(indexed(controls::kPollingButtonFormat, value + 1), true);
            break;
        case MouseSetting::LightMode:
            view_.select_item_silently(controls::kLightCombo, value);
            view_.refresh_light_section();
            break;
    }
}

void LinkView::RefreshLinkSections() {
    view_.refresh_light_section();
    if (links_.wired_state.load() == kWiredAttached) {
        view_.set_visible(controls::kPollingCheck, true);
        view_.set_visible(controls::kDebounceCheck, true);
        return;
    }
    if (links_.ble_connected.load() != 0) {
        hide_section_for_ble(controls::kPollingCheck, controls::kPollingSection);
        hide_section_for_ble(controls::kDebounceCheck, controls::kDebounceSection);
        return;
    }
    // Bluetooth LE gone: whatever link is left offers them again.
    view_.set_visible(controls::kPollingCheck, true);
    view_.set_visible(controls::kDebounceCheck, true);
}

void LinkView::hide_section_for_ble(std::string_view check, std::string_view section) {
    if (view_.is_selected(check)) view_.set_selected_silently(check, false);
    view_.set_visible(check, false);
    if (view_.is_visible(section)) view_.set_visible(section, false);
}

void LinkView::OnChargingTick() {
    view_.set_progress(controls::kPowerProgress, animation_position_);
    animation_position_ += kAnimationStep;
    if (animation_position_ > kAnimationEnd) animation_position_ = 0;
}

}  // namespace vantorel
