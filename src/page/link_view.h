// SPDX-License-Identifier: GPL-2.0-or-later
// How the mouse page shows what the links report: the link indicators, the
// battery bar and its label (with the charging animation), the sections that
// depend on the link, and the controls that follow a setting the mouse
// changed with its own buttons.
//
// The rules need only the standard library; the page hands in its controls
// by name through DeviceView, the tests a recorder.
#pragma once

#include <string_view>

#include "core/executor.h"
#include "device/link_facts.h"
#include "device/link_state.h"

namespace vantorel {

// Control names of the mouse page that the link view drives.
namespace controls {
inline constexpr std::string_view kWiredIndicator = "ms_1_wired";
inline constexpr std::string_view kWirelessIndicator = "ms_1_wireless";
inline constexpr std::string_view kBleIndicator = "ms_1_BLE";
inline constexpr std::string_view kPowerProgress = "ms_1_progress_power";
inline constexpr std::string_view kPowerLabel = "ms_1_label_power";
inline constexpr const char* kDpiStepOptionFormat = "ms_1_option_dpi_step_%d";  // 1..8
inline constexpr const char* kPollingButtonFormat = "ms_1_btn_prate_%d";        // 1..4
inline constexpr std::string_view kLightCombo = "ms_1_combo_light";
inline constexpr std::string_view kPollingCheck = "ms_1_check_prate";
inline constexpr std::string_view kPollingSection = "ms_1_ver_prate";
inline constexpr std::string_view kDebounceCheck = "ms_1_check_key_debounce";
inline constexpr std::string_view kDebounceSection = "ms_1_hor_key_debounce";
inline constexpr std::string_view kChargingTextKey = "charging_text";
}  // namespace controls

// The page's controls, by name. A control name the page does not have is
// ignored (queries answer false).
class DeviceView {
public:
    enum class LabelMode { Plain, ResourceText };

    virtual ~DeviceView() = default;
    // Checks or unchecks an option, check box or button without firing its
    // notification.
    virtual void set_selected_silently(std::string_view control, bool selected) = 0;
    // Selects item `index` of a combo box without firing its notification.
    virtual void select_item_silently(std::string_view control, int index) = 0;
    virtual void set_progress(std::string_view control, int value) = 0;
    // Plain: the label shows `text` as it is. ResourceText: `text` is a
    // language key and the label shows its text.
    virtual void set_label(std::string_view control, std::string_view text, LabelMode mode) = 0;
    virtual void set_visible(std::string_view control, bool visible) = 0;
    virtual bool is_visible(std::string_view control) const = 0;
    virtual bool is_selected(std::string_view control) const = 0;
    // Re-runs the light-effect section's show/hide rule for the current
    // light mode and link.
    virtual void refresh_light_section() = 0;
};

class LinkView final : public LinkFacts {
public:
    static constexpr int kChargingTickMs = 30;

    // `links` is read for the section rule; all three must outlive the view.
    LinkView(Executor& executor, DeviceView& view, const LinkState& links);

    void link_changed(ConnectionMode link, bool up) override;
    void battery_read(const BatteryReading& reading) override;
    void mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) override;

    // Show/hide rule of the link-dependent sections: polling rate and key
    // debounce cannot be set over Bluetooth LE. Runs at every link change.
    void RefreshLinkSections();

    // One step of the charging animation (every 30 ms while charging): the
    // bar runs 0..100 in steps of 2 and starts over.
    void OnChargingTick();
    int animation_position() const { return animation_position_; }
    bool charging_animation_running() const { return charging_.active(); }

private:
    void hide_section_for_ble(std::string_view check, std::string_view section);

    DeviceView& view_;
    const LinkState& links_;
    int animation_position_ = 0;
    ExecutorTimer charging_;
};

}  // namespace vantorel
