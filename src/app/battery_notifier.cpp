// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/battery_notifier.h"

#include <string>

namespace vantorel::app {

void BatteryNotifier::on_battery(int level, bool charging) {
    const LowBatteryRule::Warning warning = rule_.update(level, charging);
    if (warning == LowBatteryRule::Warning::none) return;
    const bool critical = warning == LowBatteryRule::Warning::critical;
    std::u16string body = texts_.text(critical ? "battery_critical_text" : "battery_low_text");
    const std::string digits = std::to_string(level);
    if (const auto at = body.find(u"%1"); at != std::u16string::npos)
        body.replace(at, 2, std::u16string(digits.begin(), digits.end()));
    notifier_.notify(texts_.text("battery_low_title_text"), body);
}

}  // namespace vantorel::app
