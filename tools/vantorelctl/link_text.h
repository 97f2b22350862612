// SPDX-License-Identifier: GPL-2.0-or-later
// How the link commands put links and device events into words: one line of
// text for a person, or one JSON object for a script.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "device/device_events.h"
#include "device/link_state.h"
#include "link_session.h"

namespace vantorel::cli {

// The udev rule that gives the user at the seat access to the mouse's nodes.
inline constexpr const char* kUdevRuleFile = "70-qv-vantorel.rules";

// "receiver", "cable", "Bluetooth LE".
std::string device_label(ConnectionMode link);

// The table of `devices`: one row per link, then the notes and advice.
// `active` is the link reports would go over (None when no link can take
// them); the mouse counts as found once it is identified on any link.
std::string devices_text(const std::vector<LinkReport>& reports, ConnectionMode active);
nlohmann::json devices_json(const std::vector<LinkReport>& reports, ConnectionMode active, bool simulated);

// Why no mouse could be used, for "no mouse found: <reason>": the devices
// that are missing, cannot be opened (with the udev rule to install), or did
// not answer. `waited` is how long the mouse was waited for.
std::string missing_mouse_reason(const std::vector<LinkReport>& reports, double waited_seconds);

// What to do about a node we may not open.
std::string permission_advice(const std::vector<LinkReport>& reports);

// One device event as `monitor` shows it.
std::string event_text(ConnectionMode link, const DeviceEvent& event);
nlohmann::json event_json(ConnectionMode link, const DeviceEvent& event);
std::string link_change_text(ConnectionMode link, bool up);
nlohmann::json link_change_json(ConnectionMode link, bool up);

}  // namespace vantorel::cli
