// SPDX-License-Identifier: GPL-2.0-or-later
// Builds controls from a skin file: Qt Designer's XML (the files keep the
// names "main.xml", "msg.xml", ...) read at run time, so a skin can change
// without a rebuild.
//
// Besides the standard widgets a skin may use "SvgImage", "ColorPalette" and
// "ElidingButton",
// and these dynamic properties:
//   textKey, toolTipKey, placeholderKey  language keys (resource-text mode)
//   itemKeys      "key1;key2" - the items of a combo box
//   include       another skin file built into this container
//   includeLater  true: that file is built when the window asks for it
//                 (a page that is not shown at first), not with the skin
//   virtualwnd    the virtual window the controls below belong to
//   caption       true on the area that drags a frameless window
//   hidden        true on a control that starts hidden
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace vantorel::ui {

class SkinLoader {
public:
    // Loads a skin file (relative to the resource folder) into a new widget
    // owned by parent. Null when the file is missing or malformed; the error
    // goes to the trace. With `later`, includes marked "includeLater" are
    // left out and listed there instead; without it they are built too.
    struct Pending {
        QPointer<QWidget> target;
        QString file;
    };
    static QWidget* load(const QString& skin_file, QWidget* parent, std::vector<Pending>* later = nullptr);
    // Builds a skin file into a container as "include" does, texts applied.
    static QWidget* include(const QString& skin_file, QWidget* container);
};

}  // namespace vantorel::ui
