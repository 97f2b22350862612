// SPDX-License-Identifier: GPL-2.0-or-later
// The rules behind the page's controls, without any control.
#include <gtest/gtest.h>

#include <climits>

#include "core/text_lookup.h"
#include "macro/keyboard_layout.h"
#include "page/button_labels.h"
#include "page/mouse_settings.h"
#include "page/page_logic.h"

namespace vantorel::page {
namespace {

TEST(PageNumbers, TypedNumbersAreReadLikeTheRuntimeDoes) {
    EXPECT_EQ(ReadInt(""), 0);
    EXPECT_EQ(ReadInt("abc"), 0);
    EXPECT_EQ(ReadInt("  42abc"), 42);
    EXPECT_EQ(ReadInt("-7"), -7);
    EXPECT_EQ(ReadInt("+12"), 12);
    EXPECT_EQ(ReadInt("99999999999"), INT_MAX);
    EXPECT_EQ(ReadInt("-99999999999"), INT_MIN);
    EXPECT_EQ(DigitsOnly("1a2b 3-"), "123");
    EXPECT_EQ(DigitsOnly("x"), "");
}

// Typed DPI values are checked by the settings catalogue (the page's and the
// command line's tests); here only how a stored code reads.
TEST(PageNumbers, StageCodesReadAsTheirDpi) {
    EXPECT_EQ(DpiText(0), "0");
    EXPECT_EQ(DpiText(1), "50");
    EXPECT_EQ(DpiText(200), "10000");
    EXPECT_EQ(DpiText(201), "10100");
    EXPECT_EQ(DpiText(320), "22000");
    // A stored record may hold anything; the text never overflows.
    EXPECT_EQ(DpiText(INT_MAX), QString::number(100LL * (INT_MAX - 100LL)));
}

TEST(PageLight, EachEffectOffersItsRows) {
    EXPECT_EQ(LightRowsFor(0), (LightRows{false, false, false}));
    EXPECT_EQ(LightRowsFor(1), (LightRows{true, false, true}));
    EXPECT_EQ(LightRowsFor(2), (LightRows{false, true, true}));
    EXPECT_EQ(LightRowsFor(5), (LightRows{false, true, false}));
    EXPECT_EQ(LightRowsFor(11), (LightRows{false, true, false}));
    EXPECT_EQ(LightRowsFor(12), (LightRows{false, false, false}));
    EXPECT_EQ(LightRowsFor(-1), (LightRows{false, false, false}));
}

class ButtonLabels : public ::testing::Test {
protected:
    ButtonLabels() {
        texts.set("assign_macro_text", u"Macro: ");
        texts.set("keyboard_ctrl_text", u"Ctrl");
        texts.set("keyboard_shift_text", u"Shift");
        texts.set("keyboard_alt_text", u"Alt");
        texts.set("keyboard_win_text", u"Super");
        record.reset_to_defaults();
    }
    MapTextLookup texts;
    UsKeyboardLayout layout;
    ProfileRecord record;
};

TEST_F(ButtonLabels, CatalogueFunctionsShowTheirLanguageKeys) {
    EXPECT_EQ(ButtonLabelFor(record.slot(0), layout, texts), (ButtonLabel{ButtonLabel::Kind::Key, "left_click_text"}));
    EXPECT_EQ(ButtonLabelFor(record.slot(9), layout, texts), (ButtonLabel{ButtonLabel::Kind::Key, "dpi_cycle_text"}));
    EXPECT_EQ(ButtonLabelFor(record.slot(17), layout, texts), (ButtonLabel{ButtonLabel::Kind::Key, "scroll_up_text"}));
    // Codes only a stored profile can bring still have their labels.
    record.slot(3).set_function_code(39);
    EXPECT_EQ(ButtonLabelFor(record.slot(3), layout, texts), (ButtonLabel{ButtonLabel::Kind::Key, "undo_text"}));
    record.slot(3).set_function_code(15);
    EXPECT_EQ(ButtonLabelFor(record.slot(3), layout, texts), (ButtonLabel{ButtonLabel::Kind::Text, ""}));
    EXPECT_TRUE(FunctionLabelKey(200).empty());
}

TEST_F(ButtonLabels, KeyCombinationsListTheirModifiersInOrder) {
    SlotRef s = record.slot(6);
    s.set_function_code(kFunctionShortcut);
    s.set_shortcut_modifiers(0x01 | 0x04);  // Ctrl + Alt
    s.set_shortcut_key(0x04);               // A
    const ButtonLabel label = ButtonLabelFor(record.slot(6), layout, texts);
    EXPECT_EQ(label.kind, ButtonLabel::Kind::Text);
    EXPECT_EQ(label.value, "Ctrl+Alt+A");
    s.set_shortcut_modifiers(0x0F);
    EXPECT_EQ(ButtonLabelFor(record.slot(6), layout, texts).value, "Ctrl+Shift+Alt+Super+A");
}

TEST_F(ButtonLabels, MacrosShowTheirName) {
    SlotRef s = record.slot(4);
    s.set_function_code(kFunctionMacro);
    s.set_macro_name(u"Reload");
    EXPECT_EQ(ButtonLabelFor(record.slot(4), layout, texts), (ButtonLabel{ButtonLabel::Kind::Text, "Macro: Reload"}));
}

std::function<QString(const QString&)> installed(QStringList programs) {
    return [programs](const QString& name) { return programs.contains(name) ? "/usr/bin/" + name : QString(); };
}

TEST(MouseSettings, TheRunningDesktopsProgramComesFirst) {
    const auto both = installed({"gnome-control-center", "xfce4-mouse-settings"});
    EXPECT_EQ(FindMouseSettingsCommand("ubuntu:GNOME", both),
              (MouseSettingsCommand{"/usr/bin/gnome-control-center", {"mouse"}}));
    EXPECT_EQ(FindMouseSettingsCommand("XFCE", both), (MouseSettingsCommand{"/usr/bin/xfce4-mouse-settings", {}}));
    EXPECT_EQ(FindMouseSettingsCommand("KDE", installed({"kcmshell6"})),
              (MouseSettingsCommand{"/usr/bin/kcmshell6", {"kcm_mouse"}}));
}

TEST(MouseSettings, AnyInstalledProgramServesAnUnknownDesktopAndNoneHidesTheButton) {
    EXPECT_EQ(FindMouseSettingsCommand("", installed({"mate-mouse-properties"})),
              (MouseSettingsCommand{"/usr/bin/mate-mouse-properties", {}}));
    EXPECT_EQ(FindMouseSettingsCommand("Hyprland", installed({"lxqt-config-input"})),
              (MouseSettingsCommand{"/usr/bin/lxqt-config-input", {}}));
    EXPECT_FALSE(FindMouseSettingsCommand("GNOME", installed({})).has_value());
}

}  // namespace
}  // namespace vantorel::page
