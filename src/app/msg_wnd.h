// SPDX-License-Identifier: GPL-2.0-or-later
// The message box: a title and a message, both language keys, with OK and
// Cancel. The result is 1 when the user confirmed and 0 otherwise (Cancel,
// Escape, or the window closed by the desktop).
#pragma once

#include <QString>

#include "ui/skin_window.h"

namespace vantorel {

class CMsgWnd : public ui::SkinWindow {
    Q_OBJECT
public:
    enum class Buttons { OkCancel, OkOnly };

    CMsgWnd(QString title_key, QString message_key, Buttons buttons = Buttons::OkCancel);
    QString GetWindowClassName() const override { return QStringLiteral("MsgWnd"); }
    QString GetSkinFile() const override { return QStringLiteral("msg.xml"); }

    // The title a box gets without one given: a question when it asks, an
    // error when it says something failed or was refused, else a note.
    static QString TitleKeyFor(const QString& message_key, bool confirm);

    // The usual calls: a modal box over owner; returns the result. An empty
    // title key: the one TitleKeyFor gives.
    static int Confirm(QWidget* owner, const QString& message_key, const QString& title_key = {});
    static int Inform(QWidget* owner, const QString& message_key, const QString& title_key = {});

protected:
    void InitWindow() override;
    void OnClick(const ui::Notification& msg) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QString title_key_;
    QString message_key_;
    Buttons buttons_;
    QWidget* btn_ok_ = nullptr;
    QWidget* btn_cancel_ = nullptr;
    QWidget* warning_title_ = nullptr;
    QWidget* warning_ = nullptr;
};

}  // namespace vantorel
