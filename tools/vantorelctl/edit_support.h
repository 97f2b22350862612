// SPDX-License-Identifier: GPL-2.0-or-later
// What the commands that change the library share: the mouse options, how
// a profile is named, and the end of every change (save, the desktop
// program's reload, the apply).
#pragma once

#include <cstddef>
#include <functional>
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

// One change of the library by a command, start to end: opens it, runs
// `change` with the store's mutex held and, when it returns kExitOk, ends
// with finish_edit(). `change` gets the selected profile as it was (a blank
// one in a library without profiles) and sets what the mouse is to get;
// any other status it returns is the command's, with nothing written.
using LibraryChange = std::function<int(LibraryEdit& edit, const ProfileRecord& before, ApplyNeed& need)>;
int change_library(const GlobalOptions& global, const MouseOptions& mouse, bool macros_changed,
                   const LibraryChange& change);

// The same for a change of one profile, the one --profile names (see
// target_profile()): the mouse gets the differences when it is the
// selected one.
using ProfileChange = std::function<int(ProfileStore& store, ProfileRecord& profile)>;
int change_profile(const GlobalOptions& global, const MouseOptions& mouse, const std::string& which, bool by_name,
                   const ProfileChange& change);

}  // namespace vantorel::cli
