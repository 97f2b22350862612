// SPDX-License-Identifier: GPL-2.0-or-later
// The macro editor: the window driven through its controls, and the
// buttons that follow the library when it closes.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <mutex>

#include "library/transfer.h"
#include "edit/macro_editor_model.h"
#include "macro/macro_editor_wnd.h"
#include "edit/button_assign.h"
#include "ui/controls.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;

MacroAction press(std::uint8_t key, std::uint16_t delay = 10) { return {key, kActionPress, delay}; }

// ---------------------------------------------------------------------------
// The window on the page

void click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    const bool indicator = qobject_cast<QCheckBox*>(w) != nullptr;
    QTest::mouseClick(w, Qt::LeftButton, {}, indicator ? QPoint(8, w->height() / 2) : w->rect().center());
    pump();
}

TEST(MacroEditorWindow, RecordingWithoutAMacroMakesOneAndTakesTheKeysTypedInTheEditor) {
    MacroEditorModel::reset_last_event();
    PageHarness h;
    h.answer_dialog = [](ui::SkinWindow& d) {
        auto& editor = static_cast<CMS_1_Macro&>(d);
        EXPECT_FALSE(editor.session_wide());
        click(d.FindControl("ms_1_macro_record_btn"));  // no macro yet: one is made
        EXPECT_TRUE(editor.model().recording());
        EXPECT_TRUE(d.FindControl("ms_1_macro_recording_label")->isVisible());
        QWidget* list = d.FindControl("ms_1_macro_action_list");
        QTest::keyPress(list, Qt::Key_A, {}, 0);
        QTest::keyRelease(list, Qt::Key_A, {}, 0);
        QTest::keyClick(list, Qt::Key_Escape);  // recorded, not a close
        click(d.FindControl("ms_1_macro_record_btn"));
        EXPECT_FALSE(editor.model().recording());
        EXPECT_EQ(qobject_cast<QListWidget*>(list)->count(), 4);
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    ASSERT_EQ(h.page->store().macros().size(), 1u);
    const MacroRecord& m = h.page->store().macros()[0];
    EXPECT_EQ(m.name(), u"Macro 1");
    EXPECT_EQ(m.action_count(), 4);
    EXPECT_EQ(m.action(0), (MacroAction{0x04, kActionPress, m.action(0).delay}));
    EXPECT_EQ(m.action(2).key_code, 0x29);  // Escape
    // Saved at once.
    MacroLibrary on_disk;
    on_disk.load(h.data_folder() / "ms_1" / "macro.data");
    EXPECT_EQ(on_disk.size(), 1u);
}

// A library of one macro, "Burst", that button 4 plays in two profiles.
void give_burst(PageHarness& h) {
    MacroRecord m;
    m.set_name(u"Burst");
    m.set_action_count(2);
    m.set_action(0, press(0x04));
    m.set_action(1, {0x04, kActionRelease, 10});
    std::lock_guard<std::mutex> lock(h.page->store().mutex());
    auto& store = h.page->store();
    store.macros().append(m);
    store.profiles().append(store.profiles()[0]);
    for (std::size_t p = 0; p < 2; ++p)
        ASSERT_TRUE(page::AssignMacro(store.profiles()[p].slot(3), store.macros(), 0, 0, 1));
}

// The editor deletes a macro that button 4 plays in two profiles: the
// question names both buttons, both go back to button 4's own function at
// once (the page shows it while the editor is still open), and the current
// profile is applied.
TEST(MacroEditorWindow, DeletingAMacroNamesItsButtonsAndChangesThemAtOnce) {
    PageHarness h;
    give_burst(h);
    h.mouse->clear_log();
    h.answers = {1};  // yes, delete it
    QString label_while_open;
    h.answer_dialog = [&](ui::SkinWindow& d) {
        auto* list = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_list"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        pump();
        click(d.FindControl("ms_1_macro_delete_btn"));
        label_while_open = h.ctl<QAbstractButton>("ms_1_btn_key_4")->text();
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    h.settle();
    ASSERT_FALSE(h.messages.empty());
    EXPECT_TRUE(h.messages.back().contains(QStringLiteral("button 4 of")));
    EXPECT_EQ(h.messages.back().count(QStringLiteral("button 4 of")), 2) << h.messages.back().toStdString();
    EXPECT_EQ(label_while_open, "Forward");
    for (std::size_t p = 0; p < 2; ++p) {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        EXPECT_EQ(std::as_const(h.page->store().profiles()[p]).slot(3).function_code(), 4) << p;
    }
    EXPECT_EQ(h.ctl<QAbstractButton>("ms_1_btn_key_4")->text(), "Forward");
    EXPECT_EQ(h.mouse->config().buttons->at(3), function_device_triple(4));
    EXPECT_EQ(h.profile_on_disk().slot(3).function_code(), 4);
}



ConstSlotRef button_4(PageHarness& h, std::size_t profile) {
    return std::as_const(h.page->store().profiles()[profile]).slot(3);
}

void select_macro(ui::SkinWindow& d, int row) {
    auto* list = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_list"));
    ASSERT_NE(list, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    pump();
}

// Types a name into the name field and leaves it with Tab.
void type_name(ui::SkinWindow& d, const QString& name) {
    auto* edit = qobject_cast<QLineEdit*>(d.FindControl("ms_1_macro_name_edit"));
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Tab);
    pump();
}

TEST(MacroEditorWindow, RenamingAMacroKeepsItOnItsButtons) {
    PageHarness h;
    give_burst(h);
    h.answer_dialog = [](ui::SkinWindow& d) {
        select_macro(d, 0);
        type_name(d, QStringLiteral("Burst2"));
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    h.settle();
    for (std::size_t p = 0; p < 2; ++p) {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        EXPECT_EQ(button_4(h, p).function_code(), kFunctionMacro) << p;
        EXPECT_EQ(button_4(h, p).macro_name(), u"Burst2") << p;
    }
    EXPECT_TRUE(h.ctl<QAbstractButton>("ms_1_btn_key_4")->text().endsWith("Burst2"));
    EXPECT_EQ(h.profile_on_disk().slot(3).macro_name(), u"Burst2");
}

TEST(MacroEditorWindow, AnEmptyOrTakenMacroNameIsRefusedWithAMessage) {
    const std::pair<QString, QString> cases[] = {
        {QString(), QStringLiteral("warn_name_1_text")},
        {QStringLiteral("   "), QStringLiteral("warn_name_1_text")},
        {QStringLiteral("OTHER"), QStringLiteral("warn_macro_name_text")},
    };
    for (const auto& [typed, message] : cases) {
        PageHarness h;
        give_burst(h);
        {
            std::lock_guard<std::mutex> lock(h.page->store().mutex());
            MacroRecord other;
            other.set_name(u"Other");
            h.page->store().macros().append(other);
        }
        QString shown;
        h.answer_dialog = [&, typed = typed](ui::SkinWindow& d) {
            select_macro(d, 0);
            type_name(d, typed);
            shown = ui::GetText(d.FindControl("ms_1_macro_name_edit"));
            click(d.FindControl("btn_exit"));
        };
        h.click("ms_1_btn_macro");
        EXPECT_EQ(h.page->store().macros()[0].name(), u"Burst") << typed.toStdString();
        EXPECT_EQ(shown, "Burst") << typed.toStdString();
        ASSERT_FALSE(h.messages.empty()) << typed.toStdString();
        EXPECT_EQ(h.messages.back(), message) << typed.toStdString();
    }
}

// Enter in the name or delay field takes what was typed, Escape puts back
// what is stored; neither closes the editor.
TEST(MacroEditorWindow, EnterInAFieldTakesItAndEscapeRevertsIt) {
    const struct {
        const char* field;
        Qt::Key key;
        const char16_t* name;
        std::uint16_t delay;  // of the first action
    } cases[] = {
        {"ms_1_macro_name_edit", Qt::Key_Return, u"Burst9", 10},
        {"ms_1_macro_name_edit", Qt::Key_Escape, u"Burst", 10},
        {"ms_1_macro_delay_edit", Qt::Key_Enter, u"Burst", 109},
        {"ms_1_macro_delay_edit", Qt::Key_Escape, u"Burst", 10},
    };
    for (const auto& c : cases) {
        PageHarness h;
        give_burst(h);
        QString shown;
        bool open_after = false;
        h.answer_dialog = [&](ui::SkinWindow& d) {
            select_macro(d, 0);
            auto* rows = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_action_list"));
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(0)).center());
            click(d.FindControl("ms_1_macro_action_edit_check"));
            auto* edit = qobject_cast<QLineEdit*>(d.FindControl(QString::fromLatin1(c.field)));
            QTest::mouseClick(edit, Qt::LeftButton, {}, edit->rect().center());
            const QString before = edit->text();
            QTest::keyClick(edit, Qt::Key_End);
            QTest::keyClicks(edit, QStringLiteral("9"));
            QTest::keyClick(edit, c.key);
            pump();
            open_after = d.isVisible();
            shown = edit->text();
            EXPECT_EQ(shown == before, c.key == Qt::Key_Escape) << c.field;
            // Taken (or not) while the field still has the focus.
            EXPECT_EQ(h.page->store().macros()[0].name(), c.name) << c.field << " " << c.key;
            EXPECT_EQ(h.page->store().macros()[0].action(0).delay, c.delay) << c.field << " " << c.key;
            click(d.FindControl("btn_exit"));
        };
        h.click("ms_1_btn_macro");
        EXPECT_TRUE(open_after) << c.field << " " << c.key;
    }
}

// Macros "M1", "M2", ... of `actions` press-and-release pairs each, delays 100, 101, ...
void give_macros(PageHarness& h, int macros, int pairs) {
    std::lock_guard<std::mutex> lock(h.page->store().mutex());
    for (int n = 1; n <= macros; ++n) {
        MacroRecord m;
        m.set_name(QStringLiteral("M%1").arg(n).toStdU16String());
        for (int i = 0; i < 2 * pairs; ++i)
            m.set_action(static_cast<std::size_t>(i), {static_cast<std::uint8_t>(4 + i / 2),
                                                       i % 2 ? kActionRelease : kActionPress,
                                                       static_cast<std::uint16_t>(100 + i)});
        m.set_action_count(2 * pairs);
        h.page->store().macros().append(m);
    }
}

void click_row(QListWidget* rows, int row) {
    rows->scrollToItem(rows->item(row));
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(row)).center());
    pump();
}

