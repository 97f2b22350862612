// SPDX-License-Identifier: GPL-2.0-or-later
// Names of profiles and macros are unique in their list without regard to
// letter case. A clash is resolved by numbering: "<base>_1", "<base>_2", ...
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vantorel {

using NameTaken = std::function<bool(std::u16string_view)>;

// The base itself when it is free, otherwise the first free "<base>_<n>" for
// n = 1, 2, ... Every candidate fits max_length units: a long base is cut
// (never inside a surrogate pair) so the number still fits, and a base longer
// than max_length is cut before it is tested.
std::u16string unique_name(std::u16string_view base, std::size_t max_length, const NameTaken& taken);

}  // namespace vantorel
