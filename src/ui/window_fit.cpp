// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window_fit.h"

#include <QEvent>
#include <QLayout>
#include <QScrollArea>
#include <QSizeGrip>
#include <QWidget>

#include <algorithm>

namespace vantorel::ui {

namespace {

// Keeps the size grip in the bottom-right corner of its window.
class GripPlacer final : public QObject {
public:
    explicit GripPlacer(QSizeGrip* grip) : QObject(grip), grip_(grip) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) place();
        return false;
    }

private:
    void place() {
        const QWidget* window = grip_->parentWidget();
        const QSize s = grip_->sizeHint();
        grip_->setGeometry(window->width() - s.width(), window->height() - s.height(), s.width(), s.height());
        grip_->raise();
    }
    QSizeGrip* grip_;
};

}  // namespace

QSize FitWindowSize(QSize wanted, QSize fallback, const QRect& available) {
    const QSize size = wanted.isValid() && !wanted.isEmpty() ? wanted : fallback;
    if (!available.isValid()) return size;
    return size.boundedTo(available.size());
}

void MakeResizable(QWidget* window) {
    QLayout* layout = window->layout();
    if (!layout || layout->count() == 0) return;
    QWidget* content = layout->itemAt(0)->widget();
    if (!content || qobject_cast<QScrollArea*>(content)) return;
    auto* area = new QScrollArea(window);
    area->setObjectName(QStringLiteral("window_scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setFocusPolicy(Qt::NoFocus);
    layout->removeWidget(content);
    area->setWidget(content);
    layout->addWidget(area);

    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto* grip = new QSizeGrip(window);
    grip->setObjectName(QStringLiteral("window_size_grip"));
    window->installEventFilter(new GripPlacer(grip));
}

void FitWindow(QWidget* window, QSize wanted, QSize fallback, const QRect& available) {
    const QSize size = FitWindowSize(wanted, fallback, available);
    window->resize(size);
    if (!available.isValid()) return;
    QRect r(QPoint(0, 0), window->size());
    r.moveCenter(available.center());
    // Centred, but never with its title bar off the area.
    r.moveTop(std::max(r.top(), available.top()));
    r.moveLeft(std::max(r.left(), available.left()));
    window->move(r.topLeft());
}

}  // namespace vantorel::ui
