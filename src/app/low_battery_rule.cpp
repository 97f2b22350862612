// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/low_battery_rule.h"

namespace vantorel::app {

LowBatteryRule::Warning LowBatteryRule::update(int level, bool charging) {
    if (charging) {
        low_given_ = false;
        critical_given_ = false;
        return Warning::none;
    }
    if (level < 0) return Warning::none;  // level not known yet
    if (level <= kCriticalLevel && !critical_given_) {
        // Reaching 5 % first also counts as the low warning for this discharge.
        critical_given_ = true;
        low_given_ = true;
        return Warning::critical;
    }
    if (level <= kLowLevel && !low_given_) {
        low_given_ = true;
        return Warning::low;
    }
    return Warning::none;
}

}  // namespace vantorel::app
