// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "app/battery_notifier.h"
#include "app/low_battery_rule.h"

namespace vantorel::app {
namespace {

using W = LowBatteryRule::Warning;

struct Reading {
    int level;
    bool charging;
    W expected;
};

struct Case {
    const char* name;
    std::vector<Reading> readings;
};

TEST(LowBatteryRule, WarnsOncePerDischargeAndNeverWhileCharging) {
    const std::vector<Case> cases = {
        {"falls through both thresholds",
         {{50, false, W::none}, {16, false, W::none}, {15, false, W::low}, {14, false, W::none},
          {6, false, W::none}, {5, false, W::critical}, {4, false, W::none}, {1, false, W::none}}},
        {"level bouncing around the threshold is not repeated",
         {{15, false, W::low}, {16, false, W::none}, {15, false, W::none}, {16, false, W::none}}},
        {"charging suppresses and re-arms",
         {{10, true, W::none}, {12, false, W::low}, {12, true, W::none}, {13, false, W::low}}},
        {"a first reading already critical gives one warning",
         {{3, false, W::critical}, {15, false, W::none}, {2, false, W::none}}},
        {"unknown level is ignored",
         {{-1, false, W::none}, {40, false, W::none}}},
    };
    for (const Case& c : cases) {
        LowBatteryRule rule;
        for (std::size_t i = 0; i < c.readings.size(); ++i) {
            const Reading& r = c.readings[i];
            EXPECT_EQ(rule.update(r.level, r.charging), r.expected) << c.name << ", reading " << i;
        }
    }
}

class RecordingNotifier : public Notifier {
public:
    void notify(const std::u16string& title, const std::u16string& body) override {
        shown.push_back(title + u"|" + body);
    }
    std::vector<std::u16string> shown;
};

TEST(BatteryNotifier, ShowsTheLevelInTheNotificationText) {
    const MapTextLookup texts({{"battery_low_title_text", u"Low"},
                               {"battery_low_text", u"at %1 %"},
                               {"battery_critical_text", u"only %1 % left"}});
    RecordingNotifier fake;
    BatteryNotifier notifier(fake, texts);
    for (int level : {30, 14, 13, 5, 4}) notifier.on_battery(level, false);
    notifier.reset();
    notifier.on_battery(12, false);
    EXPECT_EQ(fake.shown, (std::vector<std::u16string>{u"Low|at 14 %", u"Low|only 5 % left", u"Low|at 12 %"}));
}

}  // namespace
}  // namespace vantorel::app
