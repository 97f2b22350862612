// SPDX-License-Identifier: GPL-2.0-or-later
// The wired driver library's call contract, as an interface. The real
// implementation binds the seven entry points of our "hiddriver_2" plugin
// with dlopen; the virtual mouse offers a fake one.
//
//  - set_vid_pid comes before open_dev_monitor.
//  - open_dev_monitor hands over the window to post to and the two message
//    ids: attach/detach arrive as `attach_message` with wparam 1 / 0 (and as
//    `event_message` with wparam 0x7F00 and lparam 1 / 2); device events
//    arrive as `event_message` with the event word in wparam and the value
//    word in the low half of lparam. Messages may be posted from any thread.
//  - open_feature_device returns nonzero when the wired mouse is reachable.
//  - set_feature takes the report bytes and their length and returns a
//    status, nonzero on success.
#pragma once

#include <cstdint>
#include <span>

#include "vantorel/plugin_abi.h"

namespace vantorel {

// The two message ids the program hands the driver's monitor. They exist
// only at this edge: the wired link turns each message into a typed call.
enum WiredDriverMessage : std::uint32_t {
    kMsgWiredEvent = 1539,   // a device event, or 0x7F00 with 1 (attach) / 2 (detach)
    kMsgWiredAttach = 1540,  // wparam 1 attached, 0 detached
};

class WiredDriver {
public:
    virtual ~WiredDriver() = default;
    virtual void set_vid_pid(int vendor_id, int product_id) = 0;
    virtual void open_dev_monitor(VantorelWindow window, int event_message, int attach_message) = 0;
    virtual void close_dev_monitor() = 0;
    virtual int open_feature_device() = 0;
    virtual void close_feature_device() = 0;
    virtual int set_feature(std::span<const std::uint8_t> report) = 0;
};

}  // namespace vantorel
