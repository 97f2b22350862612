// SPDX-License-Identifier: GPL-2.0-or-later
// "CONFIG.ini": the one program setting that outlives a run, the chosen
// mouse model picture, as key "ModelId" in section "SETTING" of an INI file:
//
//   [SETTING]
//   ModelId=0
//
// Read and written the way the Windows private-profile functions do, so the
// file moves between the two systems: section and key names compare without
// regard to case, names and values are trimmed, a value may be quoted, the
// first matching section and key count, and lines end in CR LF. A UTF-8 or
// UTF-16LE byte-order mark is understood and kept.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/status.h"

namespace vantorel {

inline constexpr int kModelIdMissing = -1;
// The file holds one short line; one longer than this is damaged and is not
// read.
inline constexpr std::size_t kMaxSettingsFileSize = 16 * 1024;

// The stored model id, or -1 when the file, the section, the key or the
// value is missing (or the file cannot be read or is too long). The value is read as an
// optional sign followed by decimal digits, up to the first other character;
// a value without digits reads as 0.
int read_model_id(const std::filesystem::path& path);

// Writes "ModelId=<id>" into section "SETTING", creating the file, the
// section or the key as needed and keeping every other line as it is. An
// existing file that cannot be read is left alone and reported; one longer
// than kMaxSettingsFileSize is kept aside as damaged (as "<name>.broken-...")
// and a new file written, and `note`, when given, says so.
Status write_model_id(const std::filesystem::path& path, int id, std::string* note = nullptr);

// The integer reading of one INI value (the part of read_model_id after the
// key was found); exposed for tests.
int parse_profile_int(std::u16string_view value);

}  // namespace vantorel
