// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/mouse_settings.h"

#include <QProcess>
#include <QStandardPaths>

#include "core/trace.h"

namespace vantorel::page {

namespace {

struct Candidate {
    const char* desktops;  // names in $XDG_CURRENT_DESKTOP it belongs to, ';'-separated
    const char* program;
    QStringList arguments;
};

const QList<Candidate>& candidates() {
    static const QList<Candidate> list = {
        {"GNOME;Unity;ubuntu", "gnome-control-center", {QStringLiteral("mouse")}},
        {"KDE", "systemsettings", {QStringLiteral("kcm_mouse")}},
        {"KDE", "kcmshell6", {QStringLiteral("kcm_mouse")}},
        {"KDE", "systemsettings5", {QStringLiteral("mouse")}},
        {"KDE", "kcmshell5", {QStringLiteral("mouse")}},
        {"XFCE", "xfce4-mouse-settings", {}},
        {"X-Cinnamon;Cinnamon", "cinnamon-settings", {QStringLiteral("mouse")}},
        {"MATE", "mate-mouse-properties", {}},
        {"Budgie", "budgie-control-center", {QStringLiteral("mouse")}},
        {"LXQt", "lxqt-config-input", {}},
        {"LXDE", "lxinput", {}},
    };
    return list;
}

bool belongs_to(const Candidate& c, const QString& desktop) {
    const QStringList names = QString::fromLatin1(c.desktops).split(QLatin1Char(';'));
    for (const QString& name : names) {
        if (desktop.compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

}  // namespace

std::optional<MouseSettingsCommand> FindMouseSettingsCommand(
    const QString& desktop, const std::function<QString(const QString&)>& find_executable) {
    auto found = [&](const Candidate& c) -> std::optional<MouseSettingsCommand> {
        const QString path = find_executable(QString::fromLatin1(c.program));
        if (path.isEmpty()) return std::nullopt;
        return MouseSettingsCommand{path, c.arguments};
    };
    // The running desktop's own program first, in the order the desktop
    // names itself.
    for (const QString& name : desktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        for (const Candidate& c : candidates()) {
            if (!belongs_to(c, name.trimmed())) continue;
            if (auto command = found(c)) return command;
        }
    }
    for (const Candidate& c : candidates()) {
        if (auto command = found(c)) return command;
    }
    return std::nullopt;
}

std::optional<MouseSettingsCommand> FindMouseSettingsCommand() {
    return FindMouseSettingsCommand(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                    [](const QString& name) { return QStandardPaths::findExecutable(name); });
}

bool LaunchMouseSettings(const MouseSettingsCommand& command) {
    const bool started = QProcess::startDetached(command.program, command.arguments);
    trace("mouse settings: %s %s\n", qPrintable(command.program), started ? "started" : "could not be started");
    return started;
}

}  // namespace vantorel::page
