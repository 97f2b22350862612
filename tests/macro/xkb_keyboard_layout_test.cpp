// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/xkb_keyboard_layout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "macro/key_tables.h"
#include "test_util.h"
#include "us_layout_checks.h"

namespace vantorel {
namespace {

using testing::TempDir;

// Skips the test when the keyboard data lacks the layout (the keymap then
// falls back to US).
#define REQUIRE_LAYOUT(layout_object, name)                                  \
    do {                                                                     \
        if ((layout_object).names().layout != (name))                        \
            GTEST_SKIP() << "xkb layout " << (name) << " is not installed";  \
    } while (0)

TEST(XkbLayout, UsTranslations) {
    const XkbKeyboardLayout us("us", "");
    ASSERT_TRUE(us.valid());
    testing::expect_us_translations(us);
}

TEST(XkbLayout, UsAgreesWithTheFixedUsLayout) {
    const XkbKeyboardLayout xkb("us", "");
    const UsKeyboardLayout fixed;
    for (const KeyCodeRow& row : kKeyCodeTable) {
        if (row.scan_code == 0) continue;
        EXPECT_EQ(xkb.scan_code_of(row.virtual_key), fixed.scan_code_of(row.virtual_key)) << int(row.virtual_key);
        EXPECT_EQ(xkb.virtual_key_at(row.scan_code), fixed.virtual_key_at(row.scan_code)) << int(row.scan_code);
        EXPECT_EQ(xkb.characters(row.virtual_key), fixed.characters(row.virtual_key)) << int(row.virtual_key);
    }
}

// The program asks the layout from the UI thread and the hook's thread; the
// keymap is compiled once, on the first question, and the questions before
// it returns wait for it.
TEST(XkbLayout, LazyLayoutIsCompiledOnceOnItsFirstQuestion) {
    const std::u16string expected = XkbKeyboardLayout("fr", "").characters(0x41);
    std::atomic<int> made{0};
    const LazyKeyboardLayout lazy([&made] {
        ++made;
        return std::make_unique<XkbKeyboardLayout>("fr", "");
    });
    EXPECT_EQ(made, 0);
    std::vector<std::thread> askers;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        askers.emplace_back([&] {
            if (lazy.characters(0x41) != expected) ++wrong;
        });
    for (std::thread& t : askers) t.join();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(wrong, 0);

    // A maker that gives nothing stands for the US layout.
    const LazyKeyboardLayout empty([] { return std::unique_ptr<KeyboardLayout>(); });
    testing::expect_us_translations(empty);
}

TEST(XkbLayout, AzertyStoresKeysByPosition) {
    const XkbKeyboardLayout fr("fr", "");
    REQUIRE_LAYOUT(fr, "fr");
    const MapTextLookup texts;
    auto name = [&](std::uint8_t code) { return usage_to_key_name(code, fr, texts); };
    EXPECT_EQ(fr.scan_code_of(0x41), 0x10u);
    EXPECT_EQ(virtual_key_to_usage(0x41, fr), (KeyUsage{true, 0x14}));
    EXPECT_EQ(name(0x14), u"A");
    EXPECT_EQ(virtual_key_to_usage(0x51, fr), (KeyUsage{true, 0x04}));  // Q at the US A
    EXPECT_EQ(name(0x04), u"Q");
    EXPECT_EQ(virtual_key_to_usage(0x5A, fr), (KeyUsage{true, 0x1A}));  // Z at the US W
    EXPECT_EQ(virtual_key_to_usage(0x4D, fr), (KeyUsage{true, 0x33}));  // M at the US ;
    EXPECT_EQ(name(0x33), u"M");
    EXPECT_EQ(virtual_key_to_usage(0xBC, fr), (KeyUsage{true, 0x10}));  // , at the US M
    // The digit row keeps its virtual keys and shows what it types.
    EXPECT_EQ(virtual_key_to_usage(0x32, fr), (KeyUsage{true, 0x1F}));
    EXPECT_EQ(name(0x1F), u"\u00C9");
    EXPECT_EQ(name(0x26), u"\u00C7");
    EXPECT_EQ(name(0x2F), u"^");  // dead circumflex shows its spacing form
}

TEST(XkbLayout, QwertzAndCyrillic) {
    const MapTextLookup texts;
    const XkbKeyboardLayout de("de", "");
    REQUIRE_LAYOUT(de, "de");
    EXPECT_EQ(virtual_key_to_usage(0x5A, de), (KeyUsage{true, 0x1C}));
    EXPECT_EQ(usage_to_key_name(0x1D, de, texts), u"Y");
    EXPECT_EQ(usage_to_key_name(0x2D, de, texts), u"\u00DF");  // ß has no capital here

    // Without Latin letters every key keeps its US virtual key.
    const XkbKeyboardLayout ru("ru", "");
    REQUIRE_LAYOUT(ru, "ru");
    EXPECT_EQ(virtual_key_to_usage(0x41, ru), (KeyUsage{true, 0x04}));
    EXPECT_EQ(virtual_key_to_usage(0xBA, ru), (KeyUsage{true, 0x33}));
    EXPECT_EQ(usage_to_key_name(0x04, ru, texts), u"\u0424");
    EXPECT_EQ(usage_to_key_name(0x14, ru, texts), u"\u0419");
    EXPECT_EQ(usage_to_key_name(0x35, ru, texts), u"\u0401");
}

TEST(XkbLayout, EveryPositionHasItsOwnVirtualKey) {
    const std::pair<const char*, const char*> layouts[] = {
        {"us", ""}, {"fr", ""}, {"de", ""}, {"ru", ""}, {"gb", ""}, {"us", "dvorak"}, {"fr", "bepo"},
        {"ch", "fr"}, {"gr", ""}, {"be", ""}, {"es", ""}, {"it", ""}, {"cz", ""}, {"tr", ""}};
    for (const auto& [layout, variant] : layouts) {
        const XkbKeyboardLayout kb(layout, variant);
        if (kb.names().layout != layout) continue;
        std::set<std::uint32_t> seen;
        for (const KeyCodeRow& row : kKeyCodeTable) {
            if (row.scan_code == 0 || row.virtual_key == 0xDF) continue;  // 0xDF shares 0xBF's position
            const std::uint32_t vk = kb.virtual_key_at(row.scan_code);
            EXPECT_NE(vk, 0u) << layout << "(" << variant << ") scan " << int(row.scan_code);
            EXPECT_TRUE(seen.insert(vk).second) << layout << "(" << variant << ") vk " << vk;
            EXPECT_EQ(kb.scan_code_of(vk), row.scan_code) << layout << "(" << variant << ") vk " << vk;
        }
    }
}

TEST(XkbLayout, UnknownLayoutFallsBackToUs) {
    const XkbKeyboardLayout kb("no-such-layout", "");
    ASSERT_TRUE(kb.valid());
    EXPECT_EQ(kb.names().layout, "us");
    EXPECT_EQ(virtual_key_to_usage(0x41, kb), (KeyUsage{true, 0x04}));
}

TEST(XkbLayout, SessionNames) {
    TempDir dir;
    const auto file = dir.path() / "keyboard";
    std::ofstream(file) << "# keyboard settings\nXKBMODEL=\"pc104\"\n XKBLAYOUT = 'de'\nXKBVARIANT=\"nodeadkeys\"\n"
                           "XKBOPTIONS=\"ctrl:nocaps\"\nBACKSPACE=\"guess\"\n";
    std::map<std::string, std::string> env;
    auto reader = [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };

    EXPECT_EQ(session_rule_names(reader, file),
              (XkbRuleNames{"evdev", "pc104", "de", "nodeadkeys", "ctrl:nocaps"}));
    // A layout from the environment does not inherit the file's variant.
    env["XKB_DEFAULT_LAYOUT"] = "fr";
    EXPECT_EQ(session_rule_names(reader, file), (XkbRuleNames{"evdev", "pc104", "fr", "", "ctrl:nocaps"}));
    env["XKB_DEFAULT_VARIANT"] = "bepo";
    env["XKB_DEFAULT_RULES"] = "base";
    env["XKB_DEFAULT_OPTIONS"] = "";  // set but empty: the file's value stays
    EXPECT_EQ(session_rule_names(reader, file), (XkbRuleNames{"base", "pc104", "fr", "bepo", "ctrl:nocaps"}));

    env.clear();
    EXPECT_EQ(session_rule_names(reader, dir.path() / "missing"), (XkbRuleNames{"evdev", "pc105", "us", "", ""}));
    std::ofstream(file) << "XKBVARIANT=intl\n";  // a variant without a layout is dropped
    EXPECT_EQ(session_rule_names(reader, file), (XkbRuleNames{"evdev", "pc105", "us", "", ""}));
}

TEST(XkbLayout, ExplicitLayoutIgnoresTheEnvironment) {
    ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
    const XkbKeyboardLayout fr("fr", "");
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    REQUIRE_LAYOUT(fr, "fr");
    EXPECT_EQ(fr.scan_code_of(0x41), 0x10u);
    EXPECT_EQ(fr.scan_code_of(0x59), 0x15u);  // Y stays put on AZERTY, moves on QWERTZ
}

}  // namespace
}  // namespace vantorel
