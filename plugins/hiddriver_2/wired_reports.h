// SPDX-License-Identifier: GPL-2.0-or-later
// What the wired driver library reads out of the mouse's HID collections and
// input reports. Kept free of hidapi so the rules can be tested alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/bytes.h"

namespace hiddriver {

inline constexpr std::uint8_t kEventMarker = 0x27;
inline constexpr std::uint16_t kCommandUsagePage = 0x000B;
inline constexpr std::uint16_t kEventUsagePage = 0x000A;

struct DeviceEvent {
    std::uint16_t event_word = 0;  // byte 0 (marker 0x27) + 256 * byte 1 (event code)
    std::uint16_t value_word = 0;  // byte 2 + 256 * byte 3
};

// Finds the four-byte device event in an input report: at byte 0 when the
// report carries no report id, else right after the report id at byte 0.
// Reports without the marker in either place carry no event.
inline std::optional<DeviceEvent> find_event(const std::uint8_t* report, std::size_t length) {
    std::size_t at = 0;
    if (length >= 4 && report[0] == kEventMarker) {
        at = 0;
    } else if (length >= 5 && report[1] == kEventMarker) {
        at = 1;
    } else {
        return std::nullopt;
    }
    return DeviceEvent{vantorel::load_u16(report + at), vantorel::load_u16(report + at + 2)};
}

// One top-level collection of the mouse, as hidapi lists it.
struct Collection {
    std::string path;
    std::uint16_t usage_page = 0;
    std::uint16_t usage = 0;
};

inline bool is_vendor_page(std::uint16_t usage_page) { return usage_page >= 0xFF00; }

// The collection feature reports are written to. The mouse declares its
// command collection on usage page 0x000B, as the receiver does; firmware
// that declares it on a vendor-defined page (0xFF00-0xFFFF) instead is taken
// too, but only when no 0x000B collection exists. The boot mouse and
// keyboard collections (pages 0x0001, 0x000C, ...) never carry commands.
inline std::optional<Collection> pick_feature_collection(const std::vector<Collection>& collections) {
    for (const Collection& c : collections) {
        if (c.usage_page == kCommandUsagePage) return c;
    }
    for (const Collection& c : collections) {
        if (is_vendor_page(c.usage_page)) return c;
    }
    return std::nullopt;
}

// The nodes device events are read from: every node holding an event
// collection (usage page 0x000A), each once; without one, the feature node,
// since a single vendor collection then carries the events as well.
inline std::vector<std::string> event_paths(const std::vector<Collection>& collections,
                                            const std::string& feature_path) {
    std::vector<std::string> paths;
    for (const Collection& c : collections) {
        if (c.usage_page != kEventUsagePage) continue;
        bool seen = false;
        for (const std::string& p : paths) seen = seen || p == c.path;
        if (!seen) paths.push_back(c.path);
    }
    if (paths.empty()) paths.push_back(feature_path);
    return paths;
}

}  // namespace hiddriver
