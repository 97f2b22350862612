// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/tray_watcher.h"

#include <QDBusServiceWatcher>

#include "core/trace.h"

namespace vantorel::ui {

TrayWatcher::TrayWatcher(std::function<bool()> available, const QDBusConnection& bus, int poll_ms, QObject* parent)
    : QObject(parent), available_(std::move(available)) {
    if (bus.isConnected()) {
        names_ = new QDBusServiceWatcher(QString::fromLatin1(kStatusNotifierWatcher), bus,
                                         QDBusServiceWatcher::WatchForRegistration, this);
        connect(names_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            trace("tray: a StatusNotifierWatcher appeared on the session bus\n");
            check();
        });
    }
    connect(&poll_, &QTimer::timeout, this, &TrayWatcher::check);
    if (poll_ms > 0) poll_.start(poll_ms);
}

void TrayWatcher::check() {
    if (done_ || !available_()) return;
    done_ = true;
    poll_.stop();
    if (names_) names_->setWatchedServices({});
    emit appeared();
}

}  // namespace vantorel::ui
