// SPDX-License-Identifier: GPL-2.0-or-later
// What loading a library file found and did. A normal load has no problems;
// everything else (a damaged file kept aside, a cut-short record dropped, a
// selection outside the list, a failed save) is listed for the caller to log
// or show.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/status.h"

namespace vantorel {

// How a library is opened. Repair is the program's own use: a missing
// library is created, a damaged file is kept aside and rewritten. ReadOnly is
// for commands that only look: nothing is created, moved or written, and the
// library refuses every save.
enum class LoadMode { Repair, ReadOnly };

struct LoadReport {
    std::size_t records_loaded = 0;    // complete records taken from the file
    bool file_missing = false;         // no file yet: the normal first start
    bool started_fresh = false;        // the library began empty or from defaults
    std::optional<std::filesystem::path> kept_aside;  // where a damaged file was kept
    std::size_t dropped_bytes = 0;     // bytes of a record cut short by the end of the file
    bool selection_reset = false;      // the stored selection was outside the list
    bool saved = false;                // the load wrote the file (first start or repair)
    Status save_status;                // outcome of that write
    std::vector<std::string> problems;

    bool clean() const { return problems.empty(); }
};

}  // namespace vantorel
