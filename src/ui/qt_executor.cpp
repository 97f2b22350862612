// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt_executor.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

namespace vantorel::ui {

QtExecutor::QtExecutor(QObject* parent) : QObject(parent) {}

QtExecutor::~QtExecutor() {
    for (auto& [id, timer] : timers_) delete timer;
    for (QTimer* timer : idle_) delete timer;
}

void QtExecutor::post(Task task) {
    // A task posted while the executor goes is dropped with the event.
    QMetaObject::invokeMethod(this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Executor::TimerId QtExecutor::start_timer(int milliseconds, bool repeat, Task task, const char* name) {
    const TimerId id = next_id_++;
    // A stopped timer is used again: timers restart often (the receiver's
    // watchdog with every event) and a deleted one would cost the event loop
    // a deferred delete each time.
    QTimer* timer = nullptr;
    if (!idle_.empty()) {
        timer = idle_.back();
        idle_.pop_back();
    } else {
        timer = new QTimer(this);
    }
    timer->setObjectName(QLatin1String(name ? name : ""));
    // Short periods drive animations; keep them even.
    timer->setTimerType(milliseconds < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
    timer->setSingleShot(!repeat);
    connect(timer, &QTimer::timeout, this, [this, id, repeat, task = std::move(task)] {
        const Task run = task;  // outlives the connection a one-shot ends
        if (!repeat) stop_timer(id);  // the task may start a new one
        run();
    });
    timers_[id] = timer;
    timer->start(milliseconds < 0 ? 0 : milliseconds);
    return id;
}

void QtExecutor::stop_timer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    QTimer* timer = it->second;
    timers_.erase(it);
    timer->stop();
    timer->disconnect(this);
    idle_.push_back(timer);
}

}  // namespace vantorel::ui
