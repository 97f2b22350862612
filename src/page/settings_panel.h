// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's settings column below the DPI stages: the light effect
// (over the receiver and over Bluetooth LE) with its brightness, breathing
// speed and colour, the polling rate, lift-off distance, ripple control,
// angle snap, the movement check, and the light-off, sleep and debounce
// timers with their captions. Sliders and effects wait a moment before they
// are sent, so a drag or a run through the effects gives one apply.
#pragma once

#include <array>
#include <cstdint>

#include "core/profile_record.h"
#include "page/page_context.h"

class QWidget;

namespace vantorel::page {

class SettingsPanel {
public:
    explicit SettingsPanel(PageContext& page);

    void init();
    void show(const ProfileRecord& r);
    // Only the rows the chosen light effect uses are shown.
    void show_light_rows();

    bool on_click(const QWidget* sender);
    bool on_select(const QWidget* sender);
    bool on_item_select(const QWidget* sender);
    bool on_check(const QWidget* sender);
    bool on_value(const QWidget* sender, int value);

private:
    void show_polling_label(std::int32_t index);
    void show_light_off_label(std::int32_t value);
    void show_sleep_label(std::int32_t value);
    void show_debounce_label(std::int32_t value);
    void show_timer_note();
    void choose_light_color();

    PageContext& page_;
    QWidget* light_ = nullptr;
    QWidget* light_ble_ = nullptr;
    QWidget* brightness_row_ = nullptr;
    QWidget* brightness_ = nullptr;
    QWidget* breath_row_ = nullptr;
    QWidget* breath_ = nullptr;
    QWidget* color_row_ = nullptr;
    QWidget* color_ = nullptr;
    std::array<QWidget*, 4> rates_{};
    QWidget* rate_label_ = nullptr;
    std::array<QWidget*, 2> lift_off_{};
    std::array<QWidget*, 2> ripple_{};
    std::array<QWidget*, 2> angle_snap_{};
    QWidget* move_mode_ = nullptr;
    QWidget* light_off_ = nullptr;
    QWidget* light_off_label_ = nullptr;
    QWidget* sleep_ = nullptr;
    QWidget* sleep_label_ = nullptr;
    QWidget* debounce_ = nullptr;
    QWidget* debounce_label_ = nullptr;
    QWidget* timer_note_ = nullptr;
};

}  // namespace vantorel::page
