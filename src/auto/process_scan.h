// SPDX-License-Identifier: GPL-2.0-or-later
// The executable names of running processes, read from /proc, for the
// profiles bound to "exe:NAME". A process goes by:
// - the file name of the executable /proc/PID/exe points to, or, when that
//   cannot be read (another user's process), its comm;
// - the base name of its first command-line argument when that differs, so
//   that a game run by Wine or Proton is known as "Game.exe" although the
//   executable is Wine's loader (both '/' and '\' separate folders there).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantorel {

struct RunningProcess {
    std::uint32_t pid = 0;
    std::vector<std::string> names;
};

class ProcessScan {
public:
    // `proc_root` is the folder holding one folder per process ("/proc";
    // tests give their own).
    explicit ProcessScan(std::filesystem::path proc_root = "/proc") : root_(std::move(proc_root)) {}

    // The names of one process; empty when it is gone or unknown.
    std::vector<std::string> names_of(std::uint32_t pid) const;
    // Every process there now, with its names.
    std::vector<RunningProcess> scan() const;

private:
    std::filesystem::path root_;
};

}  // namespace vantorel
