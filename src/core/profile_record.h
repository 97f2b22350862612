// SPDX-License-Identifier: GPL-2.0-or-later
// ProfileRecord: everything configurable on the mouse, as one fixed-size
// little-endian record of 43,936 bytes. The record is stored byte for byte in
// "pro.data" and in ".pro" files, so every offset here is a file format.
//
// The record keeps its raw bytes; the accessors below read and write the
// fields at their offsets. Bytes no accessor names (reserved fields, the
// tails of text arrays) survive every load, edit and save unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <type_traits>

#include "core/bytes.h"
#include "core/macro_action.h"
#include "core/text.h"

namespace vantorel {

namespace profile_layout {
inline constexpr std::size_t kSize = 43936;

inline constexpr std::size_t kProfileName = 0;
inline constexpr std::size_t kProfileNameUnits = 100;
inline constexpr std::size_t kReservedTextA = 200;
inline constexpr std::size_t kReservedTextB = 1200;
inline constexpr std::size_t kReservedTextUnits = 500;
inline constexpr std::size_t kReserved2200 = 2200;  // i32, reset 420
inline constexpr std::size_t kReserved2204 = 2204;  // i32, reset 3
inline constexpr std::size_t kReserved2208 = 2208;  // u8 + 3 bytes, reset 0
inline constexpr std::size_t kReserved2212 = 2212;  // i32, reset 6
inline constexpr std::size_t kReserved2216 = 2216;  // 8 bytes, untouched by reset
inline constexpr std::size_t kSensorReservedA = 2224;
inline constexpr std::size_t kLiftOffDistance = 2228;
inline constexpr std::size_t kSensorReservedB = 2232;
inline constexpr std::size_t kReserved2236 = 2236;  // 8 bytes, untouched by reset
inline constexpr std::size_t kDpiValue = 2244;      // 8 x i32
inline constexpr std::size_t kDpiValueY = 2276;     // 8 x i32
inline constexpr std::size_t kDpiStageEnabled = 2308;  // 8 x i32
inline constexpr std::size_t kBrightness = 2340;
inline constexpr std::size_t kBreathSpeed = 2344;
inline constexpr std::size_t kSleepTimer = 2348;
inline constexpr std::size_t kLightOffTimer = 2352;
inline constexpr std::size_t kDpiStageIndex = 2356;
inline constexpr std::size_t kPollingRateIndex = 2360;
inline constexpr std::size_t kMoveMode = 2364;
inline constexpr std::size_t kRippleControl = 2368;
inline constexpr std::size_t kAngleSnap = 2372;
inline constexpr std::size_t kReserved2376 = 2376;  // i32, reset 1
inline constexpr std::size_t kLightMode = 2380;
inline constexpr std::size_t kLightModeBle = 2384;
inline constexpr std::size_t kReserved2388 = 2388;  // u8 + 3 bytes, reset 1
inline constexpr std::size_t kKeyDebounce = 2392;
inline constexpr std::size_t kLightColor = 2396;     // r, g, b, 0
inline constexpr std::size_t kDpiColor = 2400;       // 8 x (r, g, b, 0)
inline constexpr std::size_t kReservedColors = 2432; // 8 x (r, g, b, 0)
inline constexpr std::size_t kButtonSlots = 2464;
inline constexpr int kStageCount = 8;
inline constexpr int kSlotCount = 24;
inline constexpr int kButtonCount = 18;  // slots 0..17 are real buttons

static_assert(kReservedTextA == kProfileName + 2 * kProfileNameUnits);
static_assert(kReservedTextB == kReservedTextA + 2 * kReservedTextUnits);
static_assert(kReserved2200 == kReservedTextB + 2 * kReservedTextUnits);
static_assert(kDpiValueY == kDpiValue + 4 * kStageCount);
static_assert(kDpiStageEnabled == kDpiValueY + 4 * kStageCount);
static_assert(kBrightness == kDpiStageEnabled + 4 * kStageCount);
static_assert(kDpiColor == kLightColor + 4);
static_assert(kReservedColors == kDpiColor + 4 * kStageCount);
static_assert(kButtonSlots == kReservedColors + 4 * kStageCount);
}  // namespace profile_layout

namespace slot_layout {
inline constexpr std::size_t kSize = 1728;
inline constexpr std::size_t kButtonIndex = 0;       // u8
inline constexpr std::size_t kFunctionCode = 1;      // u8
inline constexpr std::size_t kFunctionParam = 2;     // u8
inline constexpr std::size_t kShortcutKey = 3;       // u8
inline constexpr std::size_t kShortcutReserved = 4;  // 3 bytes
inline constexpr std::size_t kShortcutModifiers = 7; // u8
inline constexpr std::size_t kReserved8 = 8;         // u16, reset 562
inline constexpr std::size_t kMacroPlayMode = 12;    // i32
inline constexpr std::size_t kMacroName = 16;        // 24 UTF-16 units
inline constexpr std::size_t kMacroNameUnits = 24;
inline constexpr std::size_t kMacroRepeatCount = 64; // i32
inline constexpr std::size_t kMacroActionCount = 68; // u16
inline constexpr std::size_t kMacroLibraryIndex = 1072;  // i32
inline constexpr std::size_t kReserved1076 = 1076;   // i32, reset -1
inline constexpr std::size_t kMacroHeaderBytes = 1084;  // 3 bytes
inline constexpr std::size_t kMacroActions = 1088;   // 160 x MacroAction
inline constexpr std::size_t kMaxActions = 160;

static_assert(kMacroRepeatCount == kMacroName + 2 * kMacroNameUnits);
static_assert(kMacroActions + kMaxActions * kMacroActionSize == kSize);
static_assert(profile_layout::kButtonSlots + profile_layout::kSlotCount * kSize == profile_layout::kSize);
}  // namespace slot_layout

// Function codes the program itself refers to by meaning.
inline constexpr std::uint8_t kFunctionClick = 1;
inline constexpr std::uint8_t kFunctionShortcut = 16;
inline constexpr std::uint8_t kFunctionMacro = 17;

struct Color {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Color&) const = default;
};

