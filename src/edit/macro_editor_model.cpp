// SPDX-License-Identifier: GPL-2.0-or-later
#include "edit/macro_editor_model.h"

#include <algorithm>

#include "core/text.h"
#include "macro/macro_model.h"

namespace vantorel {
namespace {

// The event before, for the whole run: a key still held when a recording
// starts does not record its repeats either.
InputEvent g_last;

std::uint8_t code_of(const InputEvent& e) {
    switch (e.button) {
        case MouseButton::Left: return kMouseLeft;
        case MouseButton::Right: return kMouseRight;
        case MouseButton::Middle: return kMouseMiddle;
        case MouseButton::Back: return kMouseBackward;
        case MouseButton::Forward: return kMouseForward;
        case MouseButton::None: break;
    }
    return e.key_code;
}

}  // namespace

MacroEditorModel::MacroEditorModel(MacroLibrary& library, std::function<bool()> save)
    : library_(library), save_(std::move(save)) {}

void MacroEditorModel::reset_last_event() { g_last = InputEvent{}; }

void MacroEditorModel::load(int index) {
    if (library_.empty() || index < 0 || static_cast<std::size_t>(index) >= library_.size()) return;
    current_ = index;
    const MacroRecord& m = library_[static_cast<std::size_t>(index)];
    for (std::size_t i = 0; i < kMaxMacroActions; ++i) actions_[i] = m.action(i);
    count_ = static_cast<int>(m.valid_action_count());
    selected_ = count_ - 1;
    insert_mode_ = false;
    insert_pos_ = -1;
}

int MacroEditorModel::add_macro(std::u16string_view name_prefix) {
    std::u16string base(name_prefix);
    const std::string n = std::to_string(library_.size() + 1);
    base.append(n.begin(), n.end());
    auto record = std::make_unique<MacroRecord>();
    record->set_name(unique_name(library_, base));
    library_.append(std::move(record));
    if (save_) save_();
    const int index = static_cast<int>(library_.size()) - 1;
    load(index);
    return index;
}

void MacroEditorModel::delete_current() {
    if (!has_current()) return;
    const auto gone = static_cast<std::size_t>(current_);
    library_.remove(gone);
    if (save_) save_();
    if (library_.empty()) {
        // Nothing left to show: the list goes too.
        current_ = -1;
        actions_.fill(MacroAction{});
        count_ = 0;
        selected_ = -1;
        return;
    }
    load(static_cast<int>(std::min(gone, library_.size() - 1)));
}

RenameResult MacroEditorModel::rename(std::u16string_view name) {
    if (!has_current()) return RenameResult::Unchanged;
    MacroRecord& m = library_[static_cast<std::size_t>(current_)];
    const std::u16string wanted = cut_text(name, macro_layout::kMaxNameLength);
    if (wanted.find_first_not_of(u" \t") == std::u16string::npos) return RenameResult::Empty;
    if (equals_ignore_case(m.name(), wanted)) return RenameResult::Unchanged;
    for (std::size_t i = 0; i < library_.size(); ++i)
        if (static_cast<int>(i) != current_ && equals_ignore_case(library_[i].name(), wanted)) return RenameResult::Taken;
    m.set_name(wanted);
    commit();
    return RenameResult::Renamed;
}

bool MacroEditorModel::insert(const MacroAction& action) {
    if (count_ >= static_cast<int>(kMaxMacroActions)) return false;
    const int at = insert_pos_ < 0 ? count_ : std::min(insert_pos_, count_);
    for (int i = count_; i > at; --i) actions_[static_cast<std::size_t>(i)] = actions_[static_cast<std::size_t>(i - 1)];
    actions_[static_cast<std::size_t>(at)] = action;
    ++count_;
    selected_ = std::min(selected_ + 1, count_ - 1);
    if (insert_pos_ >= 0) ++insert_pos_;
    return true;
}

void MacroEditorModel::move_up() {
    const int r = selected_;
    if (r < 1 || r >= count_) return;
    std::swap(actions_[static_cast<std::size_t>(r)], actions_[static_cast<std::size_t>(r - 1)]);
    selected_ = r - 1;
    commit();
}

void MacroEditorModel::move_down() {
    const int r = selected_;
    if (r < 0 || r >= count_ - 1) return;
    std::swap(actions_[static_cast<std::size_t>(r)], actions_[static_cast<std::size_t>(r + 1)]);
    selected_ = r + 1;
    commit();
}

void MacroEditorModel::delete_selected() {
    if (selected_ < 0 || selected_ >= count_) return;
    for (int i = selected_; i < count_ - 1; ++i) actions_[static_cast<std::size_t>(i)] = actions_[static_cast<std::size_t>(i + 1)];
    actions_[static_cast<std::size_t>(count_ - 1)] = MacroAction{};
    --count_;
    selected_ = count_ == 0 ? -1 : std::min(selected_, count_ - 1);
    commit();
}

void MacroEditorModel::clear() {
    if (!has_current()) return;
    actions_.fill(MacroAction{});
    count_ = 0;
    insert_mode_ = false;
    insert_pos_ = -1;
    selected_ = -1;
    commit();
}

std::uint16_t MacroEditorModel::set_selected_delay(std::int64_t typed) {
    const std::uint16_t value = clamp_typed_delay(typed);
    if (selected_ >= 0 && selected_ < count_ - 1) {
        actions_[static_cast<std::size_t>(selected_)].delay = value;
        commit();
    }
    return value;
}

void MacroEditorModel::set_selected_key(std::uint8_t key_code) {
    if (selected_ < 0 || selected_ >= count_) return;
    actions_[static_cast<std::size_t>(selected_)].key_code = key_code;
    commit();
}

void MacroEditorModel::insert_click(std::uint8_t mouse_code, DelayMode mode, std::uint16_t default_delay) {
    if (!has_current() || count_ + 2 > static_cast<int>(kMaxMacroActions)) return;
    insert_mode_ = true;
    insert_pos_ = selected_ + 1;
    const std::uint16_t d = mode == DelayMode::DefaultDelay ? default_delay : kPlaceholderDelay;
    insert({mouse_code, kActionPress, d});
    insert({mouse_code, kActionRelease, d});
    commit();
    insert_mode_ = false;
    insert_pos_ = -1;
}

bool MacroEditorModel::commit() {
    if (macro_unit_count(actions_, count_) >= kEditUnitLimit) {
        if (has_current()) load(current_);
        return false;
    }
    if (!has_current()) return true;
    MacroRecord& m = library_[static_cast<std::size_t>(current_)];
    for (std::size_t i = 0; i < kMaxMacroActions; ++i) m.set_action(i, actions_[i]);
    m.set_action_count(count_);
    if (save_) save_();
    return true;
}

void MacroEditorModel::start_recording(DelayMode mode, std::uint16_t default_delay) {
    if (!has_current()) return;
    if (selected_ < 0) {
        actions_.fill(MacroAction{});
        count_ = 0;
        insert_pos_ = insert_start_ = -1;
        insert_mode_ = false;
    } else {
        insert_pos_ = insert_start_ = selected_ + 1;
        insert_mode_ = true;
    }
    recording_ = true;
    delay_mode_ = mode;
    default_delay_ = default_delay;
    have_last_time_ = false;
}

void MacroEditorModel::stop_recording() {
    if (!recording_) return;
    recording_ = false;
    have_last_time_ = false;
    insert_mode_ = false;
    insert_pos_ = -1;
    commit();
}

void MacroEditorModel::abandon_recording() {
    if (!recording_) return;
    recording_ = false;
    have_last_time_ = false;
    if (has_current()) load(current_);
}

bool MacroEditorModel::record_event(const InputEvent& event, std::uint64_t timestamp_ms) {
    if (!recording_ || event.kind == InputKind::Wheel) return false;  // a macro has no wheel action
    if (event == g_last) return false;  // a held key repeating
    g_last = event;
    if (macro_unit_count(actions_, count_) >= kRecordUnitBudget) {
        stop_recording();
        return true;
    }

    // The pause before this event belongs to the action recorded last.
    if (have_last_time_) {
        std::uint16_t d = kPlaceholderDelay;
        switch (delay_mode_) {
            case DelayMode::RecordDelays:
                d = cap_recorded_delay(timestamp_ms > last_time_ ? timestamp_ms - last_time_ : 0);
                break;
            case DelayMode::DefaultDelay: d = default_delay_; break;
            case DelayMode::NoDelay: d = 1; break;
        }
        if (insert_pos_ < 0) {
            if (count_ > 0) actions_[static_cast<std::size_t>(count_ - 1)].delay = d;
        } else if (insert_pos_ > insert_start_) {
            actions_[static_cast<std::size_t>(insert_pos_ - 1)].delay = d;
        }
    }
    insert({code_of(event), event.released() ? kActionRelease : kActionPress, kPlaceholderDelay});
    have_last_time_ = true;
    last_time_ = timestamp_ms;
    if (count_ >= static_cast<int>(kMaxMacroActions)) stop_recording();
    return true;
}

}  // namespace vantorel
