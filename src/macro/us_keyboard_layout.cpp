// SPDX-License-Identifier: GPL-2.0-or-later
#include <array>

#include "macro/keyboard_layout.h"

namespace vantorel {
namespace {

struct UsKey {
    std::uint8_t scan;
    std::uint8_t vk;
    char16_t ch;  // unshifted character, 0 for none
};

// Every position of the non-extended block, in scan order. A position's
// virtual key is also the answer for "which key carries this virtual key".
constexpr std::array<UsKey, 86> kPositions{{
    {0x01, 0x1B, 0x1B}, {0x02, '1', '1'},   {0x03, '2', '2'},    {0x04, '3', '3'},   {0x05, '4', '4'},
    {0x06, '5', '5'},   {0x07, '6', '6'},   {0x08, '7', '7'},    {0x09, '8', '8'},   {0x0A, '9', '9'},
    {0x0B, '0', '0'},   {0x0C, 0xBD, '-'},  {0x0D, 0xBB, '='},   {0x0E, 0x08, 0x08}, {0x0F, 0x09, 0x09},
    {0x10, 'Q', 'q'},   {0x11, 'W', 'w'},   {0x12, 'E', 'e'},    {0x13, 'R', 'r'},   {0x14, 'T', 't'},
    {0x15, 'Y', 'y'},   {0x16, 'U', 'u'},   {0x17, 'I', 'i'},    {0x18, 'O', 'o'},   {0x19, 'P', 'p'},
    {0x1A, 0xDB, '['},  {0x1B, 0xDD, ']'},  {0x1C, 0x0D, 0x0D},  {0x1D, 0xA2, 0},    {0x1E, 'A', 'a'},
    {0x1F, 'S', 's'},   {0x20, 'D', 'd'},   {0x21, 'F', 'f'},    {0x22, 'G', 'g'},   {0x23, 'H', 'h'},
    {0x24, 'J', 'j'},   {0x25, 'K', 'k'},   {0x26, 'L', 'l'},    {0x27, 0xBA, ';'},  {0x28, 0xDE, '\''},
    {0x29, 0xC0, '`'},  {0x2A, 0xA0, 0},    {0x2B, 0xDC, '\\'},  {0x2C, 'Z', 'z'},   {0x2D, 'X', 'x'},
    {0x2E, 'C', 'c'},   {0x2F, 'V', 'v'},   {0x30, 'B', 'b'},    {0x31, 'N', 'n'},   {0x32, 'M', 'm'},
    {0x33, 0xBC, ','},  {0x34, 0xBE, '.'},  {0x35, 0xBF, '/'},   {0x36, 0xA1, 0},    {0x37, 0x6A, '*'},
    {0x38, 0xA4, 0},    {0x39, 0x20, ' '},  {0x3A, 0x14, 0},     {0x3B, 0x70, 0},    {0x3C, 0x71, 0},
    {0x3D, 0x72, 0},    {0x3E, 0x73, 0},    {0x3F, 0x74, 0},     {0x40, 0x75, 0},    {0x41, 0x76, 0},
    {0x42, 0x77, 0},    {0x43, 0x78, 0},    {0x44, 0x79, 0},     {0x45, 0x90, 0},    {0x46, 0x91, 0},
    // The keypad answers with its Num Lock off meanings.
    {0x47, 0x24, 0},    {0x48, 0x26, 0},    {0x49, 0x21, 0},     {0x4A, 0x6D, '-'},  {0x4B, 0x25, 0},
    {0x4C, 0x0C, 0},    {0x4D, 0x27, 0},    {0x4E, 0x6B, '+'},   {0x4F, 0x23, 0},    {0x50, 0x28, 0},
    {0x51, 0x22, 0},    {0x52, 0x2D, 0},    {0x53, 0x2E, 0},     {0x56, 0xE2, '\\'}, {0x57, 0x7A, 0},
    {0x58, 0x7B, 0},
}};
static_assert(kPositions.back().scan == 0x58, "every position is listed once");

// Virtual keys that no position names directly but that still sit on a key:
// the undivided modifiers, the right-hand modifiers (same make code, told
// apart by the prefix), the keypad with Num Lock on, and the Windows keys.
constexpr std::array<UsKey, 20> kAliases{{
    {0x2A, 0x10, 0},   {0x1D, 0x11, 0},   {0x38, 0x12, 0},   {0x1D, 0xA3, 0},   {0x38, 0xA5, 0},
    {0x52, 0x60, '0'}, {0x4F, 0x61, '1'}, {0x50, 0x62, '2'}, {0x51, 0x63, '3'}, {0x4B, 0x64, '4'},
    {0x4C, 0x65, '5'}, {0x4D, 0x66, '6'}, {0x47, 0x67, '7'}, {0x48, 0x68, '8'}, {0x49, 0x69, '9'},
    {0x53, 0x6E, '.'}, {0x35, 0x6F, '/'}, {0x5B, 0x5B, 0},   {0x5C, 0x5C, 0},   {0x5D, 0x5D, 0},
}};
static_assert(kAliases.back().vk == 0x5D, "every alias is listed once");

const UsKey* find_by_vk(std::uint32_t vk) {
    if (vk == 0) return nullptr;
    for (const UsKey& k : kPositions)
        if (k.vk == vk) return &k;
    for (const UsKey& k : kAliases)
        if (k.vk == vk) return &k;
    return nullptr;
}

}  // namespace

std::uint32_t UsKeyboardLayout::scan_code_of(std::uint32_t virtual_key) const {
    const UsKey* k = find_by_vk(virtual_key);
    return k ? k->scan : 0;
}

std::uint32_t UsKeyboardLayout::virtual_key_at(std::uint32_t scan_code) const {
    for (const UsKey& k : kPositions)
        if (k.scan == scan_code) return k.vk;
    return 0;
}

std::u16string UsKeyboardLayout::characters(std::uint32_t virtual_key) const {
    const UsKey* k = find_by_vk(virtual_key);
    if (!k || k->ch == 0) return {};
    return std::u16string(1, k->ch);
}

}  // namespace vantorel
