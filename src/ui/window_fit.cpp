// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window_fit.h"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QSizeGrip>
#include <QTimer>
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

// Widens the window when its content needs more room than it has (another
// page shown, longer texts of another language), as far as the screen's
// work area allows; below that the content scrolls.
class ContentWatcher final : public QObject {
public:
    ContentWatcher(QWidget* window, QScrollArea* area) : QObject(area), window_(window), area_(area) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest && !pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] {
                pending_ = false;
                widen();
            });
        }
        return false;
    }

private:
    void widen() {
        QWidget* content = area_->widget();
        if (!content || !window_->isVisible() || window_->isMaximized() || window_->isFullScreen()) return;
        const int needed = content->minimumSizeHint().width() + (window_->width() - area_->viewport()->width());
        if (needed <= window_->width()) return;
        const QScreen* screen = window_->screen();
        const int room = screen ? screen->availableGeometry().width() : needed;
        const int width = std::min(needed, room);
        if (width > window_->width()) window_->resize(width, window_->height());
    }

    QWidget* window_;
    QScrollArea* area_;
    bool pending_ = false;
};

}  // namespace

QSize FitWindowSize(QSize wanted, QSize fallback, const QRect& available) {
    const QSize size = wanted.isValid() && !wanted.isEmpty() ? wanted : fallback;
    if (!available.isValid()) return size;
    return size.boundedTo(available.size());
}

QScrollArea* NewContentArea(QWidget* window) {
    auto* area = new QScrollArea(window);
    area->setObjectName(QStringLiteral("window_scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setFocusPolicy(Qt::NoFocus);
    return area;
}

void MakeResizable(QWidget* window) {
    QLayout* layout = window->layout();
    if (!layout || layout->count() == 0) return;
    QWidget* content = layout->itemAt(0)->widget();
    if (!content) return;
    auto* area = qobject_cast<QScrollArea*>(content);
    if (!area) {
        area = NewContentArea(window);
        layout->removeWidget(content);
        area->setWidget(content);
        layout->addWidget(area);
    }
    if (!area->widget() || window->findChild<QSizeGrip*>(QStringLiteral("window_size_grip"))) return;
    area->widget()->installEventFilter(new ContentWatcher(window, area));

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
