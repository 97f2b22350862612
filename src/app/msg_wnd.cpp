// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/msg_wnd.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QRegularExpression>

#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

CMsgWnd::CMsgWnd(QString title_key, QString message_key, Buttons buttons)
    : title_key_(std::move(title_key)), message_key_(std::move(message_key)), buttons_(buttons) {}

void CMsgWnd::InitWindow() {
    btn_ok_ = FindControl(QStringLiteral("btn_ok"));
    btn_cancel_ = FindControl(QStringLiteral("btn_cancel"));
    warning_title_ = FindControl(QStringLiteral("warning_title"));
    warning_ = FindControl(QStringLiteral("warning"));
    ui::SetResourceText(warning_title_, title_key_);
    ui::SetResourceText(warning_, message_key_);
    if (buttons_ == Buttons::OkOnly) ui::SetVisible(btn_cancel_, false);
    setWindowTitle(ui::Tr(title_key_));
    if (btn_ok_) btn_ok_->setFocus();
}

void CMsgWnd::OnClick(const ui::Notification& msg) {
    if (msg.from(btn_ok_)) Close(1);
    else if (msg.from(btn_cancel_)) Close(0);
    else if (msg.sender_name == QLatin1String("btn_close")) Close(0);
}

void CMsgWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Enter presses the focused button, OK when none has the focus.
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && (focused == btn_ok_ || focused == btn_cancel_)) focused->click();
        else if (auto* ok = qobject_cast<QAbstractButton*>(btn_ok_)) ok->click();
        else Close(1);
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

QString CMsgWnd::TitleKeyFor(const QString& message_key, bool confirm) {
    if (confirm) return QStringLiteral("question_title_text");
    // Failed saves, imports and exports, by their language keys.
    static const QRegularExpression kErrorKey(QStringLiteral("^((import|export)_\\w+|\\w+_failed(_exit)?_text)$"));
    if (kErrorKey.match(message_key).hasMatch()) return QStringLiteral("error_title_text");
    return QStringLiteral("warning_title_text");
}

int CMsgWnd::Confirm(QWidget* owner, const QString& message_key, const QString& title_key) {
    CMsgWnd box(title_key.isEmpty() ? TitleKeyFor(message_key, true) : title_key, message_key, Buttons::OkCancel);
    return ui::RunModalDialog(box, owner);
}

int CMsgWnd::Inform(QWidget* owner, const QString& message_key, const QString& title_key) {
    CMsgWnd box(title_key.isEmpty() ? TitleKeyFor(message_key, false) : title_key, message_key, Buttons::OkOnly);
    return ui::RunModalDialog(box, owner);
}

}  // namespace vantorel
