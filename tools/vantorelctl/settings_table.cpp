// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings_table.h"

#include "edit/settings_catalogue.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>

namespace vantorel::cli {
namespace {

std::optional<long long> parse_integer(const std::string& text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end || text.empty()) return std::nullopt;
    return v;
}

std::optional<Color> parse_color(const std::string& text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    unsigned v = 0;
    auto [p, ec] = std::from_chars(text.data() + 1, text.data() + 7, v, 16);
    if (ec != std::errc() || p != text.data() + 7) return std::nullopt;
    return Color{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

std::string color_text(Color c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.r, c.g, c.b);
    return buf;
}

std::optional<bool> parse_switch(const std::string& text) {
    if (text == "on" || text == "1") return true;
    if (text == "off" || text == "0") return false;
    return std::nullopt;
}

using Getter = std::function<std::string(const ProfileRecord&)>;
// Returns an empty string when the value is taken, else why it is refused.
using Setter = std::function<std::string(ProfileRecord&, const std::string&)>;

struct Setting {
    std::string name;
    Getter get;
    Setter set;
};

// A whole number in the catalogue's range, stored as it is typed.
Setting ranged(std::string name, std::int32_t (ProfileRecord::*get)() const,
               void (ProfileRecord::*set)(std::int32_t)) {
    const edit::SettingInfo& info = edit::setting(name);
    const std::string allowed = "expected a whole number " + std::to_string(static_cast<int>(info.min)) + ".." +
                                std::to_string(static_cast<int>(info.max));
    return {std::move(name), [get](const ProfileRecord& r) { return std::to_string((r.*get)()); },
            [=, &info](ProfileRecord& r, const std::string& v) -> std::string {
                const auto n = parse_integer(v);
                if (!n) return allowed;
                if (const edit::ValueCheck c = edit::check_number(info, *n); !c) return edit::describe(c, info.unit);
                (r.*set)(static_cast<std::int32_t>(*n));
                return {};
            }};
}

// "on"/"off" stored as 1/0.
Setting switched(std::string name, std::int32_t (ProfileRecord::*get)() const,
                 void (ProfileRecord::*set)(std::int32_t)) {
    return {std::move(name), [get](const ProfileRecord& r) { return (r.*get)() == 1 ? "on" : "off"; },
            [set](ProfileRecord& r, const std::string& v) -> std::string {
                const auto on = parse_switch(v);
                if (!on) return "expected on or off";
                (r.*set)(*on ? 1 : 0);
                return {};
            }};
}

// A light effect typed as its index or its name (the page's list entries:
// twelve over the receiver and the cable, four over Bluetooth LE); shown as
// its name.
Setting effect(std::string name, std::span<const std::string_view> names, std::int32_t (ProfileRecord::*get)() const,
               void (ProfileRecord::*set)(std::int32_t)) {
    std::string allowed = "expected an effect 0.." + std::to_string(names.size() - 1) + " or its name:";
    for (std::string_view e : names) allowed += ' ' + std::string(e);
    return {std::move(name),
            [names, get](const ProfileRecord& r) {
                const int v = (r.*get)();
                return v >= 0 && v < static_cast<int>(names.size()) ? std::string(names[static_cast<std::size_t>(v)])
                                                                     : std::to_string(v);
            },
            [names, allowed, set](ProfileRecord& r, const std::string& v) -> std::string {
                std::optional<long long> n = parse_integer(v);
                const std::string typed = v == "color-cycle" ? "colour-cycle" : v;
                for (std::size_t i = 0; !n && i < names.size(); ++i)
                    if (names[i] == typed) n = static_cast<long long>(i);
                if (!n || *n < 0 || *n >= static_cast<long long>(names.size())) return allowed;
                (r.*set)(static_cast<std::int32_t>(*n));
                return {};
            }};
}

std::vector<Setting> build_table() {
    std::vector<Setting> t;
    for (int k = 0; k < profile_layout::kStageCount; ++k) {
        const std::string n = std::to_string(k + 1);
        // Typed as DPI; a value off its step or out of range is refused with
        // the nearest values or the range, never rounded or held silently.
        t.push_back({"dpi." + n,
                     [k](const ProfileRecord& r) {
                         const int code = r.dpi_value(k);
                         return std::to_string(code == 0 ? 0 : dpi_display_value(code));
                     },
                     [k](ProfileRecord& r, const std::string& v) -> std::string {
                         const edit::ValueCheck typed = edit::check_dpi_text(v);
                         if (!typed) return edit::describe(typed, "DPI");
                         if (const edit::ValueCheck stage = edit::check_stage_value(r, k); !stage)
                             return edit::describe(stage);
                         r.set_dpi_value(k, typed.stored);
                         return {};
                     }});
    }
    for (int k = 0; k < profile_layout::kStageCount; ++k) {
        t.push_back({"dpi-color." + std::to_string(k + 1),
                     [k](const ProfileRecord& r) { return color_text(r.dpi_color(k)); },
                     [k](ProfileRecord& r, const std::string& v) -> std::string {
                         const auto c = parse_color(v);
                         if (!c) return "expected a colour #RRGGBB";
                         r.set_dpi_color(k, *c);
                         return {};
                     }});
    }
    for (int k = 0; k < profile_layout::kStageCount; ++k) {
        t.push_back({"dpi-enabled." + std::to_string(k + 1),
                     [k](const ProfileRecord& r) { return r.dpi_stage_enabled(k) == 1 ? "on" : "off"; },
                     [k](ProfileRecord& r, const std::string& v) -> std::string {
                         const auto on = parse_switch(v);
                         if (!on) return "expected on or off";
                         if (const edit::ValueCheck c = edit::check_stage_switch(r, k, *on); !c)
                             return edit::describe(c);
                         edit::switch_stage(r, k, *on);
                         return {};
                     }});
    }
    // Stages count from 1 for the user, from 0 in the record.
    t.push_back({"active-stage", [](const ProfileRecord& r) { return std::to_string(static_cast<long long>(r.dpi_stage_index()) + 1); },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const auto n = parse_integer(v);
                     if (!n) return "expected a stage 1..8";
                     const int stage = static_cast<int>(std::clamp<long long>(*n, 0, profile_layout::kStageCount + 1)) - 1;
                     if (const edit::ValueCheck c = edit::check_active_stage(r, stage); !c)
                         return c.verdict == edit::Verdict::OutOfRange ? "expected a stage 1..8" : edit::describe(c);
                     r.set_dpi_stage_index(static_cast<std::int32_t>(stage));
                     return {};
                 }});
    t.push_back(effect("light-effect", edit::setting("light-effect").words, &ProfileRecord::light_mode, &ProfileRecord::set_light_mode));
    t.push_back(effect("light-effect-ble", edit::setting("light-effect-ble").words, &ProfileRecord::light_mode_ble, &ProfileRecord::set_light_mode_ble));
    // The ranges of the page's sliders.
    t.push_back(ranged("brightness", &ProfileRecord::brightness, &ProfileRecord::set_brightness));
    t.push_back(ranged("breath-speed", &ProfileRecord::breath_speed, &ProfileRecord::set_breath_speed));
    t.push_back({"light-color", [](const ProfileRecord& r) { return color_text(r.light_color()); },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const auto c = parse_color(v);
                     if (!c) return "expected a colour #RRGGBB";
                     r.set_light_color(*c);
                     return {};
                 }});
    // The index 0..3 stands for 125, 250, 500 and 1000 reports a second.
    static constexpr int kRates[] = {125, 250, 500, 1000};
    t.push_back({"polling-rate",
                 [](const ProfileRecord& r) {
                     const int i = r.polling_rate_index();
                     return i >= 0 && i <= 3 ? std::to_string(kRates[i]) : "index " + std::to_string(i);
                 },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const auto n = parse_integer(v);
                     for (int i = 0; n && i < 4; ++i) {
                         if (*n == kRates[i]) {
                             r.set_polling_rate_index(i);
                             return {};
                         }
                     }
                     return "expected 125, 250, 500 or 1000";
                 }});
    // The light-off timer counts half minutes; shown with one decimal.
    t.push_back({"light-off",
                 [](const ProfileRecord& r) {
                     const int v = r.light_off_timer();
                     return std::to_string(v / 2) + (v % 2 ? ".5" : ".0");
                 },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const std::string allowed = "expected minutes 0.5..30 in steps of 0.5";
                     std::string whole = v;
                     int half = 0;
                     if (const auto dot = v.find('.'); dot != std::string::npos) {
                         const std::string frac = v.substr(dot + 1);
                         if (frac == "5") {
                             half = 1;
                         } else if (frac != "0") {
                             return allowed;
                         }
                         whole = v.substr(0, dot);
                     }
                     const auto n = parse_integer(whole);
                     // Checked before doubling: a huge whole number would overflow.
                     if (!n || *n < 0 || *n > 30 || *n * 2 + half < 1 || *n * 2 + half > 60) return allowed;
                     r.set_light_off_timer(static_cast<std::int32_t>(*n * 2 + half));
                     return {};
                 }});
    t.push_back(ranged("sleep", &ProfileRecord::sleep_timer, &ProfileRecord::set_sleep_timer));
    // Debounce is typed in milliseconds and kept in 2 ms steps.
    t.push_back({"debounce", [](const ProfileRecord& r) { return std::to_string(static_cast<long long>(r.key_debounce()) * 2); },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const auto n = parse_integer(v);
                     if (!n || *n < 2 || *n > 32 || *n % 2) return "expected an even number of milliseconds 2..32";
                     r.set_key_debounce(static_cast<std::int32_t>(*n / 2));
                     return {};
                 }});
    t.push_back({"lift-off", [](const ProfileRecord& r) { return std::to_string(static_cast<long long>(r.lift_off_distance()) + 1); },
                 [](ProfileRecord& r, const std::string& v) -> std::string {
                     const auto n = parse_integer(v);
                     if (!n || (*n != 1 && *n != 2)) return "expected 1 or 2";
                     r.set_lift_off_distance(static_cast<std::int32_t>(*n - 1));
                     return {};
                 }});
    t.push_back(switched("ripple", &ProfileRecord::ripple_control, &ProfileRecord::set_ripple_control));
    t.push_back(switched("angle-snap", &ProfileRecord::angle_snap, &ProfileRecord::set_angle_snap));
    t.push_back(switched("move-mode", &ProfileRecord::move_mode, &ProfileRecord::set_move_mode));
    return t;
}

