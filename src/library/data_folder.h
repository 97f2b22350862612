// SPDX-License-Identifier: GPL-2.0-or-later
// Where the program keeps its files. The data folder holds "CONFIG.ini" and
// the library folder "ms_1" with "pro.data" and "macro.data".
//
// The data folder is, in this order:
// 1. the folder given with --data-dir, or named by QV_VANTOREL_DATA_DIR when
//    that is set and not empty;
// 2. "Data" beside the executable, only when that folder already exists (a
//    portable copy, or a folder carried over from the Windows tool);
// 3. "$XDG_DATA_HOME/qv-vantorel/Data", by default
//    "~/.local/share/qv-vantorel/Data".
// Nothing is ever created beside the executable. Programs that write create
// the chosen folder when it is missing; commands that only read never do.
#pragma once

#include <filesystem>
#include <optional>

#include "core/status.h"

namespace vantorel {

// Everything the choice depends on, so tests can give their own.
struct DataFolderInputs {
    std::optional<std::filesystem::path> override_dir;   // QV_VANTOREL_DATA_DIR
    std::optional<std::filesystem::path> exe_dir;        // folder of the running executable
    std::optional<std::filesystem::path> xdg_data_home;  // XDG_DATA_HOME
    std::optional<std::filesystem::path> home;           // HOME

    // The values of this process: its environment and /proc/self/exe.
    static DataFolderInputs from_process();
};

class DataFolder {
public:
    enum class Create { IfMissing, Never };

    // Chooses the folder and, unless told not to, creates it when missing;
    // status() tells whether that worked.
    static DataFolder locate(const DataFolderInputs& inputs = DataFolderInputs::from_process(),
                             Create create = Create::IfMissing);
    static DataFolder locate(Create create) { return locate(DataFolderInputs::from_process(), create); }
    // A given folder, created when missing unless told not to.
    static DataFolder at(std::filesystem::path folder, Create create = Create::IfMissing);

    const std::filesystem::path& path() const { return path_; }
    bool portable() const { return portable_; }
    const Status& status() const { return status_; }

    std::filesystem::path library_folder() const { return path_ / "ms_1"; }
    std::filesystem::path profile_file() const { return library_folder() / "pro.data"; }
    std::filesystem::path macro_file() const { return library_folder() / "macro.data"; }
    std::filesystem::path config_file() const { return path_ / "CONFIG.ini"; }

private:
    std::filesystem::path path_;
    bool portable_ = false;
    Status status_;
};

}  // namespace vantorel
