// SPDX-License-Identifier: GPL-2.0-or-later
// The notification-area icon. Mouse actions on it reach the owner window as
// the tray message (lparam: 514 left button up, 517 right button up, 515
// double click, 520 middle button up).
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace vantorel::ui {

class SkinWindow;
class TrayWatcher;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr std::intptr_t kLeftButtonUp = 514;
    static constexpr std::intptr_t kLeftButtonDoubleClick = 515;
    static constexpr std::intptr_t kRightButtonUp = 517;
    static constexpr std::intptr_t kMiddleButtonUp = 520;

    TrayIcon();
    ~TrayIcon() override;

    // Whether the desktop shows tray icons now. Tests may decide it; a
    // running watch then asks again at once.
    static bool IsAvailable();
    static void SetAvailabilityOverride(std::optional<bool> available);

    // Calls `appeared` once when a tray turns up later (a panel started
    // after the program); a watch already running is replaced.
    void WatchForTray(std::function<void()> appeared);
    bool WatchingForTray() const;

    // Shows the icon; its actions are posted to owner as `message`. Returns
    // false (and shows nothing) when the desktop has no tray.
    bool CreateTrayIcon(SkinWindow* owner, std::uint32_t message, const QIcon& icon, const QString& tooltip);
    void DeleteTrayIcon();
    bool IsCreated() const { return icon_ != nullptr; }
    void SetTooltipText(const QString& tooltip);
    QString TooltipText() const { return tooltip_; }
    // The menu the desktop shows on a right click (not owned).
    void SetContextMenu(QMenu* menu);

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    QPointer<SkinWindow> owner_;
    QString tooltip_;
    std::unique_ptr<TrayWatcher> watcher_;
};

}  // namespace vantorel::ui
