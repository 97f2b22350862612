// SPDX-License-Identifier: GPL-2.0-or-later
#include "button_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "edit/function_codes.h"
#include "core/profile_record.h"
#include "macro/key_tables.h"
#include "macro/macro_model.h"

namespace vantorel::cli {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

// The word of each function of the menu: the page's English text in lower
// case with dashes ("Right click" is right-click, "Rapid fire" rapid-fire).
constexpr auto kWords = std::to_array<FunctionWord>({
    {"disabled", 0},        {"left-click", 1},          {"right-click", 2},      {"middle-click", 3},
    {"forward", 4},         {"back", 5},                {"dpi-cycle", 6},        {"dpi-up", 7},
    {"dpi-down", 8},        {"double-click", 9},        {"rapid-fire", 10},      {"scroll-up", 11},
    {"scroll-down", 12},    {"tilt-left", 13},          {"tilt-right", 14},      {"precision-aim", 22},
    {"lighting-cycle", 23}, {"cut", 32},                {"copy", 33},            {"paste", 34},
    {"open", 35},           {"save", 36},               {"find", 37},            {"redo", 38},
    {"select-all", 40},     {"print", 41},              {"close-window", 42},    {"switch-windows", 43},
    {"show-desktop", 44},   {"run-command", 45},        {"lock-screen", 46},     {"screenshot", 50},
    {"media-player", 64},   {"play-pause", 65},         {"stop-playback", 66},   {"previous-track", 67},
    {"next-track", 68},     {"volume-up", 69},          {"volume-down", 70},     {"mute", 71},
    {"browser-home", 80},   {"browser-bookmarks", 81},  {"browser-forward", 82}, {"browser-back", 83},
    {"browser-stop", 84},   {"browser-reload", 85},     {"web-search", 86},      {"email", 87},
    {"calculator", 88},     {"file-manager", 89},
});

// Older spellings still read: the menu item's own name ("fire-button",
// "my-computer", with "_" or "-") and the words of earlier versions ("off",
// "fire"). "menu" is not one: it names the application key.
constexpr auto kOlderWords = std::to_array<FunctionWord>({{"off", 0}, {"fire", 10}});

struct KeyName {
    std::string_view name;
    std::uint8_t code;
};

// The names of the keys of the key table that are not a letter, a digit or
// a function key (those are spelled out by the functions below).
constexpr auto kKeyNames = std::to_array<KeyName>({
    {"enter", 0x28}, {"esc", 0x29}, {"backspace", 0x2A}, {"tab", 0x2B}, {"space", 0x2C},
    {"minus", 0x2D}, {"equal", 0x2E}, {"left-bracket", 0x2F}, {"right-bracket", 0x30}, {"backslash", 0x31},
    {"semicolon", 0x33}, {"apostrophe", 0x34}, {"grave", 0x35}, {"comma", 0x36}, {"period", 0x37},
    {"slash", 0x38}, {"caps-lock", 0x39}, {"print-screen", 0x46}, {"scroll-lock", 0x47}, {"pause", 0x48},
    {"insert", 0x49}, {"home", 0x4A}, {"page-up", 0x4B}, {"delete", 0x4C}, {"end", 0x4D},
    {"page-down", 0x4E}, {"right", 0x4F}, {"left", 0x50}, {"down", 0x51}, {"up", 0x52},
    {"num-lock", 0x53}, {"kp-divide", 0x54}, {"kp-multiply", 0x55}, {"kp-minus", 0x56}, {"kp-plus", 0x57},
    {"kp-enter", 0x58}, {"kp-1", 0x59}, {"kp-2", 0x5A}, {"kp-3", 0x5B}, {"kp-4", 0x5C},
    {"kp-5", 0x5D}, {"kp-6", 0x5E}, {"kp-7", 0x5F}, {"kp-8", 0x60}, {"kp-9", 0x61},
    {"kp-0", 0x62}, {"kp-period", 0x63}, {"menu", 0x65}, {"left-ctrl", 0xE0}, {"left-shift", 0xE1},
    {"left-alt", 0xE2}, {"left-win", 0xE3}, {"right-ctrl", 0xE4}, {"right-shift", 0xE5}, {"right-alt", 0xE6},
    {"right-win", 0xE7}, {"mouse-left", kMouseLeft}, {"mouse-right", kMouseRight},
    {"mouse-middle", kMouseMiddle}, {"mouse-back", kMouseBackward}, {"mouse-forward", kMouseForward},
});

bool in_key_table(std::uint8_t code) {
    return std::any_of(kKeyCodeTable.begin(), kKeyCodeTable.end(),
                       [code](const KeyCodeRow& row) { return row.key_code == code; });
}

struct Modifier {
    std::string_view name;
    std::uint8_t bit;
};
constexpr auto kModifiers = std::to_array<Modifier>(
    {{"ctrl", 0x01}, {"shift", 0x02}, {"alt", 0x04}, {"win", 0x08}, {"super", 0x08}});

std::optional<long long> parse_number(std::string_view text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end) return std::nullopt;
    return v;
}

