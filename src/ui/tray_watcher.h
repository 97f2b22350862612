// SPDX-License-Identifier: GPL-2.0-or-later
// Waits for a tray that comes after the program, without looking at
// intervals: a panel started later registers the StatusNotifierWatcher on
// the session bus, and an X11 tray announces itself with a MANAGER message
// on the root window when it takes its selection (_NET_SYSTEM_TRAY_S<n>).
// Both are watched as they happen; nothing runs while no tray comes.
#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace vantorel::ui {

inline constexpr char kStatusNotifierWatcher[] = "org.kde.StatusNotifierWatcher";

class TrayWatcher : public QObject {
    Q_OBJECT
public:
    // `available` is asked when the watcher's name appears on `bus` and, on
    // X11, when a tray announces itself; the first yes emits appeared() once
    // and ends the watch.
    TrayWatcher(std::function<bool()> available, const QDBusConnection& bus, QObject* parent = nullptr);
    ~TrayWatcher() override;

    bool Watching() const { return !done_; }
    // Asks every running watch again now: for availability decided by other
    // means than a tray (tests).
    static void AskAll();

signals:
    void appeared();

private:
    class X11Announcements;
    void check();

    std::function<bool()> available_;
    QDBusServiceWatcher* names_ = nullptr;
    std::unique_ptr<X11Announcements> x11_;
    bool done_ = false;
};

}  // namespace vantorel::ui
