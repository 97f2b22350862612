// SPDX-License-Identifier: GPL-2.0-or-later
// MacroLibrary: every macro of the user, kept in "macro.data" as 696-byte
// MacroRecords one after another in list order, nothing else (an empty
// library is an empty file). A list position is the macro_library_index the
// button slots refer to.
//
// The library owns its records; pointers and references to a record stay
// valid while the list grows or other records are removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/profile_record.h"
#include "core/text_lookup.h"
#include "library/file_io.h"
#include "core/status.h"
#include "library/load_report.h"
#include "library/macro_record.h"

namespace vantorel {

namespace macro_file {
// The most macros a library holds (about 7 MB). A longer file is not read but
// kept aside as damaged, and a library beyond it is not saved.
inline constexpr std::size_t kMaxMacros = 10000;
inline constexpr std::size_t kMaxFileSize = kMaxMacros * MacroRecord::kSize;
}  // namespace macro_file

class MacroLibrary {
public:
    // Fills the library from `file`, replacing what it held. No file gives an
    // empty library and creates no file. A last record cut short by the end
    // of the file is read with its missing bytes zero. A file that cannot be
    // read, or is longer than kMaxFileSize, is kept aside and the library
    // starts empty (with
    // LoadMode::ReadOnly it is left where it is and nothing is saved).
    LoadReport load(const std::filesystem::path& file, const WallClock& clock = {}, LoadMode mode = LoadMode::Repair);

    // Writes every record to `file` atomically; refused when the list holds
    // more than kMaxMacros. save() writes to the file last loaded or saved.
    Status save(const std::filesystem::path& file);
    Status save();
    const std::filesystem::path& file() const { return file_; }
    void set_file(std::filesystem::path file) { file_ = std::move(file); }

    std::vector<Byte> serialize() const;

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    MacroRecord& at(std::size_t i) { return *records_.at(i); }
    const MacroRecord& at(std::size_t i) const { return *records_.at(i); }
    MacroRecord& operator[](std::size_t i) { return *records_[i]; }
    const MacroRecord& operator[](std::size_t i) const { return *records_[i]; }

    MacroRecord& append(const MacroRecord& record);
    MacroRecord& append(std::unique_ptr<MacroRecord> record);
    bool remove(std::size_t i);
    void clear() { records_.clear(); }

    // Appends an empty macro named "add_macro_text" + (count + 1), made
    // unique and cut to 23 units, then saves. The new macro is the last entry
    // even when the save fails.
    Status create_macro(const TextLookup& texts);

private:
    std::vector<std::unique_ptr<MacroRecord>> records_;
    std::filesystem::path file_;
    std::optional<std::filesystem::path> protected_file_;
};

bool name_exists(const MacroLibrary& library, std::u16string_view name);
// Unique among the macro names; the result fits the 23-unit name field.
std::u16string unique_name(const MacroLibrary& library, std::u16string_view base);

// The library macro that belongs to a button slot: the first macro whose name
// equals the slot's macro_name without regard to case (-1 when none), and
// whether its action count and actions equal the slot's copy.
struct SlotMacroMatch {
    int index = -1;
    bool identical = false;
    bool operator==(const SlotMacroMatch&) const = default;
};
SlotMacroMatch find_slot_macro(const MacroLibrary& library, ConstSlotRef slot);

}  // namespace vantorel
