// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/profile_name_wnd.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>

#include "core/text.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

void CMS_1_ProfileName::InitWindow() {
    title_ = FindControl(QStringLiteral("title_string"));
    edit_ = FindControl(QStringLiteral("edit_name"));
    btn_ok_ = FindControl(QStringLiteral("btn_ok"));
    ui::SetResourceText(title_, title_key_);
    setWindowTitle(ui::Tr(title_key_));
    if (auto* line = qobject_cast<QLineEdit*>(edit_)) {
        line->setMaxLength(kMaxLength);
        if (renaming_) {
            line->setText(QString::fromStdU16String(renaming_->profile_name()));
            line->selectAll();  // typing replaces it, an arrow key edits it
        }
    }
    if (edit_) edit_->setFocus();
}

void CMS_1_ProfileName::validate() {
    const QString name = ui::GetText(edit_).left(kMaxLength);
    if (name.trimmed().isEmpty()) {
        if (warn_) warn_(this, QStringLiteral("warn_name_1_text"));
        return;
    }
    const std::u16string wanted = name.toStdU16String();
    if (renaming_ && renaming_->profile_name() == wanted) {
        Close(0);  // nothing to change
        return;
    }
    for (std::size_t i = 0; i < profiles_.size(); ++i) {
        if (&profiles_[i] == renaming_) continue;  // its own name in another letter case is fine
        if (equals_ignore_case(profiles_[i].profile_name(), wanted)) {
            if (warn_) warn_(this, QStringLiteral("warn_name_2_text"));
            return;
        }
    }
    result_ = name;
    Close(1);
}

void CMS_1_ProfileName::Notify(const ui::Notification& msg) {
    if (!msg.is(ui::notify::kClick)) return;
    if (msg.from(btn_ok_)) validate();
    else if (msg.sender_name == QLatin1String("btn_cancel") || msg.sender_name == QLatin1String("btn_exit")) Close(0);
}

void CMS_1_ProfileName::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused->objectName() == QLatin1String("btn_cancel")) focused->click();
        else validate();
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

}  // namespace vantorel
