// SPDX-License-Identifier: GPL-2.0-or-later
// What the tray icon's tooltip says: the mouse, the link it is reached over
// and its battery ("Charging" while it charges).
#pragma once

#include <QString>

#include "app/shell_seams.h"

namespace vantorel {

// Texts from the language file: "QV Vantorel\n2.4 GHz receiver · 76 %".
QString TrayTooltip(const LinkReport& report, bool demo);

}  // namespace vantorel
