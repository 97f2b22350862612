// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/tray_status.h"

#include "ui/resources.h"

namespace vantorel {

QString TrayTooltip(const LinkReport& report, bool demo) {
    QString tip = ui::Tr(QStringLiteral("mouse_name_text"));
    if (demo) tip += QStringLiteral(" (") + ui::Tr(QStringLiteral("demo_badge_text")) + QLatin1Char(')');
    tip += QLatin1Char('\n');
    if (report.access != MouseAccess::Connected) {
        tip += ui::Tr(report.access == MouseAccess::NoPermission ? QStringLiteral("no_access_title_text")
                                                                 : QStringLiteral("no_mouse_title_text"));
        return tip;
    }
    switch (report.link) {
        case LinkKind::Wired: tip += ui::Tr(QStringLiteral("link_wired_text")); break;
        case LinkKind::Wireless: tip += ui::Tr(QStringLiteral("link_wireless_text")); break;
        case LinkKind::Ble: tip += ui::Tr(QStringLiteral("link_ble_text")); break;
        case LinkKind::None: break;
    }
    QString battery;
    if (report.charging) battery = ui::Tr(QStringLiteral("charging_text"));
    else if (report.battery_percent >= 0) battery = ui::Tr(QStringLiteral("tray_battery_text")).arg(report.battery_percent);
    if (!battery.isEmpty()) tip += QStringLiteral(" \u00b7 ") + battery;
    return tip;
}

}  // namespace vantorel
