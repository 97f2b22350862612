// SPDX-License-Identifier: GPL-2.0-or-later
// The changes of the profile list the mouse page and vantorelctl share: a
// profile added, renamed, duplicated, deleted, reset or selected, with what
// the mouse needs afterwards. Names are checked by each side (a dialog, a
// command's argument) before they come here. Call each with the store's
// mutex held.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "library/profile_store.h"

namespace vantorel::edit {

// What the mouse is to get after a change of the list.
enum class MouseNeed {
    Nothing,     // nothing it holds changed (a name, another profile)
    Everything,  // the selected profile is another one, or all of it changed
};

struct ListChange {
    std::size_t index = 0;  // the profile the change is about now
    MouseNeed need = MouseNeed::Nothing;
    std::u16string old_name;  // renamed or deleted: the name it had
};

// A profile with the default settings named `name`, appended and selected.
ListChange add_profile(ProfileStore& store, std::u16string name);
// A copy of profile `index` appended and selected, named `name` or, when
// that is empty, the source's name made unique.
ListChange duplicate_profile(ProfileStore& store, std::size_t index, std::u16string name = {});
// The name is not sent to the mouse.
ListChange rename_profile(ProfileStore& store, std::size_t index, std::u16string name);
// Nothing when it is the last one (a library keeps one profile) or not
// there. The selection stays on its profile; when that was the one
// deleted, the profile in its place, or the one before when it was last.
std::optional<ListChange> delete_profile(ProfileStore& store, std::size_t index);
// The default settings, keeping the name.
ListChange reset_profile(ProfileStore& store, std::size_t index);
ListChange select_profile(ProfileStore& store, std::size_t index);

}  // namespace vantorel::edit
