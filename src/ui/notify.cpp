// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/notify.h"

namespace vantorel::ui {

void NotifyPump::Notify(const Notification& msg) {
    using namespace notify;
    const QString& t = msg.type;
    if (t == kClick) OnClick(msg);
    else if (t == kSelectChanged) OnSelectChanged(msg);
    else if (t == kItemSelect) OnItemSelect(msg);
    else if (t == kCheckClick) OnCheckClick(msg);
    else if (t == kKillFocus || t == kReturn) OnEditCommit(msg);
    else if (t == kTimer) OnControlTimer(msg);
    else if (t == kValueChanged) OnValueChanged(msg);
    else if (t == kMouseEnter) OnMouseEnter(msg);
    else if (t == kMouseLeave) OnMouseLeave(msg);
    else if (t == kTextChanged) OnTextChanged(msg);
    else if (t == kSetFocus) OnSetFocus(msg);
    else if (t == kColorChanged || t == kColorChangedButtonUp) OnColorChanged(msg);
}

}  // namespace vantorel::ui
