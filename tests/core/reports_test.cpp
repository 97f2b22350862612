// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/reports.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace vantorel {
namespace {

using testing::hex;

ProfileRecord fresh() {
    ProfileRecord r;
    r.reset_to_defaults();
    return r;
}

void fill_macro(ProfileRecord& r, int slot, const std::vector<MacroAction>& actions) {
    SlotRef s = r.slot(slot);
    s.set_function_code(kFunctionMacro);
    s.set_macro_action_count(static_cast<std::uint16_t>(actions.size()));
    for (std::size_t i = 0; i < actions.size(); ++i) s.set_macro_action(i, actions[i]);
}

TEST(Reports, StartReportIsConstant) {
    EXPECT_EQ(hex(build_start_report().bytes()), "0c 0a 01 fe 01 fe 00 00 00 00");
}

TEST(Reports, DpiReportOfAFreshRecord) {
    Report r = build_dpi_report(fresh());
    ASSERT_EQ(r.length, 56u);
    EXPECT_EQ(r.data[0], 0x04);
    EXPECT_EQ(r.data[1], 0x38);
    EXPECT_EQ(r.data[2], 0x01);
    EXPECT_EQ(r.data[3], 0);
    EXPECT_EQ(r.data[4], 1);
    EXPECT_EQ(r.data[5], 0x3F);
    EXPECT_EQ(r.data[6], 0x20);
    EXPECT_EQ(r.data[7], 0);
    EXPECT_EQ(hex(r.bytes().subspan(8, 8)), "12 25 38 4b 75 81 00 00");  // 18 37 56 75 117 129
    EXPECT_EQ(hex(r.bytes().subspan(16, 8)), "00 00 00 00 00 01 00 00");
    EXPECT_EQ(r.data[24], 2);
    EXPECT_EQ(hex(r.bytes().subspan(25, 6)), "ff 00 00 00 ff 00");
    EXPECT_EQ(r.data[49], 2);
    EXPECT_EQ(r.data[50], 0x0F);
    EXPECT_EQ(r.data[51], 0x48);
    EXPECT_EQ(hex(r.bytes().subspan(52)), "00 00 00 00");
}

TEST(Reports, LightAndPollingReportsOfAFreshRecord) {
    EXPECT_EQ(hex(build_light_report(fresh()).bytes()), "05 0f 01 00 03 a8 00 ff 00 02 04 01 b0 00 00");
    EXPECT_EQ(hex(build_polling_report(fresh()).bytes()), "06 09 01 01 fe 00 00 00 00");
    ProfileRecord r = fresh();
    const std::pair<int, int> rates[] = {{0, 8}, {1, 4}, {2, 2}, {3, 1}, {4, 2}, {-1, 2}};
    for (auto [index, code] : rates) {
        r.set_polling_rate_index(index);
        Report p = build_polling_report(r);
        EXPECT_EQ(p.data[3], code);
        EXPECT_EQ(p.data[4], 0xFF - code);
    }
}

TEST(Reports, LightReportCarriesBrightnessOnlyForEffectsOneAndNine) {
    ProfileRecord r = fresh();
    r.set_brightness(5);
    r.set_light_mode(1);
    EXPECT_EQ(build_light_report(r).data[5], 0xA5);
    r.set_light_mode(9);
    EXPECT_EQ(build_light_report(r).data[5], 0xA5);
    r.set_light_mode(2);
    EXPECT_EQ(build_light_report(r).data[3], 0x20);
    EXPECT_EQ(build_light_report(r).data[5], 0xA8);
    r.set_sleep_timer(0xBC);
    r.set_breath_speed(0);
    EXPECT_EQ(build_light_report(r).data[4], 0xB9);
    EXPECT_EQ(build_light_report(r).data[5], 0xC8);
}

TEST(Reports, DpiCodesAcrossTheRanges) {
    EXPECT_EQ(dpi_code(1), 1);
    EXPECT_EQ(dpi_code(200), 235);
    EXPECT_EQ(dpi_code(201), 118);
    EXPECT_EQ(dpi_code_flag(201), 1);
    EXPECT_EQ(dpi_code(250), dpi_code(150));
    EXPECT_EQ(dpi_code_flag(250), 0);
    EXPECT_EQ(dpi_code(301), 235);
    EXPECT_EQ(dpi_code(341), 141);
    EXPECT_EQ(dpi_code_flag(341), 1);
}

TEST(Reports, OutOfTableDpiValuesAreSentAsEmptyStages) {
    ProfileRecord r = fresh();
    r.set_dpi_value(0, 342);
    r.set_dpi_value(1, 100000);
    r.set_dpi_value(2, -5);
    Report d = build_dpi_report(r);
    EXPECT_EQ(d.data[8], 0);
    EXPECT_EQ(d.data[9], 0);
    EXPECT_EQ(d.data[10], 0);
    EXPECT_EQ(d.data[16], 0);
    EXPECT_EQ(d.data[7], 0x03);  // the "above 340" bits still follow the values
    EXPECT_EQ(d.data[6], 0x20);
}

TEST(Reports, ButtonTriples) {
    ProfileRecord r = fresh();
    r.slot(2).set_function_code(kFunctionShortcut);
    r.slot(2).set_shortcut_modifiers(0x03);
    r.slot(2).set_shortcut_key(0x04);
    r.slot(8).set_function_code(kFunctionMacro);
    r.slot(1).set_function_code(kFunctionMacro);
    r.slot(3).set_function_code(200);  // unknown
    Report b = build_buttons_report(r);
    ASSERT_EQ(b.length, 59u);
    EXPECT_EQ(hex(b.bytes().subspan(0, 3)), "08 3b 01");
    EXPECT_EQ(hex(b.bytes().subspan(3, 3)), "02 00 00");   // slot 0: click
    EXPECT_EQ(hex(b.bytes().subspan(6, 3)), "12 00 05");   // slot 1: macro at base 5
    EXPECT_EQ(hex(b.bytes().subspan(9, 3)), "11 03 04");   // slot 2: Ctrl+Shift+A
    EXPECT_EQ(hex(b.bytes().subspan(12, 3)), "00 00 00");  // slot 3: unknown code
    EXPECT_EQ(hex(b.bytes().subspan(27, 3)), "12 00 00");  // slot 8: macro at base 0
    std::uint16_t sum = 0;
    for (int i = 3; i < 57; ++i) sum = static_cast<std::uint16_t>(sum + b.data[i]);
    EXPECT_EQ(b.data[57], sum >> 8);
    EXPECT_EQ(b.data[58], sum & 0xFF);
}

TEST(Reports, EveryFunctionCodeOfTheMenuHasADeviceTriple) {
    const int codes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 16, 17, 22, 23, 32, 33, 34, 35,
                         36, 37, 38, 40, 41, 42, 43, 44, 45, 46, 50, 64, 65, 66, 67, 68, 69, 70, 71, 80, 81, 82, 83,
                         84, 85, 86, 87, 88, 89, 19, 21, 39, 47, 48, 49, 54, 55, 56, 112, 115, 121};
    for (int c : codes) {
        bool found = false;
        function_device_triple(static_cast<std::uint8_t>(c), &found);
        EXPECT_TRUE(found) << c;
    }
    EXPECT_EQ(function_device_triple(22), (DeviceTriple{0x10, 0, 0x09}));
    EXPECT_EQ(function_device_triple(81), (DeviceTriple{0x11, 0x03, 0x12}));
    bool found = true;
    EXPECT_EQ(function_device_triple(15, &found), DeviceTriple{});
    EXPECT_FALSE(found);
}

