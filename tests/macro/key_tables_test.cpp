// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/key_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "core/text.h"
#include "core/trace.h"
#include "macro/keyboard_layout.h"
#include "macro/macro_model.h"
#include "us_layout_checks.h"

namespace vantorel {
namespace {

using testing::expect_us_translations;

// Counts what the translations ask of the layout; answers as a US keyboard.
class SpyLayout : public KeyboardLayout {
public:
    std::uint32_t scan_code_of(std::uint32_t vk) const override {
        ++calls;
        return us.scan_code_of(vk);
    }
    std::uint32_t virtual_key_at(std::uint32_t scan) const override {
        ++calls;
        return us.virtual_key_at(scan);
    }
    std::u16string characters(std::uint32_t vk) const override {
        ++calls;
        return us.characters(vk);
    }
    mutable int calls = 0;
    UsKeyboardLayout us;
};

// A layout given as positions: scan code -> (virtual key, characters).
class TableLayout : public KeyboardLayout {
public:
    explicit TableLayout(std::map<std::uint32_t, std::pair<std::uint32_t, std::u16string>> keys)
        : keys_(std::move(keys)) {}
    std::uint32_t scan_code_of(std::uint32_t vk) const override {
        for (const auto& [scan, key] : keys_)
            if (key.first == vk) return scan;
        return 0;
    }
    std::uint32_t virtual_key_at(std::uint32_t scan) const override {
        auto it = keys_.find(scan);
        return it == keys_.end() ? 0 : it->second.first;
    }
    std::u16string characters(std::uint32_t vk) const override {
        for (const auto& [scan, key] : keys_)
            if (key.first == vk) return key.second;
        return {};
    }

private:
    std::map<std::uint32_t, std::pair<std::uint32_t, std::u16string>> keys_;
};

// Records which ids were looked up.
class RecordingTexts : public TextLookup {
public:
    std::u16string text(std::string_view key) const override {
        asked.emplace_back(key);
        return u"<" + std::u16string(key.begin(), key.end()) + u">";
    }
    mutable std::vector<std::string> asked;
};

TEST(KeyCodeTable, RowsAndOrder) {
    ASSERT_EQ(kKeyCodeTable.size(), 112u);
    auto index_of = [](std::uint8_t vk) {
        for (std::size_t i = 0; i < kKeyCodeTable.size(); ++i)
            if (kKeyCodeTable[i].virtual_key == vk) return i;
        return kKeyCodeTable.size();
    };
    // Each virtual key has one row, so no row is shadowed by an earlier one.
    std::set<std::uint8_t> vks, codes;
    int with_scan = 0;
    for (const KeyCodeRow& r : kKeyCodeTable) {
        EXPECT_TRUE(vks.insert(r.virtual_key).second) << int(r.virtual_key);
        codes.insert(r.key_code);
        with_scan += r.scan_code != 0;
    }
    EXPECT_EQ(codes.size(), 111u);  // 0xBF and 0xDF share 0x38
    EXPECT_EQ(with_scan, 66);
    EXPECT_LT(index_of(0xBF), index_of(0xDF));
    EXPECT_EQ(kKeyCodeTable[index_of(0xDF)].key_code, 0x38);
    EXPECT_EQ(kKeyCodeTable[index_of(0xDF)].scan_code, 0x35);
    EXPECT_EQ(index_of(0x67) + 1, index_of(0x66));
    EXPECT_EQ(kKeyCodeTable[index_of(0x67)].key_code, 0x5F);
    EXPECT_EQ(kKeyCodeTable[index_of(0x66)].key_code, 0x5E);
}

TEST(KeyTables, UsLayoutTranslations) { expect_us_translations(UsKeyboardLayout{}); }

TEST(KeyTables, OnlyMainBlockKeysAskTheLayout) {
    SpyLayout spy;
    EXPECT_EQ(virtual_key_to_usage(0x90, spy), (KeyUsage{true, 0x53}));
    EXPECT_EQ(virtual_key_to_usage(0x6C, spy), (KeyUsage{true, 0x58}));
    EXPECT_EQ(virtual_key_to_usage(0xA2, spy), (KeyUsage{true, 0xE0}));
    EXPECT_EQ(virtual_key_to_usage(0xF1, spy), (KeyUsage{true, 0xF1}));
    EXPECT_EQ(virtual_key_to_usage(0xF5, spy), (KeyUsage{}));
    EXPECT_EQ(spy.calls, 0);
    EXPECT_EQ(virtual_key_to_usage(0x7B, spy), (KeyUsage{true, 0x45}));  // F12 is in the block
    EXPECT_EQ(spy.calls, 1);
}

TEST(KeyTables, VirtualKeysBeyondOneByteAreUnknown) {
    const UsKeyboardLayout us;
    EXPECT_EQ(virtual_key_to_usage(0x141, us), (KeyUsage{}));  // not 'A'
    EXPECT_EQ(virtual_key_to_usage(0x10000 + 0x0D, us), (KeyUsage{}));
    EXPECT_EQ(virtual_key_to_usage(0, us), (KeyUsage{}));
}

TEST(KeyTables, KeysAreStoredByPosition) {
    // AZERTY corner: the key that types "a" sits at scan 0x10 (Q on US), the
    // one that types "q" at 0x1E.
    const TableLayout azerty({{0x10, {0x41, u"a"}}, {0x1E, {0x51, u"q"}}, {0x03, {0x32, u"\u00E9"}}});
    const RecordingTexts texts;
    EXPECT_EQ(virtual_key_to_usage(0x41, azerty), (KeyUsage{true, 0x14}));
    EXPECT_EQ(virtual_key_to_usage(0x51, azerty), (KeyUsage{true, 0x04}));
    EXPECT_EQ(usage_to_key_name(0x14, azerty, texts), u"A");
    EXPECT_EQ(usage_to_key_name(0x04, azerty, texts), u"Q");
    EXPECT_EQ(usage_to_key_name(0x1F, azerty, texts), u"\u00C9");
    // A key the layout does not have keeps its own row's code.
    EXPECT_EQ(virtual_key_to_usage(0x42, azerty), (KeyUsage{true, 0x05}));
    EXPECT_EQ(usage_to_key_name(0x05, azerty, texts), u"");
    EXPECT_TRUE(texts.asked.empty());
}

TEST(KeyTables, NamesOutsideTheMainBlockComeFromTheTexts) {
    const UsKeyboardLayout us;
    RecordingTexts texts;
    auto name = [&](std::uint8_t code) { return usage_to_key_name(code, us, texts); };
    EXPECT_EQ(name(0x3A), u"<key_F1>");
    EXPECT_EQ(name(0x45), u"<key_F12>");
    EXPECT_EQ(name(0x46), u"<key_Print Scr>");
    EXPECT_EQ(name(0x52), u"<key_Up>");
    EXPECT_EQ(name(0x59), u"<key_Num_1>");
    EXPECT_EQ(name(0x5E), u"<key_Num_6>");
    EXPECT_EQ(name(0x61), u"<key_Num_9>");
    EXPECT_EQ(name(0x62), u"<key_Num_0>");
    EXPECT_EQ(name(0x64), u"<key_\\>");
    EXPECT_EQ(name(0x82), u"<Sleep>");
    EXPECT_EQ(name(0x88), u"<Kana/Roma>");
    EXPECT_EQ(name(0xDD), u"<`>");
    EXPECT_EQ(name(0xE3), u"<key_LWin>");
    EXPECT_EQ(name(0xE7), u"<key_RWin>");
    EXPECT_EQ(name(0xF4), u"<Backward_Button>");
    EXPECT_EQ(name(0xF5), u"<Forward_Button>");
    texts.asked.clear();
    // Codes without a name: empty, and the texts are not consulted.
    for (std::uint8_t code : {0x66, 0x67, 0x68, 0x69, 0x81, 0xDE, 0xE8, 0xEF, 0xF0, 0xF6, 0xF7, 0xF8, 0xFF})
        EXPECT_EQ(name(code), u"") << int(code);
    EXPECT_TRUE(texts.asked.empty());
}

TEST(KeyTables, VirtualKeyNames) {
    const UsKeyboardLayout us;
    const RecordingTexts texts;
    EXPECT_EQ(virtual_key_to_key_name(0x10, us, texts), u"<key_LShift>");
    EXPECT_EQ(virtual_key_to_key_name(0xA5, us, texts), u"<key_RAlt>");
    EXPECT_EQ(virtual_key_to_key_name(0xF0, us, texts), u"<key_Caplk>");
    EXPECT_EQ(virtual_key_to_key_name(0x2A, us, texts), u"<key_Print Scr>");
    EXPECT_EQ(virtual_key_to_key_name(0x60, us, texts), u"<key_Num_0>");
    EXPECT_EQ(virtual_key_to_key_name(0x6E, us, texts), u"<key_Num_.>");
    EXPECT_EQ(virtual_key_to_key_name(0x7B, us, texts), u"<key_F12>");
    EXPECT_EQ(virtual_key_to_key_name(0xDE, us, texts), u"'");
    EXPECT_EQ(virtual_key_to_key_name(0xE2, us, texts), u"\\");
    EXPECT_EQ(virtual_key_to_key_name(0xF1, us, texts), u"");
}

TEST(KeyTables, LabelsAreUpperCased) {
    // Key labels as layouts of other languages type them: letters of every
    // script get their simple upper case, ß, ÷, ĸ and digits stay.
    EXPECT_EQ(to_upper(u"a\u00E9\u00FF\u00DF\u00F7\u0142\u03C2\u03AC\u0451\u0491\u0131\u0138\u00B5\u0561\u10D0"
                       u"\u2C30\uA641\U00010428 1/"),
              u"A\u00C9\u0178\u00DF\u00F7\u0141\u03A3\u0386\u0401\u0490I\u0138\u039C\u0531\u1C90"
              u"\u2C00\uA640\U00010400 1/");

    const TableLayout layout({{0x10, {0x51, u"\u0439"}}, {0x11, {0x57, u"ab"}}});
    const MapTextLookup texts;
    EXPECT_EQ(usage_to_key_name(0x14, layout, texts), u"\u0419");
    EXPECT_EQ(usage_to_key_name(0x1A, layout, texts), u"AB");
}

TEST(KeyTables, DiagnosticsNameTheResult) {
    set_trace_enabled(true);
    const UsKeyboardLayout us;
    const MapTextLookup texts;
    ::testing::internal::CaptureStderr();
    usage_to_key_name(0x04, us, texts);
    const std::vector<MacroAction> list{{0x04, 1, 127}, {0x04, 2, 129}};
    macro_unit_count(list, 2);
    const std::string err = ::testing::internal::GetCapturedStderr();
    set_trace_enabled(false);
    EXPECT_NE(err.find("m_key = A"), std::string::npos) << err;
    EXPECT_NE(err.find("iTotalNum = 3"), std::string::npos) << err;
}

}  // namespace
}  // namespace vantorel
