// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as "pro.data" and "macro.data" (the first
// input byte splits them). Checks: loading never crashes; a library that
// loaded writes back what it read (a reload of its save is identical).
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "fuzz_folder.h"
#include "library/macro_library.h"
#include "library/profile_library.h"
#include "library/profile_store.h"

namespace fs = std::filesystem;
using namespace vantorel;

namespace {
const fs::path& folder() { return fuzz::folder(); }
void write(const fs::path& p, const std::uint8_t* data, std::size_t size) { fuzz::write_file(p, data, size); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = (static_cast<std::size_t>(data[0]) * (size - 1)) / 255;
    fs::remove_all(folder() / "ms_1");
    fs::create_directories(folder() / "ms_1");
    const fs::path pro = folder() / "ms_1" / "pro.data";
    const fs::path macro = folder() / "ms_1" / "macro.data";
    write(pro, data + 1, split);
    write(macro, data + 1 + split, size - 1 - split);

    for (LoadMode mode : {LoadMode::ReadOnly, LoadMode::Repair}) {
        ProfileLibrary profiles;
        MacroLibrary macros;
        profiles.load(pro, builtin_texts(), {}, mode);
        macros.load(macro, {}, mode);
        if (mode != LoadMode::Repair || profiles.empty()) continue;
        if (!profiles.save(pro) || !macros.save(macro)) continue;
        ProfileLibrary again;
        MacroLibrary macros_again;
        again.load(pro, builtin_texts());
        macros_again.load(macro);
        if (again.serialize() != profiles.serialize() || macros_again.serialize() != macros.serialize()) std::abort();
    }
    return 0;
}
