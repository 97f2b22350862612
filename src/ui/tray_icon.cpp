// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/tray_icon.h"

#include <QSystemTrayIcon>

#include "core/trace.h"
#include "ui/skin_window.h"

namespace vantorel::ui {

namespace {
std::optional<bool> g_tray_override;
}

TrayIcon::TrayIcon() = default;
TrayIcon::~TrayIcon() { DeleteTrayIcon(); }

bool TrayIcon::IsAvailable() {
    if (g_tray_override) return *g_tray_override;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::SetAvailabilityOverride(std::optional<bool> available) { g_tray_override = available; }

bool TrayIcon::CreateTrayIcon(SkinWindow* owner, std::uint32_t message, const QIcon& icon, const QString& tooltip) {
    tooltip_ = tooltip;
    if (!IsAvailable()) {
        trace("tray: the desktop offers no system tray\n");
        return false;
    }
    owner_ = owner;
    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(tooltip);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this, message](QSystemTrayIcon::ActivationReason reason) {
        if (!owner_) return;
        std::intptr_t mouse = 0;
        switch (reason) {
        case QSystemTrayIcon::Trigger: mouse = kLeftButtonUp; break;
        case QSystemTrayIcon::DoubleClick: mouse = kLeftButtonDoubleClick; break;
        case QSystemTrayIcon::Context: mouse = kRightButtonUp; break;
        case QSystemTrayIcon::MiddleClick: mouse = kMiddleButtonUp; break;
        default: return;
        }
        owner_->PostMessage(message, 0, mouse);
    });
    icon_->show();
    return true;
}

void TrayIcon::DeleteTrayIcon() {
    if (icon_) icon_->hide();
    icon_.reset();
}

void TrayIcon::SetTooltipText(const QString& tooltip) {
    tooltip_ = tooltip;
    if (icon_) icon_->setToolTip(tooltip);
}

void TrayIcon::SetContextMenu(QMenu* menu) {
    if (icon_) icon_->setContextMenu(menu);
}

}  // namespace vantorel::ui
