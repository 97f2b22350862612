// SPDX-License-Identifier: GPL-2.0-or-later
// The button menu, the key-combination, macro and profile-name dialogs and
// the profile list, driven as a user drives them: clicks and keys at the
// controls, dialogs answered through their own controls.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QDropEvent>
#include <QUrl>
#include <QScreen>
#include <QTest>

#include "edit/function_codes.h"
#include "ui/window_messages.h"
#include "library/transfer.h"
#include "macro/select_macro_wnd.h"
#include "macro/shortcut_wnd.h"
#include "macro/keyboard_layout.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::pump_until;

// Check boxes and radio buttons answer on their indicator and text only,
// so they are clicked on the indicator.
void click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    const bool indicator = qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(8, w->height() / 2) : w->rect().center());
    pump();
}

void type(QWidget* w, const QString& text) {
    ASSERT_NE(w, nullptr);
    w->setFocus();
    pump();
    QTest::keyClicks(w, text);
    pump();
}

// The popup menu that is open now.
QMenu* open_popup() {
    pump_until([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; });
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QMenu* open_button_menu(PageHarness& h, int button) {
    click(h.ctl(QStringLiteral("ms_1_btn_key_%1").arg(button)));
    return open_popup();
}

// Clicks an item of a menu, opening its group first where it sits in one.
void choose(QMenu* menu, const QString& item) {
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) {
            QAction* inner = nullptr;
            for (QAction* s : sub->actions())
                if (s->objectName() == item) inner = s;
            if (!inner) continue;
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
            ASSERT_TRUE(pump_until([&] { return sub->isVisible(); }));
            QTest::mouseClick(sub, Qt::LeftButton, {}, sub->actionGeometry(inner).center());
            pump();
            return;
        }
        if (a->objectName() == item) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
            pump();
            return;
        }
    }
    FAIL() << "no menu item " << item.toStdString();
}

QString checked_item(QMenu* menu) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QString in = checked_item(a->menu()); !in.isEmpty()) return in;
        } else if (a->isChecked()) {
            return a->objectName();
        }
    }
    return {};
}

std::uint8_t function_of(PageHarness& h, int button) { return h.profile().slot(button - 1).function_code(); }

QString label_of(PageHarness& h, int button) {
    return h.ctl<QAbstractButton>(QStringLiteral("ms_1_btn_key_%1").arg(button))->text();
}

// ---------------------------------------------------------------------------
// Button menu

TEST(ButtonAssignMenu, AChoiceIsStoredAppliedAndShownAndTheMenuMarksIt) {
    PageHarness h;
    QMenu* menu = open_button_menu(h, 4);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(checked_item(menu), "ms_1_forward");
    // It opens beside the button.
    QWidget* b = h.ctl("ms_1_btn_key_4");
    EXPECT_EQ(menu->geometry().left(), b->mapToGlobal(QPoint(b->width(), 0)).x());
    choose(menu, "ms_1_volume_up");
    h.settle();
    EXPECT_EQ(function_of(h, 4), 69);
    EXPECT_EQ(label_of(h, 4), "Volume up");
    EXPECT_EQ(h.mouse->config().buttons->at(3), function_device_triple(69));
    EXPECT_EQ(h.profile_on_disk().slot(3).function_code(), 69);

    // Buttons 13..18 show their function but open nothing.
    click(h.ctl("ms_1_btn_key_17"));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST(ButtonAssignMenu, TheKeyboardOpensTheMenuAndChoosesFromIt) {
    PageHarness h;
    QWidget* b = h.ctl("ms_1_btn_key_5");
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Return);
    QMenu* menu = open_popup();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    pump();
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(function_of(h, 5), 5);

    QTest::keyClick(b, Qt::Key_Space);
    menu = open_popup();
    ASSERT_NE(menu, nullptr);
    // The active item starts at the button's function (back); one up is forward.
    QTest::keyClick(menu, Qt::Key_Up);
    QTest::keyClick(menu, Qt::Key_Return);
    pump();
    h.settle();
    EXPECT_EQ(function_of(h, 5), 4);
}

