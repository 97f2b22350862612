// SPDX-License-Identifier: GPL-2.0-or-later
// ProfileLibrary: every profile of the user and the index of the selected
// one, kept in "pro.data":
//
//   offset 0        i32  selected_profile_index
//   offset 4        219,680 reserved bytes, kept byte for byte
//   offset 219,684  the 43,936-byte ProfileRecords, in list order, up to the
//                   end of the file (no count, no checksum)
//
// The library owns its records; pointers and references to a record stay
// valid while the list grows or other records are removed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"
#include "core/profile_record.h"
#include "core/text_lookup.h"
#include "library/file_io.h"
#include "core/status.h"
#include "library/load_report.h"

namespace vantorel {

namespace profile_file {
inline constexpr std::size_t kSelectedIndex = 0;  // i32
inline constexpr std::size_t kReserved = 4;
inline constexpr std::size_t kReservedSize = 219680;
inline constexpr std::size_t kHeaderSize = 219684;
inline constexpr std::size_t kMaxNameLength = profile_layout::kProfileNameUnits - 1;  // 99
// The most profiles a library holds (about 44 MB). A longer file is not read
// but kept aside as damaged, and a library beyond it is not saved.
inline constexpr std::size_t kMaxProfiles = 1000;
inline constexpr std::size_t kMaxFileSize = kHeaderSize + kMaxProfiles * ProfileRecord::kSize;

static_assert(kReserved + kReservedSize == kHeaderSize);
static_assert(kHeaderSize == 4 + 5 * ProfileRecord::kSize);
}  // namespace profile_file

class ProfileLibrary {
public:
    ProfileLibrary();

    // Fills the library from `file`, replacing what it held:
    // - no file (first start): one default profile, saved at once;
    // - a file that cannot be read, is shorter than its header or holds no
    //   complete record: the file is kept aside, the library starts with one
    //   default profile, which is saved;
    // - a last record cut short: the file is kept aside, the complete
    //   records are used and saved at once;
    // - a stored selection outside the list selects the first profile;
    // - a file longer than kMaxFileSize is not read but kept aside.
    // A damaged file that could not be kept aside is never overwritten: the
    // library then refuses to save to that file.
    // With LoadMode::ReadOnly nothing is written or moved: a missing file
    // gives an empty library, a damaged one what can be read of it.
    LoadReport load(const std::filesystem::path& file, const TextLookup& texts, const WallClock& clock = {},
                    LoadMode mode = LoadMode::Repair);

    // Writes the header and every record to `file` atomically; refused when
    // the list holds more than kMaxProfiles. save() writes to the file last
    // loaded or saved.
    Status save(const std::filesystem::path& file);
    Status save();
    const std::filesystem::path& file() const { return file_; }

    // The bytes save() writes.
    std::vector<Byte> serialize() const;

    std::int32_t selected_profile_index() const;
    void set_selected_profile_index(std::int32_t index);

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    ProfileRecord& at(std::size_t i) { return *records_.at(i); }
    const ProfileRecord& at(std::size_t i) const { return *records_.at(i); }
    ProfileRecord& operator[](std::size_t i) { return *records_[i]; }
    const ProfileRecord& operator[](std::size_t i) const { return *records_[i]; }

    // Appends a copy of the record and returns the one the library owns.
    ProfileRecord& append(const ProfileRecord& record);
    ProfileRecord& append(std::unique_ptr<ProfileRecord> record);
    // Removes record i (later records move down by one); false when i is
    // outside the list.
    bool remove(std::size_t i);
    void clear() { records_.clear(); }

    // A new default profile named "add_profile_text" + (count + 1), made
    // unique and cut to 99 units, appended at the end. Not saved here.
    ProfileRecord& create_profile(const TextLookup& texts);

private:
    void start_fresh(const TextLookup& texts);

    // The file's header without its trailing zero bytes (the reserved part
    // is nearly always all zeros, and the program keeps the library in
    // memory all day); at least the selection. save() writes it whole.
    std::vector<Byte> header_;
    std::vector<std::unique_ptr<ProfileRecord>> records_;
    std::filesystem::path file_;
    // A damaged file that could not be kept aside; saving over it is refused.
    std::optional<std::filesystem::path> protected_file_;
};

bool name_exists(const ProfileLibrary& library, std::u16string_view name);
// Unique among the profile names; the result fits the 99-unit name field.
std::u16string unique_name(const ProfileLibrary& library, std::u16string_view base);

}  // namespace vantorel
