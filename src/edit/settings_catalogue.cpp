// SPDX-License-Identifier: GPL-2.0-or-later
#include "edit/settings_catalogue.h"

#include <array>
#include <charconv>
#include <stdexcept>

namespace vantorel::edit {
namespace {

constexpr std::array<std::string_view, 2> kSwitchWords = {"off", "on"};
constexpr std::array<std::string_view, 12> kEffects = {
    "off",  "steady",  "breathing", "spectrum-breathing", "colour-cycle", "rainbow-wave",
    "neon", "flicker", "reactive",  "marquee",            "starlight",    "comet-tail"};
constexpr std::array<std::string_view, 4> kBleEffects = {"off", "steady", "breathing", "colour-cycle"};
constexpr std::array<std::string_view, 4> kRates = {"125", "250", "500", "1000"};
constexpr std::array<std::string_view, 2> kLiftOff = {"1", "2"};

using K = ValueKind;

// Ranges of what is typed, then of what is stored (the sliders' ranges).
const std::array<SettingInfo, 17> kSettings = {{
    {"dpi", "dpi_value", K::Number, true, kMinDpi, kMaxDpi, 50, "DPI", 1, 320, {},
     "The stage's resolution: 50 to 10000 DPI in steps of 50, above that to 22000 in steps of 100.", false},
    {"dpi-color", "dpi_color", K::Colour, true, 0, 0, 0, "", 0, 0, {},
     "The colour the mouse lights while this stage is active.", false},
    {"dpi-enabled", "dpi_stage_enabled", K::Switch, true, 0, 1, 1, "", 0, 1, kSwitchWords,
     "Whether the mouse's DPI button steps through this stage; the active stage stays on.", false},
    {"active-stage", "dpi_stage_index", K::Number, false, 1, 8, 1, "", 0, 7, {},
     "The stage the mouse uses now; it must be a stage in use.", false},
    {"light-effect", "light_mode", K::Choice, false, 0, 11, 1, "", 0, 11, kEffects,
     "The light effect over the cable and the receiver.", false},
    {"light-effect-ble", "light_mode_ble", K::Choice, false, 0, 3, 1, "", 0, 3, kBleEffects,
     "The light effect over Bluetooth.", false},
    {"brightness", "brightness", K::Number, false, 1, 15, 1, "", 1, 15, {},
     "How bright the steady light shines.", false},
    {"breath-speed", "breath_speed", K::Number, false, 1, 9, 1, "", 1, 9, {},
     "How fast the breathing and moving effects run.", false},
    {"light-color", "light_color", K::Colour, false, 0, 0, 0, "", 0, 0, {},
     "The colour of the steady and breathing effects.", false},
    {"polling-rate", "polling_rate_index", K::Number, false, 125, 1000, 0, "Hz", 0, 3, kRates,
     "How many reports a second the mouse sends.", false},
    {"light-off", "light_off_timer", K::Number, false, 0.5, 30, 0.5, "minutes", 1, 60, {},
     "Idle time after which the light goes out.", false},
    {"sleep", "sleep_timer", K::Number, false, 1, 60, 1, "minutes", 1, 60, {},
     "Idle time after which the mouse sleeps.", false},
    {"debounce", "key_debounce", K::Number, false, 2, 32, 2, "ms", 1, 16, {},
     "How long a button must settle before a press counts.", false},
    {"lift-off", "lift_off_distance", K::Number, false, 1, 2, 1, "mm", 0, 1, kLiftOff,
     "The height at which the sensor stops tracking; kept in the profile, not sent to the mouse.", true},
    {"ripple", "ripple_control", K::Switch, false, 0, 1, 1, "", 0, 1, kSwitchWords,
     "Smooths the sensor's jitter at the cost of a little delay.", false},
    {"angle-snap", "angle_snap", K::Switch, false, 0, 1, 1, "", 0, 1, kSwitchWords,
     "Straightens nearly straight movements.", false},
    {"move-mode", "move_mode", K::Switch, false, 0, 1, 1, "", 0, 1, kSwitchWords,
     "The page's move mode; kept in the profile, not sent to the mouse.", true},
}};

bool in_use(const ProfileRecord& r, int stage) { return r.dpi_stage_enabled(stage) == 1; }

int stages_in_use(const ProfileRecord& r) {
    int n = 0;
    for (int k = 0; k < profile_layout::kStageCount; ++k) n += in_use(r, k) ? 1 : 0;
    return n;
}

ValueCheck refused(Verdict v, int stage) {
    ValueCheck c;
    c.verdict = v;
    c.stage = stage + 1;
    return c;
}

}  // namespace

std::span<const SettingInfo> settings() { return kSettings; }

const SettingInfo* find_setting(std::string_view name) {
    std::string_view base = name;
    std::optional<int> stage;
    if (const auto dot = name.find('.'); dot != std::string_view::npos) {
        base = name.substr(0, dot);
        const std::string_view digits = name.substr(dot + 1);
        int n = 0;
        const auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || p != digits.data() + digits.size() || n < 1 || n > profile_layout::kStageCount)
            return nullptr;
        stage = n;
    }
    for (const SettingInfo& s : kSettings)
        if (s.name == base && s.per_stage == stage.has_value()) return &s;
    return nullptr;
}

