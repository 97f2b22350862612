// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/tray_icon.h"

#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QSystemTrayIcon>

#include "core/trace.h"
#include "ui/skin_window.h"
#include "ui/tray_watcher.h"

namespace vantorel::ui {

namespace {
std::optional<bool> g_tray_override;

bool StatusNotifierWatcherRuns() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(kStatusNotifierWatcher)).value();
}
}

TrayIcon::TrayIcon() = default;
TrayIcon::~TrayIcon() { DeleteTrayIcon(); }

bool TrayIcon::IsAvailable() {
    if (g_tray_override) return *g_tray_override;
    // Qt decides once per run whether it talks to a StatusNotifierWatcher:
    // asked before a panel registers one, it would never show the icon
    // there. So Qt is asked only once the watcher runs, or on X11, where
    // it also looks for the X11 tray (again at every call).
    if (StatusNotifierWatcherRuns()) return QSystemTrayIcon::isSystemTrayAvailable();
    return QGuiApplication::platformName() == QLatin1String("xcb") && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::WatchForTray(std::function<void()> appeared) {
    watcher_ = std::make_unique<TrayWatcher>(&TrayIcon::IsAvailable, QDBusConnection::sessionBus());
    connect(watcher_.get(), &TrayWatcher::appeared, this, [this, appeared = std::move(appeared)] {
        trace("tray: the desktop offers a tray now\n");
        // Not deleted from within its own signal.
        watcher_.release()->deleteLater();
        appeared();
    });
}

bool TrayIcon::WatchingForTray() const { return watcher_ && watcher_->Watching(); }

void TrayIcon::SetAvailabilityOverride(std::optional<bool> available) {
    g_tray_override = available;
    // Nothing on the desktop announces a decided tray: the watches ask now.
    if (available) TrayWatcher::AskAll();
}

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
