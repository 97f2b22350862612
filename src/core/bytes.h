// SPDX-License-Identifier: GPL-2.0-or-later
// Little-endian helpers for the fixed binary layouts the mouse and the
// stored files use. Every multi-byte field is read and written through
// these, never by casting a struct over a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantorel {

using Byte = std::uint8_t;

inline std::uint16_t load_u16(const Byte* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t load_u32(const Byte* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t load_i32(const Byte* p) { return static_cast<std::int32_t>(load_u32(p)); }

inline void store_u16(Byte* p, std::uint16_t v) {
    p[0] = static_cast<Byte>(v & 0xFF);
    p[1] = static_cast<Byte>(v >> 8);
}
inline void store_u32(Byte* p, std::uint32_t v) {
    p[0] = static_cast<Byte>(v & 0xFF);
    p[1] = static_cast<Byte>((v >> 8) & 0xFF);
    p[2] = static_cast<Byte>((v >> 16) & 0xFF);
    p[3] = static_cast<Byte>((v >> 24) & 0xFF);
}
inline void store_i32(Byte* p, std::int32_t v) { store_u32(p, static_cast<std::uint32_t>(v)); }

// Sum of bytes [first, end) modulo 65536, stored high byte first by callers.
inline std::uint16_t sum16(std::span<const Byte> bytes) {
    std::uint32_t s = 0;
    for (Byte b : bytes) s += b;
    return static_cast<std::uint16_t>(s & 0xFFFF);
}

}  // namespace vantorel
