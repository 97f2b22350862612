// SPDX-License-Identifier: GPL-2.0-or-later
// Desktop notifications through org.freedesktop.Notifications on the
// session bus. Without a session bus or a notification service the
// notifications are dropped (and logged).
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

#include "app/low_battery_rule.h"

namespace vantorel::app {

class DesktopNotifier : public Notifier {
public:
    // An alert (the battery): critical, shown until the user closes it.
    DesktopNotifier() = default;
    // A passing note (the DPI just chosen): low urgency, not kept in the
    // desktop's history, gone after `expire_ms`.
    static std::unique_ptr<DesktopNotifier> Transient(int expire_ms);
    // A passing note shown, where the desktop offers one, on its own
    // on-screen display (KDE Plasma's, the one that shows the volume), and
    // otherwise as Transient shows it.
    static std::unique_ptr<DesktopNotifier> OnScreenDisplay(int expire_ms);

    // The D-Bus connection (by its name) the notes go to instead of the
    // session bus.
    void UseBus(const QString& connection_name) { bus_name_ = connection_name; }

    void notify(const std::u16string& title, const std::u16string& body) override;

private:
    bool transient_ = false;
    bool on_screen_display_ = false;
    int expire_ms_ = -1;
    QString bus_name_;
    // The shown notification, replaced by the next one; shared with the
    // reply that may arrive after the notifier is gone.
    std::shared_ptr<std::uint32_t> last_id_ = std::make_shared<std::uint32_t>(0);
};

}  // namespace vantorel::app
