// SPDX-License-Identifier: GPL-2.0-or-later
// Whole-file reads and crash-safe whole-file writes for the library files,
// the single-record files and the settings file.
//
// A write never touches the old file: the bytes go to a temporary file in the
// same folder, which is flushed to disk and then renamed over the old one, so
// a reader (or the next start after a crash or a full disk) sees either the
// complete old file or the complete new one.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/bytes.h"
#include "core/status.h"

namespace vantorel {

// Wall-clock time, for names of files kept aside. An empty clock means the
// system clock; tests pass a fixed one.
using WallTime = std::chrono::system_clock::time_point;
using WallClock = std::function<WallTime()>;
WallTime wall_now(const WallClock& clock);

struct ReadResult {
    Status status;
    bool missing = false;   // the file does not exist (status is a failure too)
    bool too_long = false;  // longer than the max_size asked for (status is a failure too)
    std::vector<Byte> bytes;
};

// Reads a whole regular file. With max_size, a longer file is refused without
// reading it. A folder or other non-regular file is a failure.
ReadResult read_file(const std::filesystem::path& path, std::optional<std::size_t> max_size = std::nullopt);

// What a write is for.
//  - Library: the program's own files. Missing parent folders are created,
//    and the permission bits of the file replaced are kept when it is a
//    regular file of the writing user (never through a symbolic link).
//  - Export: a file the user named. The folder must exist, and the file gets
//    the permissions of a new file (the umask's), never the replaced one's.
enum class WriteKind { Library, Export };

// Replaces the file at `path` by `bytes`: temporary file in the same folder,
// write, fsync, rename over the old file, fsync the folder. On failure the
// old file is untouched and the temporary file is removed. A symbolic link at
// `path` is replaced by the file, never followed.
Status write_file_atomic(const std::filesystem::path& path, std::span<const Byte> bytes,
                         WriteKind kind = WriteKind::Library);

// Removes the temporary files that saves of `path` left behind when their
// process was killed (".<name>.tmp-<pid>-<n>" whose process is gone).
// Returns how many were removed.
std::size_t remove_stale_temporaries(const std::filesystem::path& path);

// Saves a library file atomically, except over `damaged`: a damaged file that
// could not be kept aside is never overwritten. `what` names the library in
// the trace line of a failure.
Status save_library_file(const std::filesystem::path& path, std::span<const Byte> bytes,
                         const std::optional<std::filesystem::path>& damaged, const char* what);

// Moves a damaged file to "<name>.broken-YYYYMMDD-HHMMSS" (local time of
// `when`) in its own folder; when that name is taken, "-2", "-3", ... is
// appended, so an earlier copy is never overwritten. The move is a rename, so
// nothing is read and the kept file is the very file that was found.
struct AsideResult {
    Status status;
    std::filesystem::path path;  // where the file was kept, on success
};
AsideResult keep_aside(const std::filesystem::path& path, WallTime when);

// Fault injection for tests: before each step the hook is asked for an errno
// to fail with (0 lets the step run). A failed Write step first writes half of
// the bytes, as a full disk would. Not meant for use outside tests.
enum class FileStep { Read, Open, Write, Sync, Rename, Aside };
using FileFaultHook = std::function<int(FileStep step, const std::filesystem::path& target)>;
void set_file_fault_hook(FileFaultHook hook);

class ScopedFileFault {
public:
    explicit ScopedFileFault(FileFaultHook hook) { set_file_fault_hook(std::move(hook)); }
    ~ScopedFileFault() { set_file_fault_hook({}); }
    ScopedFileFault(const ScopedFileFault&) = delete;
    ScopedFileFault& operator=(const ScopedFileFault&) = delete;
};

}  // namespace vantorel
