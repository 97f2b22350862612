// SPDX-License-Identifier: GPL-2.0-or-later
// Lets a skinned window grow and shrink within the screen: its content goes
// into a scroll area (so a window smaller than the skin still reaches every
// control), a size grip sits in its corner, and its size is kept within the
// available area of its screen.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace vantorel::ui {

// `wanted` bounded by the size of `available`; an invalid `wanted` gives
// `fallback`, bounded the same way.
QSize FitWindowSize(QSize wanted, QSize fallback, const QRect& available);

// Wraps the window's content (the first widget of its layout) in a frameless
// scroll area and puts a size grip into its bottom-right corner.
void MakeResizable(QWidget* window);

// Sizes `window` to `wanted` (or `fallback`) within `available` and centres
// it there.
void FitWindow(QWidget* window, QSize wanted, QSize fallback, const QRect& available);

}  // namespace vantorel::ui
