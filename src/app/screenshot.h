// SPDX-License-Identifier: GPL-2.0-or-later
// Renders one of the program's windows offscreen into a PNG file, for the
// README and for checking a skin without a desktop.
#pragma once

#include <QString>

namespace vantorel {

// window: "main" (no mouse), "main-mouse" (the mouse page), "msg" (the
// message box over the main window), "dpi" (the DPI popup over it).
// Returns the process exit code: 0 when the file was written.
int RenderScreenshot(const QString& file, const QString& window);

}  // namespace vantorel
