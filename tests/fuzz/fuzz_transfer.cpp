// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as a ".pro" and as a ".macro" file to import.
// Checks: no crash; a refused import changes neither library; an accepted
// profile import adds exactly one profile with a unique name and one macro
// per macro button, each named uniquely within 23 units; every macro an
// import takes has a sound count and reaches the mouse whole.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "edit/function_codes.h"
#include "fuzz_folder.h"
#include "core/text.h"
#include "library/transfer.h"

namespace fs = std::filesystem;
using namespace vantorel;

namespace {
const fs::path& folder() { return fuzz::folder(); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path file = folder() / "in.pro";
    fuzz::write_file(file, data, size);
    // The library with its one default profile is made once: an import only
    // appends to it, and the appended profile is taken off again below.
    static ProfileLibrary profiles = [] {
        ProfileLibrary library;
        ProfileRecord existing;
        existing.reset_to_defaults();
        library.append(existing);
        return library;
    }();
    if (profiles.size() != 1) std::abort();
    MacroLibrary macros;
    macros.set_file(folder() / "macro.data");
    const ImportResult r = import_profile(file, profiles, macros);
    if (!r.index) {
        if (profiles.size() != 1 || !macros.empty()) std::abort();
    } else {
        if (profiles.size() != 2) std::abort();
        if (equals_ignore_case(profiles[0].profile_name(), profiles[1].profile_name())) std::abort();
        int macro_buttons = 0;
        for (int k = 0; k < profile_layout::kButtonCount; ++k)
            macro_buttons += std::as_const(profiles[1]).slot(k).function_code() == kFunctionMacro;
        if (static_cast<int>(macros.size()) != macro_buttons) std::abort();
        for (std::size_t i = 0; i < macros.size(); ++i) {
            if (macros[i].name().size() > macro_layout::kMaxNameLength) std::abort();
            if (!macro_misfit(macros[i].action_count(), std::as_const(macros[i]).action_bytes()).empty()) std::abort();
            for (std::size_t j = 0; j < i; ++j)
                if (equals_ignore_case(macros[i].name(), macros[j].name())) std::abort();
        }
        profiles.remove(1);
    }
    const fs::path mfile = folder() / "in.macro";
    fuzz::write_file(mfile, data, size);
    MacroLibrary more;
    more.set_file(folder() / "macro2.data");
    const ImportResult m = import_macro(mfile, more);
    if (m.index.has_value() != (more.size() == 1)) std::abort();
    if (m.index && !macro_misfit(more[0].action_count(), std::as_const(more[0]).action_bytes()).empty()) std::abort();
    return 0;
}
