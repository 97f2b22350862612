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

TEST(Text, Utf8CheckRefusesWhatCannotComeBackTheSame) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"Profile 1", true},
        {"\xC3\xA9t\xC3\xA9", true},                 // été
        {"\xF0\x9F\x96\xB1", true},                  // U+1F5B1, a surrogate pair in UTF-16
        {"ab\xFF", false},                            // never a UTF-8 byte
        {"\xC0\xAF", false},                          // overlong '/'
        {"\xE0\x80\xAF", false},                      // overlong again
        {"\xED\xA0\x80", false},                      // a surrogate
        {"\xF4\x90\x80\x80", false},                  // above U+10FFFF
        {"\xE2\x82", false},                          // cut short
        {"\x80", false},                              // a stray continuation
    };
    for (const auto& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(Text, NamesCompareWithoutRegardToCaseInEveryScript) {
    struct Case {
        std::u16string a, b;
        bool same;
    };
    const Case cases[] = {
        {u"Game", u"gAME", true},
        {u"\u00C9t\u00C9", u"\u00E9t\u00E9", true},
        {u"\u017B\u00F3\u0142w", u"\u017C\u00F3\u0142w", true},         // Żółw / żółw
        {u"\u0141\u00F3d\u017A", u"\u0141\u00D3D\u0179", true},         // Łódź / ŁÓDŹ
        {u"\u03A3\u039F\u03A6\u0399\u0391", u"\u03C3\u03BF\u03C6\u03B9\u03B1", true},  // ΣΟΦΙΑ / σοφια
        {u"\u039F\u03A3", u"\u03BF\u03C2", true},                        // final sigma
        {u"\u041C\u044B\u0448\u044C", u"\u043C\u042B\u0448\u044C", true},
        {u"\u0531\u0562", u"\u0561\u0532", true},                        // Armenian
        {u"\U00010400x", u"\U00010428X", true},                           // Deseret, outside the BMP
        {u"Game", u"Game_1", false},
        {u"stra\u00DFe", u"STRASSE", false},                               // no one-to-many folding
        {u"\xD800", u"\xDC00", false},                                    // lone surrogates stay themselves
    };
    for (const Case& c : cases) EXPECT_EQ(equals_ignore_case(c.a, c.b), c.same) << to_utf8(c.a) << " / " << to_utf8(c.b);
}

TEST(Text, CutNeverSplitsASurrogatePair) {
    std::u16string s = u"ab\U0001F5B1";
    EXPECT_EQ(cut_text(s, 3), u"ab");
    EXPECT_EQ(cut_text(s, 4), s);
}

}  // namespace
}  // namespace vantorel
