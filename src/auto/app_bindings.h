// SPDX-License-Identifier: GPL-2.0-or-later
// AppBindings: which profile follows which application, the fallback
// profile and whether switching is on, kept in "app-profiles.conf" in the
// data folder (the profile library's own files are not touched).
//
// An application is named by its application id (the Wayland app_id, or the
// class part of WM_CLASS on X11), compared without regard to letter case, or
// by "exe:NAME", the file name of an executable matched against running
// processes (also without regard to case: Wine's "Game.exe" is "game.exe").
// One application follows one profile; a profile may have any number.
// Bindings are kept by profile name, so reordering the list changes nothing
// and a duplicated profile starts without any.
//
// The file, UTF-8, one entry a line; '#' starts a comment line:
//
//   qv-vantorel-app-profiles 1
//   switching on|off               (absent: on as soon as a binding exists)
//   fallback "PROFILE"
//   bind "APP" "PROFILE"
//
// Text is in double quotes; '\\', '"' and control characters are written as
// \\, \" and \xHH. Switching is off by default until the first binding
// exists: a file without a "switching" line follows its bindings, and the
// line is written only once the user turned switching on or off, so a user
// who turned it off stays off whatever is bound later.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "library/data_folder.h"
#include "library/file_io.h"
#include "library/load_report.h"

namespace vantorel {

inline constexpr std::string_view kExePrefix = "exe:";

struct AppBinding {
    std::string app;       // an application id, or "exe:NAME"
    std::u16string profile;
    bool operator==(const AppBinding&) const = default;
};

// Where the bindings of a data folder are kept.
std::filesystem::path app_bindings_file(const DataFolder& folder);

// Whether `app` may be bound: not empty, valid UTF-8, no control characters,
// at most 255 bytes; "exe:" needs a file name without '/'. The refusal says
// why. An "EXE:" prefix in any case is taken as "exe:".
Status check_app_name(std::string_view app);
bool is_exe_binding(std::string_view app);

class AppBindings {
public:
    // The file's longest accepted size; a longer one is damaged.
    static constexpr std::size_t kMaxFileSize = 1 << 20;

    // Whether switching is on: as the user set it, or else on exactly when a
    // binding exists.
    bool switching() const { return switching_choice_.value_or(!bindings_.empty()); }
    // Whether the user chose (on or off), as opposed to the default.
    bool switching_chosen() const { return switching_choice_.has_value(); }
    void set_switching(bool on) { switching_choice_ = on; }

    const std::optional<std::u16string>& fallback() const { return fallback_; }
    void set_fallback(std::optional<std::u16string> profile) { fallback_ = std::move(profile); }

    const std::vector<AppBinding>& bindings() const { return bindings_; }
    bool empty() const { return bindings_.empty(); }
    bool has_exe_bindings() const;

    // Binds `app` to `profile`; an app bound to another profile moves to
    // this one. Refused (nothing changed) for a name check_app_name refuses.
    Status bind(std::u16string_view profile, std::string_view app);
    // Unbinds `app` from `profile` (the app compared as bindings match it);
    // false when it was not bound to that profile.
    bool unbind(std::u16string_view profile, std::string_view app);
    // Every binding of `profile`; how many there were.
    std::size_t unbind_all(std::u16string_view profile);
    std::vector<std::string> apps_of(std::u16string_view profile) const;

    // The profile bound to an application id, or to one of a process's
    // executable names; nothing when none is.
    std::optional<std::u16string> profile_for_app(std::string_view app_id) const;
    std::optional<std::u16string> profile_for_exe(const std::vector<std::string>& exe_names) const;

    // Keeping the bindings with their profile (names compared without
    // regard to case, as the library compares them): a renamed profile keeps
    // its bindings and its fallback mark; a removed one loses both. Return
    // whether anything changed.
    bool profile_renamed(std::u16string_view old_name, std::u16string_view new_name);
    bool profile_removed(std::u16string_view name);

    // Fills the bindings from `file`, replacing what they held. No file: no
    // bindings. A damaged file (unreadable, too long, a line that cannot be
    // read) is kept aside with a note and the lines that could be read are
    // used and saved at once; never fatal. With LoadMode::ReadOnly nothing is
    // moved or written.
    LoadReport load(const std::filesystem::path& file, const WallClock& clock = {}, LoadMode mode = LoadMode::Repair);
    // Writes the file atomically; save() writes to the file last loaded or
    // saved. A damaged file that could not be kept aside is not saved over.
    Status save(const std::filesystem::path& file);
    Status save();
    std::string serialize() const;

private:
    std::optional<bool> switching_choice_;
    std::optional<std::u16string> fallback_;
    std::vector<AppBinding> bindings_;
    std::filesystem::path file_;
    std::optional<std::filesystem::path> protected_file_;
};

}  // namespace vantorel
