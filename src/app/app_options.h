// SPDX-License-Identifier: GPL-2.0-or-later
// The command line of qv-vantorel.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

struct AppOptions {
    bool help = false;         // --help
    bool version = false;      // --version
    bool demo = false;         // --demo: the virtual mouse is attached
    bool hidden = false;       // --hidden: only the tray icon at start
    bool no_demo = false;      // --no-demo: no virtual mouse when none is found
    bool verbose = false;      // --verbose: diagnostics on standard error
    QString language;          // --lang CODE: a translation instead of the locale's
    QString data_dir;          // --data-dir DIR: the data folder instead of the usual one
    QString screenshot;        // --screenshot FILE.png: render offscreen and exit
    QString window = QStringLiteral("main");  // --window main|main-mouse|msg|dpi|color
};

// Parses the arguments (argv[0] first). On a usage error returns nullopt and
// sets `error`.
std::optional<AppOptions> ParseAppOptions(const QStringList& arguments, QString* error);

extern const char* const kAppUsage;

// The locale whose translation the program shows: the one --lang names
// ("fr", "pt_BR", "zh"), else the desktop's.
QLocale LanguageLocale(const AppOptions& options);

// Whether the arguments ask for a screenshot (checked before Qt starts, to
// pick the offscreen platform).
bool WantsScreenshot(int argc, char** argv);

inline const QStringList kScreenshotWindows = {
    QStringLiteral("main"), QStringLiteral("main-mouse"), QStringLiteral("msg"), QStringLiteral("dpi"),
    QStringLiteral("color"), QStringLiteral("shortcut"), QStringLiteral("macro"),
    QStringLiteral("editor")};

}  // namespace vantorel
