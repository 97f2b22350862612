// SPDX-License-Identifier: GPL-2.0-or-later
// "Start with the desktop": an XDG autostart entry that starts the program
// hidden in the tray when the user logs in.
#pragma once

#include <QString>
#include <QStringList>

namespace vantorel {

class Autostart {
public:
    // The entry lives in `config_dir`/autostart; an empty folder means the
    // user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    explicit Autostart(QString config_dir = {});

    QString EntryPath() const;
    // Whether an entry of ours is there and not switched off by the desktop
    // (Hidden=true or X-GNOME-Autostart-enabled=false).
    bool IsEnabled() const;
    // Writes the entry starting `executable` with `arguments` and --hidden,
    // or removes it. False when the file could not be written or removed.
    bool SetEnabled(bool enabled, const QString& executable, const QStringList& arguments = {});

private:
    QString dir_;
};

}  // namespace vantorel
