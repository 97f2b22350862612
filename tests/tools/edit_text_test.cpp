// SPDX-License-Identifier: GPL-2.0-or-later
// How `set`, `button` and `macro new --from` read what the user typed: the
// page's limits and conversions, key combinations, the macro text format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "button_text.h"
#include "macro/macro_model.h"
#include "core/profile_record.h"
#include "edit/settings_catalogue.h"
#include "settings_table.h"

namespace vantorel::cli {
namespace {

class SettingsTable : public ::testing::Test {
protected:
    void SetUp() override { record.reset_to_defaults(); }
    ProfileRecord record;
};

struct Accepted {
    const char* name;
    const char* typed;
    const char* shown;  // what get prints afterwards
};

TEST_F(SettingsTable, TypedValuesAreStoredWithThePagesConversions) {
    const Accepted cases[] = {
        {"dpi.2", "1600", "1600"},
        {"dpi.1", "50", "50"},          // the smallest value
        {"dpi.1", "22000", "22000"},    // and the largest
        {"dpi.3", "9950", "9950"},      // the 50 step reaches 10000 ...
        {"dpi.3", "10100", "10100"},    // ... and the 100 step goes on above
        {"dpi-color.4", "#12ab5F", "#12AB5F"},
        {"dpi-enabled.8", "off", "off"},
        {"active-stage", "6", "6"},
        {"brightness", "15", "15"},
        {"polling-rate", "125", "125"},
        {"light-off", "2.5", "2.5"},
        {"light-off", "30", "30.0"},
        {"light-off", "0.5", "0.5"},
        {"debounce", "12", "12"},
        {"lift-off", "2", "2"},
        {"ripple", "on", "on"},
        {"angle-snap", "0", "off"},
        {"move-mode", "on", "on"},  // once a setting of the page only
        {"light-color", "#000000", "#000000"},
        {"light-effect", "2", "breathing"},
        {"light-effect", "comet-tail", "comet-tail"},
        {"light-effect-ble", "color-cycle", "colour-cycle"},
        {"light-effect-ble", "3", "colour-cycle"},  // the fourth entry of its own, shorter list
    };
    for (const Accepted& c : cases) {
        std::string error;
        ASSERT_TRUE(write_setting(record, c.name, c.typed, &error)) << c.name << '=' << c.typed << ": " << error;
        EXPECT_EQ(setting_value(record, c.name), c.shown) << c.name << '=' << c.typed;
    }
}

TEST_F(SettingsTable, StoredUnitsFollowTheMouse) {
    std::string error;
    ASSERT_TRUE(write_setting(record, "active-stage", "1", &error));
    EXPECT_EQ(record.dpi_stage_index(), 0);
    ASSERT_TRUE(write_setting(record, "debounce", "12", &error));
    EXPECT_EQ(record.key_debounce(), 6);  // counts 2 ms steps
    ASSERT_TRUE(write_setting(record, "light-off", "1.5", &error));
    EXPECT_EQ(record.light_off_timer(), 3);  // counts half minutes
    ASSERT_TRUE(write_setting(record, "polling-rate", "500", &error));
    EXPECT_EQ(record.polling_rate_index(), 2);
    ASSERT_TRUE(write_setting(record, "lift-off", "1", &error));
    EXPECT_EQ(record.lift_off_distance(), 0);
    ASSERT_TRUE(write_setting(record, "dpi.2", "1600", &error));
    EXPECT_EQ(record.dpi_value(1), 32);
}

struct Refused {
    const char* name;
    const char* typed;
    const char* named_in_message;
};

TEST_F(SettingsTable, OutOfRangeAndUnknownValuesAreRefusedWithTheirRange) {
    const Refused cases[] = {
        {"brightness", "16", "1..15"},     {"brightness", "0", "1..15"},      {"brightness", "7x", "1..15"},
        {"breath-speed", "10", "1..9"},    {"breath-speed", "-1", "1..9"},    {"active-stage", "0", "1..8"},
        {"active-stage", "9", "1..8"},     {"polling-rate", "300", "1000"},   {"light-off", "1.25", "0.5"},
        {"light-off", "30.5", "0.5..30"},  {"light-off", "0", "0.5..30"},     {"debounce", "3", "even"},
        {"debounce", "34", "2..32"},       {"debounce", "0", "2..32"},        {"lift-off", "3", "1 or 2"},
        {"ripple", "yes", "on or off"},    {"light-color", "red", "#RRGGBB"}, {"dpi-color.1", "#12345", "#RRGGBB"},
        {"dpi.2", "fast", "DPI"},          {"dpi.9", "800", "unknown setting"},
        {"sleep", "61", "1..60"},          {"sleep", "0", "1..60"},           {"light-effect", "12", "0..11"},
        {"light-effect", "disco", "rainbow-wave"}, {"light-effect-ble", "4", "0..3"},
        {"light-effect-ble", "neon", "colour-cycle"},
    };
    const ProfileRecord before = record;
    for (const Refused& c : cases) {
        std::string error;
        EXPECT_FALSE(write_setting(record, c.name, c.typed, &error)) << c.name << '=' << c.typed;
        EXPECT_NE(error.find(c.named_in_message), std::string::npos) << c.name << '=' << c.typed << ": " << error;
        const std::string named = std::string(c.named_in_message) == "unknown setting" ? c.name : c.typed;
        EXPECT_NE(error.find(named), std::string::npos) << "the message names what was wrong: " << error;
        EXPECT_TRUE(record == before) << c.name << '=' << c.typed;
    }
}

// The command line once held 22001 to 22000 and floored 1234 to 1200
// without a word: a value off the step or out of range is refused, naming
// the nearest values or the range, and the record stays as it was.
TEST_F(SettingsTable, CliRefusesDpiOffTheStepWithTheNearestValues) {
    const Refused cases[] = {
        {"dpi.3", "1234", "the nearest are 1200 and 1250 DPI"},
        {"dpi.3", "10050", "the nearest are 10000 and 10100 DPI"},  // the step is 100 above 10000
        {"dpi.3", "12345", "the nearest are 12300 and 12400 DPI"},
        {"dpi.1", "49", "out of range 50..22000 DPI"},
        {"dpi.1", "0", "out of range 50..22000 DPI"},
        {"dpi.1", "22001", "out of range 50..22000 DPI"},
        {"dpi.1", "99999999999999999999999", "out of range 50..22000 DPI"},
        {"dpi.1", "", "a whole number 50..22000 DPI"},
    };
    const ProfileRecord before = record;
    for (const Refused& c : cases) {
        std::string error;
        EXPECT_FALSE(write_setting(record, c.name, c.typed, &error)) << c.name << '=' << c.typed;
        EXPECT_NE(error.find(c.named_in_message), std::string::npos) << c.name << '=' << c.typed << ": " << error;
        EXPECT_TRUE(record == before) << c.name << '=' << c.typed;
    }
}

// The command line accepted an active stage that is off, a profile with no
// stage on and a stage on at 0 DPI. Each assignment runs on the record the
// ones before it left (defaults: stages 1..6 on, stage 2 active).
TEST_F(SettingsTable, CliKeepsTheStageRulesOfThePage) {
    struct Step {
        const char* name;
        const char* typed;
        const char* refused_because;  // empty: taken
    };
    const Step steps[] = {
        {"active-stage", "7", "stage 7 is off; switch it on first"},
        {"dpi.8", "1600", "stage 8 is off; switch it on first (dpi-enabled.8=on)"},
        {"dpi-enabled.2", "off", "stage 2 is the active stage and stays on"},
        {"dpi-enabled.7", "on", ""},
        {"active-stage", "7", ""},
        {"dpi-enabled.1", "off", ""}, {"dpi-enabled.2", "off", ""}, {"dpi-enabled.3", "off", ""},
        {"dpi-enabled.4", "off", ""}, {"dpi-enabled.5", "off", ""}, {"dpi-enabled.6", "off", ""},
        {"dpi-enabled.7", "off", "stage 7 is the active stage"},
        {"dpi-enabled.8", "off", ""},  // already off: nothing to refuse
    };
    for (const Step& s : steps) {
        std::string error;
        const bool taken = write_setting(record, s.name, s.typed, &error);
        EXPECT_EQ(taken, *s.refused_because == '\0') << s.name << '=' << s.typed << ": " << error;
        EXPECT_NE(error.find(s.refused_because), std::string::npos) << s.name << '=' << s.typed << ": " << error;
    }
    // Switched on without a value, a stage starts at 800 DPI as on the page.
    EXPECT_EQ(setting_value(record, "dpi.7"), "800");
    EXPECT_EQ(record.dpi_value_y(6), record.dpi_value(6));
}

// Move mode was a setting of the page that the command line did not know:
// every setting of the shared catalogue is one `set` and `get` know, and
// back, each with its sentence of help.
TEST_F(SettingsTable, EverySettingOfTheCatalogueIsOneTheCliKnows) {
    for (const edit::SettingInfo& s : edit::settings()) {
        const std::string name = std::string(s.name) + (s.per_stage ? ".8" : "");
        EXPECT_TRUE(is_setting(name)) << name;
        EXPECT_FALSE(s.help.empty()) << name;
    }
    for (const std::string& name : setting_names()) EXPECT_NE(edit::find_setting(name), nullptr) << name;
}

TEST(ButtonText, FunctionWordsCoverTheMenuWithUniqueNames) {
    const auto& words = function_words();
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(words[i].word.find('_'), std::string_view::npos) << words[i].word;
        for (std::size_t j = i + 1; j < words.size(); ++j) EXPECT_NE(words[i].word, words[j].word);
        EXPECT_EQ(function_code_of_word(words[i].word), words[i].code);
    }
    // The page's English texts; the older spellings still read.
    const std::pair<const char*, int> known[] = {
        {"left-click", 1}, {"off", 0}, {"DPI-Up", 7}, {"volume-up", 69}, {"middle-click", 3}, {"my-computer", 89},
        {"right-click", 2}, {"rapid-fire", 10}, {"fire", 10}, {"fire_button", 10}, {"disabled", 0},
        {"file-manager", 89}, {"browser-back", 83}, {"browser-backward", 83}, {"lock-screen", 46}};
    for (const auto& [word, code] : known) EXPECT_EQ(function_code_of_word(word), code) << word;
    const std::pair<int, const char*> shown[] = {
        {0, "disabled"}, {2, "right-click"}, {10, "rapid-fire"}, {66, "stop-playback"}, {89, "file-manager"}};
    for (const auto& [code, word] : shown) EXPECT_EQ(function_word(static_cast<std::uint8_t>(code)), word);
    EXPECT_FALSE(function_code_of_word("shortcut"));
    EXPECT_FALSE(function_code_of_word("select-macro"));
    EXPECT_FALSE(function_code_of_word("menu")) << "the application key, as a key combination";
}

TEST(ButtonText, KeyCombinations) {
    struct Case {
        const char* typed;
        int key;
        int modifiers;
    };
    const Case good[] = {{"ctrl+c", 0x06, 0x01},     {"ctrl+shift+a", 0x04, 0x03}, {"alt+f4", 0x3D, 0x04},
                         {"Win+D", 0x07, 0x08},      {"shift+kp-1", 0x59, 0x02},   {"page-up", 0x4B, 0},
                         {"ctrl+alt", 0, 0x05}};
    for (const Case& c : good) {
        std::string error;
        const auto s = parse_shortcut(c.typed, &error);
        ASSERT_TRUE(s) << c.typed << ": " << error;
        EXPECT_EQ(s->key, c.key) << c.typed;
        EXPECT_EQ(s->modifiers, c.modifiers) << c.typed;
    }
    for (const char* bad : {"ctrl+", "ctrl++a", "hyper+a", "a+b", "ctrl+mouse-left", ""}) {
        std::string error;
        EXPECT_FALSE(parse_shortcut(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(shortcut_text(0x06, 0x01), "ctrl+c");
    EXPECT_EQ(shortcut_text(0x3D, 0x0C), "alt+win+f4");
}

TEST(ButtonText, EveryKeyNameRoundTrips) {
    for (int code = 0; code < 256; ++code) {
        const std::string name = key_name(static_cast<std::uint8_t>(code));
        if (name.rfind("0x", 0) == 0) continue;
        EXPECT_EQ(key_code_of_name(name), code) << name;
    }
}

TEST(MacroText, ReadsActionsAndSkipsCommentsAndBlankLines) {
    std::string error;
    const auto actions = parse_macro_text("# reload\npress a 20\n\n  release A 10\r\npress mouse-left 5\n", &error);
    ASSERT_TRUE(actions) << error;
    const std::vector<MacroAction> expected = {
        {0x04, kActionPress, 20}, {0x04, kActionRelease, 10}, {0xF1, kActionPress, 5}};
    EXPECT_EQ(*actions, expected);
    EXPECT_EQ(*parse_macro_text(macro_text(expected), &error), expected);
}

// What macro show prints must read back through macro new --from: mouse
// buttons (forward has no row in the key table), modifiers, codes without a
// name and every delay a stored macro can hold, recorded 0 ms included.
TEST(MacroText, WhatIsShownReadsBackToTheSameActions) {
    const std::vector<std::vector<MacroAction>> cases = {
        {{0x04, kActionPress, 1}, {0x04, kActionRelease, 127}},
        {{0xE0, kActionPress, 0}, {0xE1, kActionPress, 128}, {0x06, kActionPress, 255},
         {0x06, kActionRelease, 256}, {0xE1, kActionRelease, 1000}, {0xE0, kActionRelease, 25000}},
        {{0xE7, kActionPress, 3}, {0xE7, kActionRelease, 0}},
        {{kMouseLeft, kActionPress, 0}, {kMouseLeft, kActionRelease, 1}, {kMouseRight, kActionPress, 2},
         {kMouseMiddle, kActionRelease, 3}, {kMouseBackward, kActionPress, 4}, {kMouseForward, kActionRelease, 5}},
        {{0x64, kActionPress, 10}, {0xF0, kActionRelease, 10}, {0x3A, kActionPress, 7}, {0x63, kActionPress, 9}},
        {},
    };
    for (const auto& actions : cases) {
        const std::string text = macro_text(actions);
        std::string error;
        const auto back = parse_macro_text(text, &error);
        ASSERT_TRUE(back) << text << error;
        EXPECT_EQ(*back, actions) << text;
    }
}

TEST(MacroText, BadLinesAreNamedByNumber) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"press a 20\npush a 20\n", "line 2: \"push\" is neither press nor release"},
        {"press q-key 20\n", "line 1: \"q-key\" is not in the key table"},
        {"press a\n", "line 1: expected"},
        {"press a -1\n", "line 1: the delay \"-1\""},
        {"press a 25001\n", "0..25000"},
        {"press 0x1\n", "line 1: expected"},
        {"press 0x1 5\n", "\"0x1\" is not in the key table"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_macro_text(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(MacroText, TheUnitBudgetAndTheActionLimitHold) {
    // 161 units fit, 162 do not: 80 long actions cost 160, one short 1 more.
    std::string fits;
    for (int i = 0; i < 80; ++i) fits += "press a 200\n";
    std::string error;
    EXPECT_TRUE(parse_macro_text(fits + "release a 5\n", &error)) << error;
    EXPECT_FALSE(parse_macro_text(fits + "release a 128\n", &error));
    EXPECT_NE(error.find("costs 162 units"), std::string::npos) << error;
    // The text said "above 128 ms", though 128 ms already costs two.
    EXPECT_NE(error.find("a delay of 128 ms or more costs two"), std::string::npos) << error;

    std::string many;
    for (int i = 0; i < 161; ++i) many += "press a 1\n";
    EXPECT_FALSE(parse_macro_text(many, &error));
    EXPECT_NE(error.find("line 161: a macro holds at most 160 actions"), std::string::npos) << error;
}

}  // namespace
}  // namespace vantorel::cli
