// SPDX-License-Identifier: GPL-2.0-or-later
// Turns the mouse's battery readings into low-battery notifications on the
// desktop, following LowBatteryRule.
#pragma once

#include "app/low_battery_rule.h"
#include "core/text_lookup.h"

namespace vantorel::app {

class BatteryNotifier {
public:
    BatteryNotifier(Notifier& notifier, const TextLookup& texts) : notifier_(notifier), texts_(texts) {}

    // One reading: level in percent (negative when unknown), charging or not.
    void on_battery(int level, bool charging);
    // The mouse went away; the next mouse starts a fresh discharge.
    void reset() { rule_ = LowBatteryRule{}; }

private:
    Notifier& notifier_;
    const TextLookup& texts_;
    LowBatteryRule rule_;
};

}  // namespace vantorel::app
