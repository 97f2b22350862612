// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/file_io.h"

#include <fcntl.h>
#include <cstdlib>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "core/trace.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

FileFaultHook& fault_hook() {
    static FileFaultHook hook;
    return hook;
}

int injected_fault(FileStep step, const fs::path& target) {
    const FileFaultHook& hook = fault_hook();
    return hook ? hook(step, target) : 0;
}

std::string describe(const std::string& what, const fs::path& path, int err) {
    return what + " " + path.string() + ": " + std::strerror(err);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void adopt(int fd) {
        reset();
        fd_ = fd;
    }
    // Closes now and reports close's own error (0 when it went well).
    int close_now() {
        int fd = fd_;
        fd_ = -1;
        return (fd >= 0 && ::close(fd) != 0) ? errno : 0;
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

int write_all(int fd, const Byte* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return 0;
}

void sync_folder(const fs::path& dir) {
    Fd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a folder; the rename itself has happened.
    if (d.get() < 0 || ::fsync(d.get()) != 0) trace("folder sync of %s: %s", dir.c_str(), std::strerror(errno));
}

fs::path folder_of(const fs::path& path) {
    fs::path dir = path.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

}  // namespace

WallTime wall_now(const WallClock& clock) { return clock ? clock() : std::chrono::system_clock::now(); }

void set_file_fault_hook(FileFaultHook hook) { fault_hook() = std::move(hook); }

Status save_library_file(const fs::path& path, std::span<const Byte> bytes, const std::optional<fs::path>& damaged,
                         const char* what) {
    if (damaged && *damaged == path) {
        return Status::Corruption("not saving over " + path.string() +
                                  ": it is damaged and could not be kept aside, so it is left as it is");
    }
    Status status = write_file_atomic(path, bytes);
    if (!status) trace("%s save failed: %s", what, status.message().c_str());
    return status;
}

std::size_t remove_stale_temporaries(const fs::path& path) {
    const std::string prefix = "." + path.filename().string() + ".tmp-";
    std::size_t removed = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        // The writer's process id follows the prefix; a live writer keeps its file.
        const std::string rest = name.substr(prefix.size());
        const auto dash = rest.find('-');
        // Kept in a variable: `end` points into it.
        const std::string digits = rest.substr(0, dash);
        char* end = nullptr;
        const long pid = std::strtol(digits.c_str(), &end, 10);
        if (pid <= 0 || (end && *end != '\0')) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) continue;
        std::error_code rm;
        if (fs::remove(entry.path(), rm)) ++removed;
    }
    return removed;
}

ReadResult read_file(const fs::path& path, std::optional<std::size_t> max_size) {
    ReadResult r;
    if (int e = injected_fault(FileStep::Read, path)) {
        r.status = Status::IoError(describe("cannot read", path, e));
        return r;
    }
    // Non-blocking, so a FIFO or a device in place of a library file is
    // refused below instead of hanging the program in open().
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        const int err = errno;
        r.missing = (err == ENOENT);
        const std::string why = describe("cannot open", path, err);
        r.status = r.missing ? Status::NotFound(why) : Status::IoError(why);
        return r;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        r.status = Status::IoError(describe("cannot read", path, errno));
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.status = Status::IoError("cannot read " + path.string() + ": not a regular file");
        return r;
    }
    // A regular file reads the same either way; blocking reads are simpler.
    if (const int flags = ::fcntl(fd.get(), F_GETFL); flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (max_size && static_cast<std::uintmax_t>(st.st_size) > *max_size) {
        r.too_long = true;
        r.status = Status::Corruption("cannot read " + path.string() + ": the file is " +
                                      std::to_string(st.st_size) + " bytes long, more than " +
                                      std::to_string(*max_size));
        return r;
    }
    r.bytes.reserve(static_cast<std::size_t>(st.st_size));
    Byte buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.status = Status::IoError(describe("cannot read", path, errno));
            r.bytes.clear();
            return r;
        }
        if (n == 0) break;
        r.bytes.insert(r.bytes.end(), buf, buf + n);
        // The file may grow while it is read; never take more than allowed.
        if (max_size && r.bytes.size() > *max_size) {
            r.too_long = true;
            r.status = Status::Corruption("cannot read " + path.string() + ": the file is longer than " +
                                          std::to_string(*max_size) + " bytes");
            r.bytes.clear();
            return r;
        }
    }
    return r;
}

