// SPDX-License-Identifier: GPL-2.0-or-later
// Desktop notifications through org.freedesktop.Notifications on the
// session bus. Without a session bus or a notification service the
// notifications are dropped (and logged).
#pragma once

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

    void notify(const std::u16string& title, const std::u16string& body) override;

private:
    bool transient_ = false;
    int expire_ms_ = -1;
    // The shown notification, replaced by the next one; shared with the
    // reply that may arrive after the notifier is gone.
    std::shared_ptr<std::uint32_t> last_id_ = std::make_shared<std::uint32_t>(0);
};

}  // namespace vantorel::app
