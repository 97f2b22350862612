// SPDX-License-Identifier: GPL-2.0-or-later
// Builds controls from a skin file: Qt Designer's XML (the files keep the
// names "main.xml", "msg.xml", ...) read at run time, so a skin can change
// without a rebuild.
//
// Besides the standard widgets a skin may use "SvgImage" and "ColorPalette",
// and these dynamic properties:
//   textKey, toolTipKey, placeholderKey  language keys (resource-text mode)
//   itemKeys      "key1;key2" - the items of a combo box
//   include       another skin file built into this container
//   virtualwnd    the virtual window the controls below belong to
//   caption       true on the area that drags a frameless window
//   hidden        true on a control that starts hidden
#pragma once

#include <QString>
#include <QWidget>

namespace vantorel::ui {

class SkinLoader {
public:
    // Loads a skin file (relative to the resource folder) into a new widget
    // owned by parent. Null when the file is missing or malformed; the error
    // goes to the trace.
    static QWidget* load(const QString& skin_file, QWidget* parent);
};

}  // namespace vantorel::ui
