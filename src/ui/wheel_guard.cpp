// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/wheel_guard.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

namespace vantorel::ui {

namespace {

// The control a wheel event on `w` is meant for: the control itself, or the
// item view whose viewport `w` is.
QWidget* guarded_control(QObject* watched) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return nullptr;
    if (auto* view = qobject_cast<QAbstractItemView*>(w->parentWidget()); view && view->viewport() == w) return view;
    return w;
}

}  // namespace

WheelGuard::WheelGuard(QAbstractScrollArea* column) : QObject(column), column_(column) {}

WheelGuard* WheelGuard::Install(QAbstractScrollArea* column) {
    auto* guard = new WheelGuard(column);
    QWidget* content = column->viewport();
    if (auto* area = qobject_cast<QScrollArea*>(column); area && area->widget()) content = area->widget();
    const auto children = content->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (w->parentWidget() && (qobject_cast<QAbstractSlider*>(w->parentWidget()) ||
                                  qobject_cast<QAbstractSpinBox*>(w->parentWidget())))
            continue;  // parts of a guarded control
        if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w))
            guard->guard(w);
        else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            guard->guard(view);
            view->viewport()->installEventFilter(guard);
        }
    }
    return guard;
}

void WheelGuard::guard(QWidget* control) {
    // A wheel would otherwise give the control focus before it is seen here.
    if ((control->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus) control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) return false;
    QWidget* control = guarded_control(watched);
    if (!control || control->hasFocus()) return false;
    if (QScrollBar* bar = column_->verticalScrollBar()) QCoreApplication::sendEvent(bar, event);
    return true;  // the control itself never sees it
}

}  // namespace vantorel::ui
