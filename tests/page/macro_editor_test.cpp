// SPDX-License-Identifier: GPL-2.0-or-later
// The macro editor: its editing rules and recording on the model, the
// window driven through its controls, and the buttons that follow the
// library when it closes.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "macro/macro_editor_model.h"
#include "macro/macro_editor_wnd.h"
#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;

MacroAction press(std::uint8_t key, std::uint16_t delay = 10) { return {key, kActionPress, delay}; }

class MacroEditor : public ::testing::Test {
protected:
    MacroEditor() {
        MacroEditorModel::reset_last_event();
        for (const char16_t* name : {u"One", u"Two"}) {
            MacroRecord m;
            m.set_name(name);
            library.append(m);
        }
    }
    // Macro 0 gets `n` actions with delays 100, 101, ...
    void fill(int n) {
        MacroRecord& m = library[0];
        for (int i = 0; i < n; ++i)
            m.set_action(static_cast<std::size_t>(i), press(static_cast<std::uint8_t>(4 + i % 20), static_cast<std::uint16_t>(100 + i)));
        m.set_action_count(n);
        model.load(0);
    }
    std::vector<std::uint16_t> delays() const {
        std::vector<std::uint16_t> d;
        for (int i = 0; i < model.count(); ++i) d.push_back(model.actions()[static_cast<std::size_t>(i)].delay);
        return d;
    }
    std::vector<std::uint8_t> keys() const {
        std::vector<std::uint8_t> k;
        for (int i = 0; i < model.count(); ++i) k.push_back(model.actions()[static_cast<std::size_t>(i)].key_code);
        return k;
    }
    MacroLibrary library;
    UsKeyboardLayout layout;
    int saves = 0;
    MacroEditorModel model{library, layout, [this] { return ++saves > 0; }};
};

TEST_F(MacroEditor, EditsKeepTheirLimitsAndAreSavedAtOnce) {
    fill(3);
    model.select(0);
    model.move_up();  // the first up: nothing
    model.select(2);
    model.move_down();  // the last down: nothing
    EXPECT_EQ(keys(), (std::vector<std::uint8_t>{4, 5, 6}));
    EXPECT_EQ(saves, 0);

    model.select(1);
    for (const auto& [typed, stored] : {std::pair{30000, 25000}, {0, 1}, {-5, 1}, {250, 250}}) {
        EXPECT_EQ(model.set_selected_delay(typed), stored);
        EXPECT_EQ(library[0].action(1).delay, stored);
    }
    model.select(2);  // the last action keeps its delay
    model.set_selected_delay(777);
    EXPECT_EQ(library[0].action(2).delay, 102);

    // A click with no selection goes to the top.
    model.select(-1);
    model.insert_click(kMouseForward, DelayMode::DefaultDelay, 33);
    EXPECT_EQ(keys(), (std::vector<std::uint8_t>{0xF5, 0xF5, 4, 5, 6}));
    EXPECT_EQ(delays()[0], 33);
    EXPECT_EQ(library[0].action_count(), 5);

    model.clear();
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(library[0].action_count(), 0);
    fill(1);
    model.delete_selected();  // the only action
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.selected(), -1);
}

TEST_F(MacroEditor, AListTheMouseCannotHoldIsDroppedAndAFullListTakesNoClick) {
    fill(159);
    model.select(5);
    model.insert_click(kMouseLeft, DelayMode::DefaultDelay, 10);  // 159 + 2 > 160
    EXPECT_EQ(model.count(), 159);
    // 159 actions whose delays all exceed 128 ms cost 318 units: any edit of
    // such a list is dropped by reloading it.
    model.select(0);
    model.set_selected_delay(5);
    EXPECT_EQ(library[0].action(0).delay, 100);
    EXPECT_EQ(delays()[0], 100);
}

TEST_F(MacroEditor, NamesAndDeletingTheLastMacro) {
    model.load(0);
    EXPECT_TRUE(model.rename(u"ONE"));  // case only: ignored
    EXPECT_EQ(library[0].name(), u"One");
    EXPECT_FALSE(model.rename(u"two"));  // another macro's name
    EXPECT_EQ(library[0].name(), u"One");
    EXPECT_TRUE(model.rename(u"Reload with a very long name indeed"));
    EXPECT_EQ(library[0].name(), u"Reload with a very long");  // 23 units

    fill(4);
    model.delete_current();
    EXPECT_EQ(model.current(), 0);  // "Two" moved up
    model.delete_current();
    EXPECT_EQ(model.current(), -1);
    EXPECT_EQ(model.count(), 0);  // the list went with the last macro
    EXPECT_TRUE(library.empty());
}

