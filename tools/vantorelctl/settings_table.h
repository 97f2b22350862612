// SPDX-License-Identifier: GPL-2.0-or-later
// The settings `set` and `get` know: their names, how a typed value becomes
// the stored one (with the mouse page's limits and conversions) and how the
// stored value is shown. Apart from the commands so the tests can use them.
#pragma once

#include <string>
#include <vector>

#include "core/profile_record.h"

namespace vantorel::cli {

// Every setting name in the order `get` prints them (dpi.1 .. dpi.8 and the
// like spelled out).
std::vector<std::string> setting_names();
bool is_setting(const std::string& name);

// The value of a setting as `get` prints it (and `set` reads it back).
std::string setting_value(const ProfileRecord& record, const std::string& name);

// Whether a setting's value is a number (DPI, minutes, milliseconds, a
// stage); colours, on/off and the light effects are words.
bool is_numeric_setting(const std::string& name);

// Writes a typed value into the record. False, with a message naming the
// value and what is allowed, when the name or the value is not accepted;
// the record is then unchanged.
bool write_setting(ProfileRecord& record, const std::string& name, const std::string& value, std::string* error);

}  // namespace vantorel::cli
