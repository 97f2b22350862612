// SPDX-License-Identifier: GPL-2.0-or-later
// Window timers by id. A window owns one timer service; tests swap in a
// manual one and fire timers themselves instead of waiting for them.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace vantorel::ui {

class TimerService {
public:
    virtual ~TimerService() = default;
    // (Re)starts timer `id`; it fires every `milliseconds` until stopped.
    virtual void start(int id, int milliseconds) = 0;
    virtual void stop(int id) = 0;
    virtual bool active(int id) const = 0;
    // Set by the owning window.
    std::function<void(int id)> on_fire;
};

class QtTimerService : public QObject, public TimerService {
public:
    void start(int id, int milliseconds) override;
    void stop(int id) override;
    bool active(int id) const override;

private:
    std::map<int, std::unique_ptr<QTimer>> timers_;
};

// Records what runs and fires on request.
class ManualTimerService : public TimerService {
public:
    void start(int id, int milliseconds) override {
        running_[id] = milliseconds;
        ++starts_[id];
    }
    void stop(int id) override { running_.erase(id); }
    bool active(int id) const override { return running_.count(id) != 0; }
    int interval(int id) const {
        auto it = running_.find(id);
        return it == running_.end() ? -1 : it->second;
    }
    int starts(int id) const {
        auto it = starts_.find(id);
        return it == starts_.end() ? 0 : it->second;
    }
    // Fires a running timer; false when it is not running.
    bool fire(int id) {
        if (!active(id)) return false;
        if (on_fire) on_fire(id);
        return true;
    }

private:
    std::map<int, int> running_;
    std::map<int, int> starts_;
};

}  // namespace vantorel::ui
