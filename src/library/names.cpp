// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/names.h"

#include "core/text.h"

namespace vantorel {

std::u16string unique_name(std::u16string_view base, std::size_t max_length, const NameTaken& taken) {
    std::u16string name = cut_text(base, max_length);
    if (!taken(name)) return name;
    // There are finitely many names in a list, so some n is free.
    for (unsigned long long n = 1;; ++n) {
        std::string digits = "_" + std::to_string(n);
        std::u16string suffix(digits.begin(), digits.end());
        if (suffix.size() > max_length) return name;  // cannot happen for the fields in use
        std::u16string candidate = cut_text(base, max_length - suffix.size()) + suffix;
        if (!taken(candidate)) return candidate;
    }
}

}  // namespace vantorel
