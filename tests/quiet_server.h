// SPDX-License-Identifier: GPL-2.0-or-later
// A server a test starts for itself (Xvfb): it dies with the test, also a
// test that crashes, and holds none of the test's output, which ctest waits
// to see closed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vantorel::testing {

// The child's pid, or -1 when it could not be made; a program that cannot
// be run ends the child with status 127.
inline pid_t start_quiet_server(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

}  // namespace vantorel::testing