// A view of one 1,728-byte ButtonSlot inside a record.
template <class B>
class BasicSlotRef {
public:
    explicit BasicSlotRef(B* p) : p_(p) {}
    // A mutable view converts to a read-only one.
    template <class O>
        requires(std::is_const_v<B> && !std::is_const_v<O>)
    BasicSlotRef(BasicSlotRef<O> o) : p_(o.bytes().data()) {}

    std::uint8_t button_index() const { return p_[slot_layout::kButtonIndex]; }
    std::uint8_t function_code() const { return p_[slot_layout::kFunctionCode]; }
    std::uint8_t function_param() const { return p_[slot_layout::kFunctionParam]; }
    std::uint8_t shortcut_key() const { return p_[slot_layout::kShortcutKey]; }
    std::uint8_t shortcut_modifiers() const { return p_[slot_layout::kShortcutModifiers]; }
    std::int32_t macro_play_mode() const { return load_i32(p_ + slot_layout::kMacroPlayMode); }
    std::u16string macro_name() const {
        return read_fixed_text(p_ + slot_layout::kMacroName, slot_layout::kMacroNameUnits);
    }
    std::int32_t macro_repeat_count() const { return load_i32(p_ + slot_layout::kMacroRepeatCount); }
    std::uint16_t macro_action_count() const { return load_u16(p_ + slot_layout::kMacroActionCount); }
    std::int32_t macro_library_index() const { return load_i32(p_ + slot_layout::kMacroLibraryIndex); }
    std::array<std::uint8_t, 3> macro_header_bytes() const {
        return {p_[slot_layout::kMacroHeaderBytes], p_[slot_layout::kMacroHeaderBytes + 1],
                p_[slot_layout::kMacroHeaderBytes + 2]};
    }
    // Action i of the 160-entry array (i < 160; other indices give a zero action).
    MacroAction macro_action(std::size_t i) const {
        if (i >= slot_layout::kMaxActions) return {};
        return MacroAction::decode(p_ + slot_layout::kMacroActions + kMacroActionSize * i);
    }
    std::span<B, slot_layout::kSize> bytes() const { return std::span<B, slot_layout::kSize>(p_, slot_layout::kSize); }