TEST(ButtonAssignMenu, TheLastLeftClickAmongButtonsOneToSixteenIsKept) {
    PageHarness h;
    choose(open_button_menu(h, 1), "ms_1_button_off");
    EXPECT_EQ(h.messages, std::vector<QString>{"one_click_text"});
    EXPECT_EQ(function_of(h, 1), kFunctionClick);
    EXPECT_EQ(label_of(h, 1), "Left click");
}

TEST(ButtonAssignMenu, NearTheBottomOfTheScreenTheMenuOpensAbove) {
    PageHarness h;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    QWidget* b = h.ctl("ms_1_btn_key_12");
    const QPoint b_in_window = b->mapTo(h.wnd.get(), QPoint(0, 0));
    h.wnd->move(h.wnd->x(), area.bottom() - b_in_window.y() - b->height() - 4);
    pump();
    QMenu* menu = open_button_menu(h, 12);
    ASSERT_NE(menu, nullptr);
    const QRect bg(b->mapToGlobal(QPoint(0, 0)), b->size());
    EXPECT_LE(menu->geometry().bottom(), area.bottom());
    EXPECT_LT(menu->geometry().top(), bg.top());
    menu->close();
}

// A key combination chosen in its dialog reaches the mouse as 0x11,
// modifiers, key.
TEST(ButtonAssignMenu, AKeyCombinationGoesThroughItsDialogToTheMouse) {
    PageHarness h;
    h.answer_dialog = [](ui::SkinWindow& d) {
        click(d.FindControl("check_flag_1"));  // Ctrl
        click(d.FindControl("check_flag_3"));  // Alt
        QWidget* edit = d.FindControl("edit_key");
        edit->setFocus();
        pump();
        QTest::keyClick(edit, Qt::Key_A);
        pump();
        click(d.FindControl("btn_ok"));
    };
    choose(open_button_menu(h, 4), "ms_1_shortcut");
    h.settle();
    EXPECT_EQ(function_of(h, 4), kFunctionShortcut);
    EXPECT_EQ(label_of(h, 4), "Ctrl+Alt+A");
    EXPECT_EQ(h.mouse->config().buttons->at(3), (DeviceTriple{0x11, 0x05, 0x04}));

    // An empty combination is refused with a reason and keeps the function.
    h.answer_dialog = [](ui::SkinWindow& d) {
        static_cast<CShortcutWnd&>(d).OnHookEvent(0xFF, true);  // a key outside the table
        click(d.FindControl("btn_ok"));
    };
    choose(open_button_menu(h, 6), "ms_1_shortcut");
    EXPECT_EQ(function_of(h, 6), 0);
    EXPECT_EQ(h.messages, std::vector<QString>{"shortcut_no_key_text"});
}