TEST_F(MacroEditor, RecordingKeepsThePausesAndDropsRepeats) {
    struct Case {
        const char* what;
        DelayMode mode;
        std::vector<std::pair<std::uint32_t, std::intptr_t>> events;
        std::vector<std::uint64_t> at;
        std::vector<std::uint8_t> keys;
        std::vector<std::uint16_t> delays;
    };
    const Case cases[] = {
        {"a held key records one press", DelayMode::RecordDelays,
         {{0x41, 0}, {0x41, 0}, {0x41, 0}, {0x41, 1}, {0x41, 0}, {0x41, 1}}, {0, 30, 60, 90, 200, 230},
         {4, 4, 4, 4}, {90, 110, 30, 10}},
        {"a 70 s pause is capped", DelayMode::RecordDelays, {{0x42, 0}, {0x42, 1}}, {1000, 71000}, {5, 5}, {25000, 10}},
        {"no delay", DelayMode::NoDelay, {{0x43, 0}, {0x43, 1}, {0x44, 0}}, {0, 500, 900}, {6, 6, 7}, {1, 1, 10}},
        {"fixed delay", DelayMode::DefaultDelay, {{0x45, 0}, {0x45, 1}}, {0, 5}, {8, 8}, {44, 10}},
        {"side buttons", DelayMode::NoDelay, {{0x20B, 1}, {0x20C, 1}, {0x20B, 2}, {0x20C, 2}}, {0, 1, 2, 3},
         {0xF5, 0xF5, 0xF4, 0xF4}, {1, 1, 1, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MacroEditorModel::reset_last_event();
        model.load(1);
        model.select(-1);
        const int stored = library[1].action_count();
        model.start_recording(c.mode, 44);
        for (std::size_t i = 0; i < c.events.size(); ++i) model.record_event(c.events[i].first, c.events[i].second, c.at[i]);
        EXPECT_EQ(library[1].action_count(), stored);  // nothing reaches the library before the stop
        model.stop_recording();
        EXPECT_EQ(keys(), c.keys);
        EXPECT_EQ(delays(), c.delays);
        EXPECT_EQ(library[1].action_count(), static_cast<int>(c.keys.size()));
    }
}

TEST_F(MacroEditor, RecordingInsertsAfterTheSelectionStopsAtTheBudgetAndCanBeAbandoned) {
    fill(5);
    model.select(2);  // action 3
    model.start_recording(DelayMode::RecordDelays, 10);
    model.record_event(0x5A, 0, 1000);
    model.record_event(0x5A, 1, 1250);
    model.stop_recording();
    EXPECT_EQ(keys(), (std::vector<std::uint8_t>{4, 5, 6, 0x1D, 0x1D, 7, 8}));
    // The old action 3 keeps its delay; the first new one carries the pause
    // to the second; the last new one the placeholder.
    EXPECT_EQ(delays(), (std::vector<std::uint16_t>{100, 101, 102, 250, 10, 103, 104}));

    // 80 actions of 200 ms cost 160 units: the next event ends the recording.
    fill(0);
    model.select(-1);
    model.start_recording(DelayMode::RecordDelays, 10);
    for (int i = 0; i < 200 && model.recording(); ++i) model.record_event(0x41 + i % 2, i % 4 < 2 ? 0 : 1, 200u * i);
    EXPECT_FALSE(model.recording());
    EXPECT_EQ(model.count(), 81);  // 80 cost 160; the 81st was taken before the budget was full
    EXPECT_EQ(library[0].action_count(), 81);

    const int before = library[1].action_count();
    model.load(1);
    model.select(-1);
    model.start_recording(DelayMode::NoDelay, 10);
    model.record_event(0x41, 0, 0);
    model.abandon_recording();  // the editor closed while recording
    EXPECT_EQ(library[1].action_count(), before);
    EXPECT_EQ(model.count(), before);
}

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

// The editor deletes a macro that button 4 plays in two profiles: both go
// back to button 4's own function, and the current profile is applied.
TEST(MacroEditorWindow, ButtonsFollowTheLibraryWhenTheEditorCloses) {
    PageHarness h;
    MacroRecord m;
    m.set_name(u"Gone");
    m.set_action_count(2);
    m.set_action(0, press(0x04));
    m.set_action(1, {0x04, kActionRelease, 10});
    {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        auto& store = h.page->store();
        store.macros().append(m);
        store.profiles().append(store.profiles()[0]);
        for (std::size_t p = 0; p < 2; ++p) {
            SlotRef slot = store.profiles()[p].slot(3);
            slot.set_function_code(kFunctionMacro);
            slot.set_macro_name(u"Gone");
            slot.set_macro_action_count(2);
        }
    }
    h.mouse->clear_log();
    h.answers = {1};  // yes, delete it
    h.answer_dialog = [](ui::SkinWindow& d) {
        auto* list = qobject_cast<QListWidget*>(d.FindControl("ms_1_macro_list"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        pump();
        click(d.FindControl("ms_1_macro_delete_btn"));
        click(d.FindControl("btn_exit"));
    };
    h.click("ms_1_btn_macro");
    h.settle();
    EXPECT_EQ(h.messages.back(), "delete_macro_text");
    for (std::size_t p = 0; p < 2; ++p) {
        std::lock_guard<std::mutex> lock(h.page->store().mutex());
        EXPECT_EQ(std::as_const(h.page->store().profiles()[p]).slot(3).function_code(), 4) << p;
    }
    EXPECT_EQ(h.ctl<QAbstractButton>("ms_1_btn_key_4")->text(), "Forward");
    EXPECT_EQ(h.mouse->config().buttons->at(3), function_device_triple(4));
    EXPECT_EQ(h.profile_on_disk().slot(3).function_code(), 4);
}

}  // namespace
}  // namespace vantorel
