// SPDX-License-Identifier: GPL-2.0-or-later
// What the macro editor does to the macro library, without its window: the
// working list of the macro being edited with its operations (move, delete,
// clear, delays, mouse clicks, key changes), the commit that writes it back
// and saves the library, and recording from hook events.
//
// Every change is committed at once: a list that would cost the mouse 162
// units or more is dropped by reloading the macro; otherwise the actions go
// into the library record and the library file is saved.
//
// Recording. An input event becomes an action (mouse buttons 0xF1..0xF5,
// keys by their key code; the wheel records nothing). Each recorded action carries the pause that
// followed it: the interval to the next event (mode RecordDelays, capped at
// 25000 ms), the default delay (DefaultDelay) or 1 (NoDelay); the last one
// keeps the placeholder 10. An event equal to the one before is dropped, so
// a held key records one press. Recording stops by itself when the list
// costs 160 units or holds 160 actions, and what it recorded is committed
// when it stops; closing the editor while it records commits nothing.
// Intervals come from the events' own time stamps. The pause before the
// first recorded event is not part of the macro: in insert mode the action
// before the insertion point keeps its delay. Events that arrive after the
// stop are not recorded.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/macro_action.h"
#include "library/macro_library.h"
#include "macro/input_event.h"
#include "macro/macro_model.h"

namespace vantorel {

enum class DelayMode : std::int32_t { RecordDelays = 0, DefaultDelay = 1, NoDelay = 2 };
enum class RenameResult { Renamed, Unchanged, Empty, Taken };

class MacroEditorModel {
public:
    // The library is saved through `save` (false when that failed).
    MacroEditorModel(MacroLibrary& library, std::function<bool()> save);

    // --- macros ---
    int current() const { return current_; }  // -1: none
    bool has_current() const { return current_ >= 0 && static_cast<std::size_t>(current_) < library_.size(); }
    void load(int index);  // the working list becomes macro `index`'s
    // A new empty macro named "<prefix><count>" made unique; saved and loaded.
    int add_macro(std::u16string_view name_prefix);
    // Removes the current macro; the same row, or the one before when it was
    // the last, becomes current (none when the library is empty, and the
    // list is then cleared).
    void delete_current();
    // The name edit: a change of letter case only is ignored; an empty name
    // (or one of spaces) and a name another macro has are refused.
    RenameResult rename(std::u16string_view name);

    // --- the working list ---
    const std::array<MacroAction, kMaxMacroActions>& actions() const { return actions_; }
    int count() const { return count_; }
    int selected() const { return selected_; }
    void select(int row) { selected_ = (row >= 0 && row < count_) ? row : -1; }

    void move_up();
    void move_down();
    void delete_selected();
    void clear();
    // The selected action's delay; the last action's is never changed here.
    // Returns the delay as stored (the clamped value).
    std::uint16_t set_selected_delay(std::int64_t typed);
    void set_selected_key(std::uint8_t key_code);
    // A press and a release of a mouse button after the selected action (at
    // the top without a selection); nothing with 159 or more actions.
    void insert_click(std::uint8_t mouse_code, DelayMode mode, std::uint16_t default_delay);
    // Writes the working list into the macro and saves, or drops it by
    // reloading when it costs 162 units or more. False when dropped.
    bool commit();

    // --- recording ---
    bool recording() const { return recording_; }
    void start_recording(DelayMode mode, std::uint16_t default_delay);
    // Stops and commits.
    void stop_recording();
    // Ends a recording without committing (the editor closes).
    void abandon_recording();
    // One input event with its time stamp in milliseconds. Returns whether
    // it changed the list.
    bool record_event(const InputEvent& event, std::uint64_t timestamp_ms);
    // Forgets the event a held key repeats (tests; the editor keeps it for
    // the whole run, as a later recording may start with the key still held).
    static void reset_last_event();

private:
    bool insert(const MacroAction& action);  // the insert step
    int insert_pos_ = -1;

    MacroLibrary& library_;
    std::function<bool()> save_;
    int current_ = -1;
    std::array<MacroAction, kMaxMacroActions> actions_{};
    int count_ = 0;
    int selected_ = -1;

    bool recording_ = false;
    bool insert_mode_ = false;
    int insert_start_ = -1;
    DelayMode delay_mode_ = DelayMode::DefaultDelay;
    std::uint16_t default_delay_ = kPlaceholderDelay;
    bool have_last_time_ = false;
    std::uint64_t last_time_ = 0;
};

}  // namespace vantorel