TEST(ButtonAssignMenu, AMacroFromTheLibraryIsCopiedIntoTheButton) {
    PageHarness h;
    MacroRecord m;
    m.set_name(u"Burst");
    m.set_action_count(2);
    m.set_action(0, {0x04, 1, 20});
    m.set_action(1, {0x04, 2, 20});
    {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        h.page->store().macros().append(m);
    }
    h.answer_dialog = [](ui::SkinWindow& d) {
        auto* list = static_cast<QListWidget*>(d.FindControl("list_macro"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        click(d.FindControl("repeat_2"));
        click(d.FindControl("btn_ok"));
    };
    choose(open_button_menu(h, 3), "ms_1_select_macro");
    h.settle();
    const ProfileRecord record = h.profile();
    ConstSlotRef s = record.slot(2);
    EXPECT_EQ(s.function_code(), kFunctionMacro);
    EXPECT_EQ(s.macro_name(), u"Burst");
    EXPECT_EQ(s.macro_play_mode(), 1);
    EXPECT_EQ(s.macro_action_count(), 2);
    EXPECT_EQ(label_of(h, 3), "Macro: Burst");
    EXPECT_FALSE(h.mouse->config().macro_blocks.empty());
}

// With no macros the user is told so and offered the editor; a macro made
// there is offered at once.
TEST(ButtonAssignMenu, AssigningAMacroWithNoneOffersTheEditor) {
    for (const int answer : {0, 1}) {
        PageHarness h;
        std::vector<QString> dialogs;
        h.answers = {answer};
        h.answer_dialog = [&](ui::SkinWindow& editor) {
            dialogs.push_back(editor.GetWindowClassName());
            click(editor.FindControl("ms_1_macro_add_btn"));
            h.answer_dialog = [&](ui::SkinWindow& select) {
                dialogs.push_back(select.GetWindowClassName());
                auto* list = static_cast<QListWidget*>(select.FindControl("list_macro"));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
                click(select.FindControl("btn_ok"));
            };
            click(editor.FindControl("btn_exit"));
        };
        choose(open_button_menu(h, 3), "ms_1_select_macro");
        h.settle();
        EXPECT_EQ(h.messages, std::vector<QString>{"no_macros_text"}) << answer;
        EXPECT_EQ(dialogs, answer ? (std::vector<QString>{"MS_1_Macro", "MS_1_SelectMacro"}) : std::vector<QString>{});
        EXPECT_EQ(h.profile().slot(2).function_code() == kFunctionMacro, answer == 1);
    }
}

// ---------------------------------------------------------------------------
// Dialogs on their own

TEST(SelectMacro, DefaultsRepeatCountCorrectionAndTheModeRow) {
    MacroLibrary macros;
    CMS_1_SelectMacro d(macros);
    d.Create(nullptr, ui::kStyleTool);
    d.ShowWindow(true, true);
    pump();
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.FindControl("repeat_1"))->isChecked());
    EXPECT_EQ(qobject_cast<QListWidget*>(d.FindControl("list_macro"))->currentRow(), -1);
    auto* edit = qobject_cast<QLineEdit*>(d.FindControl("edit_loop_time"));
    EXPECT_EQ(edit->text(), "1");
    for (const auto& [typed, shown] : {std::pair{"3x00", "255"}, {"0", "1"}, {"", "1"}, {"42", "42"}}) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QString::fromLatin1(typed));
        d.FindControl("list_macro")->setFocus();  // leaving the field corrects it
        pump();
        EXPECT_EQ(edit->text(), QString::fromLatin1(shown)) << typed;
        EXPECT_EQ(d.RepeatCount(), QString::fromLatin1(shown).toInt());
    }
    for (int mode : {2, 3, 1}) {
        click(d.FindControl(QStringLiteral("repeat_%1").arg(mode)));
        EXPECT_EQ(d.FindControl("hor_loop_time")->isVisible(), mode == 1) << mode;
        EXPECT_EQ(d.PlayMode(), mode - 1);
    }
    EXPECT_EQ(d.RepeatCount(), 42);  // kept while hidden
}

// A layout whose key at the Q position types "a" (AZERTY).
class AzertyLayout : public KeyboardLayout {
public:
    std::uint32_t scan_code_of(std::uint32_t vk) const override {
        if (vk == 0x41) return 0x10;
        if (vk == 0x51) return 0x1E;
        return us_.scan_code_of(vk);
    }
    std::uint32_t virtual_key_at(std::uint32_t scan) const override {
        if (scan == 0x10) return 0x41;
        if (scan == 0x1E) return 0x51;
        return us_.virtual_key_at(scan);
    }
    std::u16string characters(std::uint32_t vk) const override { return us_.characters(vk); }

private:
    UsKeyboardLayout us_;
};

TEST(ShortcutWnd, TheKeyReleasedLastIsCapturedByPositionOnTheUsersLayout) {
    UsKeyboardLayout us;
    AzertyLayout fr;
    struct Case {
        const KeyboardLayout* layout;
        std::uint8_t key;
    };
    for (const Case& c : {Case{&us, 0x04}, Case{&fr, 0x14}}) {
        CShortcutWnd d(*c.layout, HookTable{});
        d.SetModifiers(0x02);
        d.Create(nullptr, ui::kStyleTool);
        d.ShowWindow(true, true);
        pump();
        EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.FindControl("check_flag_2"))->isChecked());
        QWidget* edit = d.FindControl("edit_key");
        edit->setFocus();
        pump();
        QTest::keyClick(edit, Qt::Key_A);
        EXPECT_EQ(d.Key(), c.key);
        EXPECT_EQ(qobject_cast<QLineEdit*>(edit)->text(), "A");
    }
}

