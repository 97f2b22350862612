// SPDX-License-Identifier: GPL-2.0-or-later
// The timers of a test executor: they run only when the test fires them, so
// timed behaviour is tested without waiting. A timer is known by the name its
// owner gave it ("apply delay", "receiver watchdog", ...). Standard library
// only, for the test suites with and without Qt.
#pragma once

#include <map>
#include <string>

#include "core/executor.h"

namespace vantorel::test {

class ManualTimers {
public:
    Executor::TimerId start(int milliseconds, bool repeat, Executor::Task task, const char* name) {
        const Executor::TimerId id = next_id_++;
        const std::string key = name ? name : "";
        running_[id] = Running{key, milliseconds, repeat, std::move(task)};
        ++starts_[key];
        last_ms_[key] = milliseconds;
        return id;
    }
    void stop(Executor::TimerId id) { running_.erase(id); }

    bool active(const std::string& name) const { return find(name) != running_.end(); }
    // The named timer's period while it runs; -1 when it does not.
    int interval(const std::string& name) const {
        const auto it = find(name);
        return it == running_.end() ? -1 : it->second.milliseconds;
    }
    // Its period when last started (-1: never), and how often it was started.
    int last_interval(const std::string& name) const {
        const auto it = last_ms_.find(name);
        return it == last_ms_.end() ? -1 : it->second;
    }
    int starts(const std::string& name) const {
        const auto it = starts_.find(name);
        return it == starts_.end() ? 0 : it->second;
    }
    // Fires the named timer once, as its period ending would; false when it
    // does not run.
    bool fire(const std::string& name) {
        const auto it = find(name);
        if (it == running_.end()) return false;
        Executor::Task task = it->second.task;
        if (!it->second.repeat) running_.erase(it);
        task();
        return true;
    }

private:
    struct Running {
        std::string name;
        int milliseconds;
        bool repeat;
        Executor::Task task;
    };
    std::map<Executor::TimerId, Running>::const_iterator find(const std::string& name) const {
        for (auto it = running_.begin(); it != running_.end(); ++it)
            if (it->second.name == name) return it;
        return running_.end();
    }

    std::map<Executor::TimerId, Running> running_;
    std::map<std::string, int> starts_;
    std::map<std::string, int> last_ms_;
    Executor::TimerId next_id_ = 1;
};

}  // namespace vantorel::test
