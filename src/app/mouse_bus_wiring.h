// SPDX-License-Identifier: GPL-2.0-or-later
// The running program on the session bus: the mouse interface filled from
// the main window, its page and session and the profiles that follow the
// application, announced again whenever the session reports a change.
#pragma once

#include <QDBusConnection>

#include <memory>

namespace vantorel {

class AutoProfiles;
class CMainWnd;
class CMS_1_Page;

class MouseBusPresence {
public:
    virtual ~MouseBusPresence() = default;
    // Announces what changed (the properties that differ).
    virtual void refresh() = 0;
};

// Publishes the interface on `bus` (the session bus); a program that cannot
// (no bus, another copy owns the name) goes on without it. The objects must
// outlive the returned one.
std::unique_ptr<MouseBusPresence> PublishMouseBus(CMainWnd& window, CMS_1_Page& page, AutoProfiles& profiles,
                                                  QDBusConnection bus);

}  // namespace vantorel
