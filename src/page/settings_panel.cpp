// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/settings_panel.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QLocale>

#include <mutex>

#include "page/link_view.h"
#include "page/page_logic.h"
#include "page/tracked_source.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel::page {

namespace {

// Which of `count` option controls shows a stored value.
std::size_t choice(std::int64_t stored, int count) { return static_cast<std::size_t>(NearestChoice(stored, count)); }

int item_count(const QWidget* w) {
    const auto* combo = qobject_cast<const QComboBox*>(w);
    return combo ? combo->count() : 0;
}

template <std::size_t N>
int index_of(const QWidget* sender, const std::array<QWidget*, N>& row) {
    if (!sender) return -1;
    for (std::size_t k = 0; k < N; ++k)
        if (row[k] == sender) return static_cast<int>(k);
    return -1;
}

QString tr(const char* key) { return ui::Tr(QLatin1String(key)); }

}  // namespace

SettingsPanel::SettingsPanel(PageContext& page) : page_(page) {}

void SettingsPanel::init() {
    auto find = [this](const char* name) { return page_.control(QLatin1String(name)); };
    light_ = page_.control(QString::fromLatin1(controls::kLightCombo.data(), static_cast<qsizetype>(controls::kLightCombo.size())));
    light_ble_ = find("ms_1_combo_light_ble");
    brightness_row_ = find("ms_1_ver_brightness");
    brightness_ = find("ms_1_slider_brightness");
    breath_row_ = find("ms_1_ver_breathspeed");
    breath_ = find("ms_1_slider_breathspeed");
    color_row_ = find("ms_1_hor_light_color");
    color_ = find("ms_1_btn_light_color");
    for (int n = 1; n <= 4; ++n) rates_[static_cast<std::size_t>(n - 1)] = page_.control(QStringLiteral("ms_1_btn_prate_%1").arg(n));
    rate_label_ = find("ms_1_label_prate");
    for (int n = 1; n <= 2; ++n) {
        const auto k = static_cast<std::size_t>(n - 1);
        lift_off_[k] = page_.control(QStringLiteral("ms_1_option_lift_of_distance_%1").arg(n));
        ripple_[k] = page_.control(QStringLiteral("ms_1_option_ripple_control_%1").arg(n));
        angle_snap_[k] = page_.control(QStringLiteral("ms_1_option_angle_snap_%1").arg(n));
    }
    move_mode_ = find("ms_1_check_movemode");
    light_off_ = find("ms_1_slider_light_off");
    light_off_label_ = find("ms_1_label_light_off");
    sleep_ = find("ms_1_slider_sleep_timer");
    sleep_label_ = find("ms_1_label_sleep_timer");
    debounce_ = find("ms_1_slider_key_debounce");
    debounce_label_ = find("ms_1_label_key_debounce");
    timer_note_ = find("ms_1_label_timer_note");

    // The light sliders say their value in their tooltip.
    const std::pair<QWidget*, const char*> valued[] = {{brightness_, "brightness_text"}, {breath_, "breath_speed_text"}};
    for (const auto& [widget, key] : valued) {
        auto* slider = qobject_cast<QAbstractSlider*>(widget);
        if (!slider) continue;
        const QString label = tr(key);
        auto tip = [slider, label](int value) {
            slider->setToolTip(ui::Tr(QStringLiteral("slider_value_tip_text")).arg(label).arg(value));
        };
        tip(slider->value());
        QObject::connect(slider, &QAbstractSlider::valueChanged, slider, tip);
    }
}

void SettingsPanel::show(const ProfileRecord& r) {
    // A damaged record may hold any value: each control shows the nearest
    // choice it offers, and the record stays as it is until the user
    // changes the control.
    ui::SelectItem(light_, NearestChoice(r.light_mode(), item_count(light_)));
    ui::SelectItem(light_ble_, NearestChoice(r.light_mode_ble(), item_count(light_ble_)));
    ui::SetValue(brightness_, r.brightness());
    ui::SetValue(breath_, r.breath_speed());
    ui::SetBkColor(color_, ArgbOf(r.light_color()));

    const std::size_t rate = choice(r.polling_rate_index(), 4);
    ui::SetCheck(rates_[rate], true);
    show_polling_label(static_cast<std::int32_t>(rate));

    ui::SetCheck(lift_off_[choice(r.lift_off_distance(), 2)], true);
    ui::SetCheck(ripple_[choice(r.ripple_control(), 2)], true);
    ui::SetCheck(angle_snap_[choice(r.angle_snap(), 2)], true);
    // The check box follows the profile like every other control.
    ui::SetCheck(move_mode_, r.move_mode() == 1);

    ui::SetValue(light_off_, r.light_off_timer());
    show_light_off_label(r.light_off_timer());
    ui::SetValue(sleep_, r.sleep_timer());
    show_sleep_label(r.sleep_timer());
    ui::SetValue(debounce_, r.key_debounce());
    show_debounce_label(r.key_debounce());
}

