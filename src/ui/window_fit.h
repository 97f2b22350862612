// SPDX-License-Identifier: GPL-2.0-or-later
// Lets a skinned window grow and shrink within the screen: its content goes
// into a scroll area (so a window smaller than the skin still reaches every
// control), a size grip sits in its corner, and its size is kept within the
// available area of its screen.
#pragma once

#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

namespace vantorel::ui {

// `wanted` bounded by the size of `available`; an invalid `wanted` gives
// `fallback`, bounded the same way.
QSize FitWindowSize(QSize wanted, QSize fallback, const QRect& available);

// The frameless scroll area a resizable window's content lives in. A skin
// built straight into its viewport is styled once; wrapping a finished skin
// would restyle every control of it.
QScrollArea* NewContentArea(QWidget* window);

// Puts a size grip into the window's bottom-right corner and lets it widen
// for its content. The content (the first widget of its layout) is wrapped
// in a content area unless it already is one.
void MakeResizable(QWidget* window);

// Sizes `window` to `wanted` (or `fallback`) within `available` and centres
// it there.
void FitWindow(QWidget* window, QSize wanted, QSize fallback, const QRect& available);

}  // namespace vantorel::ui
