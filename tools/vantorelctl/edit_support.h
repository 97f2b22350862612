// SPDX-License-Identifier: GPL-2.0-or-later
// What the commands that change the library share: the mouse options, how
// a profile is named, and the end of every change (save, the desktop
// program's reload, the apply).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "commands.h"
#include "library_edit.h"

namespace vantorel::cli {

// --simulate[=LINK], --trace, --wait.
struct MouseOptions {
    std::string simulate;
    bool trace = false;
    double wait = 8.0;
    const CLI::Option* wait_option = nullptr;  // given: wait also for a mouse being plugged in
};
void add_mouse_options(CLI::App* cmd, MouseOptions& opts);

// A profile named by its index (0-based, as `profile list` shows it) or its
// name (any letter case; a number is an index unless `by_name`, the
// commands' --name); nullopt, with the message printed, when there is none.
// Call with the store's mutex held.
std::optional<std::size_t> find_profile(ProfileStore& store, const std::string& which, bool by_name = false);
// The same for --profile: the selected profile when `which` is empty.
std::optional<std::size_t> target_profile(ProfileStore& store, const std::string& which, bool by_name = false);

// A macro named the same way.
std::optional<std::size_t> find_macro(const MacroLibrary& macros, const std::string& which, bool by_name = false);

// Saves the change, lets a running desktop program reload it and brings
// the mouse in step: nothing for ApplyNeed::None, the differences from
// `before` (the selected profile as it was) or the whole selected profile.
// When the desktop program runs it sends them over its own links, unless
// --simulate asks for the virtual mouse. Returns the exit status.
int finish_edit(LibraryEdit& edit, const ProfileRecord& before, ApplyNeed need, bool macros_changed,
                const MouseOptions& mouse);

}  // namespace vantorel::cli
