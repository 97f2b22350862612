// SPDX-License-Identifier: GPL-2.0-or-later
// How every command names a profile or a macro: a whole number is an index
// (0-based, as `profile list` and `macro list` show it), anything else a
// name in any letter case. With `by_name` (the commands' --name) a number is
// a name too, so that a profile named "0" can still be reached.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace vantorel::cli {

// The index of the item `which` names among `count` items whose names
// `name_of` gives; nullopt with the reason in *error (what: "profile" or
// "macro") when there is none.
std::optional<std::size_t> choose_item(std::size_t count, const std::function<std::u16string(std::size_t)>& name_of,
                                       const std::string& which, bool by_name, const char* what, std::string* error);

// Edit distance (insertions, deletions, substitutions) of two words, for
// "did you mean" suggestions.
std::size_t edit_distance(const std::string& a, const std::string& b);

}  // namespace vantorel::cli
