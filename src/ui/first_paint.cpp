// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

namespace vantorel::ui {

namespace {

// Watches the window's platform window; the paint follows the expose
// synchronously, so a call queued from here runs after it.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, std::function<void()> fn) : QObject(window), fn_(std::move(fn)) {}

    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Expose && fn_ && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), std::move(fn_));
            fn_ = nullptr;
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> fn_;
};

}  // namespace

void CallAfterFirstPaint(QWidget* window, std::function<void()> fn) {
    if (!window || !fn) return;
    QWindow* handle = window->windowHandle();
    if (!handle || handle->isExposed()) {
        QTimer::singleShot(0, window, std::move(fn));
        return;
    }
    handle->installEventFilter(new FirstPaintWatch(window, std::move(fn)));
}

}  // namespace vantorel::ui
