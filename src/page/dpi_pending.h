// SPDX-License-Identifier: GPL-2.0-or-later
// DPI values dragged or typed are kept in the library at once but wait for
// "Send DPI values": while they wait, the button and the apply result say
// so. Any apply that runs sends them, and its result ends the wait.
#pragma once

#include <QWidget>

namespace vantorel::page {

void ShowDpiWaiting(QWidget* send_button, QWidget* result_label);
// After an apply brought the profile over.
void EndDpiWaiting(QWidget* send_button);
bool DpiWaiting(const QWidget* send_button);

}  // namespace vantorel::page
