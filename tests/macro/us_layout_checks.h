// SPDX-License-Identifier: GPL-2.0-or-later
// Translations every US layout must give, whatever answers them.
#pragma once

#include <gtest/gtest.h>

#include "core/text_lookup.h"
#include "macro/key_tables.h"

namespace vantorel::testing {

inline MapTextLookup sample_texts() {
    return MapTextLookup({{"key_Enter", u"Enter"}, {"key_Num_Enter", u"Num Enter"}, {"key_Caplk", u"Caps"}});
}

inline void expect_us_translations(const KeyboardLayout& us) {
    const MapTextLookup texts = sample_texts();
    auto name = [&](std::uint8_t code) { return usage_to_key_name(code, us, texts); };

    EXPECT_EQ(virtual_key_to_usage(0x41, us), (KeyUsage{true, 0x04}));
    EXPECT_EQ(name(0x04), u"A");
    EXPECT_EQ(virtual_key_to_usage(0xBF, us), (KeyUsage{true, 0x38}));
    EXPECT_EQ(virtual_key_to_usage(0xDF, us), (KeyUsage{true, 0x38}));  // not on a US keyboard
    EXPECT_EQ(name(0x38), u"/");
    EXPECT_EQ(virtual_key_to_usage(0x0D, us), (KeyUsage{true, 0x28}));
    EXPECT_EQ(name(0x28), u"Enter");
    EXPECT_EQ(virtual_key_to_usage(0x6C, us), (KeyUsage{true, 0x58}));
    EXPECT_EQ(name(0x58), u"Num Enter");
    EXPECT_EQ(virtual_key_to_usage(0x90, us), (KeyUsage{true, 0x53}));
    EXPECT_EQ(name(0x39), u"Caps");
    for (std::uint32_t vk = 0xF1; vk <= 0xF4; ++vk)
        EXPECT_EQ(virtual_key_to_usage(vk, us), (KeyUsage{true, static_cast<std::uint8_t>(vk)}));
    EXPECT_EQ(virtual_key_to_usage(0xF5, us), (KeyUsage{}));

    EXPECT_EQ(name(0x00), u"");
    EXPECT_EQ(name(0x32), u"");
    for (std::uint8_t code = 0xE8; code <= 0xEF; ++code) EXPECT_EQ(name(code), u"") << int(code);

    // On a US keyboard every key is where its own row says.
    for (const KeyCodeRow& row : kKeyCodeTable)
        EXPECT_EQ(virtual_key_to_usage(row.virtual_key, us).key_code, row.key_code) << int(row.virtual_key);
    EXPECT_EQ(name(0x1E), u"1");
    EXPECT_EQ(name(0x27), u"0");
    const std::u16string punctuation = u"-=[]\\?;'`,./";  // codes 0x2D..0x38, 0x32 has no key
    for (std::uint8_t code = 0x2D; code <= 0x38; ++code) {
        if (code == 0x32) continue;
        EXPECT_EQ(name(code), std::u16string(1, punctuation[code - 0x2D])) << int(code);
    }
}

}  // namespace vantorel::testing
