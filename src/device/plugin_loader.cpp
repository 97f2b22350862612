// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/plugin_loader.h"

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
    if (auto exe = executable_folder()) folders.push_back(*exe);
#ifdef VANTOREL_PLUGIN_DIR
    folders.emplace_back(VANTOREL_PLUGIN_DIR);
#endif
    return folders;
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
        if (auto module = PluginModule::open(candidate, &error)) {
            trace("plugin: loaded %s", candidate.c_str());
            return module;
        }
        trace("plugin: cannot load %s: %s", candidate.c_str(), error.c_str());
    }
    return nullptr;
}

}  // namespace vantorel
