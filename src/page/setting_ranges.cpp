// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/setting_ranges.h"

#include <array>

#include "core/profile_record.h"
#include "edit/settings_catalogue.h"
#include "ui/controls.h"

namespace vantorel::page {

namespace {

constexpr std::array<SliderSetting, 6> kSliders = {{
    {"ms_1_slider_dpi_%1", "dpi"},
    {"ms_1_slider_brightness", "brightness"},
    {"ms_1_slider_breathspeed", "breath-speed"},
    {"ms_1_slider_light_off", "light-off"},
    {"ms_1_slider_sleep_timer", "sleep"},
    {"ms_1_slider_key_debounce", "debounce"},
}};

}  // namespace

std::span<const SliderSetting> SliderSettings() { return kSliders; }

void TakeSliderRanges(const std::function<QWidget*(const QString&)>& find) {
    for (const SliderSetting& s : kSliders) {
        const edit::SettingInfo& info = edit::setting(s.setting);
        const QString name = QString::fromLatin1(s.control);
        const int count = info.per_stage ? profile_layout::kStageCount : 1;
        for (int n = 1; n <= count; ++n)
            ui::SetRange(find(info.per_stage ? name.arg(n) : name), info.stored_min, info.stored_max);
    }
}

}  // namespace vantorel::page