// Modifiers held while the key goes down tick their boxes in place of the
// ticked ones; one pressed alone is the key; OK without a key stays open
// and says why.
TEST(ShortcutWnd, HeldModifiersTickTheirBoxesAndOkWithoutAKeySaysWhy) {
    UsKeyboardLayout us;
    using Keys = std::vector<std::pair<Qt::Key, bool>>;  // key, pressed (else released)
    const struct {
        const char* name;
        Keys keys;
        std::uint8_t key;
        std::uint8_t modifiers;  // Alt is ticked at the start
    } cases[] = {
        {"Ctrl+Shift held, S", {{Qt::Key_Control, true}, {Qt::Key_Shift, true}, {Qt::Key_S, true}, {Qt::Key_S, false},
                                {Qt::Key_Shift, false}, {Qt::Key_Control, false}}, 0x16, 0x03},
        {"Ctrl let go before C", {{Qt::Key_Control, true}, {Qt::Key_C, true}, {Qt::Key_Control, false},
                                  {Qt::Key_C, false}}, 0x06, 0x01},
        {"C alone keeps the boxes", {{Qt::Key_C, true}, {Qt::Key_C, false}}, 0x06, 0x04},
        {"Shift alone", {{Qt::Key_Shift, true}, {Qt::Key_Shift, false}}, 0xE1, 0x04},
        {"Ctrl and Shift, no key", {{Qt::Key_Control, true}, {Qt::Key_Shift, true}, {Qt::Key_Shift, false},
                                    {Qt::Key_Control, false}}, 0, 0x04},
    };
    for (const auto& c : cases) {
        std::vector<QString> warnings;
        CShortcutWnd d(us, HookTable{}, [&](QWidget*, const QString& key) { warnings.push_back(key); });
        d.SetModifiers(0x04);
        d.Create(nullptr, ui::kStyleTool);
        d.ShowWindow(true, true);
        pump();
        QWidget* edit = d.FindControl("edit_key");
        edit->setFocus();
        pump();
        for (const auto& [key, down] : c.keys) down ? QTest::keyPress(edit, key) : QTest::keyRelease(edit, key);
        EXPECT_EQ(d.Key(), c.key) << c.name;
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(qobject_cast<QAbstractButton*>(d.FindControl(QStringLiteral("check_flag_%1").arg(n)))->isChecked(),
                      ((c.modifiers >> (n - 1)) & 1) != 0)
                << c.name << " box " << n;
        click(d.FindControl("btn_ok"));
        EXPECT_EQ(d.isVisible(), c.key == 0) << c.name;
        EXPECT_EQ(warnings, c.key ? std::vector<QString>{} : std::vector<QString>{"shortcut_no_key_text"}) << c.name;
        EXPECT_EQ(d.Modifiers(), c.modifiers) << c.name;
        d.Close(0);
        pump();
    }
}

// The hook library names keys its own way; it sends each key's place ahead
// with the time stamp, and the key captured is the one at that place.
TEST(ShortcutWnd, AHookedKeyIsCapturedByWhereItSitsNotByTheHooksName) {
    AzertyLayout fr;
    CShortcutWnd d(fr, HookTable{});
    d.Create(nullptr, ui::kStyleTool);
    d.ShowWindow(true, true);
    pump();
    d.FindControl("edit_key")->setFocus();
    pump();
    const struct {
        std::intptr_t position;
        std::uintptr_t hook_key;
        std::uint8_t key;
    } cases[] = {{0x10, 0x51, 0x14}, {0x56, 0xE2, 0x64}, {0, 0x51, 0x04}};  // no place sent: by name
    for (const auto& c : cases) {
        d.SendMessage(kMsgHookTime, 1000, c.position);
        d.SendMessage(kMsgHookEvent, c.hook_key, 1);
        EXPECT_EQ(d.Key(), c.key) << c.position;
    }
}

// ---------------------------------------------------------------------------
// Profile list

