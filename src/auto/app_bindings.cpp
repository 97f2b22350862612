// SPDX-License-Identifier: GPL-2.0-or-later
#include "auto/app_bindings.h"

#include <algorithm>

#include "core/text.h"
#include "core/trace.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "qv-vantorel-app-profiles 1";
constexpr std::size_t kMaxAppLength = 255;

bool same_text(std::string_view a, std::string_view b) { return equals_ignore_case(to_utf16(a), to_utf16(b)); }

// The app as it is stored: "exe:" in lower case.
std::string normal_app(std::string_view app) {
    if (app.size() >= kExePrefix.size() && same_text(app.substr(0, kExePrefix.size()), kExePrefix))
        return std::string(kExePrefix) + std::string(app.substr(kExePrefix.size()));
    return std::string(app);
}

std::string quote_text(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The words of a line: bare words, and quoted texts with their escapes
// undone. Nothing when the line cannot be read.
std::optional<std::vector<std::string>> split_line(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) return words;
        std::string word;
        if (line[i] != '"') {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                if (line[i] == '"') return std::nullopt;
                word += line[i++];
            }
            words.push_back(std::move(word));
            continue;
        }
        ++i;
        for (;; ++i) {
            if (i >= line.size()) return std::nullopt;  // no closing quote
            const char c = line[i];
            if (c == '"') break;
            if (c != '\\') {
                word += c;
                continue;
            }
            if (++i >= line.size()) return std::nullopt;
            if (line[i] == '\\' || line[i] == '"') {
                word += line[i];
            } else if (line[i] == 'x' && i + 2 < line.size() && hex_digit(line[i + 1]) >= 0 &&
                       hex_digit(line[i + 2]) >= 0) {
                word += static_cast<char>(hex_digit(line[i + 1]) * 16 + hex_digit(line[i + 2]));
                i += 2;
            } else {
                return std::nullopt;
            }
        }
        ++i;
        if (i < line.size() && line[i] != ' ' && line[i] != '\t') return std::nullopt;
        words.push_back(std::move(word));
    }
}

}  // namespace

fs::path app_bindings_file(const DataFolder& folder) { return folder.path() / "app-profiles.conf"; }

bool is_exe_binding(std::string_view app) {
    return app.size() >= kExePrefix.size() && same_text(app.substr(0, kExePrefix.size()), kExePrefix);
}

Status check_app_name(std::string_view app) {
    const std::string shown = "\"" + std::string(app) + "\"";
    if (app.empty()) return Status::InvalidArgument("an application name must not be empty");
    if (!is_valid_utf8(app)) return Status::InvalidArgument("the application name is not valid UTF-8");
    if (app.size() > kMaxAppLength)
        return Status::InvalidArgument("the application name " + shown + " is too long: at most " +
                                       std::to_string(kMaxAppLength) + " bytes");
    for (const char c : app)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return Status::InvalidArgument("the application name holds a control character");
    if (is_exe_binding(app)) {
        const std::string_view exe = app.substr(kExePrefix.size());
        if (exe.empty()) return Status::InvalidArgument("exe: needs the executable's file name, e.g. exe:Game.exe");
        if (exe.find('/') != std::string_view::npos)
            return Status::InvalidArgument(shown + ": exe: takes the executable's file name, not a path");
    }
    return Status::OK();
}

bool AppBindings::has_exe_bindings() const {
    return std::any_of(bindings_.begin(), bindings_.end(), [](const AppBinding& b) { return is_exe_binding(b.app); });
}

Status AppBindings::bind(std::u16string_view profile, std::string_view app) {
    if (Status status = check_app_name(app); !status) return status;
    if (profile.empty()) return Status::InvalidArgument("a profile name must not be empty");
    const std::string normal = normal_app(app);
    for (AppBinding& b : bindings_) {
        if (!same_text(b.app, normal)) continue;
        b.profile = profile;
        return Status::OK();
    }
    bindings_.push_back({normal, std::u16string(profile)});
    return Status::OK();
}

bool AppBindings::unbind(std::u16string_view profile, std::string_view app) {
    const std::string normal = normal_app(app);
    const auto it = std::find_if(bindings_.begin(), bindings_.end(), [&](const AppBinding& b) {
        return same_text(b.app, normal) && equals_ignore_case(b.profile, profile);
    });
    if (it == bindings_.end()) return false;
    bindings_.erase(it);
    return true;
}

std::size_t AppBindings::unbind_all(std::u16string_view profile) {
    return std::erase_if(bindings_, [&](const AppBinding& b) { return equals_ignore_case(b.profile, profile); });
}

std::vector<std::string> AppBindings::apps_of(std::u16string_view profile) const {
    std::vector<std::string> apps;
    for (const AppBinding& b : bindings_)
        if (equals_ignore_case(b.profile, profile)) apps.push_back(b.app);
    return apps;
}

std::optional<std::u16string> AppBindings::profile_for_app(std::string_view app_id) const {
    if (app_id.empty()) return std::nullopt;
    for (const AppBinding& b : bindings_)
        if (!is_exe_binding(b.app) && same_text(b.app, app_id)) return b.profile;
    return std::nullopt;
}

