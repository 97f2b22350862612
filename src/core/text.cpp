// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/text.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace vantorel {

std::u16string read_fixed_text(const Byte* p, std::size_t units) {
    // The last unit is the terminator's place: a field without one reads
    // as its longest name, the same as it would be written back.
    std::u16string out;
    for (std::size_t i = 0; i + 1 < units; ++i) {
        char16_t c = static_cast<char16_t>(load_u16(p + 2 * i));
        if (c == 0) break;
        out.push_back(c);
    }
    // Never end inside a surrogate pair.
    if (units > 0 && out.size() == units - 1 && !out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF)
        out.pop_back();
    return out;
}

std::u16string cut_text(std::u16string_view s, std::size_t max_units) {
    if (s.size() <= max_units) return std::u16string(s);
    std::size_t n = max_units;
    // Do not leave a lone high surrogate at the end.
    if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
    return std::u16string(s.substr(0, n));
}

void write_fixed_text(Byte* p, std::size_t units, std::u16string_view s) {
    if (units == 0) return;
    std::u16string cut = cut_text(s, units - 1);
    for (std::size_t i = 0; i < cut.size(); ++i) store_u16(p + 2 * i, cut[i]);
    store_u16(p + 2 * cut.size(), 0);
}

std::string to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool is_valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t length = 0;
        char32_t lowest = 0;
        char32_t c = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2, lowest = 0x80, c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3, lowest = 0x800, c = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4, lowest = 0x10000, c = b & 0x07;
        } else {
            return false;
        }
        if (i + length > s.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) return false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

std::u16string to_utf16(std::string_view in) {
    std::u16string out;
    std::size_t i = 0;
    auto cont = [&](std::size_t k) {
        return k < in.size() && (static_cast<unsigned char>(in[k]) & 0xC0) == 0x80;
    };
    while (i < in.size()) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && cont(i + 1)) {
            cp = ((c & 0x1Fu) << 6) | (in[i + 1] & 0x3F);
            len = 2;
            if (cp < 0x80) cp = 0xFFFD;
        } else if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            cp = ((c & 0x0Fu) << 12) | ((in[i + 1] & 0x3Fu) << 6) | (in[i + 2] & 0x3F);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        } else if ((c & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            cp = ((c & 0x07u) << 18) | ((in[i + 1] & 0x3Fu) << 12) | ((in[i + 2] & 0x3Fu) << 6) | (in[i + 3] & 0x3F);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

namespace {

struct CaseRange {
    char32_t first;
    char32_t last;
    std::int32_t delta;
    std::uint32_t stride;
};

#include "core/case_tables.inc"

char32_t map_case(std::span<const CaseRange> table, char32_t c) {
    auto it = std::upper_bound(table.begin(), table.end(), c,
                               [](char32_t v, const CaseRange& r) { return v < r.first; });
    if (it == table.begin()) return c;
    const CaseRange& r = *--it;
    if (c > r.last || (c - r.first) % r.stride != 0) return c;
    return static_cast<char32_t>(static_cast<std::int64_t>(c) + r.delta);
}

// Reads the code point at s[i] and moves i past it.
char32_t next_code_point(std::u16string_view s, std::size_t& i) {
    const char16_t u = s[i++];
    if (u >= 0xD800 && u <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (static_cast<char32_t>(s[i++]) - 0xDC00);
    return u;
}

void append_code_point(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

}  // namespace

char32_t fold_case(char32_t c) { return map_case(kFoldRanges, c); }

char32_t upper_case(char32_t c) { return map_case(kUpperRanges, c); }

bool equals_ignore_case(std::u16string_view a, std::u16string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (fold_case(next_code_point(a, i)) != fold_case(next_code_point(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::u16string to_upper(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) append_code_point(out, upper_case(next_code_point(s, i)));
    return out;
}

}  // namespace vantorel
