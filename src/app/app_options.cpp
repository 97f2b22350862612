// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/app_options.h"

#include <cstring>

namespace vantorel {

const char* const kAppUsage =
    "Usage: qv-vantorel [options]\n"
    "Configures the QV Vantorel wireless mouse.\n"
    "\n"
    "  --demo                 attach the virtual mouse (no hardware needed)\n"
    "  --hidden               start in the tray without showing the window (as at log-in)\n"
    "  --no-demo              when no mouse is found, wait for one instead of attaching the virtual mouse\n"
    "  --lang CODE            use the translation CODE (de, pt_BR, ...) instead of the locale's\n"
    "  --data-dir DIR         keep profiles and settings in DIR (also QV_VANTOREL_DATA_DIR)\n"
    "  --verbose              print diagnostics on standard error (names the data folder in use)\n"
    "  --screenshot FILE.png  render a window offscreen into FILE.png and exit\n"
    "  --window NAME          the window to render: main, main-mouse, msg, dpi, color, shortcut, macro or editor (default main)\n"
    "  --help, --version\n";

std::optional<AppOptions> ParseAppOptions(const QStringList& arguments, QString* error) {
    AppOptions options;
    auto fail = [error](const QString& message) -> std::optional<AppOptions> {
        if (error) *error = message;
        return std::nullopt;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& into) -> bool {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            if (eq > 0) {
                into = a.mid(eq + 1);
                return !into.isEmpty();
            }
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        const QString name = a.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--demo")) {
            options.demo = true;
        } else if (name == QLatin1String("--hidden")) {
            options.hidden = true;
        } else if (name == QLatin1String("--no-demo")) {
            options.no_demo = true;
        } else if (name == QLatin1String("--verbose") || name == QLatin1String("-v")) {
            options.verbose = true;
        } else if (name == QLatin1String("--screenshot")) {
            if (!value(options.screenshot)) return fail(QStringLiteral("--screenshot needs a file name"));
        } else if (name == QLatin1String("--window")) {
            if (!value(options.window)) return fail(QStringLiteral("--window needs a name"));
            if (!kScreenshotWindows.contains(options.window))
                return fail(QStringLiteral("--window must be one of: ") + kScreenshotWindows.join(QStringLiteral(", ")));
        } else if (name == QLatin1String("--data-dir")) {
            if (!value(options.data_dir)) return fail(QStringLiteral("--data-dir needs a folder"));
        } else if (name == QLatin1String("--lang")) {
            if (!value(options.language)) return fail(QStringLiteral("--lang needs a language code"));
        } else {
            return fail(QStringLiteral("unknown option: ") + a);
        }
    }
    if (options.window != QLatin1String("main") && options.screenshot.isEmpty())
        return fail(QStringLiteral("--window only goes with --screenshot"));
    return options;
}

bool WantsScreenshot(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshot", 12) == 0) return true;
    }
    return false;
}

QLocale LanguageLocale(const AppOptions& options) {
    return options.language.isEmpty() ? QLocale::system() : QLocale(options.language);
}

}  // namespace vantorel
