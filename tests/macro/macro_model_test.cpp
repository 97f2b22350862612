// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/macro_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

MacroAction with_delay(std::uint16_t d) { return {0x04, kActionPress, d}; }

// The encoder gives a delay of 128 ms or more four bytes: two units.
TEST(MacroModel, UnitCountChargesTwoFrom128) {
    const std::vector<MacroAction> list{with_delay(127), with_delay(128), with_delay(129)};
    EXPECT_EQ(macro_unit_count(list, 3), 5);
    EXPECT_EQ(macro_unit_count(list, 1), 1);
    EXPECT_EQ(macro_unit_count(list, 0), 0);
}

TEST(MacroModel, UnitCountNeverReadsPastTheList) {
    // A count taken from a damaged file may exceed the list or be negative.
    const std::vector<MacroAction> list{with_delay(200), with_delay(1), with_delay(25000)};
    const std::span<const MacroAction> first_two(list.data(), 2);
    EXPECT_EQ(macro_unit_count(first_two, 160), 3);
    EXPECT_EQ(macro_unit_count(list, 1000), 5);
    EXPECT_EQ(macro_unit_count(list, -1), 0);
}

TEST(MacroModel, MouseCodesAreExactlyF1ToF5) {
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(is_mouse_code(static_cast<std::uint8_t>(c)), c >= 0xF1 && c <= 0xF5) << c;
}

TEST(MacroModel, DelayLimits) {
    EXPECT_EQ(clamp_typed_delay(0), 1);
    EXPECT_EQ(clamp_typed_delay(-40), 1);
    EXPECT_EQ(clamp_typed_delay(25000), 25000);
    EXPECT_EQ(clamp_typed_delay(25001), 25000);
    EXPECT_EQ(clamp_typed_delay(std::int64_t{1} << 40), 25000);  // must not wrap through u16
    EXPECT_EQ(cap_recorded_delay(0), 0);
    EXPECT_EQ(cap_recorded_delay(65536 + 5), 25000);
}

}  // namespace
}  // namespace vantorel
