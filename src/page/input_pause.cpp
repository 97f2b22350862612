// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/input_pause.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace vantorel {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: return true;
        default: return false;
    }
}

}  // namespace

InputPause::InputPause(QWidget* window, std::function<void(bool)> show_busy)
    : window_(window), show_busy_(std::move(show_busy)) {
    qApp->installEventFilter(this);
    quiet_ = new QTimer(this);
    quiet_->setSingleShot(true);
    connect(quiet_, &QTimer::timeout, this, [this] { say_busy(); });
    quiet_->start(kQuietMs);
}

InputPause::~InputPause() {
    qApp->removeEventFilter(this);
    if (shown_ && show_busy_) show_busy_(false);
}

void InputPause::say_busy() {
    if (shown_) return;
    shown_ = true;
    if (show_busy_) show_busy_(true);
}

bool InputPause::eventFilter(QObject* watched, QEvent* event) {
    if (!window_ || !IsUserInput(event->type()) || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != window_->window()) return false;
    say_busy();
    return true;
}

}  // namespace vantorel
