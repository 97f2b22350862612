// SPDX-License-Identifier: GPL-2.0-or-later
#include "auto/process_scan.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vantorel {
namespace fs = std::filesystem;

namespace {

// The first `limit` bytes of a small /proc file; empty when unreadable.
std::string read_small(const fs::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

std::string base_name(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void add_name(std::vector<std::string>& names, std::string name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

}  // namespace

std::vector<std::string> ProcessScan::names_of(std::uint32_t pid) const {
    std::vector<std::string> names;
    if (pid == 0) return names;
    const fs::path dir = root_ / std::to_string(pid);
    std::error_code ec;
    std::string exe = fs::read_symlink(dir / "exe", ec).string();
    // An executable replaced since the start (an update) reads "... (deleted)".
    constexpr std::string_view kDeleted = " (deleted)";
    if (!ec && exe.ends_with(kDeleted)) exe.resize(exe.size() - kDeleted.size());
    if (!ec) add_name(names, base_name(exe));
    if (names.empty()) {
        std::string comm = read_small(dir / "comm", 64);
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        add_name(names, comm);
    }
    const std::string cmdline = read_small(dir / "cmdline", 4096);
    add_name(names, base_name(std::string_view(cmdline.c_str())));
    return names;
}

std::vector<RunningProcess> ProcessScan::scan() const {
    std::vector<RunningProcess> out;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::uint32_t pid = 0;
        const auto [last, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (error != std::errc() || last != name.data() + name.size() || pid == 0) continue;
        RunningProcess process{pid, names_of(pid)};
        if (!process.names.empty()) out.push_back(std::move(process));
    }
    return out;
}

}  // namespace vantorel
