// SPDX-License-Identifier: GPL-2.0-or-later
// The Executor of the desktop program: tasks and timers run on the thread of
// Qt's event loop that owns this object (the UI thread).
#pragma once

#include <QObject>

#include <map>
#include <memory>
#include <vector>

#include "core/executor.h"

class QTimer;

namespace vantorel::ui {

class QtExecutor final : public QObject, public Executor {
public:
    explicit QtExecutor(QObject* parent = nullptr);
    ~QtExecutor() override;

    void post(Task task) override;
    TimerId start_timer(int milliseconds, bool repeat, Task task, const char* name) override;
    void stop_timer(TimerId id) override;

private:
    std::map<TimerId, QTimer*> timers_;
    std::vector<QTimer*> idle_;  // stopped, ready to be used again
    TimerId next_id_ = 1;
};

}  // namespace vantorel::ui
