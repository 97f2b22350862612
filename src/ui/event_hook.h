// SPDX-License-Identifier: GPL-2.0-or-later
// An event filter that hands the events of the objects it watches to a
// function, for owners that are no QObject themselves (the page).
#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

namespace vantorel::ui {

class EventHook final : public QObject {
public:
    // Return true to stop the event there.
    using Handler = std::function<bool(QObject* watched, QEvent* event)>;
    explicit EventHook(Handler handler) : handler_(std::move(handler)) {}
    void watch(QObject* object) {
        if (object) object->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return handler_ && handler_(watched, event); }

private:
    Handler handler_;
};

}  // namespace vantorel::ui
