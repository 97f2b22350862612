// SPDX-License-Identifier: GPL-2.0-or-later
// Renders one of the program's windows offscreen into a PNG file, for the
// README and for checking a skin without a desktop.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vantorel {

// window: "main" (no mouse), "main-mouse" (the mouse page), "msg" (the
// message box over the main window), "dpi" (the DPI popup over it).
// Returns the process exit code: 0 when the file was written. `inspect`, when
// given, sees each window of the picture (the main window, then the dialog
// or popup over it) laid out and painted, before it goes.
int RenderScreenshot(const QString& file, const QString& window,
                     const std::function<void(QWidget&)>& inspect = {});

}  // namespace vantorel