Status write_file_atomic(const fs::path& path, std::span<const Byte> bytes, WriteKind kind) {
    const fs::path dir = folder_of(path);
    std::error_code ec;
    if (kind == WriteKind::Export) {
        if (!fs::is_directory(dir, ec))
            return Status::IoError("cannot write " + path.string() + ": the folder " + dir.string() + " does not exist");
    } else {
        fs::create_directories(dir, ec);
        if (ec) return Status::IoError("cannot create folder " + dir.string() + ": " + ec.message());
    }

    if (int e = injected_fault(FileStep::Open, path)) return Status::IoError(describe("cannot write", path, e));

    // A name of our own in the same folder, so the rename cannot cross file
    // systems and two writers never share a temporary file.
    static std::atomic<unsigned> counter{0};
    fs::path temp;
    Fd fd;
    for (int attempt = 0; attempt < 100 && fd.get() < 0; ++attempt) {
        temp = dir / ("." + path.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter.fetch_add(1)));
        fd.adopt(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0 && errno != EEXIST) return Status::IoError(describe("cannot write", path, errno));
    }
    if (fd.get() < 0) return Status::IoError("cannot write " + path.string() + ": no free temporary name");

    auto fail = [&](int err) {
        fd.reset();
        ::unlink(temp.c_str());
        return Status::IoError(describe("cannot write", path, err));
    };

    // The replaced file's own bits, and only those of the user's own file:
    // copying the bits of a file someone else made writable would hand them
    // the new file too.
    struct stat old {};
    if (kind == WriteKind::Library && ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        old.st_uid == ::geteuid() && ::fchmod(fd.get(), old.st_mode & 0777) != 0)
        trace("cannot keep the permissions of %s: %s", path.c_str(), std::strerror(errno));

    if (int e = injected_fault(FileStep::Write, path)) {
        write_all(fd.get(), bytes.data(), bytes.size() / 2);
        return fail(e);
    }
    if (int e = write_all(fd.get(), bytes.data(), bytes.size())) return fail(e);

    if (int e = injected_fault(FileStep::Sync, path)) return fail(e);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (int e = fd.close_now()) {
        ::unlink(temp.c_str());
        return Status::IoError(describe("cannot write", path, e));
    }

    int e = injected_fault(FileStep::Rename, path);
    if (!e && ::rename(temp.c_str(), path.c_str()) != 0) e = errno;
    if (e) {
        ::unlink(temp.c_str());
        return Status::IoError(describe("cannot replace", path, e));
    }
    sync_folder(dir);
    return Status::OK();
}

AsideResult keep_aside(const fs::path& path, WallTime when) {
    AsideResult r;
    if (int e = injected_fault(FileStep::Aside, path)) {
        r.status = Status::IoError(describe("cannot keep aside", path, e));
        return r;
    }
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path.filename().string() + ".broken-" + stamp;
    const fs::path dir = folder_of(path);

    for (int n = 1; n <= 1000; ++n) {
        fs::path candidate = dir / (n == 1 ? base : base + "-" + std::to_string(n));
        // A hard link fails on an existing name, so link + unlink is a move
        // that can never replace an earlier copy.
        if (::link(path.c_str(), candidate.c_str()) == 0) {
            if (::unlink(path.c_str()) != 0) {
                int err = errno;
                ::unlink(candidate.c_str());
                r.status = Status::IoError(describe("cannot keep aside", path, err));
                return r;
            }
            sync_folder(dir);
            r.path = candidate;
            return r;
        }
        if (errno == EEXIST) continue;
        // No hard link possible (a folder, or a file system without links):
        // rename, after making sure the name is free.
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0) continue;
        if (::rename(path.c_str(), candidate.c_str()) == 0) {
            sync_folder(dir);
            r.path = candidate;
            return r;
        }
        r.status = Status::IoError(describe("cannot keep aside", path, errno));
        return r;
    }
    r.status = Status::IoError("cannot keep aside " + path.string() + ": no free name");
    return r;
}

}  // namespace vantorel
