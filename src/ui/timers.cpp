// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/timers.h"

namespace vantorel::ui {

void QtTimerService::start(int id, int milliseconds) {
    auto& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>(this);
        // Short periods drive animations; keep them even.
        timer->setTimerType(milliseconds < 100 ? Qt::PreciseTimer : Qt::CoarseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, this, [this, id] {
            if (on_fire) on_fire(id);
        });
    }
    timer->start(milliseconds < 0 ? 0 : milliseconds);
}

void QtTimerService::stop(int id) {
    auto it = timers_.find(id);
    if (it != timers_.end()) it->second->stop();
}

bool QtTimerService::active(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second->isActive();
}

}  // namespace vantorel::ui
