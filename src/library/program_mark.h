// SPDX-License-Identifier: GPL-2.0-or-later
// How vantorelctl knows that the desktop program works on a data folder, and
// where to reach it.
//
// The running program keeps a shared advisory lock (flock) on "program.lock"
// in its data folder for as long as it runs, and writes into that file the
// path of the socket it listens on. A command that changes the library looks
// at the folder itself, so it finds the program whatever its own environment
// says (su, sudo, ssh and cron leave XDG_RUNTIME_DIR unset or different), and
// the kernel lets go of the lock when the program ends, however it ends.
//
// The lock files of the data folder ("library.lock", "program.lock") are
// opened without following a symbolic link and only when they are regular
// files of the user: a shared folder must not make the programs create or
// lock files elsewhere.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace vantorel {

// Where the program listens: "QV Vantorel" in the user's runtime folder,
// which is $XDG_RUNTIME_DIR when that is a folder of the user, else
// /run/user/UID when that is, else a folder "qv-vantorel-UID" of the user's
// alone in $TMPDIR (or /tmp), made when missing. Empty when none can be had.
// The program and its second starts compute it the same way.
std::filesystem::path program_socket_path();

// Opens `file` for reading and writing, creating it (mode 0600) when
// missing. -1 with the reason in *error when it is a symbolic link, not a
// regular file, belongs to another user or cannot be opened; *error_number
// then holds errno where there was one (0 otherwise).
int open_lock_file(const std::filesystem::path& file, std::string* error, int* error_number = nullptr);

// The program's side: the mark on its data folder, held until destroyed.
class ProgramMark {
public:
    static constexpr const char* kFileName = "program.lock";

    // Marks `folder` as worked on by this program, listening on `socket`
    // (empty when it listens nowhere). Null, with the reason, when the mark
    // cannot be made.
    static std::unique_ptr<ProgramMark> claim(const std::filesystem::path& folder, const std::string& socket,
                                              std::string* error);
    ~ProgramMark();
    ProgramMark(const ProgramMark&) = delete;
    ProgramMark& operator=(const ProgramMark&) = delete;

private:
    explicit ProgramMark(int fd) : fd_(fd) {}
    int fd_;
};

// The command's side: whether a program works on `folder` now.
struct ProgramProbe {
    enum class State {
        None,     // no program works on the folder
        Running,  // one does; `socket` is where it listens (may be empty)
        Unknown,  // the mark cannot be read; `error` says why
    };
    State state = State::None;
    std::string socket;
    std::string error;
};
ProgramProbe probe_program(const std::filesystem::path& folder);

}  // namespace vantorel
