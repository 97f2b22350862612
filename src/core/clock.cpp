// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/clock.h"

#include <thread>

namespace vantorel {

void SteadyClock::sleep_for(Millis d) { std::this_thread::sleep_for(d); }

SteadyClock& SteadyClock::instance() {
    static SteadyClock clock;
    return clock;
}

TimePoint ManualClock::now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

Millis ManualClock::elapsed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::chrono::duration_cast<Millis>(now_ - TimePoint{});
}

void ManualClock::schedule(Millis delay, std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    scheduled_.emplace(now_ + delay, std::move(fn));
}

void ManualClock::advance(Millis d) {
    std::unique_lock<std::mutex> lock(mutex_);
    const TimePoint end = now_ + d;
    for (;;) {
        auto it = scheduled_.begin();
        if (it == scheduled_.end() || it->first > end) break;
        if (it->first > now_) now_ = it->first;
        auto fn = std::move(it->second);
        scheduled_.erase(it);
        lock.unlock();
        fn();  // may schedule more
        lock.lock();
    }
    if (end > now_) now_ = end;
}

}  // namespace vantorel
