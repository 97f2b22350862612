// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/plugin_loader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <dlfcn.h>

#include <system_error>

#include "core/trace.h"

namespace vantorel {

PluginModule::~PluginModule() {
    if (handle_) dlclose(handle_);
}

std::unique_ptr<PluginModule> PluginModule::open(const std::filesystem::path& file, std::string* error) {
    if (!file.is_absolute()) {
        if (error) *error = "not an absolute path";
        return nullptr;
    }
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "cannot load";
        }
        return nullptr;
    }
    return std::unique_ptr<PluginModule>(new PluginModule(handle, file));
}

void* PluginModule::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

std::optional<std::filesystem::path> executable_folder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute()) return std::nullopt;
    return exe.parent_path();
}

std::vector<std::filesystem::path> default_plugin_folders() {
    std::vector<std::filesystem::path> folders;
    if (auto exe = executable_folder()) {
        folders.push_back(*exe);
#ifdef VANTOREL_PLUGIN_RELATIVE_DIR
        // The installed plugin folder, as seen from the installed bindir.
        folders.push_back((*exe / VANTOREL_PLUGIN_RELATIVE_DIR).lexically_normal());
#endif
    }
    return folders;
}

bool plugin_location_trusted(const std::filesystem::path& file, std::string* why) {
    auto refuse = [why](const std::filesystem::path& p, const char* reason) {
        if (why) *why = p.string() + reason;
        return false;
    };
    // The file that would really be mapped, and every folder above it: whoever
    // may write any of them may put code of their own in its place.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(file, ec);
    if (ec) return refuse(file, " cannot be examined");
    bool is_file = true;
    for (std::filesystem::path p = real;; p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) return refuse(p, " cannot be examined");
        if (st.st_uid != 0 && st.st_uid != ::geteuid()) return refuse(p, " belongs to another user");
        // A folder with the sticky bit (/tmp) lets nobody but their owners
        // rename or remove the entries in it.
        const bool shielded = !is_file && (st.st_mode & S_ISVTX);
        if ((st.st_mode & S_IWOTH) && !shielded) return refuse(p, " is writable by other users");
        if ((st.st_mode & S_IWGRP) && !shielded) return refuse(p, " is writable by its group");
        is_file = false;
        if (p == p.root_path() || !p.has_relative_path()) break;
    }
    return true;
}

std::unique_ptr<PluginModule> load_plugin(std::string_view file_name, std::span<const std::filesystem::path> folders) {
    const std::filesystem::path name(file_name);
    if (file_name.empty() || name.has_parent_path() || name.filename() != name) return nullptr;
    for (const auto& folder : folders) {
        if (!folder.is_absolute()) continue;
        const auto candidate = folder / name;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(candidate, ec)) continue;
        std::string error;
        if (!plugin_location_trusted(candidate, &error)) {
            trace("plugin: refusing %s: %s", candidate.c_str(), error.c_str());
            continue;
        }
        if (auto module = PluginModule::open(candidate, &error)) {
            trace("plugin: loaded %s", candidate.c_str());
            return module;
        }
        trace("plugin: cannot load %s: %s", candidate.c_str(), error.c_str());
    }
    return nullptr;
}

}  // namespace vantorel
