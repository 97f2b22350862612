// SPDX-License-Identifier: GPL-2.0-or-later
// What the links learn of the mouse, told as facts the moment they are
// known: a link came up or went down, what the battery said, a setting the
// mouse changed with its own buttons. How any of it looks is up to whoever
// listens (the mouse page, the command line's monitor, the tests).
//
// Every call comes on the executor's thread, while the change is being made:
// LinkState already holds the new flags and battery values, and the change
// of a setting is already committed to the profile.
#pragma once

#include "device/link_state.h"

namespace vantorel {

struct BatteryReading {
    enum class Kind {
        Level,       // `percent` (0..100) is the charge
        Charging,    // the mouse charges; no level is known
        Cleared,     // the cable left: nothing is known until the next reading
        Unreadable,  // a reading out of range: any charging display ends, the rest stands
    };
    Kind kind = Kind::Level;
    int percent = -1;
    bool operator==(const BatteryReading&) const = default;
};

enum class MouseSetting {
    DpiStage,     // value: the stage, 1..8
    PollingRate,  // value: the polling rate's index, 0..3
    LightMode,    // value: the light effect, 0..15
};

class LinkFacts {
public:
    virtual ~LinkFacts() = default;
    // A link came up or went down. Also told at start for a cable that is
    // not there (it was never up).
    virtual void link_changed(ConnectionMode link, bool up) {
        (void)link;
        (void)up;
    }
    virtual void battery_read(const BatteryReading& reading) { (void)reading; }
    // The mouse changed a setting with its own buttons; `over_bluetooth` when
    // the Bluetooth LE link carried the event.
    virtual void mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) {
        (void)setting;
        (void)value;
        (void)over_bluetooth;
    }
};

}  // namespace vantorel