    // Mutators, available on a mutable view only.
    void set_button_index(std::uint8_t v) requires(!std::is_const_v<B>) { p_[slot_layout::kButtonIndex] = v; }
    void set_function_code(std::uint8_t v) requires(!std::is_const_v<B>) { p_[slot_layout::kFunctionCode] = v; }
    void set_function_param(std::uint8_t v) requires(!std::is_const_v<B>) { p_[slot_layout::kFunctionParam] = v; }
    void set_shortcut_key(std::uint8_t v) requires(!std::is_const_v<B>) { p_[slot_layout::kShortcutKey] = v; }
    void set_shortcut_modifiers(std::uint8_t v) requires(!std::is_const_v<B>) {
        p_[slot_layout::kShortcutModifiers] = v;
    }
    void set_macro_play_mode(std::int32_t v) requires(!std::is_const_v<B>) {
        store_i32(p_ + slot_layout::kMacroPlayMode, v);
    }
    void set_macro_name(std::u16string_view name) requires(!std::is_const_v<B>) {
        write_fixed_text(p_ + slot_layout::kMacroName, slot_layout::kMacroNameUnits, name);
    }
    void set_macro_repeat_count(std::int32_t v) requires(!std::is_const_v<B>) {
        store_i32(p_ + slot_layout::kMacroRepeatCount, v);
    }
    void set_macro_action_count(std::uint16_t v) requires(!std::is_const_v<B>) {
        store_u16(p_ + slot_layout::kMacroActionCount, v);
    }
    void set_macro_library_index(std::int32_t v) requires(!std::is_const_v<B>) {
        store_i32(p_ + slot_layout::kMacroLibraryIndex, v);
    }
    void set_macro_action(std::size_t i, const MacroAction& a) requires(!std::is_const_v<B>) {
        if (i < slot_layout::kMaxActions) a.encode(p_ + slot_layout::kMacroActions + kMacroActionSize * i);
    }

private:
    B* p_;
};

using SlotRef = BasicSlotRef<Byte>;
using ConstSlotRef = BasicSlotRef<const Byte>;

class ProfileRecord {
public:
    static constexpr std::size_t kSize = profile_layout::kSize;
    using Bytes = std::array<Byte, kSize>;

    ProfileRecord() { bytes_.fill(0); }

    // Exactly kSize bytes, or the result is false and the record unchanged.
    bool assign(std::span<const Byte> raw);

    Bytes& bytes() { return bytes_; }
    const Bytes& bytes() const { return bytes_; }
    bool operator==(const ProfileRecord& o) const { return bytes_ == o.bytes_; }

    // Writes the reset values of a new profile. The name, move_mode, the
    // reserved bytes at 2216..2223 and 2236..2243, the three bytes after each
    // reserved u8 and the tails of the reserved texts are left as they are.
    void reset_to_defaults();
    // What the user's "Restore defaults" does (the page and vantorelctl
    // alike): the reset values, and move mode off as a new profile has it.
    void restore_defaults() {
        reset_to_defaults();
        set_move_mode(0);
    }

    std::u16string profile_name() const;
    void set_profile_name(std::u16string_view name);  // cut to 99 units

    std::int32_t i32(std::size_t offset) const { return load_i32(bytes_.data() + offset); }
    void set_i32(std::size_t offset, std::int32_t v) { store_i32(bytes_.data() + offset, v); }