// Once the list scrolls, the scroll bar takes its width from the rows: every
// delay must still be shown whole, inside the list, down to the last row.
TEST(MacroEditorWindow, DelaysStayReadableWhenTheActionListScrolls) {
    PageHarness h;
    give_macros(h, 1, 8);
    h.answer_dialog = [&](ui::SkinWindow& d) {
        select_macro(d, 0);
        auto* rows = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_action_list"));
        ASSERT_EQ(rows->count(), 16);
        ASSERT_TRUE(rows->verticalScrollBar()->isVisible());
        for (int i = 0; i < rows->count(); ++i) {
            rows->scrollToItem(rows->item(i));
            pump();
            auto* delay = rows->itemWidget(rows->item(i))->findChild<QLabel*>(QStringLiteral("delay"));
            ASSERT_NE(delay, nullptr);
            const QRect shown(delay->mapTo(rows->viewport(), QPoint(0, 0)), delay->size());
            EXPECT_TRUE(rows->viewport()->rect().contains(shown)) << i;
            EXPECT_GE(delay->width(), delay->fontMetrics().horizontalAdvance(delay->text())) << i;
            if (i < rows->count() - 1) {
                EXPECT_TRUE(delay->text().startsWith(QString::number(100 + i))) << i;
            }
        }
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
}

// Clear takes every action at once: it asks first, and "no" keeps them.
TEST(MacroEditorWindow, ClearAsksBeforeDroppingTheActions) {
    for (const auto& [answer, left] : {std::pair{0, 4}, {1, 0}}) {
        PageHarness h;
        give_macros(h, 1, 2);
        h.answers = {answer};
        h.answer_dialog = [&](ui::SkinWindow& d) {
            select_macro(d, 0);
            click(d.FindControl("ms_1_macro_clear_action_btn"));
            click(d.FindControl("btn_exit"));
        };
        h.click("ms_1_btn_macro");
        ASSERT_FALSE(h.messages.empty()) << answer;
        EXPECT_EQ(h.messages.back(), "macro_clear_ask_text");
        EXPECT_EQ(h.page->store().macros()[0].action_count(), left) << answer;
    }
}

// Deleting or moving one half of a press and release pair leaves the key
// held when the macro ends: the editor says so first, and "no" keeps the list.
TEST(MacroEditorWindow, SplittingAPressFromItsReleaseWarnsThatTheKeyStaysHeld) {
    const struct {
        const char* what;
        int row;
        const char* button;
        int answer;
        bool warned;
        std::vector<std::uint8_t> kinds;  // press 1, release 2, after the click
    } cases[] = {
        {"delete the release", 1, "ms_1_macro_delete_action_btn", 0, true, {1, 2, 1, 2}},
        {"delete the release, yes", 1, "ms_1_macro_delete_action_btn", 1, true, {1, 1, 2}},
        {"release above its press", 1, "ms_1_macro_up_btn", 0, true, {1, 2, 1, 2}},
        {"press below its release", 0, "ms_1_macro_down_btn", 1, true, {2, 1, 1, 2}},
        {"delete the press: nothing held", 0, "ms_1_macro_delete_action_btn", 0, false, {2, 1, 2}},
        {"pairs swapped whole", 2, "ms_1_macro_up_btn", 0, false, {1, 1, 2, 2}},
    };
    for (const auto& c : cases) {
        PageHarness h;
        give_macros(h, 1, 2);
        h.answers = {c.answer};
        h.answer_dialog = [&](ui::SkinWindow& d) {
            select_macro(d, 0);
            click_row(qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_action_list")), c.row);
            click(d.FindControl(c.button));
            click(d.FindControl("btn_exit"));
        };
        h.click("ms_1_btn_macro");
        EXPECT_EQ(!h.messages.empty() && h.messages.back().contains(QStringLiteral("held")), c.warned) << c.what;
        const MacroRecord& m = h.page->store().macros()[0];
        std::vector<std::uint8_t> kinds;
        for (int i = 0; i < m.action_count(); ++i) kinds.push_back(m.action(static_cast<std::size_t>(i)).action_kind);
        EXPECT_EQ(kinds, c.kinds) << c.what;
    }
}

// The click buttons come in beside the name, which stays to be edited.
TEST(MacroEditorWindow, InsertingMouseClicksKeepsTheNameField) {
    PageHarness h;
    give_macros(h, 1, 1);
    h.answer_dialog = [&](ui::SkinWindow& d) {
        select_macro(d, 0);
        click(d.FindControl("ms_1_macro_insert_mouse_btn"));
        EXPECT_TRUE(d.FindControl("ms_1_macro_key1_btn")->isVisible());
        EXPECT_TRUE(d.FindControl("ms_1_macro_name_edit")->isVisible());
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
}

// Opened again, the editor shows the macro it showed when it closed:
// selected, scrolled into view and loaded.
TEST(MacroEditorWindow, OpeningTheEditorAgainShowsTheMacroLeft) {
    PageHarness h;
    give_macros(h, 30, 1);
    h.answer_dialog = [&](ui::SkinWindow& d) {
        auto* list = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_list"));
        click_row(list, 24);
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    h.answer_dialog = [&](ui::SkinWindow& d) {
        pump();
        auto* list = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_list"));
        EXPECT_EQ(list->currentRow(), 24);
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(24))));
        EXPECT_EQ(ui::GetText(d.FindControl("ms_1_macro_name_edit")), "M25");
        EXPECT_EQ(qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_action_list"))->count(), 2);
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
}

// Every change is saved while the editor is open, so however it closes the
// buttons take the macro as it now is.
TEST(MacroEditorWindow, ClosingTheEditorAnyWayFollowsTheLibrary) {
    const std::pair<const char*, std::function<void(ui::SkinWindow&)>> ways[] = {
        {"exit button", [](ui::SkinWindow& d) { click(d.FindControl("btn_exit")); }},
        {"title bar close", [](ui::SkinWindow& d) { d.close(); }},
        {"Escape", [](ui::SkinWindow& d) {
             QTimer::singleShot(0, &d, [&d] { QTest::keyClick(&d, Qt::Key_Escape); });
             d.ShowModal();
         }},
    };
    for (const auto& [way, close] : ways) {
        PageHarness h;
        give_burst(h);
        h.answers = {1};  // yes, clear it
        h.answer_dialog = [&, close = close](ui::SkinWindow& d) {
            select_macro(d, 0);
            click(d.FindControl("ms_1_macro_clear_action_btn"));
            close(d);
        };
        h.click("ms_1_btn_macro");
        h.settle();
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        EXPECT_EQ(h.page->store().macros()[0].action_count(), 0) << way;
        EXPECT_EQ(button_4(h, 0).macro_action_count(), 0) << way;
        EXPECT_EQ(button_4(h, 1).macro_action_count(), 0) << way;
    }
}

// While vantorelctl holds the library the editor's saves wait with the
// page's, and reach the file when the hold ends.
TEST(MacroEditorWindow, TheEditorSavesThroughTheHoldOfTheLibrary) {
    PageHarness h;
    std::size_t held_on_disk = 99, released_on_disk = 99;
    h.answer_dialog = [&](ui::SkinWindow& d) {
        h.page->HoldLibrary();  // vantorelctl starts a change
        click(d.FindControl("ms_1_macro_add_btn"));
        MacroLibrary on_disk;
        on_disk.load(h.data_folder() / "ms_1" / "macro.data");
        held_on_disk = on_disk.size();
        h.page->ReleaseLibrary();  // it ends without changing the files
        on_disk.load(h.data_folder() / "ms_1" / "macro.data");
        released_on_disk = on_disk.size();
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    ASSERT_EQ(h.page->store().macros().size(), 1u);
    EXPECT_EQ(held_on_disk, 0u);
    EXPECT_EQ(released_on_disk, 1u);
}

// ---------------------------------------------------------------------------
// The editor with a hook library that watches the whole session (X11)

struct SessionHook {
    static inline std::mutex mutex;
    static inline VantorelWindow window{};
    static inline bool installed = false;
    static inline bool mouse = false;

    static int install(const VantorelWindow* w) {
        std::lock_guard<std::mutex> lock(mutex);
        window = *w;
        installed = true;
        return 0;
    }
    static int remove() {
        std::lock_guard<std::mutex> lock(mutex);
        installed = false;
        return 0;
    }
    static int enable_mouse(int on) {
        std::lock_guard<std::mutex> lock(mutex);
        mouse = on != 0;
        return 0;
    }
    static int nothing() { return 0; }
    static int nothing_with(int) { return 0; }
    static HookTable table() {
        HookTable t;
        t.installmousehook = &nothing;
        t.removemousehook = &nothing;
        t.enablemousehook = &enable_mouse;
        t.installhook = &install;
        t.removehook = &remove;
        t.enablehook = &nothing_with;
        t.mousewheelenable = &nothing_with;
        return t;
    }
    // A key or click as the library reports it.
    static void fire(std::uint32_t w, std::intptr_t l) {
        VantorelWindow target;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!installed) return;
            target = window;
        }
        target.post(target.target, VANTOREL_WM_HOOK_EVENT, w, l);
        pump();
    }
};

class MacroEditorOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        MacroEditorModel::reset_last_event();
        SessionHook::installed = SessionHook::mouse = false;
        MacroRecord m;
        m.set_name(u"One");
        library.append(m);
        CMS_1_Macro::Services services;
        services.save = [] { return true; };
        services.ask = [this](QWidget*, const QString& key, bool) {
            asked.push_back(key);
            return 1;
        };
        services.choose_file = [this](const ui::FileChoice&) {
            if (on_file_dialog) on_file_dialog();
            return chosen_file;
        };
        editor = std::make_unique<CMS_1_Macro>(library, layout, SessionHook::table(), std::move(services));
        editor->Create(nullptr, ui::kStyleDialog | ui::kStyleTool);
        editor->ShowWindow(true, true);
        pump();
        select_macro(*editor, 0);
    }
    void start_recording() {
        click(editor->FindControl("ms_1_macro_record_btn"));
        ASSERT_TRUE(editor->model().recording());
    }
    MacroLibrary library;
    UsKeyboardLayout layout;
    std::function<void()> on_file_dialog;
    QString chosen_file;         // what the file dialog returns
    std::vector<QString> asked;  // message boxes shown, by key
    std::unique_ptr<CMS_1_Macro> editor;
};

