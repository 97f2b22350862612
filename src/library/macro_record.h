// SPDX-License-Identifier: GPL-2.0-or-later
// MacroRecord: one macro of the macro library, a fixed 696-byte little-endian
// record stored byte for byte in "macro.data" and in ".macro" files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/bytes.h"
#include "core/macro_action.h"

namespace vantorel {

namespace macro_layout {
inline constexpr std::size_t kSize = 696;
inline constexpr std::size_t kName = 0;  // 24 UTF-16 units, NUL-terminated
inline constexpr std::size_t kNameUnits = 24;
inline constexpr std::size_t kMaxNameLength = kNameUnits - 1;
inline constexpr std::size_t kRepeatCount = 48;  // i32
inline constexpr std::size_t kActionCount = 52;  // i32
inline constexpr std::size_t kActions = 56;      // 160 x MacroAction
inline constexpr std::size_t kActionBytes = kMaxMacroActions * kMacroActionSize;

static_assert(kRepeatCount == kName + 2 * kNameUnits);
static_assert(kActionCount == kRepeatCount + 4);
static_assert(kActions == kActionCount + 4);
static_assert(kActions + kActionBytes == kSize);
}  // namespace macro_layout

class MacroRecord {
public:
    static constexpr std::size_t kSize = macro_layout::kSize;
    using Bytes = std::array<Byte, kSize>;

    MacroRecord() { bytes_.fill(0); }

    // Exactly kSize bytes, or the result is false and the record unchanged.
    bool assign(std::span<const Byte> raw);

    Bytes& bytes() { return bytes_; }
    const Bytes& bytes() const { return bytes_; }
    bool operator==(const MacroRecord& o) const { return bytes_ == o.bytes_; }

    std::u16string name() const;
    void set_name(std::u16string_view name);  // cut to 23 units

    // Stored for a macro that came in with an imported profile; never read.
    std::int32_t repeat_count() const { return load_i32(bytes_.data() + macro_layout::kRepeatCount); }
    void set_repeat_count(std::int32_t v) { store_i32(bytes_.data() + macro_layout::kRepeatCount, v); }

    // Number of valid actions, 0..160 in a sound record. A damaged record may
    // hold any value; users of the actions clamp with valid_action_count().
    std::int32_t action_count() const { return load_i32(bytes_.data() + macro_layout::kActionCount); }
    void set_action_count(std::int32_t v) { store_i32(bytes_.data() + macro_layout::kActionCount, v); }
    std::size_t valid_action_count() const;

    // Action i of the 160-entry array (other indices read a zero action and
    // write nothing).
    MacroAction action(std::size_t i) const;
    void set_action(std::size_t i, const MacroAction& a);

    // The 640 bytes of the action array.
    std::span<Byte, macro_layout::kActionBytes> action_bytes() {
        return std::span<Byte, macro_layout::kActionBytes>(bytes_.data() + macro_layout::kActions,
                                                           macro_layout::kActionBytes);
    }
    std::span<const Byte, macro_layout::kActionBytes> action_bytes() const {
        return std::span<const Byte, macro_layout::kActionBytes>(bytes_.data() + macro_layout::kActions,
                                                                 macro_layout::kActionBytes);
    }

private:
    Bytes bytes_;
};
static_assert(sizeof(MacroRecord) == MacroRecord::kSize);

}  // namespace vantorel
