// SPDX-License-Identifier: GPL-2.0-or-later
// A standard-library executor for tests: posted tasks run at once, timers
// only when the test fires them by name.
#pragma once

#include "core/executor.h"
#include "support/manual_timers.h"

namespace vantorel::test {

class TimerExecutor final : public Executor, public ManualTimers {
public:
    void post(Task task) override { task(); }
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override {
        return start(milliseconds, repeat, std::move(task), name);
    }
    void stop_timer(TimerId id) override { stop(id); }
};

}  // namespace vantorel::test