void SettingsPanel::show_light_rows() {
    ui::SetVisible(brightness_row_, false);
    ui::SetVisible(breath_row_, false);
    ui::SetVisible(color_row_, false);
    std::int32_t mode = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        const ProfileRecord* record = page_.current_record();
        if (!record) return;
        mode = record->light_mode();
    }
    // The rows of the effect the combo shows (a damaged value shows the
    // nearest effect there is).
    if (const int count = item_count(light_); count > 0) mode = NearestChoice(mode, count);
    const LightRows rows = LightRowsFor(mode);
    ui::SetVisible(brightness_row_, rows.brightness);
    ui::SetVisible(breath_row_, rows.breath_speed);
    ui::SetVisible(color_row_, rows.color);
}

bool SettingsPanel::on_click(const QWidget* sender) {
    if (!sender || sender != color_) return false;
    choose_light_color();
    return true;
}

bool SettingsPanel::on_select(const QWidget* s) {
    using Setter = void (ProfileRecord::*)(std::int32_t);
    if (const int k = index_of(s, rates_); k >= 0) {
        page_.edit_profile([k](ProfileRecord& r) { r.set_polling_rate_index(k); });
        if (page_.has_current_profile()) show_polling_label(k);
        page_.request_apply(ApplyWhen::Now);
        return true;
    }
    const std::pair<const std::array<QWidget*, 2>*, Setter> options[] = {
        {&lift_off_, &ProfileRecord::set_lift_off_distance},
        {&ripple_, &ProfileRecord::set_ripple_control},
        {&angle_snap_, &ProfileRecord::set_angle_snap},
    };
    for (const auto& [row, set] : options) {
        const int k = index_of(s, *row);
        if (k < 0) continue;
        page_.edit_profile([k, set = set](ProfileRecord& r) { (r.*set)(k); });
        page_.request_apply(ApplyWhen::Now);
        return true;
    }
    return false;
}

bool SettingsPanel::on_item_select(const QWidget* s) {
    if (!s || (s != light_ && s != light_ble_)) return false;
    const int index = ui::GetCurSel(s);
    if (s == light_) {
        page_.edit_profile([index](ProfileRecord& r) { r.set_light_mode(index); });
        show_light_rows();
    } else {
        page_.edit_profile([index](ProfileRecord& r) { r.set_light_mode_ble(index); });
    }
    page_.request_apply(ApplyWhen::Soon, MouseSession::kLightApplyDelayMs);
    return true;
}

bool SettingsPanel::on_check(const QWidget* s) {
    if (!s || s != move_mode_) return false;
    const int on = ui::GetCheck(move_mode_) ? 1 : 0;
    page_.edit_profile([on](ProfileRecord& r) { r.set_move_mode(on); });
    page_.request_apply(ApplyWhen::Now);
    return true;
}

bool SettingsPanel::on_value(const QWidget* s, int value) {
    using Setter = void (ProfileRecord::*)(std::int32_t);
    using Caption = void (SettingsPanel::*)(std::int32_t);
    struct Slider {
        QWidget* slider;
        Setter set;
        Caption caption;
    };
    const Slider sliders[] = {
        {brightness_, &ProfileRecord::set_brightness, nullptr},
        {breath_, &ProfileRecord::set_breath_speed, nullptr},
        {sleep_, &ProfileRecord::set_sleep_timer, &SettingsPanel::show_sleep_label},
        {light_off_, &ProfileRecord::set_light_off_timer, &SettingsPanel::show_light_off_label},
        {debounce_, &ProfileRecord::set_key_debounce, &SettingsPanel::show_debounce_label},
    };
    for (const Slider& slider : sliders) {
        if (!s || s != slider.slider) continue;
        page_.edit_profile([value, set = slider.set](ProfileRecord& r) { (r.*set)(value); });
        if (slider.caption && page_.has_current_profile()) (this->*slider.caption)(value);
        page_.request_apply(ApplyWhen::Soon, MouseSession::kSliderApplyDelayMs);
        return true;
    }
    return false;
}

void SettingsPanel::show_polling_label(std::int32_t index) {
    const QString key = PollingRateKey(index);
    if (!key.isEmpty()) ui::SetResourceText(rate_label_, key);
}

void SettingsPanel::show_timer_note() {
    // A light-off time past the sleep time never comes: the note says so.
    ui::SetVisible(timer_note_, LightOffAfterSleep(ui::GetValue(light_off_), ui::GetValue(sleep_)));
}

void SettingsPanel::show_light_off_label(std::int32_t value) {
    ui::SetText(light_off_label_, LightOffText(value, tr("sleep_timer_1_text"), tr("sleep_timer_2_text"),
                                               QLocale(ui::ResourceManager::instance().language().active_name())));
    show_timer_note();
}

void SettingsPanel::show_sleep_label(std::int32_t value) {
    ui::SetText(sleep_label_, SleepText(value, tr("sleep_timer_3_text"), tr("sleep_timer_2_text")));
    show_timer_note();
}

void SettingsPanel::show_debounce_label(std::int32_t value) {
    ui::SetText(debounce_label_, DebounceText(value, tr("debounce_value_text")));
}

void SettingsPanel::choose_light_color() {
    if (!page_.has_current_profile()) return;
    const auto chosen = page_.choose_color(ArgbOf(page_.current_profile().light_color()), color_);
    if (!chosen) return;
    const Color c = ColorOfArgb(*chosen);
    page_.edit_profile([c](ProfileRecord& r) { r.set_light_color(c); });
    ui::SetBkColor(color_, ArgbOf(c));
    page_.request_apply(ApplyWhen::Now);
}

}  // namespace vantorel::page