const std::vector<Setting>& table() {
    static const std::vector<Setting> t = build_table();
    return t;
}

const Setting* find(const std::string& name) {
    for (const Setting& s : table()) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

}  // namespace

std::vector<std::string> setting_names() {
    std::vector<std::string> names;
    for (const Setting& s : table()) names.push_back(s.name);
    return names;
}

bool is_setting(const std::string& name) { return find(name) != nullptr; }

std::string setting_value(const ProfileRecord& record, const std::string& name) {
    const Setting* s = find(name);
    return s ? s->get(record) : std::string();
}

bool write_setting(ProfileRecord& record, const std::string& name, const std::string& value, std::string* error) {
    const Setting* s = find(name);
    if (!s) {
        if (error) *error = "unknown setting \"" + name + "\" (vantorelctl get lists them)";
        return false;
    }
    ProfileRecord copy = record;
    const std::string allowed = s->set(copy, value);
    if (!allowed.empty()) {
        if (error) *error = "bad value \"" + value + "\" for " + name + ": " + allowed;
        return false;
    }
    record = copy;
    return true;
}

bool is_numeric_setting(const std::string& name) {
    const edit::SettingInfo* info = edit::find_setting(name);
    return info && info->kind == edit::ValueKind::Number && is_setting(name);
}

}  // namespace vantorel::cli