// Escape is a game key: recorded, not a close. Closing the editor during a
// recording keeps what was recorded, and the mouse reports end with it.
TEST_F(MacroEditorOnX11, EscapeWhileRecordingIsRecordedAndClosingKeepsTheRecording) {
    start_recording();
    QWidget* record = editor->FindControl("ms_1_macro_record_btn");
    QTest::mouseMove(record, record->rect().center());
    QTest::mouseMove(editor.get(), QPoint(4, editor->height() - 4));  // off the record button: clicks count
    pump();
    EXPECT_TRUE(SessionHook::mouse);
    bool open_after_escape = false;
    QTimer::singleShot(0, editor.get(), [&] {
        SessionHook::fire(0x41, 0);
        SessionHook::fire(0x41, 1);
        QTest::keyClick(editor.get(), Qt::Key_Escape);
        SessionHook::fire(0x1B, 0);  // the library reports the Escape
        SessionHook::fire(0x1B, 1);
        open_after_escape = editor->isVisible();
        editor->close();  // the title bar's close
    });
    editor->ShowModal();
    EXPECT_TRUE(open_after_escape);
    EXPECT_FALSE(editor->model().recording());
    ASSERT_EQ(library[0].action_count(), 4);
    EXPECT_EQ(library[0].action(2).key_code, 0x29);  // Escape
    EXPECT_FALSE(SessionHook::installed);
    EXPECT_FALSE(SessionHook::mouse);
}

