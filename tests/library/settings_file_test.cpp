// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/settings_file.h"

#include <gtest/gtest.h>

#include <climits>

#include "library/file_io.h"
#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

std::vector<Byte> bytes_of(std::string_view s) { return std::vector<Byte>(s.begin(), s.end()); }
std::string text_of(const fs::path& p) {
    auto b = read_all(p);
    return std::string(b.begin(), b.end());
}

class ConfigIni : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir.path() / "Data" / "CONFIG.ini";
    int read_text(std::string_view text) {
        write_all(file, bytes_of(text));
        return read_model_id(file);
    }
};

TEST_F(ConfigIni, MissingFileSectionKeyOrValueReadsMinusOne) {
    EXPECT_EQ(read_model_id(file), -1);
    EXPECT_EQ(read_text(""), -1);
    EXPECT_EQ(read_text("[OTHER]\r\nModelId=1\r\n"), -1);
    EXPECT_EQ(read_text("[SETTING]\r\nModel=1\r\n"), -1);
    EXPECT_EQ(read_text("[SETTING]\r\nModelId=\r\n"), -1);
    EXPECT_EQ(read_text("ModelId=1\r\n[SETTING]\r\n"), -1);  // a key before any section belongs to none
}

TEST_F(ConfigIni, NamesIgnoreCaseAndTheFirstSectionAndKeyCount) {
    EXPECT_EQ(read_text("[SETTING]\r\nModelId=7\r\n"), 7);
    EXPECT_EQ(read_text("  [ setting ]  \nmodelid = 1\n"), 1);
    EXPECT_EQ(read_text("[SETTING]\nModelId=1\nModelId=0\n[SETTING]\nModelId=5\n"), 1);
    EXPECT_EQ(read_text("[SETTING]\n[SETTING]\nModelId=5\n"), -1);
    EXPECT_EQ(read_text("[SETTING]\rModelId=1"), 1);  // bare CR ends a line too
}

TEST(ProfileInt, ReadsAnOptionalSignAndLeadingDigits) {
    EXPECT_EQ(parse_profile_int(u"12abc"), 12);
    EXPECT_EQ(parse_profile_int(u" -3 "), -3);
    EXPECT_EQ(parse_profile_int(u"+4"), 4);
    EXPECT_EQ(parse_profile_int(u"x1"), 0);
    EXPECT_EQ(parse_profile_int(u"-"), 0);
    EXPECT_EQ(parse_profile_int(u"\"1\""), 1);
    EXPECT_EQ(parse_profile_int(u"99999999999999999999"), INT_MAX);
    EXPECT_EQ(parse_profile_int(u"-99999999999999999999"), INT_MIN);
}

TEST_F(ConfigIni, WritingANewFileCreatesSectionAndKeyWithCrLf) {
    ASSERT_TRUE(write_model_id(file, 0));
    EXPECT_EQ(text_of(file), "[SETTING]\r\nModelId=0\r\n");
    ASSERT_TRUE(write_model_id(file, 1));
    EXPECT_EQ(text_of(file), "[SETTING]\r\nModelId=1\r\n");
    EXPECT_EQ(read_model_id(file), 1);
}

TEST_F(ConfigIni, WritingKeepsEveryOtherLine) {
    write_all(file, bytes_of("; user notes\r\n[Window]\r\nx=5\r\n\r\n[setting]\r\nTheme = dark\r\nMODELID = 7 ; old\r\n"
                             "Other=1\r\n\r\n[Last]\r\ny=2"));
    ASSERT_TRUE(write_model_id(file, 0));
    EXPECT_EQ(text_of(file), "; user notes\r\n[Window]\r\nx=5\r\n\r\n[setting]\r\nTheme = dark\r\nModelId=0\r\n"
                             "Other=1\r\n\r\n[Last]\r\ny=2");
}

TEST_F(ConfigIni, MissingKeyJoinsItsSectionAndMissingSectionGoesAtTheEnd) {
    write_all(file, bytes_of("[SETTING]\nTheme=dark\n\n[Last]\ny=2\n"));
    ASSERT_TRUE(write_model_id(file, 1));
    EXPECT_EQ(text_of(file), "[SETTING]\nTheme=dark\nModelId=1\n\n[Last]\ny=2\n");

    write_all(file, bytes_of("[Other]\r\nx=1"));
    ASSERT_TRUE(write_model_id(file, 0));
    EXPECT_EQ(text_of(file), "[Other]\r\nx=1\r\n[SETTING]\r\nModelId=0\r\n");
}

TEST_F(ConfigIni, ByteOrderMarksAreUnderstoodAndKept) {
    write_all(file, bytes_of("\xEF\xBB\xBF[SETTING]\r\nName=\xC3\xA9\r\nModelId=1\r\n"));
    EXPECT_EQ(read_model_id(file), 1);
    ASSERT_TRUE(write_model_id(file, 0));
    EXPECT_EQ(text_of(file), "\xEF\xBB\xBF[SETTING]\r\nName=\xC3\xA9\r\nModelId=0\r\n");

    std::u16string wide = u"\uFEFF[SETTING]\r\nModelId=1\r\n";
    std::vector<Byte> utf16;
    for (char16_t c : wide) utf16.insert(utf16.end(), {static_cast<Byte>(c & 0xFF), static_cast<Byte>(c >> 8)});
    write_all(file, utf16);
    EXPECT_EQ(read_model_id(file), 1);
    ASSERT_TRUE(write_model_id(file, 0));
    EXPECT_EQ(read_model_id(file), 0);
    EXPECT_EQ(read_all(file).size(), utf16.size());
}

TEST_F(ConfigIni, UnreadableFileIsLeftAloneAndTheFailureReported) {
    write_all(file, bytes_of("[SETTING]\r\nModelId=1\r\nKeep=me\r\n"));
    ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Read ? EIO : 0; });
    EXPECT_EQ(read_model_id(file), -1);
    EXPECT_FALSE(write_model_id(file, 0));
    EXPECT_EQ(text_of(file), "[SETTING]\r\nModelId=1\r\nKeep=me\r\n");
}

// A 2 GB CONFIG.ini kept the window from appearing: it was read whole.
TEST_F(ConfigIni, OversizedFileIsKeptAsideUnreadAndReplaced) {
    write_all(file, bytes_of("[SETTING]\r\nModelId=1\r\n"));
    fs::resize_file(file, 64 * kMaxSettingsFileSize);
    EXPECT_EQ(read_model_id(file), -1);
    std::string note;
    ASSERT_TRUE(write_model_id(file, 0, &note));
    EXPECT_EQ(text_of(file), "[SETTING]\r\nModelId=0\r\n");
    EXPECT_NE(note.find("kept as"), std::string::npos) << note;
    const auto names = names_in(file.parent_path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(fs::file_size(file.parent_path() / names[1]), 64 * kMaxSettingsFileSize);  // "CONFIG.ini.broken-..."
}

}  // namespace
}  // namespace vantorel
