// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/key_tables.h"

#include <optional>
#include <string_view>

#include "core/text.h"
#include "core/trace.h"

namespace vantorel {
namespace {

const KeyCodeRow* row_of_virtual_key(std::uint32_t vk) {
    for (const KeyCodeRow& r : kKeyCodeTable)
        if (r.virtual_key == vk) return &r;
    return nullptr;
}

const KeyCodeRow* row_of_key_code(std::uint8_t code) {
    for (const KeyCodeRow& r : kKeyCodeTable)
        if (r.key_code == code) return &r;
    return nullptr;
}

const KeyCodeRow* row_of_scan_code(std::uint32_t scan) {
    if (scan == 0) return nullptr;  // rows outside the main block carry 0
    for (const KeyCodeRow& r : kKeyCodeTable)
        if (r.scan_code == scan) return &r;
    return nullptr;
}

// The key between left Shift and Z of 102-key keyboards has no row: it is
// stored as its own usage. Its virtual key, where it types none of the
// table's punctuation, is VK_OEM_102.
constexpr std::uint32_t kKey102Position = 0x56;
constexpr std::uint32_t kKey102VirtualKey = 0xE2;
constexpr std::uint8_t kKey102Usage = 0x64;

std::string numbered(std::string_view prefix, unsigned n) { return std::string(prefix) + std::to_string(n); }

// The language id of a key code outside the main block; std::nullopt when
// the code has no name at all, "" for the codes whose name is empty.
std::optional<std::string> usage_name_id(std::uint8_t code) {
    if (code >= 0x3A && code <= 0x45) return numbered("key_F", code - 0x3A + 1u);
    if (code >= 0x59 && code <= 0x61) return numbered("key_Num_", code - 0x59 + 1u);
    static constexpr const char* kFrom46[] = {
        "key_Print Scr", "key_Scroll Lock", "key_Pause", "key_Insert", "key_Home",  "key_Page Up",
        "key_Delete",    "key_End",         "key_Page Down", "key_Right", "key_Left", "key_Down",
        "key_Up",        "key_Num Lock",    "key_Num_/",  "key_Num_*",  "key_Num_-", "key_Num_+",
        "key_Num_Enter",
    };
    static_assert(std::size(kFrom46) == 0x58 - 0x46 + 1);
    if (code >= 0x46 && code <= 0x58) return kFrom46[code - 0x46];
    static constexpr const char* kModifiers[] = {"key_LCtrl", "key_LShift", "key_LAlt", "key_LWin",
                                                 "key_RCtrl", "key_RShift", "key_RAlt", "key_RWin"};
    if (code >= 0xE0 && code <= 0xE7) return kModifiers[code - 0xE0];
    static constexpr const char* kMouse[] = {"L_Button", "R_Button", "M_Button", "Backward_Button",
                                             "Forward_Button"};
    if (code >= 0xF1 && code <= 0xF5) return kMouse[code - 0xF1];
    switch (code) {
        case 0x62: return "key_Num_0";
        case 0x63: return "key_Num_.";
        case 0x64: return "key_\\";
        case 0x65: return "key_APP";
        case 0x66:
        case 0x67:
        case 0x68: return "";
        case 0x82: return "Sleep";
        case 0x88: return "Kana/Roma";
        case 0xDD: return "`";
        default: return std::nullopt;
    }
}

// The language id of a named virtual key; std::nullopt for keys that are
// named by the characters they type.
std::optional<std::string> virtual_key_name_id(std::uint32_t vk) {
    if (vk >= 0x60 && vk <= 0x69) return numbered("key_Num_", vk - 0x60);
    if (vk >= 0x70 && vk <= 0x7B) return numbered("key_F", vk - 0x70 + 1);
    switch (vk) {
        case 0x08: return "key_BackSpace";
        case 0x09: return "key_Tab";
        case 0x0D: return "key_Enter";
        case 0x10:
        case 0xA0: return "key_LShift";
        case 0x11:
        case 0xA2: return "key_LCtrl";
        case 0x12:
        case 0xA4: return "key_LAlt";
        case 0xA1: return "key_RShift";
        case 0xA3: return "key_RCtrl";
        case 0xA5: return "key_RAlt";
        case 0x13: return "key_Pause";
        case 0x14:
        case 0xF0: return "key_Caplk";
        case 0x1B: return "key_Esc";
        case 0x20: return "key_Space";
        case 0x21: return "key_Page Up";
        case 0x22: return "key_Page Down";
        case 0x23: return "key_End";
        case 0x24: return "key_Home";
        case 0x25: return "key_Left";
        case 0x26: return "key_Up";
        case 0x27: return "key_Right";
        case 0x28: return "key_Down";
        case 0x2A:
        case 0x2C: return "key_Print Scr";
        case 0x2D: return "key_Insert";
        case 0x2E: return "key_Delete";
        case 0x5B: return "key_LWin";
        case 0x5C: return "key_RWin";
        case 0x5D: return "key_APP";
        case 0x6A: return "key_Num_*";
        case 0x6B: return "key_Num_+";
        case 0x6C: return "key_Num_Enter";
        case 0x6D: return "key_Num_-";
        case 0x6E: return "key_Num_.";
        case 0x6F: return "key_Num_/";
        case 0x90: return "key_Num Lock";
        case 0x91: return "key_Scroll Lock";
        default: return std::nullopt;
    }
}

}  // namespace

KeyUsage virtual_key_to_usage(std::uint32_t virtual_key, const KeyboardLayout& layout) {
    const KeyCodeRow* row = row_of_virtual_key(virtual_key);
    if (!row && virtual_key != kKey102VirtualKey) return {};
    std::uint8_t code = row ? row->key_code : 0;
    if (row && (code < 0x04 || code > 0x45)) return {true, code};
    // Keys of the main block and F1..F12 are stored by where they sit.
    const std::uint32_t scan = layout.scan_code_of(virtual_key);
    if (scan == kKey102Position) return {true, kKey102Usage};
    if (const KeyCodeRow* at = row_of_scan_code(scan)) code = at->key_code;
    return {row != nullptr, code};
}

std::uint32_t placed_virtual_key(std::uint32_t hook_virtual_key, std::uint32_t position, const KeyboardLayout& layout) {
    // Only the keys stored by place are renamed; the others keep the hook's
    // name, which does not depend on the layout.
    if (position != kKey102Position && !row_of_scan_code(position)) return hook_virtual_key;
    const std::uint32_t vk = layout.virtual_key_at(position);
    return vk ? vk : hook_virtual_key;
}

std::u16string virtual_key_to_key_name(std::uint32_t virtual_key, const KeyboardLayout& layout,
                                       const TextLookup& texts) {
    if (auto id = virtual_key_name_id(virtual_key)) return texts.text(*id);
    return to_upper(layout.characters(virtual_key));
}

std::u16string usage_to_key_name(std::uint8_t key_code, const KeyboardLayout& layout, const TextLookup& texts) {
    std::u16string name;
    if (key_code >= 0x04 && key_code <= 0x39) {
        // What the user's layout has at this key's position.
        const KeyCodeRow* row = row_of_key_code(key_code);
        const std::uint32_t vk = row ? layout.virtual_key_at(row->scan_code) : 0;
        name = virtual_key_to_key_name(vk, layout, texts);
    } else if (key_code >= 0xE8 && key_code <= 0xEF) {
        // reserved modifier codes: no name
    } else if (auto id = usage_name_id(key_code); id && !id->empty()) {
        name = texts.text(*id);
    }
    trace("m_key = %s", to_utf8(name).c_str());
    return name;
}

}  // namespace vantorel
