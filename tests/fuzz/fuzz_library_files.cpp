// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as "pro.data" and "macro.data" (the first
// input byte splits them). Checks: loading, read-only and repairing, never
// crashes; a library that loaded writes back what it read (a reload of its
// save is identical).
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
    static const fs::path dir = [] {
        fs::create_directories(folder() / "ms_1");
        return folder() / "ms_1";
    }();
    const std::size_t split = (static_cast<std::size_t>(data[0]) * (size - 1)) / 255;
    const fs::path pro = dir / "pro.data";
    const fs::path macro = dir / "macro.data";
    write(pro, data + 1, split);
    write(macro, data + 1 + split, size - 1 - split);

    // Reading alone, which writes nothing, on every input.
    {
        ProfileLibrary profiles;
        MacroLibrary macros;
        profiles.load(pro, builtin_texts(), {}, LoadMode::ReadOnly);
        macros.load(macro, {}, LoadMode::ReadOnly);
    }
    // The repairing load with its save and reload writes several files, each
    // with its fsyncs: one input in four, picked by its last byte so that a
    // reproducer takes the same way.
    if ((data[size - 1] & 3) != 0) return 0;
    ProfileLibrary profiles;
    MacroLibrary macros;
    profiles.load(pro, builtin_texts(), {}, LoadMode::Repair);
    macros.load(macro, {}, LoadMode::Repair);
    if (!profiles.empty() && profiles.save(pro) && macros.save(macro)) {
        ProfileLibrary again;
        MacroLibrary macros_again;
        again.load(pro, builtin_texts());
        macros_again.load(macro);
        if (again.serialize() != profiles.serialize() || macros_again.serialize() != macros.serialize()) std::abort();
    }
    // Damaged files kept aside and temporaries go before the next input.
    fs::remove_all(dir);
    fs::create_directories(dir);
    return 0;
}
