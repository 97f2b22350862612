// SPDX-License-Identifier: GPL-2.0-or-later
// An executor for the Qt test suites: posted tasks run on Qt's event loop as
// in the program (a pump runs them), timers run only when the test fires
// them, so timed behaviour is tested without waiting.
#pragma once

#include <string>

#include "core/executor.h"
#include "support/manual_timers.h"
#include "ui/qt_executor.h"

namespace vantorel::test {

class ManualExecutor final : public Executor, private ManualTimers {
public:
    void post(Task task) override { qt_.post(std::move(task)); }
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override {
        return start(milliseconds, repeat, std::move(task), name);
    }
    void stop_timer(TimerId id) override { stop(id); }

    // How often the named timer was started, its period when last started
    // (-1: never), whether it runs; fire() as its period ending would.
    using ManualTimers::active;
    using ManualTimers::fire;
    using ManualTimers::starts;
    int interval(const std::string& name) const { return last_interval(name); }

private:
    ui::QtExecutor qt_;
};

}  // namespace vantorel::test
