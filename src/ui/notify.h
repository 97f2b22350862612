// SPDX-License-Identifier: GPL-2.0-or-later
// Notifications: what a skin control reports (a click, a new selection, a
// slider value) to the window or to the virtual window it belongs to.
//
// A control belongs to the virtual window named by the "virtualwnd"
// property of itself or of its nearest container that has one; a window
// hands the notifications of a registered virtual window ("MS_1_Page") to
// that window's pump and handles the rest itself.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace vantorel::ui {

namespace notify {
inline const QString kClick = QStringLiteral("click");
inline const QString kSelectChanged = QStringLiteral("selectchanged");
inline const QString kItemSelect = QStringLiteral("itemselect");
inline const QString kCheckClick = QStringLiteral("checkclick");
inline const QString kKillFocus = QStringLiteral("killfocus");
inline const QString kReturn = QStringLiteral("return");
inline const QString kTextChanged = QStringLiteral("textchanged");
inline const QString kValueChanged = QStringLiteral("valuechanged");
inline const QString kSetFocus = QStringLiteral("setfocus");
inline const QString kMouseEnter = QStringLiteral("mouseenter");
inline const QString kMouseLeave = QStringLiteral("mouseleave");
inline const QString kTimer = QStringLiteral("timer");
inline const QString kColorChanged = QStringLiteral("colorchanged");
inline const QString kColorChangedButtonUp = QStringLiteral("colorchangedbuttonup");
}  // namespace notify

struct Notification {
    QString type;
    QPointer<QWidget> sender;
    QString sender_name;
    QString virtual_wnd;
    std::uintptr_t wparam = 0;
    std::intptr_t lparam = 0;

    bool is(const QString& t) const { return type == t; }
    bool from(const QWidget* control) const { return control != nullptr && sender == control; }
};

// Receives notifications. The default Notify hands each type to its own
// handler, so a page overrides only the handlers it needs.
class NotifyPump {
public:
    virtual ~NotifyPump() = default;
    virtual void Notify(const Notification& msg);

protected:
    virtual void OnClick(const Notification&) {}
    virtual void OnSelectChanged(const Notification&) {}
    virtual void OnItemSelect(const Notification&) {}
    virtual void OnCheckClick(const Notification&) {}
    virtual void OnEditCommit(const Notification&) {}  // "killfocus" and "return"
    virtual void OnControlTimer(const Notification&) {}
    virtual void OnValueChanged(const Notification&) {}
    virtual void OnMouseEnter(const Notification&) {}
    virtual void OnMouseLeave(const Notification&) {}
    virtual void OnTextChanged(const Notification&) {}
    virtual void OnSetFocus(const Notification&) {}
    virtual void OnColorChanged(const Notification&) {}  // also "colorchangedbuttonup"
};

}  // namespace vantorel::ui
