// SPDX-License-Identifier: GPL-2.0-or-later
#include "link_text.h"

#include <cstdio>
#include <sstream>

namespace vantorel::cli {
namespace {

using nlohmann::json;

std::string yes_no(bool present, bool value) { return !present ? "-" : value ? "yes" : "no"; }

std::string hex_byte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFF);
    return buf;
}

std::string hex_word(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", v & 0xFFFF);
    return buf;
}

const char* battery_state(std::uint8_t state) {
    if (state == kBatteryFull) return "full";
    if (state == kBatteryCharging) return "charging";
    return "discharging";
}

// The polling-rate event names the report interval in milliseconds.
int polling_hz(int code) { return (code == 1 || code == 2 || code == 4 || code == 8) ? 1000 / code : 0; }

bool any_denied(const std::vector<LinkReport>& reports) {
    for (const LinkReport& r : reports)
        if (r.permission_denied) return true;
    return false;
}

bool any_identified(const std::vector<LinkReport>& reports) {
    for (const LinkReport& r : reports)
        if (r.identified) return true;
    return false;
}

}  // namespace

std::string device_label(ConnectionMode link) {
    switch (link) {
        case ConnectionMode::Wireless: return "receiver";
        case ConnectionMode::Wired: return "cable";
        case ConnectionMode::Ble: return "Bluetooth LE";
        case ConnectionMode::None: break;
    }
    return "none";
}

std::string permission_advice(const std::vector<LinkReport>& reports) {
    std::string nodes;
    for (const LinkReport& r : reports) {
        if (!r.permission_denied) continue;
        for (const std::string& n : r.nodes) nodes += (nodes.empty() ? "" : ", ") + n;
    }
    if (nodes.empty()) return {};
    return "permission denied on " + nodes + ": install the udev rule " + kUdevRuleFile +
           " (see \"Device access\" in the README), run `udevadm control --reload` and plug the device in again";
}

std::string devices_text(const std::vector<LinkReport>& reports, ConnectionMode active) {
    std::ostringstream out;
    char row[160];
    std::snprintf(row, sizeof row, "%-14s %-8s %-7s %-11s %s\n", "link", "present", "opened", "identified", "nodes");
    out << row;
    for (const LinkReport& r : reports) {
        std::string nodes;
        for (const std::string& n : r.nodes) nodes += (nodes.empty() ? "" : " ") + n;
        std::snprintf(row, sizeof row, "%-14s %-8s %-7s %-11s ", device_label(r.link).c_str(),
                      r.present ? "yes" : "no", yes_no(r.present, r.opened).c_str(),
                      yes_no(r.present, r.identified).c_str());
        out << row << nodes << '\n';
    }
    for (const LinkReport& r : reports)
        if (!r.note.empty() && !r.permission_denied) out << device_label(r.link) << ": " << r.note << '\n';
    if (any_denied(reports)) out << permission_advice(reports) << '\n';
    if (active != ConnectionMode::None) {
        out << "mouse found: reports go over " << (active == ConnectionMode::Ble ? "" : "the ") << device_label(active)
            << " (" << connection_mode_name(active) << ")\n";
    } else if (any_identified(reports)) {
        out << "mouse found, but no link it is on can take reports: " << missing_mouse_reason(reports, -1) << '\n';
    } else {
        out << "no mouse found: " << missing_mouse_reason(reports, -1) << '\n';
    }
    return out.str();
}

json devices_json(const std::vector<LinkReport>& reports, ConnectionMode active, bool simulated) {
    json links = json::array();
    for (const LinkReport& r : reports) {
        json nodes = json::array();
        for (const std::string& n : r.nodes) nodes.push_back(n);
        json entry = {{"link", connection_mode_name(r.link)},
                      {"device", device_label(r.link)},
                      {"present", r.present},
                      {"opened", r.opened},
                      {"identified", r.identified},
                      {"permission_denied", r.permission_denied},
                      {"nodes", nodes}};
        if (!r.note.empty()) entry["note"] = r.note;
        links.push_back(entry);
    }
    json out = {{"simulated", simulated},
                {"links", links},
                {"mouse_found", any_identified(reports)},
                {"active_link", connection_mode_name(active)}};
    if (any_denied(reports)) out["advice"] = permission_advice(reports);
    return out;
}

