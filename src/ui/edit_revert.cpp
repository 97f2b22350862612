// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/edit_revert.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace vantorel::ui {

EditRevert::EditRevert(QLineEdit* edit) : QObject(edit), edit_(edit), before_(edit->text()) {}

void EditRevert::Install(QLineEdit* edit) {
    auto* revert = new EditRevert(edit);
    edit->installEventFilter(revert);
    // Connected after the page's own handlers, so the accepted text is the
    // one the page left in the edit.
    QObject::connect(edit, &QLineEdit::editingFinished, revert, [revert] { revert->before_ = revert->edit_->text(); });
}

bool EditRevert::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_) return false;
    if (event->type() == QEvent::FocusIn) {
        before_ = edit_->text();
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        edit_->setText(before_);
        edit_->selectAll();
        return true;
    }
    return false;
}

}  // namespace vantorel::ui
