// SPDX-License-Identifier: GPL-2.0-or-later
// Runs vantorelctl as a user would: a real process, its output and its exit
// status.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace vantorel::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) v.push_back(line);
        return v;
    }
};

// Standard error is left out unless asked for. `env` (NAME=VALUE ...) is
// put before the command.
inline CliRun run_cli(const std::string& args, bool with_errors = false, const std::string& env = {}) {
    CliRun r;
    const std::string cmd = (env.empty() ? std::string() : "env " + env + " ") + std::string(VANTORELCTL_PATH) + " " +
                            args + (with_errors ? " 2>&1" : " 2>/dev/null");
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace vantorel::testing