std::string missing_mouse_reason(const std::vector<LinkReport>& reports, double waited_seconds) {
    if (any_denied(reports)) return permission_advice(reports);
    std::string reasons;
    for (const LinkReport& r : reports) {
        if (!r.present || r.note.empty()) continue;
        reasons += (reasons.empty() ? "" : "; ") + device_label(r.link) + ": " + r.note;
    }
    if (reasons.empty())
        return "no receiver, cable or Bluetooth LE device of the mouse is connected (plug in the receiver or the "
               "cable; --simulate talks to the virtual mouse)";
    if (waited_seconds >= 0) {
        char waited[64];
        std::snprintf(waited, sizeof waited, " (waited %.1f s)", waited_seconds);
        reasons += waited;
    }
    return reasons;
}

std::string event_text(ConnectionMode link, const DeviceEvent& e) {
    const unsigned v = e.value_word;
    const auto lo = static_cast<std::uint8_t>(v & 0xFF);
    const auto hi = static_cast<std::uint8_t>(v >> 8);
    std::string text;
    switch (e.code()) {
        case kEventBattery:
            text = std::string("battery: ") + battery_state(lo);
            if (hi <= 100) text += ", " + std::to_string(hi) + "%";
            break;
        case kEventDpiStage:
            text = "dpi stage: " + std::to_string(v);
            if (v < 1 || v > 8) text += " (out of range, ignored)";
            break;
        case kEventPollingRate:
            text = polling_hz(static_cast<int>(v)) ? "polling rate: " + std::to_string(polling_hz(static_cast<int>(v))) + " Hz"
                                                   : "polling rate: code " + std::to_string(v);
            break;
        case kEventLightEffect: text = "light effect: " + std::to_string((lo / 16) % 16); break;
        case kEventAcknowledge: text = lo == 0 ? "acknowledge: accepted" : "acknowledge: refused (" + hex_byte(lo) + ")"; break;
        default: text = "event " + hex_byte(e.code()) + ", value " + hex_word(v); break;
    }
    return text + " [" + connection_mode_name(link) + "]";
}

json event_json(ConnectionMode link, const DeviceEvent& e) {
    const unsigned v = e.value_word;
    const auto lo = static_cast<std::uint8_t>(v & 0xFF);
    const auto hi = static_cast<std::uint8_t>(v >> 8);
    json j = {{"link", connection_mode_name(link)}};
    switch (e.code()) {
        case kEventBattery:
            j["event"] = "battery";
            j["state"] = battery_state(lo);
            j["state_code"] = lo;
            j["percent"] = hi <= 100 ? json(hi) : json(nullptr);
            break;
        case kEventDpiStage:
            j["event"] = "dpi_stage";
            j["stage"] = v;
            break;
        case kEventPollingRate:
            j["event"] = "polling_rate";
            j["code"] = v;
            j["hz"] = polling_hz(static_cast<int>(v)) ? json(polling_hz(static_cast<int>(v))) : json(nullptr);
            break;
        case kEventLightEffect:
            j["event"] = "light_effect";
            j["effect"] = (lo / 16) % 16;
            break;
        case kEventAcknowledge:
            j["event"] = "acknowledge";
            j["accepted"] = lo == 0;
            j["value"] = v;
            break;
        default:
            j["event"] = "other";
            j["code"] = e.code();
            j["value"] = v;
            break;
    }
    return j;
}

std::string link_change_text(ConnectionMode link, bool up) {
    return std::string("link ") + (up ? "up" : "down") + ": " + connection_mode_name(link) + " (" +
           device_label(link) + ")";
}

json link_change_json(ConnectionMode link, bool up) {
    return {{"event", "link"}, {"link", connection_mode_name(link)}, {"up", up}};
}

}  // namespace vantorel::cli