TEST(Reports, MacroDelaysAreEncodedInShortAndLongForms) {
    ProfileRecord r = fresh();
    fill_macro(r, 0, {{0x04, kActionPress, 1}, {0x04, kActionRelease, 250}, {0x05, kActionPress, 300}, {0x05, 0, 5}});
    r.slot(0).set_macro_repeat_count(0);
    r.slot(0).set_macro_play_mode(2);
    auto blocks = build_macro_blocks(r, 0);
    ASSERT_EQ(blocks.size(), 1u);
    const Report& m = blocks[0];
    EXPECT_EQ(hex(m.bytes().subspan(0, 8)), "09 83 01 02 00 00 00 01");
    EXPECT_EQ(m.data[28], 1 + 2 + 2 + 3);
    EXPECT_EQ(hex(m.bytes().subspan(29, 16)), "02 04 b2 04 02 03 02 05 03 03 00 00 00 00 00 00");
    EXPECT_EQ(m.data[45], 0);
}

TEST(Reports, FortyNineActionsFillOneBlockAndTheFiftiethStartsTheNext) {
    ProfileRecord r = fresh();
    std::vector<MacroAction> actions;
    for (int i = 0; i < 49; ++i) actions.push_back({0x04, static_cast<std::uint8_t>(i % 2 ? 2 : 1), 10});
    fill_macro(r, 1, actions);
    auto one = build_macro_blocks(r, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].data[2], 5);
    EXPECT_EQ(one[0].data[28], 49);
    EXPECT_EQ(one[0].data[29 + 97], 0x04);

    actions.push_back({0x04, 1, 10});
    fill_macro(r, 1, actions);
    auto two = build_macro_blocks(r, 1);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].data[28], 50);  // 49 actions + the continuation pair
    EXPECT_EQ(two[0].data[29 + 98], 6);
    EXPECT_EQ(two[0].data[29 + 99], 0xFE);
    EXPECT_EQ(two[1].data[2], 6);
    EXPECT_EQ(two[1].data[3], 0);  // header only in the first block
    EXPECT_EQ(two[1].data[7], 0);
    EXPECT_EQ(two[1].data[28], 1);
    EXPECT_EQ(hex(two[1].bytes().subspan(29, 3)), "0a 04 00");
}

