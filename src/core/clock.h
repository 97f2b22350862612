// SPDX-License-Identifier: GPL-2.0-or-later
// Time as the pacing code sees it. Production uses the steady clock; tests
// use ManualClock, whose sleeps advance virtual time at once and run what
// was scheduled for the time passed, so every wait and attempt can be
// checked without sleeping.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace vantorel {

using Millis = std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    virtual void sleep_for(Millis d) = 0;
    // True when time only moves through sleep_for/advance (tests).
    virtual bool is_virtual() const { return false; }
};

class SteadyClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void sleep_for(Millis d) override;
    static SteadyClock& instance();
};

class ManualClock final : public Clock {
public:
    TimePoint now() const override;
    // Advances virtual time by d, running every scheduled callback whose time
    // is reached, in time order (each at its own time).
    void sleep_for(Millis d) override { advance(d); }
    bool is_virtual() const override { return true; }

    void advance(Millis d);
    // Runs fn when virtual time reaches now() + delay. Thread-safe.
    void schedule(Millis delay, std::function<void()> fn);
    // Total virtual time slept or advanced since construction.
    Millis elapsed() const;

private:
    mutable std::mutex mutex_;
    TimePoint now_{};
    std::multimap<TimePoint, std::function<void()>> scheduled_;
};

}  // namespace vantorel