std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

const std::vector<FunctionWord>& function_words() {
    static const std::vector<FunctionWord> words(kWords.begin(), kWords.end());
    return words;
}

std::optional<std::uint8_t> function_code_of_word(std::string_view word) {
    std::string w = lower(word);
    std::replace(w.begin(), w.end(), '_', '-');
    for (const FunctionWord& f : kWords)
        if (f.word == w) return f.code;
    for (const FunctionWord& f : kOlderWords)
        if (f.word == w) return f.code;
    for (const FunctionName& f : kFunctionNames) {
        if (f.code == kFunctionShortcut || f.code == kFunctionMacro) continue;
        std::string item(f.menu_item.substr(5));  // without "ms_1_"
        std::replace(item.begin(), item.end(), '_', '-');
        if (item == w && item != "menu") return f.code;
    }
    return std::nullopt;
}

std::string_view function_word(std::uint8_t code) {
    for (const FunctionWord& f : kWords)
        if (f.code == code) return f.word;
    return {};
}

std::optional<std::uint8_t> key_code_of_name(std::string_view name) {
    const std::string n = lower(name);
    if (n.size() == 1 && n[0] >= 'a' && n[0] <= 'z') return static_cast<std::uint8_t>(0x04 + (n[0] - 'a'));
    if (n.size() == 1 && n[0] >= '1' && n[0] <= '9') return static_cast<std::uint8_t>(0x1E + (n[0] - '1'));
    if (n == "0") return std::uint8_t{0x27};
    if (n.size() >= 2 && n[0] == 'f') {
        const auto k = parse_number(std::string_view(n).substr(1));
        if (k && *k >= 1 && *k <= 12) return static_cast<std::uint8_t>(0x3A + *k - 1);
    }
    // The mouse buttons are not keys of the keyboard table, but a macro may
    // click any of the five.
    for (const KeyName& k : kKeyNames)
        if (k.name == n && (in_key_table(k.code) || is_mouse_code(k.code))) return k.code;
    return std::nullopt;
}

namespace {
// A macro line's key: a name, or "0xNN" as macro_text writes a code without
// one (a stored macro may hold any code), so what was shown reads back.
std::optional<std::uint8_t> macro_key_code(std::string_view word) {
    if (const auto code = key_code_of_name(word)) return code;
    const std::string w = lower(word);
    if (w.size() != 4 || !w.starts_with("0x")) return std::nullopt;
    unsigned v = 0;
    const auto [p, ec] = std::from_chars(w.data() + 2, w.data() + 4, v, 16);
    if (ec != std::errc() || p != w.data() + 4) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}
}  // namespace

std::string key_name(std::uint8_t code) {
    if (code >= 0x04 && code <= 0x1D) return std::string(1, static_cast<char>('a' + (code - 0x04)));
    if (code >= 0x1E && code <= 0x26) return std::string(1, static_cast<char>('1' + (code - 0x1E)));
    if (code == 0x27) return "0";
    if (code >= 0x3A && code <= 0x45) return "f" + std::to_string(code - 0x3A + 1);
    for (const KeyName& k : kKeyNames)
        if (k.code == code) return std::string(k.name);
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", code);
    return buf;
}

