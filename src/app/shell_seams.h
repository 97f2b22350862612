// SPDX-License-Identifier: GPL-2.0-or-later
// The small interfaces through which the application shell reaches the
// parts that do not exist on the Qt side: whether a mouse link is up, and
// where an apply request goes. Standard library only.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vantorel {

enum class MouseAccess {
    Absent,        // no mouse, receiver or cable found
    NoPermission,  // found, but this user may not open it
    Connected,     // at least one link is up
};

enum class LinkKind { None, Wired, Wireless, Ble };

struct LinkReport {
    MouseAccess access = MouseAccess::Absent;
    std::string device;  // the device node that could not be opened, for the user
    // With access Connected: the link in use and the battery as last shown
    // (percent -1 before the mouse reported it).
    LinkKind link = LinkKind::None;
    int battery_percent = -1;
    bool charging = false;
};

class LinkPresence {
public:
    virtual ~LinkPresence() = default;
    virtual LinkReport query() const = 0;
};

// Until the device links exist: no mouse.
class NoLinkPresence : public LinkPresence {
public:
    LinkReport query() const override { return {}; }
};

// The virtual mouse of the demo mode: always connected.
class DemoLinkPresence : public LinkPresence {
public:
    LinkReport query() const override { return {MouseAccess::Connected, {}, LinkKind::Wireless, 76, false}; }
};

// A link presence that answers what it is told (tests, and whoever bridges
// the device layer before it offers its own).
class FixedLinkPresence : public LinkPresence {
public:
    explicit FixedLinkPresence(LinkReport report = {}) : report_(std::move(report)) {}
    void set(LinkReport report) { report_ = std::move(report); }
    LinkReport query() const override {
        ++queries_;
        return report_;
    }
    // How often it was asked: with no link up, each look reads the device nodes.
    int queries() const { return queries_; }

private:
    LinkReport report_;
    mutable int queries_ = 0;
};


}  // namespace vantorel
