// SPDX-License-Identifier: GPL-2.0-or-later
// UTF-16 text as the stored records hold it: NUL-terminated UTF-16LE in
// fixed arrays of code units. Conversions to UTF-8 for the command line and
// the desktop side, and the case-insensitive name comparison.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/bytes.h"

namespace vantorel {

// Reads the text of a fixed field of `units` UTF-16 units at p, stopping at
// the first NUL. The last unit is the terminator's place: a field without a
// terminator yields units - 1 units (never ending inside a surrogate pair),
// as it would be written back; nothing past the field is ever read.
std::u16string read_fixed_text(const Byte* p, std::size_t units);

// Writes s cut to units - 1 code units, followed by a NUL terminator. Units
// after the terminator are left as they are. A cut never splits a surrogate
// pair.
void write_fixed_text(Byte* p, std::size_t units, std::u16string_view s);

// Cuts s to at most `max_units` code units without splitting a surrogate pair.
std::u16string cut_text(std::u16string_view s, std::size_t max_units);

std::string to_utf8(std::u16string_view s);
std::u16string to_utf16(std::string_view utf8);
// Whether `s` is well-formed UTF-8: no stray or missing continuation bytes,
// no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view s);

// Unicode simple case folding and simple upper-case mapping of one code
// point (tables generated from the Unicode character database).
char32_t fold_case(char32_t c);
char32_t upper_case(char32_t c);
// Names compare without regard to case: code point by code point after
// simple case folding. A lone surrogate compares as itself.
bool equals_ignore_case(std::u16string_view a, std::u16string_view b);
// Every code point upper-cased (simple mapping); the result may differ in
// length only where a mapping crosses the BMP boundary.
std::u16string to_upper(std::u16string_view s);

}  // namespace vantorel
