// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/select_macro_wnd.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QListWidget>

#include <algorithm>

#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

void CMS_1_SelectMacro::InitWindow() {
    list_ = FindControl(QStringLiteral("list_macro"));
    for (int n = 1; n <= 3; ++n) modes_[n - 1] = FindControlIndexed("repeat_%d", n);
    loop_row_ = FindControl(QStringLiteral("hor_loop_time"));
    loop_edit_ = FindControl(QStringLiteral("edit_loop_time"));
    btn_ok_ = FindControl(QStringLiteral("btn_ok"));
    setWindowTitle(ui::Tr(QStringLiteral("select_macro_title_text")));

    if (auto* list = qobject_cast<QListWidget*>(list_)) {
        ui::NotifyBlocker quiet;
        for (std::size_t i = 0; i < macros_.size(); ++i) {
            const std::u16string name = macros_[i].name();
            auto* item = new QListWidgetItem(QString::fromStdU16String(name), list);
            item->setSizeHint(QSize(0, 24));
        }
    }
    {
        ui::NotifyBlocker quiet;
        ui::SetCheck(modes_[play_mode_], true);
        if (index_ >= 0 && static_cast<std::size_t>(index_) < macros_.size()) {
            ui::SelectItem(list_, index_);
            ui::EnsureVisible(list_, index_);
        } else {
            index_ = -1;
            ui::SelectItem(list_, -1);
        }
        ui::SetText(loop_edit_, QString::number(repeat_));
    }
    ui::SetVisible(loop_row_, play_mode_ == 0);
    if (list_) list_->setFocus();
}

void CMS_1_SelectMacro::read_repeat_count() {
    // Leaving the field corrects it: above 255 reads 255, nothing or 0 reads 1.
    const QString text = ui::GetText(loop_edit_);
    bool ok = false;
    const long long n = text.toLongLong(&ok);
    if (!ok || n <= 0) {
        repeat_ = 1;
    } else {
        repeat_ = static_cast<std::int32_t>(std::min<long long>(n, kMaxRepeat));
    }
    if (text != QString::number(repeat_)) {
        ui::NotifyBlocker quiet;
        ui::SetText(loop_edit_, QString::number(repeat_));
    }
}

void CMS_1_SelectMacro::Notify(const ui::Notification& msg) {
    if (msg.is(ui::notify::kClick)) {
        if (msg.from(btn_ok_)) {
            read_repeat_count();
            Close(1);
        } else if (msg.sender_name == QLatin1String("btn_cancel") || msg.sender_name == QLatin1String("btn_exit")) {
            Close(0);
        }
        return;
    }
    if (msg.is(ui::notify::kItemSelect) && msg.from(list_)) {
        index_ = ui::GetCurSel(list_);
        return;
    }
    if (msg.is(ui::notify::kSelectChanged)) {
        for (int i = 0; i < 3; ++i) {
            if (!msg.from(modes_[i]) || !ui::GetCheck(modes_[i])) continue;
            play_mode_ = i;
            ui::SetVisible(loop_row_, play_mode_ == 0);
        }
        return;
    }
    if (msg.from(loop_edit_)) {
        if (msg.is(ui::notify::kTextChanged)) {
            // Digits only; the caret goes to the end.
            const QString text = ui::GetText(loop_edit_);
            QString digits;
            for (QChar c : text)
                if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
            if (digits != text) {
                ui::NotifyBlocker quiet;
                ui::SetText(loop_edit_, digits);
                ui::SetSel(loop_edit_, static_cast<int>(digits.size()), static_cast<int>(digits.size()));
            }
        } else if (msg.is(ui::notify::kKillFocus)) {
            read_repeat_count();
        }
    }
}

void CMS_1_SelectMacro::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused->objectName() == QLatin1String("btn_cancel")) {
            focused->click();
        } else {
            read_repeat_count();
            Close(1);
        }
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

}  // namespace vantorel
