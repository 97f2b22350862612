// SPDX-License-Identifier: GPL-2.0-or-later
// The theme's base font, taken out of its style sheet.
//
// A "* { font-family: ...; font-size: ...; }" rule makes Qt give every
// widget a font of its own while polishing it, and keeps the face a widget
// had before (the desktop's default) loaded as well. The same font set once
// as the application's font looks the same and costs nothing per widget,
// so the theme's universal font is lifted out of the sheet and handed to
// the application instead. Rules that change the font of some controls
// stay in the sheet and still apply on top of it.
//
// The universal rule's text colour goes the same way, into the text roles
// of the application's palette: given per widget, it made Qt build and
// hand down a palette of its own to every widget while polishing it.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

namespace vantorel::ui {

struct ThemeFont {
    std::optional<QFont> font;  // empty: the sheet had no universal font to lift
    std::optional<QColor> text; // empty: the sheet had no universal text colour
    QString sheet;              // the style sheet without the lifted declarations
};

// Lifts font-family and font-size out of the first rule whose selector is
// "*" when both are there and readable (sizes in px or pt), and its color
// when that is a plain colour; what is not lifted stays in the sheet.
ThemeFont LiftUniversalFont(const QString& sheet);

}  // namespace vantorel::ui