class ProfileList : public ::testing::Test {
protected:
    QListWidget* list() { return h->ctl<QListWidget>("ms_1_list_profile"); }
    QStringList names() {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i) out << list()->item(i)->text();
        return out;
    }
    // Answers the profile-name dialog with a name, in place of what it shows.
    void name_it(const QString& name) {
        h->answer_dialog = [name](ui::SkinWindow& d) {
            QWidget* edit = d.FindControl("edit_name");
            type(edit, QString());
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
            type(edit, name);
            QTest::keyClick(d.FindControl("edit_name"), Qt::Key_Return);
            pump();
        };
    }
    void add(const QString& name) {
        name_it(name);
        h->click("ms_1_profile_add_btn");
        h->settle();
    }
    // The data folder outlives the harness, for restarts.
    QTemporaryDir dir;
    std::filesystem::path folder = std::filesystem::path(dir.path().toStdString()) / "Data";
    test::HarnessOptions with_folder(bool cable) {
        test::HarnessOptions o;
        o.cable = cable;
        o.data_folder = folder;
        return o;
    }
    std::unique_ptr<PageHarness> h = std::make_unique<PageHarness>(with_folder(true));
};

TEST_F(ProfileList, AddedRenamedAndDeletedProfilesAreSavedAtOnce) {
    add("Gaming");
    add("Office");
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Gaming", "Office"}));
    EXPECT_EQ(list()->currentRow(), 2);
    EXPECT_EQ(h->profile().profile_name(), u"Office");

    // Another profile's name in any case, and no name, are refused and the
    // dialog stays open.
    for (const QString& clash : {QStringLiteral("gAMING"), QString()}) {
        name_it(clash);
        h->click("ms_1_profile_rename_btn");
    }
    EXPECT_EQ(h->messages, (std::vector<QString>{"warn_name_2_text", "warn_name_1_text"}));
    name_it("Work");
    // Double-clicking the current profile renames it.
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(2)).center());
    pump();
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Gaming", "Work"}));

    // A restart without a mouse finds all of it.
    h.reset();
    h = std::make_unique<PageHarness>(with_folder(false));
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Gaming", "Work"}));
    EXPECT_EQ(h->profile().profile_name(), u"Work");
}

// Renaming starts from the current name (typing replaces it, OK on it as
// it is changes nothing, its own name in other letters is fine), and the
// delete question says which profile goes.
TEST_F(ProfileList, RenameStartsFromTheNameAndDeleteNamesTheProfile) {
    add("Office");
    QString shown, selected;
    int result = -1;
    h->answer_dialog = [&](ui::SkinWindow& d) {
        auto* edit = d.FindControl<QLineEdit>("edit_name");
        shown = edit->text();
        selected = edit->selectedText();
        QTest::keyClick(edit, Qt::Key_Return);
        pump();
        result = d.ModalResult();
    };
    h->click("ms_1_profile_rename_btn");
    EXPECT_EQ(shown, "Office");
    EXPECT_EQ(selected, "Office");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(h->messages.empty());

    h->answer_dialog = [](ui::SkinWindow& d) {
        type(d.FindControl("edit_name"), "OFFICE");
        QTest::keyClick(d.FindControl("edit_name"), Qt::Key_Return);
        pump();
    };
    h->click("ms_1_profile_rename_btn");
    EXPECT_EQ(names(), (QStringList{"Profile 1", "OFFICE"}));
    EXPECT_TRUE(h->messages.empty());

    h->answers = {0};
    h->click("ms_1_profile_delete_btn");
    ASSERT_EQ(h->messages.size(), 1u);
    EXPECT_TRUE(h->messages[0].contains(QStringLiteral("“OFFICE”"))) << h->messages[0].toStdString();
}

