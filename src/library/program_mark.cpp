// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/program_mark.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantorel {

namespace {

// How long a side waits for the other's short turn on the mark.
constexpr int kMarkWaitMs = 2000;
constexpr int kMarkStepMs = 10;
// The longest socket path the mark holds (a Unix socket path is far shorter).
constexpr std::size_t kMaxMark = 4096;

std::string errno_text(int error) { return std::strerror(error); }

// A folder of this user's that nobody else may write to, or false.
bool private_folder(const std::filesystem::path& dir) {
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// flock with a bounded wait.
bool lock_within(int fd, int operation, int wait_ms) {
    for (int waited = 0;; waited += kMarkStepMs) {
        if (::flock(fd, operation | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (waited >= wait_ms) return false;
        ::usleep(kMarkStepMs * 1000);
    }
}

}  // namespace

std::filesystem::path program_socket_path() {
    const std::string name = "QV Vantorel";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && private_folder(runtime)) return std::filesystem::path(runtime) / name;
    const std::filesystem::path run_user = "/run/user/" + std::to_string(::geteuid());
    if (private_folder(run_user)) return run_user / name;
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path base = tmp && *tmp == '/' ? tmp : "/tmp";
    const std::filesystem::path own = base / ("qv-vantorel-" + std::to_string(::geteuid()));
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Made by us, or there before: only a folder of ours that no one else
    // may write to will do.
    struct stat st {};
    if (::lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)))
        return {};
    return own / name;
}

int open_lock_file(const std::filesystem::path& file, std::string* error, int* error_number) {
    if (error_number) *error_number = 0;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int e = errno;
        if (error_number) *error_number = e;
        if (error) *error = file.string() + (e == ELOOP ? " is a symbolic link" : ": " + errno_text(e));
        return -1;
    }
    struct stat st {};
    const char* wrong = nullptr;
    if (::fstat(fd, &st) != 0) wrong = " cannot be examined";
    else if (!S_ISREG(st.st_mode)) wrong = " is not a regular file";
    else if (st.st_uid != ::geteuid()) wrong = " belongs to another user";
    if (wrong) {
        ::close(fd);
        if (error) *error = file.string() + wrong;
        return -1;
    }
    return fd;
}

std::unique_ptr<ProgramMark> ProgramMark::claim(const std::filesystem::path& folder, const std::string& socket,
                                                std::string* error) {
    const std::filesystem::path file = folder / kFileName;
    const int fd = open_lock_file(file, error);
    if (fd < 0) return nullptr;
    // Shared, so that every program on the folder can hold it; a command
    // looking takes it exclusively for a moment only.
    if (!lock_within(fd, LOCK_SH, kMarkWaitMs)) {
        if (error) *error = "cannot lock " + file.string() + ": " + errno_text(errno);
        ::close(fd);
        return nullptr;
    }
    // The path in one write, ended by a newline: a reader takes only a
    // whole line.
    const std::string line = socket + '\n';
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
        if (error) *error = "cannot write " + file.string() + ": " + errno_text(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<ProgramMark>(new ProgramMark(fd));
}

ProgramMark::~ProgramMark() {
    if (fd_ >= 0) ::close(fd_);  // and with it the lock
}

ProgramProbe probe_program(const std::filesystem::path& folder) {
    ProgramProbe probe;
    const std::filesystem::path file = folder / ProgramMark::kFileName;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return probe;  // never marked: no program
        probe.state = ProgramProbe::State::Unknown;
        probe.error = file.string() + (errno == ELOOP ? " is a symbolic link" : ": " + errno_text(errno));
        return probe;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        probe.state = ProgramProbe::State::Unknown;
        probe.error = file.string() + " is not a regular file";
        return probe;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::close(fd);  // nobody holds it: the program that wrote it is gone
        return probe;
    }
    if (errno != EWOULDBLOCK) {
        probe.state = ProgramProbe::State::Unknown;
        probe.error = "cannot lock " + file.string() + ": " + errno_text(errno);
        ::close(fd);
        return probe;
    }
    probe.state = ProgramProbe::State::Running;
    // A program that has just started may not have written its line yet.
    for (int waited = 0;; waited += kMarkStepMs) {
        char buffer[kMaxMark];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            const std::string text(buffer, static_cast<std::size_t>(n));
            const std::size_t end = text.find('\n');
            if (end != std::string::npos) {
                probe.socket = text.substr(0, end);
                break;
            }
        }
        if (waited >= kMarkWaitMs) {
            probe.state = ProgramProbe::State::Unknown;
            probe.error = "the running QV Vantorel has not said where it listens (" + file.string() + ")";
            break;
        }
        ::usleep(kMarkStepMs * 1000);
    }
    ::close(fd);
    return probe;
}

}  // namespace vantorel