TEST(Reports, MacroWithNoActionsAndCorruptCounts) {
    ProfileRecord r = fresh();
    fill_macro(r, 6, {});
    auto blocks = build_macro_blocks(r, 6);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].data[2], 25);
    EXPECT_EQ(blocks[0].data[28], 0);

    // A count above 160 reads only the 160 actions the slot holds; the next
    // slot's bytes are never taken as actions.
    r.slot(6).set_macro_action_count(0xFFFF);
    for (Byte& b : r.slot(7).bytes()) b = 0x7F;
    for (std::size_t i = 0; i < 160; ++i) r.slot(6).set_macro_action(i, {0x04, 1, 10});
    auto many = build_macro_blocks(r, 6);
    unsigned events = 0;
    for (const Report& b : many) events += b.data[28];
    EXPECT_EQ(events, 160u + (many.size() - 1));
    for (const Report& b : many)
        for (std::size_t i = 29; i < 129; i += 2) {
            if (b.data[i + 1] != 0xFE) {
                EXPECT_NE(b.data[i], 0x7F);
            }
        }
}

// Hostile stored values: no arithmetic may overflow, and in-range values
// give today's bytes.
TEST(Reports, ExtremeStoredValuesGiveDefinedBytes) {
    ProfileRecord r = fresh();
    r.set_dpi_stage_index(0x7FFFFFFF);
    r.set_breath_speed(-0x7FFFFFFF - 1);
    EXPECT_EQ(build_dpi_report(r).data[24], 0x00);
    EXPECT_EQ(build_light_report(r).data[4] & 0x0F, 0x09);
    r.set_breath_speed(3);
    EXPECT_EQ(build_light_report(r).data[4] & 0x0F, 0x06);
    EXPECT_EQ(dpi_display_value(0x7FFFFFFF), 214748364700LL - 10000);
    EXPECT_EQ(dpi_display_value(-0x7FFFFFFF - 1), -107374182400LL);
}

// 160 actions of exactly 128 ms need four bytes each: more than the four
// blocks of a slot. The macro is cut at the slot's last block, which names
// no next block, so the next slot's macro on the mouse stays intact.
TEST(Reports, AMacroNeverWritesPastItsSlotsBlocks) {
    ProfileRecord r = fresh();
    std::vector<MacroAction> actions;
    for (int i = 0; i < 160; ++i) actions.push_back({0x04, static_cast<std::uint8_t>(1 + i % 2), 128});
    fill_macro(r, 0, actions);
    const auto blocks = build_macro_blocks(r, 0);
    ASSERT_EQ(blocks.size(), kMacroBlocksPerSlot);
    EXPECT_EQ(blocks.back().data[2], 4);
    for (std::size_t i = 29; i < 129; ++i) EXPECT_NE(blocks.back().data[i], 0xFE) << i;
    EXPECT_EQ(blocks.back().data[129] << 8 | blocks.back().data[130], report_checksum(blocks.back().data, 3, 129));
}

TEST(Reports, RandomRecordsNeverBreakTheBuilders) {
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        ProfileRecord r;
        ASSERT_TRUE(r.assign(testing::random_bytes(ProfileRecord::kSize, seed)));
        build_dpi_report(r);
        build_light_report(r);
        build_polling_report(r);
        build_buttons_report(r);
        for (int k = 0; k < 18; ++k) {
            auto blocks = build_macro_blocks(r, k);
            EXPECT_LE(blocks.size(), kMacroBlocksPerSlot);
            for (const Report& b : blocks) {
                EXPECT_EQ(b.length, 131u);
                EXPECT_EQ(b.data[129] << 8 | b.data[130], report_checksum(b.data, 3, 129));
            }
        }
    }
}

}  // namespace
}  // namespace vantorel
