// SPDX-License-Identifier: GPL-2.0-or-later
// Loading of the libraries the application binds at run time (the wired
// driver library). A plugin is loaded only by absolute path from a known
// folder: the folder of the running executable or the installed plugin
// folder, never from the working directory or a library search path, so a
// file planted elsewhere is never run.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

// One loaded library; unloaded when the object goes.
class PluginModule {
public:
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads `file` (an absolute path) with RTLD_NOW | RTLD_LOCAL. Null on
    // failure, with the loader's reason in *error.
    static std::unique_ptr<PluginModule> open(const std::filesystem::path& file, std::string* error = nullptr);

    // Address of an exported symbol, or null.
    void* symbol(const char* name) const;
    const std::filesystem::path& path() const { return path_; }

private:
    PluginModule(void* handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::filesystem::path path_;
};

// Folder of the running executable (from /proc/self/exe), if it can be read.
std::optional<std::filesystem::path> executable_folder();

// The folders plugins load from, in order: the executable's folder, then the
// installed plugin folder.
std::vector<std::filesystem::path> default_plugin_folders();

// Loads `file_name` (a plain file name) from the first of `folders` that has
// it and can load it. Relative folders are skipped. Null when none does.
// Whether a plugin file may be loaded from where it lies: neither the file
// (links followed) nor any folder above it may be writable by its group or
// by other users (a folder with the sticky bit excepted), and each must
// belong to root or to the user running the program. `why` says what is
// wrong.
bool plugin_location_trusted(const std::filesystem::path& file, std::string* why = nullptr);

std::unique_ptr<PluginModule> load_plugin(std::string_view file_name, std::span<const std::filesystem::path> folders);

}  // namespace vantorel
