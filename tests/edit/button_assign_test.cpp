// SPDX-License-Identifier: GPL-2.0-or-later
// What a function choice writes into a slot, the left-click guard, and the
// macro copies brought in line with the macro library.
#include "edit/button_assign.h"

#include <gtest/gtest.h>

#include "edit/function_codes.h"

namespace vantorel {
namespace {

ProfileRecord defaults() {
    ProfileRecord r;
    r.reset_to_defaults();
    return r;
}

TEST(ButtonAssign, OneOfButtonsOneToSixteenKeepsTheLeftClick) {
    struct Case {
        const char* what;
        int other_click;  // another button (0-based) given the left click first, -1 none
        int button;
        std::uint8_t code;
        bool keeps;
    };
    const Case cases[] = {
        {"button 1 off, the only left click", -1, 0, 0, false},
        {"button 1 off, button 3 clicks too", 2, 0, 0, true},
        {"button 17 does not count", 16, 0, 0, false},
        {"button 16 counts", 15, 0, 5, true},
        {"another button changes", -1, 3, 0, true},
        {"button 1 keeps the click", -1, 0, 1, true},
    };
    for (const Case& c : cases) {
        ProfileRecord r = defaults();
        if (c.other_click >= 0) r.slot(c.other_click).set_function_code(kFunctionClick);
        EXPECT_EQ(page::KeepsLeftClick(r, c.button, c.code), c.keeps) << c.what;
    }
    EXPECT_EQ(function_code_of("MS_1_Volume_Up"), 69);  // names without regard to case
    EXPECT_EQ(function_code_of("ms_1_unknown"), 1);
}

TEST(ButtonAssign, AKeyCombinationNeedsAKeyOrAModifier) {
    ProfileRecord r = defaults();
    SlotRef s = r.slot(3);
    std::fill_n(s.bytes().data() + slot_layout::kShortcutKey, 4, Byte{0x5A});
    page::PrepareShortcut(s);  // not a combination yet: key and the 3 bytes after it cleared
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(s.bytes()[slot_layout::kShortcutKey + i], 0) << i;
    EXPECT_FALSE(page::StoreShortcut(s, 0, 0));
    EXPECT_EQ(s.function_code(), 4);  // keeps its function
    EXPECT_TRUE(page::StoreShortcut(s, 0x04, 0x05));
    EXPECT_EQ(s.function_code(), kFunctionShortcut);
    EXPECT_EQ(s.shortcut_modifiers(), 0x05);
    page::PrepareShortcut(s);  // already a combination: left as it is
    EXPECT_EQ(s.shortcut_key(), 0x04);
}

class MacroCopies : public ::testing::Test {
protected:
    MacroRecord macro(std::u16string_view name, int actions, std::uint16_t delay) {
        MacroRecord m;
        m.set_name(name);
        m.set_action_count(actions);
        for (int i = 0; i < actions; ++i)
            m.set_action(static_cast<std::size_t>(i), {0x04, static_cast<std::uint8_t>(1 + i % 2), delay});
        return m;
    }
    void give(ProfileRecord& r, int button, std::u16string_view name) {
        ASSERT_TRUE(page::AssignMacro(r.slot(button), macros, 0, 1, 3));
        r.slot(button).set_macro_name(name);
    }
    MacroLibrary macros;
    ProfileLibrary profiles;
};

TEST_F(MacroCopies, AssignCopiesTheMacroAndRefusesAnIndexOutsideTheLibrary) {
    macros.append(macro(u"Burst", 4, 30));
    ProfileRecord r = defaults();
    EXPECT_FALSE(page::AssignMacro(r.slot(2), macros, 1, 0, 1));
    EXPECT_FALSE(page::AssignMacro(r.slot(2), macros, -1, 0, 1));
    EXPECT_EQ(r, defaults());
    ASSERT_TRUE(page::AssignMacro(r.slot(2), macros, 0, 2, 9));
    ConstSlotRef s = std::as_const(r).slot(2);
    EXPECT_EQ(s.function_code(), kFunctionMacro);
    EXPECT_EQ(s.macro_name(), u"Burst");
    EXPECT_EQ(s.macro_action_count(), 4);
    EXPECT_EQ(s.macro_play_mode(), 2);
    EXPECT_EQ(s.macro_repeat_count(), 9);
    EXPECT_EQ(s.macro_action(3).delay, 30);
}

// Buttons 4 and 13..18 of two profiles, after the editor deleted one macro
// and changed another.
TEST_F(MacroCopies, ResyncFollowsTheLibraryAcrossProfilesForButtonsOneToTwelve) {
    macros.append(macro(u"Gone", 2, 10));
    for (int p = 0; p < 2; ++p) {
        auto r = std::make_unique<ProfileRecord>(defaults());
        give(*r, 3, u"Gone");     // button 4
        give(*r, 14, u"Gone");    // button 15: never touched
        give(*r, 5, u"KEEP");     // button 6: found in other case
        profiles.append(std::move(r));
    }
    // The editor deleted "Gone" and changed "Keep".
    macros.clear();
    macros.append(macro(u"Keep", 6, 55));

    const page::ResyncResult result = page::ResyncMacroCopies(profiles, macros, 1);
    EXPECT_TRUE(result.any_changed);
    EXPECT_TRUE(result.current_involved);
    for (int p = 0; p < 2; ++p) {
        ConstSlotRef b4 = std::as_const(profiles[p]).slot(3);
        EXPECT_EQ(b4.function_code(), 4);  // button 4's own function again
        EXPECT_EQ(b4.macro_library_index(), -1);
        EXPECT_TRUE(b4.macro_name().empty());
        EXPECT_EQ(b4.macro_action_count(), 0);
        ConstSlotRef b6 = std::as_const(profiles[p]).slot(5);
        EXPECT_EQ(b6.function_code(), kFunctionMacro);
        EXPECT_EQ(b6.macro_name(), u"Keep");
        EXPECT_EQ(b6.macro_action_count(), 6);
        EXPECT_EQ(b6.macro_action(5).delay, 55);
        EXPECT_EQ(b6.macro_repeat_count(), 3);  // play settings stay
        EXPECT_EQ(std::as_const(profiles[p]).slot(14).macro_name(), u"Gone");
    }
    EXPECT_FALSE(page::ResyncMacroCopies(profiles, macros, 0).any_changed);  // in line now
}


// A macro deleted above the one a button plays moves it up the library: the
// button follows it there, so the selection dialog shows (and OK keeps) the
// macro the button plays.
TEST_F(MacroCopies, ResyncStoresWhereTheLibraryNowHoldsTheMacro) {
    macros.append(macro(u"Above", 2, 10));
    macros.append(macro(u"Played", 4, 20));
    auto r = std::make_unique<ProfileRecord>(defaults());
    ASSERT_TRUE(page::AssignMacro(r->slot(3), macros, 1, 0, 1));
    profiles.append(std::move(r));
    macros.remove(0);
    page::ResyncMacroCopies(profiles, macros, 0);
    EXPECT_EQ(std::as_const(profiles[0]).slot(3).macro_library_index(), 0);
    EXPECT_EQ(std::as_const(profiles[0]).slot(3).macro_name(), u"Played");
}

}  // namespace
}  // namespace vantorel
