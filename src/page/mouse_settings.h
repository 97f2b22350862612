// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop's own mouse settings, which "ms_1_btn_mouse_attribute" opens.
// Each desktop has its settings program; the one of the running desktop
// ($XDG_CURRENT_DESKTOP) is preferred, otherwise the first one installed.
// The program is started directly with fixed arguments, never through a
// shell.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vantorel::page {

struct MouseSettingsCommand {
    QString program;    // the absolute path of the program found
    QStringList arguments;
    bool operator==(const MouseSettingsCommand&) const = default;
};

// `desktop` is $XDG_CURRENT_DESKTOP (a colon-separated list, e.g.
// "ubuntu:GNOME"); `find_executable` gives the absolute path of a program
// name, or an empty string when it is not installed.
std::optional<MouseSettingsCommand> FindMouseSettingsCommand(
    const QString& desktop, const std::function<QString(const QString&)>& find_executable);

// The same for this process: its environment and its PATH.
std::optional<MouseSettingsCommand> FindMouseSettingsCommand();

// Starts the command detached; false when it could not be started.
bool LaunchMouseSettings(const MouseSettingsCommand& command);

}  // namespace vantorel::page
