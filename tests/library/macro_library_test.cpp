// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/macro_library.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

TEST(MacroRecord, FieldsSitAtTheirOffsets) {
    MacroRecord m;
    m.set_name(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");  // 26 letters, cut to 23
    m.set_repeat_count(0x01020304);
    m.set_action_count(160);
    m.set_action(159, {0xF1, kActionRelease, 0xBEEF});
    m.set_action(160, {1, 1, 1});  // outside the array: ignored
    const auto& b = m.bytes();
    EXPECT_EQ(m.name(), u"ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(load_u16(&b[46]), 0);
    EXPECT_EQ(load_i32(&b[48]), 0x01020304);
    EXPECT_EQ(load_i32(&b[52]), 160);
    EXPECT_EQ(b[56 + 159 * 4], 0xF1);
    EXPECT_EQ(load_u16(&b[56 + 159 * 4 + 2]), 0xBEEF);
    EXPECT_EQ(m.action(160), MacroAction{});
}

class MacroLibraryFile : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir.path() / "ms_1" / "macro.data";
    MacroLibrary lib;
};

TEST_F(MacroLibraryFile, MissingFileGivesAnEmptyLibraryAndNoFile) {
    LoadReport report = lib.load(file);
    EXPECT_TRUE(report.file_missing);
    EXPECT_TRUE(report.clean());
    EXPECT_TRUE(lib.empty());
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(MacroLibraryFile, RecordsLoadInOrderAndSaveBackUnchanged) {
    std::vector<Byte> image;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) append_bytes(image, random_bytes(MacroRecord::kSize, seed));
    write_all(file, image);
    EXPECT_TRUE(lib.load(file).clean());
    ASSERT_EQ(lib.size(), 4u);
    EXPECT_EQ(std::vector<Byte>(lib[3].bytes().begin(), lib[3].bytes().end()), random_bytes(MacroRecord::kSize, 4));
    ASSERT_TRUE(lib.save());
    EXPECT_EQ(read_all(file), image);

    lib.clear();
    ASSERT_TRUE(lib.save());
    EXPECT_EQ(fs::file_size(file), 0u);  // an empty library is an empty file
}

TEST_F(MacroLibraryFile, CutShortLastRecordIsReadWithTheMissingBytesZero) {
    std::vector<Byte> image = random_bytes(2 * MacroRecord::kSize + 300, 9);
    write_all(file, image);
    LoadReport report = lib.load(file);
    EXPECT_TRUE(report.clean());
    EXPECT_FALSE(report.kept_aside);
    ASSERT_EQ(lib.size(), 3u);
    std::vector<Byte> last(lib[2].bytes().begin(), lib[2].bytes().end());
    EXPECT_TRUE(std::equal(image.begin() + 2 * MacroRecord::kSize, image.end(), last.begin()));
    EXPECT_TRUE(std::all_of(last.begin() + 300, last.end(), [](Byte b) { return b == 0; }));
    EXPECT_EQ(read_all(file), image);  // loading wrote nothing
    ASSERT_TRUE(lib.save());
    image.resize(3 * MacroRecord::kSize);
    EXPECT_EQ(read_all(file), image);
}

TEST_F(MacroLibraryFile, CreateMacroNamesItUniquelyAndSaves) {
    lib.set_file(file);
    ASSERT_TRUE(lib.create_macro(english()));
    EXPECT_EQ(lib[0].name(), u"Macro1");
    EXPECT_EQ(lib[0].action_count(), 0);
    lib.append(named_macro(u"macro3"));
    ASSERT_TRUE(lib.create_macro(english()));
    EXPECT_EQ(lib[2].name(), u"Macro3_1");
    EXPECT_EQ(fs::file_size(file), 3 * MacroRecord::kSize);

    ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Rename ? EIO : 0; });
    EXPECT_FALSE(lib.create_macro(english()));
    EXPECT_EQ(lib.size(), 4u);
    EXPECT_EQ(fs::file_size(file), 3 * MacroRecord::kSize);
}

TEST(MacroNames, DifferOnlyInCaseCountsAsTaken) {
    MacroLibrary lib;
    lib.append(named_macro(u"Macro"));
    EXPECT_EQ(unique_name(lib, u"macro"), u"macro_1");
    EXPECT_EQ(unique_name(lib, std::u16string(23, u'x')), std::u16string(23, u'x'));
    lib.append(named_macro(std::u16string(23, u'x')));
    EXPECT_EQ(unique_name(lib, std::u16string(23, u'X')), std::u16string(21, u'X') + u"_1");
}

TEST(FindSlotMacro, MatchesByNameAndComparesTheCopiedActions) {
    MacroLibrary lib;
    ProfileRecord profile;
    SlotRef slot = profile.slot(4);
    slot.set_macro_name(u"fire");
    EXPECT_EQ(find_slot_macro(lib, slot), (SlotMacroMatch{-1, false}));

    lib.append(named_macro(u"Other"));
    MacroRecord& fire = lib.append(named_macro(u"FIRE", 7));
    lib.append(named_macro(u"Fire", 8));  // a later match never counts
    slot.set_macro_action_count(3);
    for (std::size_t i = 0; i < 160; ++i) slot.set_macro_action(i, fire.action(i));
    EXPECT_EQ(find_slot_macro(lib, slot), (SlotMacroMatch{1, true}));

    slot.set_macro_action(100, {});  // beyond the count: not compared
    EXPECT_TRUE(find_slot_macro(lib, slot).identical);
    slot.set_macro_action(2, {});
    EXPECT_EQ(find_slot_macro(lib, slot), (SlotMacroMatch{1, false}));
    slot.set_macro_action(2, fire.action(2));
    slot.set_macro_action_count(4);
    EXPECT_FALSE(find_slot_macro(lib, slot).identical);

    // A damaged count larger than the array compares the 160 entries only.
    fire.set_action_count(5000);
    slot.set_macro_action_count(5000);
    for (std::size_t i = 0; i < 160; ++i) slot.set_macro_action(i, fire.action(i));
    EXPECT_TRUE(find_slot_macro(lib, slot).identical);
}

}  // namespace
}  // namespace vantorel
