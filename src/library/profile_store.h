// SPDX-License-Identifier: GPL-2.0-or-later
// The profile and macro libraries of one data folder, with the lock that the
// apply worker, the event dispatch and the user interface share. The store
// is the ProfileSource the apply engine snapshots from and saves through.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "core/profile_source.h"
#include "core/text_lookup.h"
#include "library/data_folder.h"
#include "library/load_report.h"
#include "library/macro_library.h"
#include "library/profile_library.h"

namespace vantorel {

class ProfileStore : public ProfileSource {
public:
    explicit ProfileStore(DataFolder folder) : folder_(std::move(folder)) {}

    // Loads both libraries from the data folder (the first start creates the
    // profile library with one default profile). Call before any other use.
    struct LoadResult {
        LoadReport profiles;
        LoadReport macros;
    };
    // LoadMode::ReadOnly (commands that only look) creates, moves and writes
    // nothing; the store then refuses to save.
    LoadResult load(const TextLookup& texts, LoadMode mode = LoadMode::Repair);

    // ProfileSource
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override;
    Status save() override;

    // Makes profile i the edited one (and the stored selection); false when i
    // is outside the list. Call with mutex() held.
    bool select(std::size_t i);
    std::size_t selected() const;

    ProfileLibrary& profiles() { return profiles_; }
    MacroLibrary& macros() { return macros_; }
    const DataFolder& folder() const { return folder_; }

private:
    std::mutex mutex_;
    DataFolder folder_;
    ProfileLibrary profiles_;
    MacroLibrary macros_;
};

// The built-in English texts the library needs when no language file is
// loaded (the command line): "add_profile_text", "add_macro_text".
const TextLookup& builtin_texts();

}  // namespace vantorel
