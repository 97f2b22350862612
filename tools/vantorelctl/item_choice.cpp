// SPDX-License-Identifier: GPL-2.0-or-later
#include "item_choice.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "core/text.h"

namespace vantorel::cli {

std::optional<std::size_t> choose_item(std::size_t count, const std::function<std::u16string(std::size_t)>& name_of,
                                       const std::string& which, bool by_name, const char* what, std::string* error) {
    const std::string list = std::string("vantorelctl ") + what + " list shows them";
    if (count == 0) {
        *error = std::string("the ") + what + " library holds no " + what;
        return std::nullopt;
    }
    const std::u16string wanted = to_utf16(which);
    auto named = [&]() -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < count; ++i)
            if (equals_ignore_case(name_of(i), wanted)) return i;
        return std::nullopt;
    };
    const bool number = !which.empty() && which.find_first_not_of("0123456789") == std::string::npos;
    const std::string range = "an index 0.." + std::to_string(count - 1) + " or a name";
    if (number && !by_name) {
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(which.data(), which.data() + which.size(), n);
        if (ec == std::errc() && end == which.data() + which.size() && n < count) return n;
        *error = std::string("no ") + what + " \"" + which + "\" (" + list + ": " + range + ")";
        if (named())
            *error += std::string("; a ") + what + " is named \"" + which + "\": --name " + which + " reaches it";
        return std::nullopt;
    }
    if (const auto i = named()) return i;
    *error = std::string("no ") + what + " \"" + which + "\" (" + list + ": " + range + ")";
    return std::nullopt;
}

std::size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace vantorel::cli
