// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/data_folder.h"

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

Status ensure_folder(const fs::path& dir) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return Status::OK();
    fs::create_directories(dir, ec);
    if (ec) return Status::IoError("cannot create folder " + dir.string() + ": " + ec.message());
    return Status::OK();
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

DataFolder DataFolder::at(fs::path folder, Create create) {
    DataFolder d;
    d.path_ = std::move(folder);
    if (create == Create::IfMissing) d.status_ = ensure_folder(d.path_);
    return d;
}

DataFolder DataFolder::locate(const DataFolderInputs& in, Create create) {
    if (in.override_dir && !in.override_dir->empty()) return at(*in.override_dir, create);

    if (in.exe_dir && !in.exe_dir->empty()) {
        // Used only when it is there already: a folder beside the executable
        // is never made, so an installed program run as root cannot leave
        // one in /usr/bin.
        fs::path beside = *in.exe_dir / "Data";
        std::error_code ec;
        if (fs::is_directory(beside, ec)) {
            DataFolder d = at(beside, Create::Never);
            d.portable_ = true;
            return d;
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
        d.status_ = Status::NotFound("no data folder: neither HOME nor XDG_DATA_HOME is set");
        return d;
    }
    return at(base / "qv-vantorel" / "Data", create);
}

}  // namespace vantorel
