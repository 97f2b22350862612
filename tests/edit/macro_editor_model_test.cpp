// SPDX-License-Identifier: GPL-2.0-or-later
// The macro editor's editing rules and recording, without its window.
#include "edit/macro_editor_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantorel {
namespace {

MacroAction press(std::uint8_t key, std::uint16_t delay = 10) { return {key, kActionPress, delay}; }
constexpr InputEvent key(std::uint8_t code) { return InputEvent::key(code, false); }
constexpr InputEvent up(std::uint8_t code) { return InputEvent::key(code, true); }

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
    int saves = 0;
    MacroEditorModel model{library, [this] { return ++saves > 0; }};
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
    for (const auto& [typed, result] : {std::pair{u"ONE", RenameResult::Unchanged},  // case only: ignored
                                        {u"two", RenameResult::Taken},               // another macro's name
                                        {u"", RenameResult::Empty},
                                        {u"  ", RenameResult::Empty}}) {
        EXPECT_EQ(model.rename(typed), result);
        EXPECT_EQ(library[0].name(), u"One");
    }
    EXPECT_EQ(model.rename(u"Reload with a very long name indeed"), RenameResult::Renamed);
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
        std::vector<InputEvent> events;
        std::vector<std::uint64_t> at;
        std::vector<std::uint8_t> keys;
        std::vector<std::uint16_t> delays;
    };
    const Case cases[] = {
        {"a held key records one press", DelayMode::RecordDelays,
         {key(4), key(4), key(4), up(4), key(4), up(4)}, {0, 30, 60, 90, 200, 230},
         {4, 4, 4, 4}, {90, 110, 30, 10}},
        {"a 70 s pause is capped", DelayMode::RecordDelays, {key(5), up(5)}, {1000, 71000}, {5, 5}, {25000, 10}},
        {"no delay", DelayMode::NoDelay, {key(6), up(6), key(7)}, {0, 500, 900}, {6, 6, 7}, {1, 1, 10}},
        {"fixed delay", DelayMode::DefaultDelay, {key(8), up(8)}, {0, 5}, {8, 8}, {44, 10}},
        {"side buttons", DelayMode::NoDelay,
         {InputEvent::mouse(MouseButton::Forward, false), InputEvent::mouse(MouseButton::Forward, true),
          InputEvent::mouse(MouseButton::Back, false), InputEvent::mouse(MouseButton::Back, true)},
         {0, 1, 2, 3}, {0xF5, 0xF5, 0xF4, 0xF4}, {1, 1, 1, 10}},
        {"the wheel records nothing", DelayMode::NoDelay, {key(9), InputEvent::wheel(120), up(9)}, {0, 1, 2},
         {9, 9}, {1, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MacroEditorModel::reset_last_event();
        model.load(1);
        model.select(-1);
        const int stored = library[1].action_count();
        model.start_recording(c.mode, 44);
        for (std::size_t i = 0; i < c.events.size(); ++i) model.record_event(c.events[i], c.at[i]);
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
    model.record_event(key(0x1D), 1000);
    model.record_event(up(0x1D), 1250);
    model.stop_recording();
    EXPECT_EQ(keys(), (std::vector<std::uint8_t>{4, 5, 6, 0x1D, 0x1D, 7, 8}));
    // The old action 3 keeps its delay; the first new one carries the pause
    // to the second; the last new one the placeholder.
    EXPECT_EQ(delays(), (std::vector<std::uint16_t>{100, 101, 102, 250, 10, 103, 104}));

    // 80 actions of 200 ms cost 160 units: the next event ends the recording.
    fill(0);
    model.select(-1);
    model.start_recording(DelayMode::RecordDelays, 10);
    for (int i = 0; i < 200 && model.recording(); ++i) model.record_event(InputEvent::key(static_cast<std::uint8_t>(4 + i % 2), i % 4 >= 2), 200u * i);
    EXPECT_FALSE(model.recording());
    EXPECT_EQ(model.count(), 81);  // 80 cost 160; the 81st was taken before the budget was full
    EXPECT_EQ(library[0].action_count(), 81);

    const int before = library[1].action_count();
    model.load(1);
    model.select(-1);
    model.start_recording(DelayMode::NoDelay, 10);
    model.record_event(key(4), 0);
    model.abandon_recording();  // the editor closed while recording
    EXPECT_EQ(library[1].action_count(), before);
    EXPECT_EQ(model.count(), before);
}

}  // namespace
}  // namespace vantorel
