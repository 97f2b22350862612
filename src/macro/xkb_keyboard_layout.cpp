// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/xkb_keyboard_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string_view>

#include "core/trace.h"

namespace vantorel {
namespace {

constexpr std::string_view kWhitespace = " \t\r\n";

std::string_view trim(std::string_view s) {
    const auto b = s.find_first_not_of(kWhitespace);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(kWhitespace);
    return s.substr(b, e - b + 1);
}

// KEY=value, KEY="value" or KEY='value', as in a shell variables file.
void read_keyboard_file(const std::filesystem::path& file, XkbRuleNames& names) {
    std::ifstream in(file);
    std::string line;
    while (in && std::getline(in, line)) {
        std::string_view l = trim(line);
        if (l.empty() || l.front() == '#') continue;
        const auto eq = l.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trim(l.substr(0, eq));
        std::string_view value = trim(l.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (key == "XKBMODEL") names.model = value;
        else if (key == "XKBLAYOUT") names.layout = value;
        else if (key == "XKBVARIANT") names.variant = value;
        else if (key == "XKBOPTIONS") names.options = value;
    }
}

void log_to_trace(xkb_context*, xkb_log_level, const char* format, va_list args) {
    if (!trace_enabled()) return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    trace("xkb: %s", line);
}

xkb_keymap* compile(const XkbRuleNames& n) {
    xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!ctx) return nullptr;
    xkb_context_set_log_fn(ctx, log_to_trace);
    const xkb_rule_names rmlvo{n.rules.c_str(), n.model.c_str(), n.layout.c_str(), n.variant.c_str(),
                               n.options.c_str()};
    xkb_keymap* keymap = xkb_keymap_new_from_names(ctx, &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(ctx);  // the keymap keeps its own reference
    return keymap;
}

XkbRuleNames us_names() { return {"evdev", "pc105", "us", "", ""}; }

// Virtual keys whose position depends on the layout.
constexpr std::uint8_t kOemKeys[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0,
                                     0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE2};

bool is_layout_key(std::uint32_t vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return true;
    for (std::uint8_t k : kOemKeys)
        if (k == vk) return true;
    return false;
}

// Positions of letters and punctuation: everything of the main block
// outside the digit row and the named keys, plus the 102nd key.
bool is_layout_position(std::uint32_t scan) {
    return scan == 0x0C || scan == 0x0D || (scan >= 0x10 && scan <= 0x1B) || (scan >= 0x1E && scan <= 0x29) ||
           (scan >= 0x2B && scan <= 0x35) || scan == 0x56;
}
constexpr std::uint32_t kDigitRowFirst = 0x02;
constexpr std::uint32_t kDigitRowLast = 0x0B;

// The virtual key a punctuation character stands for: the US key that
// types it without Shift.
std::uint8_t punctuation_key(std::uint32_t ch) {
    switch (ch) {
        case '-': return 0xBD;
        case '=': return 0xBB;
        case '[': return 0xDB;
        case ']': return 0xDD;
        case '\\': return 0xDC;
        case ';': return 0xBA;
        case '\'': return 0xDE;
        case '`': return 0xC0;
        case ',': return 0xBC;
        case '.': return 0xBE;
        case '/': return 0xBF;
        default: return 0;
    }
}

// The character a dead key shows on its own.
std::uint32_t spacing_form(xkb_keysym_t sym) {
    switch (sym) {
        case XKB_KEY_dead_grave: return 0x60;
        case XKB_KEY_dead_acute: return 0xB4;
        case XKB_KEY_dead_circumflex: return 0x5E;
        case XKB_KEY_dead_tilde: return 0x7E;
        case XKB_KEY_dead_macron: return 0xAF;
        case XKB_KEY_dead_breve: return 0x2D8;
        case XKB_KEY_dead_abovedot: return 0x2D9;
        case XKB_KEY_dead_diaeresis: return 0xA8;
        case XKB_KEY_dead_abovering: return 0x2DA;
        case XKB_KEY_dead_doubleacute: return 0x2DD;
        case XKB_KEY_dead_caron: return 0x2C7;
        case XKB_KEY_dead_cedilla: return 0xB8;
        case XKB_KEY_dead_ogonek: return 0x2DB;
        default: return 0;
    }
}

}  // namespace

XkbRuleNames session_rule_names(const EnvironmentReader& env, const std::filesystem::path& keyboard_file) {
    XkbRuleNames n;
    read_keyboard_file(keyboard_file, n);
    auto get = [&](const char* name) -> std::optional<std::string> {
        const char* v = env ? env(name) : nullptr;
        if (v && *v) return std::string(v);
        return std::nullopt;
    };
    if (auto v = get("XKB_DEFAULT_RULES")) n.rules = *v;
    if (auto v = get("XKB_DEFAULT_MODEL")) n.model = *v;
    if (auto v = get("XKB_DEFAULT_LAYOUT")) {
        n.layout = *v;
        n.variant.clear();
    }
    if (auto v = get("XKB_DEFAULT_VARIANT")) n.variant = *v;
    if (auto v = get("XKB_DEFAULT_OPTIONS")) n.options = *v;
    if (n.layout.empty()) {
        n.layout = "us";
        n.variant.clear();
    }
    if (n.rules.empty()) n.rules = "evdev";
    if (n.model.empty()) n.model = "pc105";
    return n;
}

XkbRuleNames session_rule_names() {
    return session_rule_names([](const char* name) { return std::getenv(name); }, "/etc/default/keyboard");
}

void XkbKeyboardLayout::Deleter::operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }

XkbKeyboardLayout::XkbKeyboardLayout() : XkbKeyboardLayout(session_rule_names()) {}

XkbKeyboardLayout::XkbKeyboardLayout(std::string layout, std::string variant)
    : XkbKeyboardLayout(XkbRuleNames{"evdev", "pc105", layout.empty() ? "us" : std::move(layout),
                                     std::move(variant), ""}) {}

XkbKeyboardLayout::XkbKeyboardLayout(const XkbRuleNames& names) : names_(names) {
    keymap_.reset(compile(names_));
    if (!keymap_ && !(names_ == us_names())) {
        trace("keyboard layout '%s' (variant '%s') not available, using us", names_.layout.c_str(),
              names_.variant.c_str());
        names_ = us_names();
        keymap_.reset(compile(names_));
    }
    if (!keymap_) {
        trace("no keyboard layout could be compiled");
        return;
    }
    place_keys();
}

XkbKeyboardLayout::~XkbKeyboardLayout() = default;

std::uint32_t XkbKeyboardLayout::level0_char(std::uint32_t scan_code) const {
    const xkb_keysym_t* syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(keymap_.get(), scan_code + 8, 0, 0, &syms);
    if (n < 1) return 0;
    const std::uint32_t ch = xkb_keysym_to_utf32(syms[0]);
    return ch ? ch : spacing_form(syms[0]);
}

void XkbKeyboardLayout::place_keys() {
    const UsKeyboardLayout us;
    std::array<bool, 256> taken{};
    auto place = [&](std::uint32_t scan, std::uint32_t vk) {
        vk_at_scan_[scan] = static_cast<std::uint8_t>(vk);
        scan_of_vk_[vk] = static_cast<std::uint8_t>(scan);
        taken[vk] = true;
    };

    // Named keys, the keypad and the function keys stay where a US keyboard
    // has them, whatever the layout types on them.
    for (std::uint32_t scan = 1; scan < 256; ++scan) {
        if (is_layout_position(scan) || (scan >= kDigitRowFirst && scan <= kDigitRowLast)) continue;
        const std::uint32_t vk = us.virtual_key_at(scan);
        if (vk && !is_layout_key(vk)) vk_at_scan_[scan] = static_cast<std::uint8_t>(vk);
    }
    for (std::uint32_t vk = 1; vk < 256; ++vk) {
        if (is_layout_key(vk)) continue;
        const std::uint32_t scan = us.scan_code_of(vk);
        if (scan && !is_layout_position(scan)) scan_of_vk_[vk] = static_cast<std::uint8_t>(scan);
    }

    // The digit row carries 1..9, 0 whatever it types.
    for (std::uint32_t scan = kDigitRowFirst; scan <= kDigitRowLast; ++scan)
        place(scan, scan == kDigitRowLast ? '0' : '1' + (scan - kDigitRowFirst));

    std::array<std::uint32_t, 256> ch{};
    int latin_letters = 0;
    for (std::uint32_t scan = 0; scan < 256; ++scan) {
        if (!is_layout_position(scan)) continue;
        ch[scan] = level0_char(scan);
        if (ch[scan] >= 'a' && ch[scan] <= 'z') ++latin_letters;
    }

    // On a Latin layout, letters and punctuation go to the key that types
    // them; a layout of another script keeps the US places.
    if (latin_letters >= 20) {
        for (std::uint32_t scan = 0; scan < 256; ++scan) {
            const std::uint32_t c = ch[scan];
            if (!is_layout_position(scan) || c < 'a' || c > 'z') continue;
            if (const std::uint32_t vk = c - 'a' + 'A'; !taken[vk]) place(scan, vk);
        }
        for (std::uint32_t scan = 0; scan < 256; ++scan) {
            if (!is_layout_position(scan) || vk_at_scan_[scan]) continue;
            if (const std::uint32_t vk = punctuation_key(ch[scan]); vk && !taken[vk]) place(scan, vk);
        }
    }

    // Every remaining position gets a virtual key no other position has: its
    // US one if still free, else the first free punctuation key or letter.
    for (std::uint32_t scan = 0; scan < 256; ++scan) {
        if (!is_layout_position(scan) || vk_at_scan_[scan]) continue;
        std::uint32_t vk = us.virtual_key_at(scan);
        if (taken[vk]) {
            vk = 0;
            for (std::uint8_t k : kOemKeys)
                if (!taken[k]) {
                    vk = k;
                    break;
                }
            for (std::uint32_t l = 'A'; !vk && l <= 'Z'; ++l)
                if (!taken[l]) vk = l;
        }
        if (vk) place(scan, vk);
    }
}

std::uint32_t XkbKeyboardLayout::scan_code_of(std::uint32_t virtual_key) const {
    return virtual_key < scan_of_vk_.size() ? scan_of_vk_[virtual_key] : 0;
}

std::uint32_t XkbKeyboardLayout::virtual_key_at(std::uint32_t scan_code) const {
    return scan_code < vk_at_scan_.size() ? vk_at_scan_[scan_code] : 0;
}

std::u16string XkbKeyboardLayout::characters(std::uint32_t virtual_key) const {
    const std::uint32_t scan = scan_code_of(virtual_key);
    if (!keymap_ || scan == 0) return {};
    const std::uint32_t c = level0_char(scan);
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {};
    if (c < 0x10000) return std::u16string(1, static_cast<char16_t>(c));
    const std::uint32_t v = c - 0x10000;
    return {static_cast<char16_t>(0xD800 + (v >> 10)), static_cast<char16_t>(0xDC00 + (v & 0x3FF))};
}

std::unique_ptr<KeyboardLayout> make_session_keyboard_layout() {
    auto xkb = std::make_unique<XkbKeyboardLayout>();
    if (xkb->valid()) return xkb;
    return std::make_unique<UsKeyboardLayout>();
}

}  // namespace vantorel
