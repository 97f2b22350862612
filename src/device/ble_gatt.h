// SPDX-License-Identifier: GPL-2.0-or-later
// A Bluetooth LE stack as the Bluetooth LE link drives it: the transport the
// sender writes through, plus whether the mouse is reachable, the
// subscription to its notify characteristic, and presence changes.
#pragma once

#include <functional>

#include "device/ble_transport.h"

namespace vantorel {

class BleGatt : public BleTransport {
public:
    // True when a connected mouse with its service is reachable now.
    virtual bool mouse_connected() = 0;
    // Asks for the notify characteristic's values until close_notifications:
    // subscribes now when the characteristic is there, and whenever it
    // appears or the stack comes back. Returns at once, without waiting for
    // the stack; true when the characteristic is there now.
    virtual bool open_notifications() = 0;
    // Releases the subscription without waiting for the stack; it is
    // forgotten whatever the stack answers.
    virtual void close_notifications() = 0;
    // Called (on the stack's thread) when the mouse comes (true) or goes.
    virtual void set_presence_handler(std::function<void(bool)> handler) = 0;
};

}  // namespace vantorel
