// SPDX-License-Identifier: GPL-2.0-or-later
// Work that can wait until a window is on screen: it runs once the window's
// first expose has been handled, which is where its first paint happens.
#pragma once

#include <QWidget>

#include <functional>

namespace vantorel::ui {

// Calls `fn` from the event loop just after the shown top-level `window` is
// painted for the first time (at once when it already is). Nothing is
// called when the window goes away first.
void CallAfterFirstPaint(QWidget* window, std::function<void()> fn);

}  // namespace vantorel::ui
