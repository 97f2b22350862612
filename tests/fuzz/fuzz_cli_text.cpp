// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: what a user types on the command line. The input is split at
// its first zero byte: before it, the text of a macro (and a key
// combination); after it, a setting value tried on every setting.
// Checks: an accepted macro keeps to what the mouse can hold (at most 160
// actions, delays 0..25000 ms, fewer than 162 units) and its own text reads
// back to the same actions; an accepted key combination prints as text that
// parses to the same keys; an accepted setting value reads back as a value
// that is accepted again and changes nothing more; every setting of a
// record made of the input bytes (a damaged library) can be shown.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "button_text.h"
#include "core/profile_record.h"
#include "macro/macro_model.h"
#include "settings_table.h"

using namespace vantorel;
using namespace vantorel::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string_view text = input.substr(0, zero);
    const std::string value(zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1));

    std::string error;
    if (const auto actions = parse_macro_text(text, &error)) {
        if (actions->size() > 160) std::abort();
        for (const MacroAction& a : *actions)
            if (a.delay > 25000) std::abort();
        if (macro_unit_count(*actions, static_cast<int>(actions->size())) >= 162) std::abort();
        const auto again = parse_macro_text(macro_text(*actions), &error);
        if (!again || *again != *actions) std::abort();
    }

    if (const auto keys = parse_shortcut(text, &error)) {
        const auto again = parse_shortcut(shortcut_text(keys->key, keys->modifiers), &error);
        if (!again || again->key != keys->key || again->modifiers != keys->modifiers) std::abort();
    }

    static ProfileRecord defaults = [] {
        ProfileRecord r;
        r.reset_to_defaults();
        return r;
    }();
    ProfileRecord damaged = defaults;
    auto& raw = damaged.bytes();
    for (std::size_t k = 0; k < size && k < raw.size(); ++k) raw[raw.size() - 1 - (k * 7919) % raw.size()] ^= data[k];
    for (const std::string& name : setting_names()) (void)setting_value(damaged, name);

    for (const std::string& name : setting_names()) {
        ProfileRecord record = defaults;
        if (!write_setting(record, name, value, &error)) {
            if (!(record == defaults)) std::abort();  // a refused value changes nothing
            continue;
        }
        const ProfileRecord written = record;
        if (!write_setting(record, name, setting_value(record, name), &error)) std::abort();
        if (!(record == written)) std::abort();
    }
    return 0;
}
