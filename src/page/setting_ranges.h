// SPDX-License-Identifier: GPL-2.0-or-later
// The page's sliders take their ranges from the settings catalogue that the
// command line checks against; the skin's minimum and maximum are only the
// fallback that shows before the page starts.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <span>

namespace vantorel::page {

struct SliderSetting {
    const char* control;  // a skin control name; with "%1" one for each stage
    const char* setting;  // its catalogue name
};
std::span<const SliderSetting> SliderSettings();

// The stored range of each slider's setting.
void TakeSliderRanges(const std::function<QWidget*(const QString&)>& find);

}  // namespace vantorel::page