TEST_F(ProfileList, DeletingKeepsOneAndMakesItsNeighbourCurrentWithAFullApply) {
    add("Second");
    add("Third");
    h->answers = {0};
    h->click("ms_1_profile_delete_btn");  // declined
    EXPECT_EQ(names().size(), 3);

    const int full_applies = h->mouse->config().start_reports;
    h->answers = {1};
    h->click("ms_1_profile_delete_btn");  // the last profile: the new last one is current
    h->settle();
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Second"}));
    EXPECT_EQ(h->profile().profile_name(), u"Second");
    EXPECT_EQ(h->mouse->config().start_reports, full_applies + 1);
    std::string why;
    EXPECT_TRUE(h->mouse->holds_exactly(h->profile(), &why)) << why;

    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(0)).center());
    pump();
    h->answers = {1};
    h->click("ms_1_profile_delete_btn");  // the first: the next (now first) is current
    EXPECT_EQ(names(), QStringList{"Second"});
    EXPECT_EQ(list()->currentRow(), 0);

    h->messages.clear();
    h->click("ms_1_profile_delete_btn");
    EXPECT_EQ(h->messages, std::vector<QString>{"one_profile_text"});
    EXPECT_EQ(names(), QStringList{"Second"});
}

TEST_F(ProfileList, ResetKeepsNameAndPlaceAndDuplicateNumbersTheName) {
    add("Mine");
    h->edit([](ProfileRecord& r) {
        r.set_brightness(2);
        r.set_move_mode(1);
    });
    h->answers = {1};
    h->click("ms_1_btn_reset");
    h->settle();
    EXPECT_EQ(h->messages.back(), "restore_text");
    ProfileRecord fresh;
    fresh.reset_to_defaults();
    EXPECT_EQ(h->profile().brightness(), fresh.brightness());
    EXPECT_EQ(h->profile_on_disk().move_mode(), 0);  // as a new profile has it
    EXPECT_FALSE(ui::GetCheck(h->ctl("ms_1_check_movemode")));
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Mine"}));
    EXPECT_EQ(list()->currentRow(), 1);

    h->page->OnMenuCommand("ms_1_profile_duplicate");  // the list's context menu item
    h->settle();
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Mine", "Mine_1"}));
    EXPECT_EQ(h->profile_on_disk().profile_name(), u"Mine_1");
}

// The desktop's tray menu is not blocked by the window's dialogs: a profile
// chosen there while a dialog asks about the current one is refused, and
// the dialog acts on the profile it asked about.
TEST_F(ProfileList, ATrayChoiceDuringADialogNeitherSwitchesNorRedirectsIt) {
    auto pick_b_in_the_tray = [this] {
        QMenu* menu = h->wnd->TrayMenu()->GetMenuUI();
        menu->popup(QPoint(10, 10));
        pump();
        QAction* b = menu->findChild<QAction*>(QStringLiteral("profile_1"));
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(b).center());
        pump();
    };
    const struct {
        const char* name;
        std::function<void()> act;  // on profile A, with the tray used while its dialog is up
        QStringList names;
        std::uint8_t b_button_4;  // button 4 of profile B afterwards
    } cases[] = {
        {"delete", [&] {
             h->answers = {1};
             h->during_question = pick_b_in_the_tray;
             h->click("ms_1_profile_delete_btn");
         }, {"B"}, 4},
        {"rename", [&] {
             h->answer_dialog = [&](ui::SkinWindow& d) {
                 pick_b_in_the_tray();
                 type(d.FindControl("edit_name"), "Renamed");
                 QTest::keyClick(d.FindControl("edit_name"), Qt::Key_Return);
                 pump();
             };
             h->click("ms_1_profile_rename_btn");
         }, {"Renamed", "B"}, 4},
        {"key combination", [&] {
             h->answer_dialog = [&](ui::SkinWindow& d) {
                 pick_b_in_the_tray();
                 QWidget* edit = d.FindControl("edit_key");
                 edit->setFocus();
                 pump();
                 QTest::keyClick(edit, Qt::Key_A);
                 pump();
                 click(d.FindControl("btn_ok"));
             };
             choose(open_button_menu(*h, 4), "ms_1_shortcut");
         }, {"Profile 1", "B"}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        h.reset();
        std::filesystem::remove_all(folder);
        test::HarnessOptions options = with_folder(true);
        options.tray = true;
        h = std::make_unique<PageHarness>(options);
        ASSERT_NE(h->wnd->TrayMenu(), nullptr);
        add("B");
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(0)).center());
        pump();
        ASSERT_EQ(h->profile().profile_name(), u"Profile 1");

        c.act();
        h->settle();
        EXPECT_EQ(names(), c.names);
        // B is untouched, on the page and in the file.
        h.reset();
        h = std::make_unique<PageHarness>(with_folder(false));
        h->wnd->EnsurePage();
        ASSERT_EQ(names(), c.names);
        h->page->SelectProfile(static_cast<int>(c.names.indexOf("B")));
        EXPECT_EQ(h->profile().profile_name(), u"B");
        EXPECT_EQ(function_of(*h, 4), c.b_button_4);
    }
}