const SettingInfo& setting(std::string_view name) {
    for (const SettingInfo& s : kSettings)
        if (s.name == name) return s;
    throw std::out_of_range("no setting " + std::string(name));
}

ValueCheck check_dpi(long long dpi) {
    ValueCheck c;
    c.typed = dpi;
    if (dpi < kMinDpi || dpi > kMaxDpi) {
        c.verdict = Verdict::OutOfRange;
        c.low = kMinDpi;
        c.high = kMaxDpi;
        return c;
    }
    const long long step = dpi > 10000 ? 100 : 50;
    if (dpi % step != 0) {
        c.verdict = Verdict::OffStep;
        c.low = dpi / step * step;
        c.high = c.low + step;
        return c;
    }
    c.stored = dpi_entry_value(static_cast<int>(dpi));
    return c;
}

ValueCheck check_dpi_text(std::string_view text) {
    long long v = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || p != text.data() + text.size()) {
        ValueCheck c;
        c.verdict = Verdict::NotANumber;
        c.low = kMinDpi;
        c.high = kMaxDpi;
        return c;
    }
    if (ec == std::errc::result_out_of_range) v = kMaxDpi + 1LL;
    return check_dpi(v);
}

ValueCheck check_number(const SettingInfo& setting, long long value) {
    ValueCheck c;
    c.typed = value;
    if (value < static_cast<long long>(setting.min) || value > static_cast<long long>(setting.max)) {
        c.verdict = Verdict::OutOfRange;
        c.low = static_cast<long long>(setting.min);
        c.high = static_cast<long long>(setting.max);
        return c;
    }
    c.stored = static_cast<int>(value);
    return c;
}

ValueCheck check_stage_value(const ProfileRecord& record, int stage) {
    if (!in_use(record, stage)) return refused(Verdict::StageOff, stage);
    return {};
}

ValueCheck check_stage_switch(const ProfileRecord& record, int stage, bool on) {
    if (on || !in_use(record, stage)) return {};
    if (record.dpi_stage_index() == stage) return refused(Verdict::ActiveStageStaysOn, stage);
    if (stages_in_use(record) <= 1) return refused(Verdict::LastStageStaysOn, stage);
    return {};
}

ValueCheck check_active_stage(const ProfileRecord& record, int stage) {
    if (stage < 0 || stage >= profile_layout::kStageCount) {
        ValueCheck c;
        c.verdict = Verdict::OutOfRange;
        c.typed = stage + 1;
        c.low = 1;
        c.high = profile_layout::kStageCount;
        return c;
    }
    if (!in_use(record, stage)) return refused(Verdict::StageOff, stage);
    return {};
}

void switch_stage(ProfileRecord& record, int stage, bool on) {
    record.set_dpi_stage_enabled(stage, on ? 1 : 0);
    if (on && record.dpi_value(stage) < 1) {
        const int code = dpi_entry_value(kNewStageDpi);
        record.set_dpi_value(stage, code);
        record.set_dpi_value_y(stage, code);
    }
}

ValueCheck check_stages(const ProfileRecord& record) {
    const int active = record.dpi_stage_index();
    if (active >= 0 && active < profile_layout::kStageCount && !in_use(record, active))
        return refused(Verdict::StageOff, active);
    if (stages_in_use(record) == 0) return refused(Verdict::LastStageStaysOn, 0);
    return {};
}

std::string describe(const ValueCheck& c, std::string_view unit) {
    const std::string u = unit.empty() ? std::string() : " " + std::string(unit);
    const std::string range = std::to_string(c.low) + ".." + std::to_string(c.high) + u;
    const std::string stage = "stage " + std::to_string(c.stage);
    switch (c.verdict) {
        case Verdict::Taken: return {};
        case Verdict::NotANumber: return "expected a whole number " + range;
        case Verdict::OutOfRange: return "out of range " + range;
        case Verdict::OffStep:
            return "not on the " + std::to_string(c.high - c.low) + u + " step; the nearest are " +
                   std::to_string(c.low) + " and " + std::to_string(c.high) + u;
        case Verdict::StageOff:
            return stage + " is off; switch it on first (dpi-enabled." + std::to_string(c.stage) + "=on)";
        case Verdict::ActiveStageStaysOn: return stage + " is the active stage and stays on; make another stage active first";
        case Verdict::LastStageStaysOn: return stage + " is the only stage on, and one stage at least stays on";
    }
    return {};
}

}  // namespace vantorel::edit
