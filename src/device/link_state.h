// SPDX-License-Identifier: GPL-2.0-or-later
// Which links to the mouse are up, and the acknowledge flag. Written by the
// UI thread and the threads that deliver device events, read by the apply
// worker while it sends: each value is an atomic word.
#pragma once

#include <atomic>
#include <cstdint>

namespace vantorel {

enum class ConnectionMode { Wired, Wireless, Ble, None };

const char* connection_mode_name(ConnectionMode mode);  // "wired", "wireless", "ble", "none"

enum WiredState : int { kWiredNeverSeen = 0, kWiredAttached = 1, kWiredDetached = 2 };

struct LinkState {
    std::atomic<int> wired_state{kWiredNeverSeen};  // usable only when kWiredAttached
    std::atomic<int> wireless_connected{0};
    std::atomic<int> ble_connected{0};
    std::atomic<int> any_link_connected{0};
    std::atomic<int> ack_received{0};
    // The battery as last shown: percent (-1 before the first reading) and
    // whether the mouse charges. For the tray and the low-battery warning.
    std::atomic<int> battery_percent{-1};
    std::atomic<int> battery_charging{0};
    // Counts the arrivals and removals of the mouse's devices the device
    // watch reported, and the watch's start: whoever keeps what it found
    // among the device nodes looks again once this has moved.
    std::atomic<unsigned> device_changes{0};

    // Precedence when several links are up: cable, then receiver, then Bluetooth LE.
    ConnectionMode mode() const {
        if (wired_state.load() == kWiredAttached) return ConnectionMode::Wired;
        if (wireless_connected.load() != 0) return ConnectionMode::Wireless;
        if (ble_connected.load() != 0) return ConnectionMode::Ble;
        return ConnectionMode::None;
    }
    bool any() const { return mode() != ConnectionMode::None; }
    // Recomputes any_link_connected from the three link flags; returns it.
    int recompute_any() {
        const int any_now = any() ? 1 : 0;
        any_link_connected.store(any_now);
        return any_now;
    }
};

inline const char* connection_mode_name(ConnectionMode mode) {
    switch (mode) {
        case ConnectionMode::Wired: return "wired";
        case ConnectionMode::Wireless: return "wireless";
        case ConnectionMode::Ble: return "ble";
        case ConnectionMode::None: break;
    }
    return "none";
}

}  // namespace vantorel