// The keys typed into the file dialog are not recorded, and the recording
// made before it is kept.
TEST_F(MacroEditorOnX11, ImportAndExportStopTheRecordingFirst) {
    for (const char* button : {"ms_1_macro_import_btn", "ms_1_macro_export_btn"}) {
        MacroEditorModel::reset_last_event();
        click(editor->FindControl("ms_1_macro_clear_action_btn"));
        start_recording();
        SessionHook::fire(0x42, 0);
        SessionHook::fire(0x42, 1);
        bool recording_in_dialog = true, hooked_in_dialog = true;
        on_file_dialog = [&] {
            recording_in_dialog = editor->model().recording();
            hooked_in_dialog = SessionHook::installed;
        };
        click(editor->FindControl(button));
        EXPECT_FALSE(recording_in_dialog) << button;
        EXPECT_FALSE(hooked_in_dialog) << button;
        EXPECT_EQ(library[0].action_count(), 2) << button;
    }
}

// A macro import whose save failed showed in the list as imported.
TEST_F(MacroEditorOnX11, AnImportThatCannotBeSavedIsRefusedAndSaysSo) {
    QTemporaryDir dir;
    const std::filesystem::path folder(dir.path().toStdString());
    MacroRecord m;
    m.set_name(u"Burst");
    m.set_action_count(1);
    m.set_action(0, press(0x04));
    ASSERT_TRUE(export_macro(m, folder / "b.macro"));
    library.set_file(folder / "ms_1" / "macro.data");
    chosen_file = QString::fromStdString((folder / "b.macro").string());
    {
        ScopedFileFault fault([](FileStep step, const std::filesystem::path&) { return step == FileStep::Write ? ENOSPC : 0; });
        click(editor->FindControl("ms_1_macro_import_btn"));
    }
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), "import_not_saved_text");
    EXPECT_EQ(library.size(), 1u);
    EXPECT_EQ(editor->FindControl<QListWidget>("ms_1_macro_list")->count(), 1);
}

}  // namespace
}  // namespace vantorel
