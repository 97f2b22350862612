// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/settings_file.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "library/file_io.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kSection = u"SETTING";
constexpr std::u16string_view kKey = u"ModelId";

enum class Encoding { Bytes, Utf8Bom, Utf16Le };

struct Line {
    std::u16string text;    // without its line end
    std::u16string ending;  // "\r\n", "\n", "\r" or "" for a last line without one
};

struct IniText {
    Encoding encoding = Encoding::Bytes;
    std::vector<Line> lines;
};

bool is_space(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

// Single-byte text is widened unit by unit and narrowed back the same way,
// so lines this code does not touch keep their exact bytes in any 8-bit
// encoding (ANSI code pages and UTF-8 alike).
IniText decode(const std::vector<Byte>& bytes) {
    IniText ini;
    std::u16string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        ini.encoding = Encoding::Utf16Le;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(load_u16(&bytes[i])));
    } else {
        std::size_t start = 0;
        if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            ini.encoding = Encoding::Utf8Bom;
            start = 3;
        }
        for (std::size_t i = start; i < bytes.size(); ++i) text.push_back(bytes[i]);
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", pos);
        Line line;
        if (end == std::u16string::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            line.text = text.substr(pos, end - pos);
            std::size_t len = (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1;
            line.ending = text.substr(end, len);
            pos = end + len;
        }
        ini.lines.push_back(std::move(line));
    }
    return ini;
}

std::vector<Byte> encode(const IniText& ini) {
    std::vector<Byte> out;
    if (ini.encoding == Encoding::Utf16Le) {
        out = {0xFF, 0xFE};
    } else if (ini.encoding == Encoding::Utf8Bom) {
        out = {0xEF, 0xBB, 0xBF};
    }
    auto put = [&](const std::u16string& s) {
        for (char16_t c : s) {
            if (ini.encoding == Encoding::Utf16Le) {
                out.push_back(static_cast<Byte>(c & 0xFF));
                out.push_back(static_cast<Byte>(c >> 8));
            } else {
                out.push_back(static_cast<Byte>(c));
            }
        }
    };
    for (const Line& l : ini.lines) {
        put(l.text);
        put(l.ending);
    }
    return out;
}

// The name of a section header line, or nothing for other lines.
std::optional<std::u16string_view> section_name(std::u16string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    std::size_t close = line.rfind(u']');
    if (close == std::u16string_view::npos || close == 0) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::u16string_view key;
    std::optional<std::u16string_view> value;  // none when the line has no '='
};

KeyLine split_key(std::u16string_view line) {
    line = trim(line);
    std::size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) return {line, std::nullopt};
    return {trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

// Where the setting sits in the file.
struct Location {
    std::optional<std::size_t> section;  // line of the first "[SETTING]"
    std::optional<std::size_t> key;      // line of the first "ModelId" in it
    std::size_t section_end = 0;         // line after the last non-blank line of the section
};

Location locate(const IniText& ini) {
    Location loc;
    for (std::size_t i = 0; i < ini.lines.size(); ++i) {
        auto name = section_name(ini.lines[i].text);
        if (!loc.section) {
            if (name && equals_ignore_case(*name, kSection)) {
                loc.section = i;
                loc.section_end = i + 1;
            }
            continue;
        }
        if (name) break;  // the next section starts
        if (trim(ini.lines[i].text).empty()) continue;
        loc.section_end = i + 1;
        if (!loc.key && equals_ignore_case(split_key(ini.lines[i].text).key, kKey)) loc.key = i;
    }
    return loc;
}

// The first line end used in the file; CR LF for a new file.
std::u16string line_end_of(const IniText& ini) {
    for (const Line& l : ini.lines)
        if (!l.ending.empty()) return l.ending;
    return u"\r\n";
}

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

int parse_profile_int(std::u16string_view value) {
    value = trim(value);
    // A value in matching quotes is read without them.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = trim(value.substr(1, value.size() - 2));
    bool negative = false;
    if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) {
        negative = value.front() == u'-';
        value.remove_prefix(1);
    }
    std::int64_t n = 0;
    for (char16_t c : value) {
        if (c < u'0' || c > u'9') break;
        n = n * 10 + (c - u'0');
        if (n > static_cast<std::int64_t>(INT_MAX) + 1) n = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

int read_model_id(const fs::path& path) {
    ReadResult read = read_file(path, kMaxSettingsFileSize);
    if (!read.status) return kModelIdMissing;
    IniText ini = decode(read.bytes);
    Location loc = locate(ini);
    if (!loc.key) return kModelIdMissing;
    std::optional<std::u16string_view> value = split_key(ini.lines[*loc.key].text).value;
    // A key without a value reads like a missing key, as on Windows.
    if (!value || value->empty()) return kModelIdMissing;
    return parse_profile_int(*value);
}

Status write_model_id(const fs::path& path, int id, std::string* note) {
    ReadResult read = read_file(path, kMaxSettingsFileSize);
    if (read.too_long) {
        const AsideResult aside = keep_aside(path, wall_now({}));
        if (!aside.status) return Status::IoError(read.status.message() + "; " + aside.status.message());
        if (note) *note = read.status.message() + ": no settings file is that long; it was kept as " + aside.path.string();
        read = ReadResult{};
    } else if (!read.status && !read.missing) {
        return read.status;
    }
    IniText ini = decode(read.bytes);
    const std::u16string nl = line_end_of(ini);
    const std::u16string entry = std::u16string(kKey) + u"=" + ascii(std::to_string(id));

    Location loc = locate(ini);
    if (loc.key) {
        ini.lines[*loc.key].text = entry;
    } else {
        std::size_t at = loc.section ? loc.section_end : ini.lines.size();
        // The line before the insertion point must end before a new one starts.
        if (at > 0 && ini.lines[at - 1].ending.empty()) ini.lines[at - 1].ending = nl;
        std::vector<Line> added;
        if (!loc.section) added.push_back({u"[" + std::u16string(kSection) + u"]", nl});
        added.push_back({entry, nl});
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }
    return write_file_atomic(path, encode(ini));
}

}  // namespace vantorel