std::optional<std::u16string> AppBindings::profile_for_exe(const std::vector<std::string>& exe_names) const {
    for (const AppBinding& b : bindings_) {
        if (!is_exe_binding(b.app)) continue;
        const std::string_view exe = std::string_view(b.app).substr(kExePrefix.size());
        for (const std::string& name : exe_names)
            if (same_text(exe, name)) return b.profile;
    }
    return std::nullopt;
}

bool AppBindings::profile_renamed(std::u16string_view old_name, std::u16string_view new_name) {
    bool changed = false;
    for (AppBinding& b : bindings_) {
        if (!equals_ignore_case(b.profile, old_name)) continue;
        b.profile = new_name;
        changed = true;
    }
    if (fallback_ && equals_ignore_case(*fallback_, old_name)) {
        fallback_ = std::u16string(new_name);
        changed = true;
    }
    return changed;
}

bool AppBindings::profile_removed(std::u16string_view name) {
    bool changed = unbind_all(name) > 0;
    if (fallback_ && equals_ignore_case(*fallback_, name)) {
        fallback_.reset();
        changed = true;
    }
    return changed;
}

std::string AppBindings::serialize() const {
    std::string out = "# QV Vantorel: profiles that follow the application (vantorelctl auto, or the mouse page).\n";
    out += kHeader;
    out += '\n';
    if (switching_choice_) out += std::string("switching ") + (*switching_choice_ ? "on" : "off") + '\n';
    if (fallback_) out += "fallback " + quote_text(to_utf8(*fallback_)) + '\n';
    for (const AppBinding& b : bindings_) out += "bind " + quote_text(b.app) + ' ' + quote_text(to_utf8(b.profile)) + '\n';
    return out;
}

Status AppBindings::save(const fs::path& file) {
    const std::string text = serialize();
    Status status = save_library_file(file, std::span(reinterpret_cast<const Byte*>(text.data()), text.size()),
                                      protected_file_, "application bindings");
    if (status) file_ = file;
    return status;
}

Status AppBindings::save() {
    if (file_.empty()) return Status::InvalidArgument("the application bindings have no file to save to");
    return save(file_);
}

LoadReport AppBindings::load(const fs::path& file, const WallClock& clock, LoadMode mode) {
    LoadReport report;
    file_ = file;
    protected_file_.reset();
    switching_choice_.reset();
    fallback_.reset();
    bindings_.clear();
    const bool read_only = mode == LoadMode::ReadOnly;
    if (read_only) protected_file_ = file;
    else remove_stale_temporaries(file);

    const ReadResult read = read_file(file, kMaxFileSize);
    if (read.missing) {
        report.file_missing = true;
        report.started_fresh = true;
        return report;
    }
    std::vector<std::string> damage;
    if (read.too_long) damage.push_back(file.string() + " is longer than " + std::to_string(kMaxFileSize) + " bytes");
    else if (!read.status) damage.push_back(read.status.message());

    if (damage.empty()) {
        const std::string text(read.bytes.begin(), read.bytes.end());
        bool header_seen = false;
        std::size_t number = 0;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string_view line(text.data() + start, end - start);
            start = end + 1;
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const auto first = line.find_first_not_of(" \t");
            if (first == std::string_view::npos || line[first] == '#') continue;
            const std::string where = file.string() + " line " + std::to_string(number);
            if (!header_seen) {
                if (line.substr(first) != kHeader) {
                    damage.push_back(where + " is not \"" + std::string(kHeader) + "\"");
                    break;
                }
                header_seen = true;
                continue;
            }
            const auto words = split_line(line);
            const bool valid_text = is_valid_utf8(line);
            bool ok = words && !words->empty() && valid_text;
            if (ok) {
                const std::vector<std::string>& w = *words;
                if (w[0] == "switching" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
                    switching_choice_ = w[1] == "on";
                } else if (w[0] == "fallback" && w.size() == 2 && !w[1].empty()) {
                    fallback_ = to_utf16(w[1]);
                } else if (w[0] == "bind" && w.size() == 3 && !w[2].empty() && check_app_name(w[1])) {
                    bind(to_utf16(w[2]), w[1]);
                    ++report.records_loaded;
                } else {
                    ok = false;
                }
            }
            if (!ok) damage.push_back(where + " cannot be read: " + std::string(line.substr(0, 80)));
        }
        if (damage.empty() && !header_seen && !text.empty()) damage.push_back(file.string() + " has no header line");
    }
    if (damage.empty()) return report;

    report.problems = damage;
    if (!read_only) {
        AsideResult aside = keep_aside(file, wall_now(clock));
        if (!aside.status) {
            protected_file_ = file;
            report.problems.push_back(aside.status.message() + "; the file is left as it is and will not be saved over");
        } else {
            report.kept_aside = aside.path;
            report.problems.push_back("the damaged file was kept as " + aside.path.string() +
                                      "; the entries that could be read are kept");
            report.saved = true;
            report.save_status = save(file);
            if (!report.save_status) report.problems.push_back(report.save_status.message());
        }
    }
    for (const std::string& p : report.problems) trace("application bindings: %s", p.c_str());
    return report;
}

}  // namespace vantorel
