// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/autostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace vantorel {

namespace {

constexpr char kEntryName[] = "io.github.qvvantorel.QVVantorel.desktop";

// Quoting of the Exec key: arguments with reserved characters go in double
// quotes, with ", `, $ and \ escaped.
QString QuoteExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needs_quotes = argument.isEmpty();
    for (QChar c : argument) needs_quotes = needs_quotes || reserved.contains(c);
    QString escaped = argument;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needs_quotes) return escaped;
    QString quoted;
    for (QChar c : escaped) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // The desktop-entry parser removes one more level of backslashes.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

Autostart::Autostart(QString config_dir) : dir_(std::move(config_dir)) {
    if (dir_.isEmpty()) dir_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString Autostart::EntryPath() const { return dir_ + QStringLiteral("/autostart/") + QLatin1String(kEntryName); }

bool Autostart::IsEnabled() const {
    QFile file(EntryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return true;
}

bool Autostart::SetEnabled(bool enabled, const QString& executable, const QStringList& arguments) {
    const QString path = EntryPath();
    if (!enabled) return !QFile::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(dir_ + QStringLiteral("/autostart"))) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QString command = QuoteExecArgument(executable);
    for (const QString& argument : arguments) command += QLatin1Char(' ') + QuoteExecArgument(argument);
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=QV Vantorel\n"
                              "Comment=Mouse configuration in the tray\n"
                              "Exec=%1 --hidden\n"
                              "Icon=io.github.qvvantorel.QVVantorel\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(command);
    file.write(entry.toUtf8());
    return file.commit();
}

}  // namespace vantorel
