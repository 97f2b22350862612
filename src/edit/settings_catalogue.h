// SPDX-License-Identifier: GPL-2.0-or-later
// Every setting of a profile as the user meets it: the word the command line
// knows it by, the record field it writes, its range and step in the unit the
// user types and in the unit the record keeps (the page's slider range), the
// words it accepts and one sentence of help. And the rules a typed value must
// pass, answered as a verdict with what is needed to word the reason, so
// that the page and the command line refuse the same values for the same
// reasons. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/profile_record.h"

namespace vantorel::edit {

enum class ValueKind {
    Number,  // a number in `unit`: min..max in steps of `step`, or one of `words`
    Switch,  // on or off
    Choice,  // one of `words` (or its index)
    Colour,  // #RRGGBB
};

struct SettingInfo {
    std::string_view name;   // the command line's word; stage settings are NAME.N
    std::string_view field;  // the record field it writes
    ValueKind kind = ValueKind::Number;
    bool per_stage = false;  // one value for each of the eight stages
    // What the user types (DPI, minutes, milliseconds, a stage number).
    double min = 0;
    double max = 0;
    double step = 0;
    std::string_view unit;
    // What the record keeps: the page's slider spans exactly this.
    int stored_min = 0;
    int stored_max = 0;
    std::span<const std::string_view> words;  // the words accepted, in index order
    std::string_view help;                    // one sentence
    bool stored_only = false;                 // kept in the profile, never sent to the mouse
};

// Every setting, in the order `get` prints them.
std::span<const SettingInfo> settings();
// By its word; "dpi.3" finds the stage setting "dpi". Null when unknown.
const SettingInfo* find_setting(std::string_view name);
// The stored range of a setting, for the controls that show it.
const SettingInfo& setting(std::string_view name);

// DPI steps: 50 up to 10,000 DPI, 100 above.
inline constexpr int kMinDpi = 50;
inline constexpr int kMaxDpi = 22000;
// A stage switched on without a value starts here.
inline constexpr int kNewStageDpi = 800;

enum class Verdict {
    Taken,
    NotANumber,          // the text is no whole number
    OutOfRange,          // low..high is the range
    OffStep,             // low and high are the two nearest values taken
    StageOff,            // `stage` is not in use: it takes no value and cannot be made active
    ActiveStageStaysOn,  // `stage` is the active one: it cannot be switched off
    LastStageStaysOn,    // `stage` is the only one in use
};

struct ValueCheck {
    Verdict verdict = Verdict::Taken;
    long long typed = 0;
    long long low = 0;
    long long high = 0;
    int stage = 0;  // 1-based, for the stage verdicts
    int stored = 0; // when taken: the value the record keeps
    explicit operator bool() const { return verdict == Verdict::Taken; }
};

// A typed DPI: taken when 50..22000 and on its step; the record keeps the
// stage code.
ValueCheck check_dpi(long long dpi);
// The same from the text of a DPI edit or an argument (digits only).
ValueCheck check_dpi_text(std::string_view text);
// A whole number for a Number setting whose typed unit equals its stored one
// (brightness, breathing speed, sleep).
ValueCheck check_number(const SettingInfo& setting, long long value);

// Stage rules (stages 0-based here, 1-based in the verdict):
// - a stage that is off takes no value;
ValueCheck check_stage_value(const ProfileRecord& record, int stage);
// - the active stage stays on, and one stage at least stays on;
ValueCheck check_stage_switch(const ProfileRecord& record, int stage, bool on);
// - only a stage in use can be made active.
ValueCheck check_active_stage(const ProfileRecord& record, int stage);
// After the stage rules allowed it: switches the stage, and a stage switched
// on without a value starts at 800 DPI.
void switch_stage(ProfileRecord& record, int stage, bool on);
// Whether the record keeps the two stage rules (a damaged file may not); the
// first stage that breaks them is named.
ValueCheck check_stages(const ProfileRecord& record);

// The reason in English for the command line, to follow the value it is
// about: "not on the 50 DPI step; the nearest are 1200 and 1250 DPI".
std::string describe(const ValueCheck& check, std::string_view unit = {});

}  // namespace vantorel::edit
