// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/profile_record.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace vantorel {
namespace {

TEST(ProfileRecord, SizesAndSlotOffsets) {
    EXPECT_EQ(sizeof(ProfileRecord), 43936u);
    ProfileRecord r;
    EXPECT_EQ(r.slot(0).bytes().data() - r.bytes().data(), 2464);
    EXPECT_EQ(r.slot(17).bytes().data() - r.bytes().data(), 2464 + 17 * 1728);
    EXPECT_EQ(r.slot(23).bytes().data() - r.bytes().data(), 2464 + 23 * 1728);
}

TEST(ProfileRecord, ResetGivesTheDefaultProfile) {
    ProfileRecord r;
    r.reset_to_defaults();
    const int dpi[] = {800, 1600, 2400, 3200, 5000, 22000};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(r.dpi_stage_enabled(k), 1);
        EXPECT_EQ(dpi_display_value(r.dpi_value(k)), dpi[k]);
        EXPECT_EQ(r.dpi_value_y(k), r.dpi_value(k));
    }
    EXPECT_EQ(r.dpi_value(6), 0);
    EXPECT_EQ(r.dpi_stage_enabled(7), 0);
    EXPECT_EQ(r.dpi_stage_index(), 1);
    EXPECT_EQ(r.polling_rate_index(), 3);
    EXPECT_EQ(r.key_debounce() * 2, 8);
    EXPECT_EQ(r.sleep_timer(), 10);
    EXPECT_EQ(r.light_off_timer(), 2);
    EXPECT_EQ(r.light_color(), (Color{0, 255, 0}));
    EXPECT_EQ(r.light_mode(), 0);
    EXPECT_EQ(r.brightness(), 8);
    EXPECT_EQ(r.breath_speed(), 6);
    EXPECT_EQ(r.ripple_control(), 1);
    EXPECT_EQ(r.dpi_color(5), (Color{0, 255, 255}));
    EXPECT_EQ(r.dpi_color(6), (Color{255, 64, 0}));
    EXPECT_EQ(r.i32(2200), 420);
    EXPECT_EQ(r.i32(2204), 3);
    EXPECT_EQ(r.i32(2212), 6);
    EXPECT_EQ(r.i32(2376), 1);
    EXPECT_EQ(r.bytes()[2388], 1);
    EXPECT_EQ(r.bytes()[2432 + 4 * 7], 255);  // reserved colour 8 = 255, 128, 0
    EXPECT_EQ(r.bytes()[2432 + 4 * 7 + 1], 128);

    const std::uint8_t defaults[18] = {1, 2, 3, 4, 5, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 12, 11};
    for (int k = 0; k < 18; ++k) {
        ConstSlotRef s = r.slot(k);
        EXPECT_EQ(s.button_index(), k);
        EXPECT_EQ(s.function_code(), defaults[k]);
        EXPECT_EQ(load_u16(s.bytes().data() + 8), 562);
        EXPECT_EQ(s.macro_library_index(), -1);
        EXPECT_EQ(load_i32(s.bytes().data() + 1076), -1);
    }
    for (int k = 18; k < 24; ++k)
        for (Byte b : r.slot(k).bytes()) ASSERT_EQ(b, 0) << "slot " << k;
}