    // Stage arrays; k must be 0..7 (other indices read 0 and write nothing).
    std::int32_t dpi_value(int k) const { return stage_i32(profile_layout::kDpiValue, k); }
    void set_dpi_value(int k, std::int32_t v) { set_stage_i32(profile_layout::kDpiValue, k, v); }
    std::int32_t dpi_value_y(int k) const { return stage_i32(profile_layout::kDpiValueY, k); }
    void set_dpi_value_y(int k, std::int32_t v) { set_stage_i32(profile_layout::kDpiValueY, k, v); }
    std::int32_t dpi_stage_enabled(int k) const { return stage_i32(profile_layout::kDpiStageEnabled, k); }
    void set_dpi_stage_enabled(int k, std::int32_t v) { set_stage_i32(profile_layout::kDpiStageEnabled, k, v); }
    Color dpi_color(int k) const;
    void set_dpi_color(int k, Color c);
    std::uint32_t dpi_color_word(int k) const { return stage_u32(profile_layout::kDpiColor, k); }

#define VANTOREL_I32_FIELD(name, offset)                                   \
    std::int32_t name() const { return i32(offset); }                     \
    void set_##name(std::int32_t v) { set_i32(offset, v); }
    VANTOREL_I32_FIELD(sensor_reserved_a, profile_layout::kSensorReservedA)
    VANTOREL_I32_FIELD(lift_off_distance, profile_layout::kLiftOffDistance)
    VANTOREL_I32_FIELD(sensor_reserved_b, profile_layout::kSensorReservedB)
    VANTOREL_I32_FIELD(brightness, profile_layout::kBrightness)
    VANTOREL_I32_FIELD(breath_speed, profile_layout::kBreathSpeed)
    VANTOREL_I32_FIELD(sleep_timer, profile_layout::kSleepTimer)
    VANTOREL_I32_FIELD(light_off_timer, profile_layout::kLightOffTimer)
    VANTOREL_I32_FIELD(dpi_stage_index, profile_layout::kDpiStageIndex)
    VANTOREL_I32_FIELD(polling_rate_index, profile_layout::kPollingRateIndex)
    VANTOREL_I32_FIELD(move_mode, profile_layout::kMoveMode)
    VANTOREL_I32_FIELD(ripple_control, profile_layout::kRippleControl)
    VANTOREL_I32_FIELD(angle_snap, profile_layout::kAngleSnap)
    VANTOREL_I32_FIELD(light_mode, profile_layout::kLightMode)
    VANTOREL_I32_FIELD(light_mode_ble, profile_layout::kLightModeBle)
    VANTOREL_I32_FIELD(key_debounce, profile_layout::kKeyDebounce)
#undef VANTOREL_I32_FIELD

    Color light_color() const;
    void set_light_color(Color c);
    std::uint32_t light_color_word() const { return load_u32(bytes_.data() + profile_layout::kLightColor); }

    // Button slots 0..23. An index outside that range is clamped to slot 23,
    // which is never sent; callers pass 0..17 for the real buttons.
    SlotRef slot(int k) { return SlotRef(bytes_.data() + slot_offset(k)); }
    ConstSlotRef slot(int k) const { return ConstSlotRef(bytes_.data() + slot_offset(k)); }

private:
    static std::size_t slot_offset(int k) {
        if (k < 0 || k >= profile_layout::kSlotCount) k = profile_layout::kSlotCount - 1;
        return profile_layout::kButtonSlots + slot_layout::kSize * static_cast<std::size_t>(k);
    }
    std::int32_t stage_i32(std::size_t base, int k) const {
        return (k < 0 || k >= profile_layout::kStageCount) ? 0 : i32(base + 4 * static_cast<std::size_t>(k));
    }
    void set_stage_i32(std::size_t base, int k, std::int32_t v) {
        if (k >= 0 && k < profile_layout::kStageCount) set_i32(base + 4 * static_cast<std::size_t>(k), v);
    }
    std::uint32_t stage_u32(std::size_t base, int k) const {
        return (k < 0 || k >= profile_layout::kStageCount)
                   ? 0
                   : load_u32(bytes_.data() + base + 4 * static_cast<std::size_t>(k));
    }

    Bytes bytes_;
};
static_assert(sizeof(ProfileRecord) == ProfileRecord::kSize);

// Default function code of slots 0..17 after a reset.
inline constexpr std::array<std::uint8_t, 18> kDefaultFunctionCodes = {1, 2, 3, 4, 5, 0, 0, 0, 0,
                                                                       6, 0, 0, 0, 0, 0, 0, 12, 11};

// DPI shown to the user for a stage value v: v x 50 up to 200, then
// v x 100 - 10,000 (1 -> 50, 200 -> 10,000, 201 -> 10,100, 320 -> 22,000).
std::int64_t dpi_display_value(std::int64_t v);  // wide: a damaged stored value never overflows
// Stage value for a typed DPI: 22,000 or more -> 320; 50 or less -> 1;
// above 10,000 -> 200 + (dpi - 10,000) / 100; otherwise dpi / 50.
int dpi_entry_value(int dpi);

}  // namespace vantorel
