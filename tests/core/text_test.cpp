// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/text.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Text, Utf8RoundTripIncludingSurrogatePairs) {
    const std::string s = "Pr\xC3\xA9set \xE2\x82\xAC \xF0\x9F\x96\xB1";
    EXPECT_EQ(to_utf8(to_utf16(s)), s);
    EXPECT_EQ(to_utf16(s).size(), 11u);
    EXPECT_EQ(to_utf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
    EXPECT_EQ(to_utf16("\xC3"), u"\xFFFD");           // cut sequence
}

TEST(Text, CaseInsensitiveNames) {
    EXPECT_TRUE(equals_ignore_case(u"Game", u"gAME"));
    EXPECT_TRUE(equals_ignore_case(u"\u00C9t\u00C9", u"\u00E9t\u00E9"));
    EXPECT_TRUE(equals_ignore_case(u"\u041C\u044B\u0448\u044C", u"\u043C\u042B\u0448\u044C"));
    EXPECT_FALSE(equals_ignore_case(u"Game", u"Game_1"));
}

TEST(Text, CutNeverSplitsASurrogatePair) {
    std::u16string s = u"ab\U0001F5B1";
    EXPECT_EQ(cut_text(s, 3), u"ab");
    EXPECT_EQ(cut_text(s, 4), s);
}

}  // namespace
}  // namespace vantorel
