// SPDX-License-Identifier: GPL-2.0-or-later
// When to warn about a low battery: once when a discharging mouse falls to
// 15 % or below, once more when it reaches 5 %. A warning is never repeated
// while the level stays low and never given while the mouse charges; a
// charge re-arms both warnings.
#pragma once

#include <string>

namespace vantorel::app {

// Shows one desktop notification. The real one talks to the desktop's
// notification service; tests use a recording fake.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const std::u16string& title, const std::u16string& body) = 0;
};

class LowBatteryRule {
public:
    static constexpr int kLowLevel = 15;
    static constexpr int kCriticalLevel = 5;

    enum class Warning { none, low, critical };

    // Feeds one battery reading (level in percent). Returns the warning due
    // now, if any; each is returned at most once per discharge.
    Warning update(int level, bool charging);

private:
    bool low_given_ = false;
    bool critical_given_ = false;
};

}  // namespace vantorel::app
