// SPDX-License-Identifier: GPL-2.0-or-later
// The user's keyboard layout read through libxkbcommon.
//
// Positions are evdev key codes, which equal the set-1 scan codes for the
// main block and F1..F12 (the xkb key code is the evdev code + 8). Virtual
// keys keep their Windows values and are placed the way Windows places them:
// letters sit on the key that types them, the digit row carries 1..0, the
// punctuation keys go by the character they type, and a layout without Latin
// letters (Cyrillic, Greek, ...) keeps the US virtual key of every position.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "macro/keyboard_layout.h"

struct xkb_keymap;

namespace vantorel {

// Rules, model, layout, variant and options of an xkb keymap.
struct XkbRuleNames {
    std::string rules;
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
    bool operator==(const XkbRuleNames&) const = default;
};

using EnvironmentReader = std::function<const char*(const char*)>;

// The session's layout: the XKB_DEFAULT_RULES/MODEL/LAYOUT/VARIANT/OPTIONS
// variables where set, otherwise XKBMODEL/XKBLAYOUT/XKBVARIANT/XKBOPTIONS of
// the system keyboard file, otherwise US. A layout taken from the
// environment drops a variant read from the file (it belongs to another
// layout). Empty rules and model become "evdev" and "pc105".
XkbRuleNames session_rule_names(const EnvironmentReader& env, const std::filesystem::path& keyboard_file);
XkbRuleNames session_rule_names();  // the process environment and /etc/default/keyboard

class XkbKeyboardLayout final : public KeyboardLayout {
public:
    XkbKeyboardLayout();  // the session's layout
    explicit XkbKeyboardLayout(const XkbRuleNames& names);
    XkbKeyboardLayout(std::string layout, std::string variant);
    ~XkbKeyboardLayout() override;
    XkbKeyboardLayout(const XkbKeyboardLayout&) = delete;
    XkbKeyboardLayout& operator=(const XkbKeyboardLayout&) = delete;

    // A layout that cannot be compiled is replaced by US; valid() is false
    // only when not even that compiles (no keyboard data installed), and then
    // every answer is 0 or empty.
    bool valid() const { return keymap_ != nullptr; }
    // The names the keymap was compiled from.
    const XkbRuleNames& names() const { return names_; }

    std::uint32_t scan_code_of(std::uint32_t virtual_key) const override;
    std::uint32_t virtual_key_at(std::uint32_t scan_code) const override;
    std::u16string characters(std::uint32_t virtual_key) const override;

private:
    struct Deleter {
        void operator()(xkb_keymap* k) const;
    };
    void place_keys();
    std::uint32_t level0_char(std::uint32_t scan_code) const;

    XkbRuleNames names_;
    std::unique_ptr<xkb_keymap, Deleter> keymap_;
    std::array<std::uint8_t, 256> vk_at_scan_{};
    std::array<std::uint8_t, 256> scan_of_vk_{};
};

// The session's layout through xkb, or the fixed US layout when xkb cannot
// compile any keymap.
std::unique_ptr<KeyboardLayout> make_session_keyboard_layout();

}  // namespace vantorel
