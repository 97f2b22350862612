// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page of this run and what ties it to the main window: whether
// the virtual mouse stands in for a real one, which device backends the page
// gets, and the seams through which the window hands the page its apply
// requests, device messages and timers, its shutdown, and the clean exit.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/shell_seams.h"
#include "device/ble_gatt_ahead.h"
#include "device/link_state.h"
#include "library/data_folder.h"
#include "page/ms_1_page.h"

namespace vantorel {

class CMainWnd;

struct SessionChoice {
    bool demo = false;
    // The demo lasts the whole run (--demo, or no device backends); otherwise
    // the device watch runs and a real mouse that arrives ends it.
    bool forced = false;
    std::string reason;  // for the trace
    // A mouse to show from the window's first frame: the virtual one, or a
    // receiver, cable or Bluetooth mouse found that can be opened (its link
    // comes up a moment later).
    bool mouse_at_start = false;
    // What the device nodes said at the choice, for the window's first look:
    // absent, or the first node this user may not open. Unset: not looked.
    std::optional<LinkReport> nodes_at_start = std::nullopt;
};

// The virtual mouse stands in when asked for (--demo), when the program was
// built without the device backends, or when no receiver, cable or Bluetooth
// mouse is present at start; in the last case only until one arrives.
// Without `demo_allowed` (--no-demo) a start with no mouse shows the empty
// view and waits for one.
SessionChoice ChooseSession(bool demo_forced, bool demo_allowed = true);

// BlueZ on the system bus, opened on a thread of its own from now on (or
// from its begin()); null when the program was built without the device
// backends.
std::shared_ptr<BleGattAhead> OpenBluezAhead(BleGattAhead::Start start = BleGattAhead::Start::Now);

// The page for the choice: the virtual mouse on its 2.4 GHz receiver for a
// demo; hidapi, the wired driver library, BlueZ and the udev device watch
// otherwise. `folder` replaces the usual data folder (screenshots); `bluez`
// is BlueZ opened earlier in the start (opened here when null).
std::unique_ptr<CMS_1_Page> MakeMousePage(const SessionChoice& choice, std::optional<DataFolder> folder = {},
                                          std::shared_ptr<BleGattAhead> bluez = nullptr);

// Whether the mouse can be reached, from the page's link flags; with none up,
// a device that is present but cannot be opened (no udev rule) is reported
// so the window can explain it.
class PageLinkPresence : public LinkPresence {
public:
    // With no link up: what the device nodes say (every matching node is
    // read, so a look is kept until the device watch sees a change).
    using Look = std::function<LinkReport()>;
    static LinkReport LookAtDeviceNodes();

    // `probe_devices` says whether to look for devices that cannot be opened
    // (not while the virtual mouse stands in). `seen` is a look taken
    // earlier in the start, before any device change was counted.
    PageLinkPresence(const LinkState& links, std::function<bool()> probe_devices, Look look = LookAtDeviceNodes,
                     std::optional<LinkReport> seen = {});
    LinkReport query() const override;

private:
    const LinkState& links_;
    std::function<bool()> probe_;
    Look look_;
    mutable std::optional<LinkReport> looked_;
    mutable unsigned looked_at_changes_ = 0;  // links_.device_changes when looked
};

// Hooks the page into the window (which owns it): the window observes the
// page's mouse session (the tab and the tray follow the links and the
// battery, the DPI popup the mouse's DPI button), the window's destruction
// ends the session, and a clean exit (the tray's "exit", the desktop closing
// the window or ending the session) saves edits the library file does not
// hold yet, telling the user when that fails. `nodes_at_start` is what the
// session's choice saw among the device nodes.
void ConnectMousePage(CMainWnd& window, CMS_1_Page& page, std::optional<LinkReport> nodes_at_start = {});

}  // namespace vantorel