std::optional<Shortcut> parse_shortcut(std::string_view text, std::string* error) {
    Shortcut s;
    std::size_t start = 0;
    bool has_key = false;
    while (start <= text.size()) {
        std::size_t plus = text.find('+', start);
        if (plus == std::string_view::npos) plus = text.size();
        const std::string part = lower(text.substr(start, plus - start));
        start = plus + 1;
        if (part.empty()) {
            if (error) *error = "an empty part in the key combination \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        const auto mod = std::find_if(kModifiers.begin(), kModifiers.end(),
                                      [&](const Modifier& m) { return m.name == part; });
        if (mod != kModifiers.end()) {
            s.modifiers = static_cast<std::uint8_t>(s.modifiers | mod->bit);
            continue;
        }
        const auto code = key_code_of_name(part);
        if (!code || is_mouse_code(*code)) {
            if (error)
                *error = "\"" + part + "\" is no key (keys are a..z, 0..9, f1..f12, enter, space, tab, esc, "
                         "left, page-up, kp-1 and the like; modifiers ctrl, shift, alt, win)";
            return std::nullopt;
        }
        if (has_key) {
            if (error) *error = "a key combination holds one key besides the modifiers, not \"" + std::string(text) + "\"";
            return std::nullopt;
        }
        s.key = *code;
        has_key = true;
    }
    return s;
}

std::string shortcut_text(std::uint8_t key, std::uint8_t modifiers) {
    std::string out;
    for (const Modifier& m : kModifiers) {
        if (m.name == "super") continue;
        if (modifiers & m.bit) out += std::string(m.name) + "+";
    }
    if (key != 0) out += key_name(key);
    else if (!out.empty()) out.pop_back();
    return out;
}

std::string counted(std::size_t count, std::string_view noun) {
    return std::to_string(count) + ' ' + std::string(noun) + (count == 1 ? "" : "s");
}

std::optional<std::vector<MacroAction>> parse_macro_text(std::string_view text, std::string* error) {
    std::vector<MacroAction> actions;
    int line_no = 0;
    auto fail = [&](const std::string& what) {
        if (error) *error = "line " + std::to_string(line_no) + ": " + what;
        return std::nullopt;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++line_no;
        const auto words = split_words(line);
        if (words.empty() || words[0].front() == '#') continue;
        if (words.size() != 3)
            return fail("expected \"press KEY DELAY\" or \"release KEY DELAY\", got \"" + std::string(line) + "\"");
        const std::string kind = lower(words[0]);
        if (kind != "press" && kind != "release")
            return fail("\"" + std::string(words[0]) + "\" is neither press nor release");
        const auto code = macro_key_code(words[1]);
        if (!code)
            return fail("\"" + std::string(words[1]) + "\" is not in the key table (a..z, 0..9, f1..f12, enter, "
                        "space, left-ctrl, kp-1, mouse-left, ..., or a code such as 0x64)");
        // A recorded delay may be 0 (two events in the same millisecond).
        const auto delay = parse_number(words[2]);
        if (!delay || *delay < 0 || *delay > kMaxActionDelay)
            return fail("the delay \"" + std::string(words[2]) + "\" is not a number of milliseconds 0.." +
                        std::to_string(kMaxActionDelay));
        if (actions.size() >= kMaxMacroActions)
            return fail("a macro holds at most " + std::to_string(kMaxMacroActions) + " actions");
        actions.push_back({*code, kind == "press" ? kActionPress : kActionRelease, static_cast<std::uint16_t>(*delay)});
    }
    const int units = macro_unit_count(actions, static_cast<int>(actions.size()));
    if (units >= kEditUnitLimit) {
        if (error)
            *error = "the macro costs " + std::to_string(units) + " units on the mouse, at most " +
                     std::to_string(kEditUnitLimit - 1) + " fit (an action with a delay of " +
                     std::to_string(kLongDelayThreshold) + " ms or more costs two)";
        return std::nullopt;
    }
    return actions;
}

std::string macro_text(const std::vector<MacroAction>& actions) {
    std::string out;
    for (const MacroAction& a : actions)
        out += std::string(a.action_kind == kActionPress ? "press " : "release ") + key_name(a.key_code) + ' ' +
               std::to_string(a.delay) + '\n';
    return out;
}

}  // namespace vantorel::cli