TEST_F(ProfileList, ImportTakesProfilesAndRefusesOtherFiles) {
    ProfileRecord shared;
    shared.reset_to_defaults();
    shared.set_profile_name(u"Shared");
    const std::string file = (folder.parent_path() / "shared.pro").string();
    ASSERT_TRUE(export_profile(shared, file));
    h->chosen_file = QString::fromStdString(file);
    h->click("ms_1_profile_import_btn");
    h->settle();
    EXPECT_EQ(h->file_choices.back().suffix, "pro");
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Shared"}));
    EXPECT_EQ(h->profile_on_disk().profile_name(), u"Shared");

    // A .pro file dropped on the page is imported too.
    QWidget* page = h->ctl("ms_1_page");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    const QPoint at = page->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(page, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(page, &drop);
    h->settle();
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Shared", "Shared_1"}));

    // A file that is not one profile long changes nothing.
    h->chosen_file = QString::fromStdString((h->data_folder() / "ms_1" / "pro.data").string());
    h->click("ms_1_profile_import_btn");
    EXPECT_EQ(h->messages.back(), "import_failed_text");
    EXPECT_EQ(names(), (QStringList{"Profile 1", "Shared", "Shared_1"}));

    // Export writes the current profile to the chosen file.
    const std::string out = (folder.parent_path() / "out.pro").string();
    h->chosen_file = QString::fromStdString(out);
    h->click("ms_1_profile_export_btn");
    ProfileRecord back;
    ASSERT_TRUE(read_profile_file(out, back));
    EXPECT_EQ(back, h->profile());
}

// Every refused import said "This file is not a QV Vantorel profile", also
// for a file that could not be read and for a sound profile whose macros
// could not be saved.
TEST_F(ProfileList, ARefusedImportSaysWhatHappened) {
    ProfileRecord good;
    good.reset_to_defaults();
    good.set_profile_name(u"Shared");
    SlotRef slot = good.slot(3);
    slot.set_function_code(kFunctionMacro);
    slot.set_macro_name(u"Burst");
    slot.set_macro_action_count(2);
    ProfileRecord too_long = good;
    too_long.slot(3).set_macro_action_count(160);
    for (std::size_t i = 0; i < 160; ++i) too_long.slot(3).set_macro_action(i, {0x04, kActionPress, 200});
    const std::filesystem::path outside = folder.parent_path();
    ASSERT_TRUE(export_profile(good, outside / "good.pro"));
    ASSERT_TRUE(export_profile(too_long, outside / "long.pro"));
    std::filesystem::create_directory(outside / "folder.pro");

    const struct {
        const char* file;
        bool disk_full;
        const char* message;
    } cases[] = {
        {"folder.pro", false, "import_unreadable_text"},
        {"long.pro", false, "import_profile_macro_misfit_text"},
        {"good.pro", true, "import_not_saved_text"},
    };
    for (const auto& c : cases) {
        h->chosen_file = QString::fromStdString((outside / c.file).string());
        {
            ScopedFileFault fault([&](FileStep step, const std::filesystem::path&) {
                return c.disk_full && step == FileStep::Write ? ENOSPC : 0;
            });
            h->click("ms_1_profile_import_btn");
        }
        h->settle();
        ASSERT_FALSE(h->messages.empty()) << c.file;
        EXPECT_EQ(h->messages.back(), c.message) << c.file;
        EXPECT_EQ(names(), QStringList{"Profile 1"}) << c.file;
    }
}

}  // namespace
}  // namespace vantorel
