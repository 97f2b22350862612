// SPDX-License-Identifier: GPL-2.0-or-later
// Single-record files for keeping and sharing: a ".pro" file is exactly one
// raw 43,936-byte ProfileRecord, a ".macro" file exactly one raw 696-byte
// MacroRecord. No header, no checksum.
//
// An import that cannot read its file, finds a file that is not exactly one
// record long, or a macro the mouse could not hold whole, is refused and
// changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

#include "core/profile_record.h"
#include "core/status.h"
#include "library/macro_library.h"
#include "library/macro_record.h"
#include "library/profile_library.h"

namespace vantorel {

// Both replace an existing file atomically. The folder must exist (none is
// created); the file is new, with the permissions the user's umask gives,
// whatever the file it replaces had, and a symbolic link in its place is
// replaced, not followed.
Status export_profile(const ProfileRecord& record, const std::filesystem::path& path);
Status export_macro(const MacroRecord& record, const std::filesystem::path& path);

// Why an import was refused, for the message the user sees.
enum class ImportProblem {
    None,
    Unreadable,      // the file could not be opened or read (missing, a folder, a FIFO, no permission)
    NotARecord,      // not exactly one record long
    MacroMisfit,     // a macro with a damaged action count or more than the mouse holds
    LibraryFull,     // the library holds as many records as it may
    NotSaved,        // read and sound, but the library could not be saved
};

struct ImportResult {
    Status status;                     // failure: why the import was refused or a save failed
    std::optional<std::size_t> index;  // position of the new record; empty when refused
    std::size_t macros_added = 0;      // profile import: macros added to the macro library
    ImportProblem problem = ImportProblem::None;
};

// The language text that tells the user why an import of a profile
// (`macro` false) or a macro was refused.
const char* import_problem_text(ImportProblem problem, bool macro);

// Why a macro of `count` actions (the stored count, any value) cannot go to
// the mouse whole, or empty when it can: the count must be 0..160, the
// actions must cost the mouse at most 161 units (two for a delay of 128 ms
// or more), and the mouse's four blocks must hold them all.
std::string macro_misfit(std::int64_t count, std::span<const Byte, macro_layout::kActionBytes> actions);

// Reads a ".pro" file into `out` without touching any library; refused (and
// `out` unchanged) unless the file is exactly one record long.
Status read_profile_file(const std::filesystem::path& path, ProfileRecord& out);

// Appends the profile of a ".pro" file under a unique name. Each of its
// buttons 1..18 that plays a macro brings that macro into the macro library
// under a unique name (with the slot's repeat count, action count and
// actions), and the slot is pointed at the new entry. When a macro was added
// the macro library is saved. The profile library is not saved: the caller
// selects the new profile and saves the profile library; when that save
// fails it calls undo_profile_import. When the macros cannot be saved the
// import is taken back at once and refused.
ImportResult import_profile(const std::filesystem::path& path, ProfileLibrary& profiles, MacroLibrary& macros);
// Takes an import back when the profile library could not be saved after it:
// the profile and the macros it brought go, and the macro library is saved.
void undo_profile_import(const ImportResult& result, ProfileLibrary& profiles, MacroLibrary& macros);

// Refuses an export into a folder that does not exist, onto one of the
// library's own files (the same file, whatever the path says) and anywhere
// in the library's folder, where a new file would be taken for the library
// (a profile written as the missing "macro.data" reads as 64 macros).
Status check_export_target(const std::filesystem::path& target, std::initializer_list<std::filesystem::path> library_files);

// Appends the macro of a ".macro" file under a unique name and saves the
// macro library. When the save fails the macro goes again and the import is
// refused.
ImportResult import_macro(const std::filesystem::path& path, MacroLibrary& macros);

}  // namespace vantorel
