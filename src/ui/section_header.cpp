// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/section_header.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionButton>

namespace vantorel::ui {

namespace {

// A point the button itself takes as a hit: the middle of its check box
// click area (indicator and label).
QPoint hit_point(QAbstractButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    const QRect r = b->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &opt, b);
    return r.isValid() ? r.center() : QPoint(1, b->height() / 2);
}

}  // namespace

SectionHeader::SectionHeader(QAbstractButton* header) : QObject(header), header_(header) {}

void SectionHeader::Install(QAbstractButton* header) {
    auto* behaviour = new SectionHeader(header);
    header->setCursor(Qt::PointingHandCursor);
    header->setAttribute(Qt::WA_Hover);
    if (header->focusPolicy() == Qt::NoFocus) header->setFocusPolicy(Qt::StrongFocus);
    header->installEventFilter(behaviour);
}

bool SectionHeader::eventFilter(QObject* watched, QEvent* event) {
    if (watched != header_) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton && !(me->buttons() & Qt::LeftButton)) return false;
        if (!header_->rect().contains(me->position().toPoint())) return false;
        const QPoint hit = hit_point(header_);
        if (me->position().toPoint() == hit) return false;
        // The same press or release, at a point the button answers on.
        QMouseEvent moved(me->type(), QPointF(hit), me->scenePosition(), me->globalPosition(), me->button(),
                          me->buttons(), me->modifiers(), me->pointingDevice());
        QCoreApplication::sendEvent(header_, &moved);
        return true;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        header_->click();
        return true;
    }
    default:
        return false;
    }
}

}  // namespace vantorel::ui
