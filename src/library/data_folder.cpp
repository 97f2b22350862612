// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/data_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "core/trace.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

std::optional<fs::path> env_path(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) return std::nullopt;
    return fs::path(v);
}

bool real_writable(const fs::path& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }

IoStatus ensure_folder(const fs::path& dir) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return IoStatus::success();
    fs::create_directories(dir, ec);
    if (ec) return IoStatus::failure("cannot create folder " + dir.string() + ": " + ec.message());
    return IoStatus::success();
}

}  // namespace

DataFolderInputs DataFolderInputs::from_process() {
    DataFolderInputs in;
    in.override_dir = env_path("QV_VANTOREL_DATA_DIR");
    in.xdg_data_home = env_path("XDG_DATA_HOME");
    in.home = env_path("HOME");
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) in.exe_dir = exe.parent_path();
    return in;
}

DataFolder DataFolder::at(fs::path folder) {
    DataFolder d;
    d.path_ = std::move(folder);
    d.status_ = ensure_folder(d.path_);
    return d;
}

DataFolder DataFolder::locate(const DataFolderInputs& in) {
    if (in.override_dir && !in.override_dir->empty()) return at(*in.override_dir);

    auto writable = [&](const fs::path& p) { return in.writable ? in.writable(p) : real_writable(p); };
    if (in.exe_dir && !in.exe_dir->empty()) {
        fs::path beside = *in.exe_dir / "Data";
        std::error_code ec;
        bool usable = fs::is_directory(beside, ec) ? writable(beside)
                                                   : (!fs::exists(beside, ec) && writable(*in.exe_dir));
        if (usable) {
            DataFolder d = at(beside);
            d.portable_ = true;
            if (d.status_) return d;
            trace("data folder beside the executable not usable: %s", d.status_.message.c_str());
        }
    }

    fs::path base;
    // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    if (in.xdg_data_home && in.xdg_data_home->is_absolute()) {
        base = *in.xdg_data_home;
    } else if (in.home && !in.home->empty()) {
        base = *in.home / ".local" / "share";
    } else {
        DataFolder d;
        d.status_ = IoStatus::failure("no data folder: neither HOME nor XDG_DATA_HOME is set");
        return d;
    }
    return at(base / "qv-vantorel" / "Data");
}

}  // namespace vantorel
