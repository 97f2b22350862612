// SPDX-License-Identifier: GPL-2.0-or-later
// Bytes as two-digit lowercase hex separated by single spaces ("0c 0a 01").
#pragma once

#include <span>
#include <string>

#include "core/bytes.h"

namespace vantorel {

inline std::string to_hex(std::span<const Byte> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s.push_back(' ');
        s.push_back(kDigits[bytes[i] >> 4]);
        s.push_back(kDigits[bytes[i] & 15]);
    }
    return s;
}

}  // namespace vantorel
