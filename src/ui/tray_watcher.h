// SPDX-License-Identifier: GPL-2.0-or-later
// Waits for a tray that comes after the program: a panel started later
// registers the StatusNotifierWatcher on the session bus (watched as it
// happens), an X11 tray takes its selection (asked again at intervals).
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>

class QDBusServiceWatcher;

namespace vantorel::ui {

inline constexpr char kStatusNotifierWatcher[] = "org.kde.StatusNotifierWatcher";

class TrayWatcher : public QObject {
    Q_OBJECT
public:
    // `available` is asked when the watcher's name appears on `bus` and
    // every `poll_ms`; the first yes emits appeared() once and ends the
    // watch.
    TrayWatcher(std::function<bool()> available, const QDBusConnection& bus, int poll_ms, QObject* parent = nullptr);

    bool Watching() const { return !done_; }

signals:
    void appeared();

private:
    void check();

    std::function<bool()> available_;
    QDBusServiceWatcher* names_ = nullptr;
    QTimer poll_;
    bool done_ = false;
};

}  // namespace vantorel::ui
