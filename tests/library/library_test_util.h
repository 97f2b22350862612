// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers shared by the library tests: raw files, random records, folders.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/profile_record.h"
#include "core/text_lookup.h"
#include "library/macro_record.h"
#include "test_util.h"

namespace vantorel::testing {

inline std::vector<Byte> read_all(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<Byte>(std::istreambuf_iterator<char>(in), {});
}

inline void write_all(const std::filesystem::path& p, const std::vector<Byte>& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void append_bytes(std::vector<Byte>& to, std::span<const Byte> more) { to.insert(to.end(), more.begin(), more.end()); }

// A record of random bytes with a readable name.
inline ProfileRecord random_profile(std::u16string_view name, std::uint32_t seed) {
    ProfileRecord r;
    r.assign(random_bytes(ProfileRecord::kSize, seed));
    r.set_profile_name(name);
    return r;
}

inline MacroRecord named_macro(std::u16string_view name, std::uint32_t seed = 1) {
    MacroRecord m;
    m.assign(random_bytes(MacroRecord::kSize, seed));
    m.set_name(name);
    m.set_action_count(3);
    return m;
}

// Every file in a folder, by name.
inline std::vector<std::string> names_in(const std::filesystem::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Every file and folder below `dir` with its bytes (folders as empty), to
// see that an operation changed nothing.
inline std::map<std::string, std::vector<Byte>> snapshot_tree(const std::filesystem::path& dir) {
    std::map<std::string, std::vector<Byte>> out;
    if (!std::filesystem::exists(dir)) return out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        out[e.path().lexically_relative(dir).string()] = e.is_regular_file() ? read_all(e.path()) : std::vector<Byte>{};
    return out;
}

inline const MapTextLookup& english() {
    static const MapTextLookup texts({{"add_profile_text", u"Profile"}, {"add_macro_text", u"Macro"}});
    return texts;
}

}  // namespace vantorel::testing