TEST(ProfileRecord, ResetLeavesNameMoveModeAndReservedBytesAlone) {
    auto raw = testing::random_bytes(ProfileRecord::kSize, 7);
    ProfileRecord r;
    ASSERT_TRUE(r.assign(raw));
    r.reset_to_defaults();
    const auto& b = r.bytes();
    // Untouched: the name, move_mode, two reserved 8-byte runs, the bytes
    // after the reserved u8 fields, and the reserved texts after their first unit.
    for (std::size_t i = 0; i < 200; ++i) EXPECT_EQ(b[i], raw[i]);
    for (std::size_t i = 2216; i < 2224; ++i) EXPECT_EQ(b[i], raw[i]);
    for (std::size_t i = 2236; i < 2244; ++i) EXPECT_EQ(b[i], raw[i]);
    for (std::size_t i = 2209; i < 2212; ++i) EXPECT_EQ(b[i], raw[i]);
    for (std::size_t i = 2389; i < 2392; ++i) EXPECT_EQ(b[i], raw[i]);
    for (std::size_t i = 202; i < 1200; ++i) ASSERT_EQ(b[i], raw[i]);
    for (std::size_t i = 1202; i < 2200; ++i) ASSERT_EQ(b[i], raw[i]);
    EXPECT_EQ(r.i32(2364), load_i32(raw.data() + 2364));
    EXPECT_EQ(load_u16(b.data() + 200), 0);
    EXPECT_EQ(load_u16(b.data() + 1200), 0);
    EXPECT_EQ(b[2208], 0);
    // Every colour's fourth byte is cleared.
    EXPECT_EQ(b[2399], 0);
    EXPECT_EQ(b[2403], 0);
}

TEST(ProfileRecord, DpiConversions) {
    EXPECT_EQ(dpi_entry_value(50), 1);
    EXPECT_EQ(dpi_entry_value(10), 1);
    EXPECT_EQ(dpi_entry_value(10050), 200);
    EXPECT_EQ(dpi_entry_value(10150), 201);
    EXPECT_EQ(dpi_entry_value(30000), 320);
    EXPECT_EQ(dpi_entry_value(22000), 320);
    EXPECT_EQ(dpi_entry_value(799), 15);
    EXPECT_EQ(dpi_display_value(1), 50);
    EXPECT_EQ(dpi_display_value(200), 10000);
    EXPECT_EQ(dpi_display_value(201), 10100);
    EXPECT_EQ(dpi_display_value(320), 22000);
}

// A name field without a terminator reads as the longest name it can hold,
// the same everywhere and the same after a round trip.
TEST(ProfileRecord, NameWithoutTerminatorReadsAsItsLongestName) {
    ProfileRecord r;
    for (std::size_t i = 0; i < 100; ++i) store_u16(r.bytes().data() + 2 * i, u'x');
    store_u16(r.bytes().data() + 200, u'y');  // first unit of the next field
    EXPECT_EQ(r.profile_name(), std::u16string(99, u'x'));
    SlotRef slot = r.slot(2);
    for (std::size_t i = 0; i < 24; ++i) store_u16(slot.bytes().data() + slot_layout::kMacroName + 2 * i, u'm');
    store_u16(slot.bytes().data() + slot_layout::kMacroName + 2 * 22, 0xD83D);  // a pair cut by the field's end
    EXPECT_EQ(slot.macro_name(), std::u16string(22, u'm'));
    const std::u16string name = slot.macro_name();
    slot.set_macro_name(name);
    EXPECT_EQ(slot.macro_name(), name);
    r.set_profile_name(std::u16string(150, u'z'));
    EXPECT_EQ(r.profile_name(), std::u16string(99, u'z'));
    EXPECT_EQ(load_u16(r.bytes().data() + 200), u'y');
}

TEST(ProfileRecord, SlotMacroFieldsRoundTrip) {
    ProfileRecord r;
    SlotRef s = r.slot(4);
    s.set_macro_name(u"Fire");
    s.set_macro_action(0, {0x04, kActionPress, 300});
    s.set_macro_action(159, {0x05, kActionRelease, 7});
    s.set_macro_action(160, {0x06, kActionRelease, 7});  // past the array: ignored
    EXPECT_EQ(r.slot(4).macro_name(), u"Fire");
    EXPECT_EQ(r.slot(4).macro_action(0), (MacroAction{0x04, 1, 300}));
    EXPECT_EQ(r.slot(4).macro_action(159), (MacroAction{0x05, 2, 7}));
    EXPECT_EQ(r.slot(4).macro_action(160), MacroAction{});
    EXPECT_EQ(r.slot(5).bytes()[0], 0);
}

}  // namespace
}  // namespace vantorel
