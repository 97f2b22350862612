// SPDX-License-Identifier: GPL-2.0-or-later
// Real time for the benchmarks that run the mouse session on the virtual
// mouse, with every wait the report sender asks for added up: the waits the
// protocol requires, told apart from our own cost.
#pragma once

#include <atomic>
#include <chrono>

#include "core/clock.h"

namespace vantorel::bench {

class PacingClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void sleep_for(Millis d) override {
        waited_ms_ += d.count();
        SteadyClock::instance().sleep_for(d);
    }
    long long waited_ms() const { return waited_ms_.load(); }

private:
    std::atomic<long long> waited_ms_{0};
};

}  // namespace vantorel::bench
