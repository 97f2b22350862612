// SPDX-License-Identifier: GPL-2.0-or-later
// One change of the data folder's libraries by a command, made so that a
// running desktop program neither loses it nor overwrites it.
//
// Both programs keep the whole library in memory and write all of it back,
// so two writers must take turns:
//
// - Every command that changes the library holds an advisory lock
//   (flock) on "library.lock" in the data folder from loading to saving;
//   two commands run one after the other.
// - When the desktop program runs on the same data folder, the command asks
//   it over its single-instance socket to hold: it saves the edits it has
//   not saved yet and then writes nothing until the command is done. The
//   command loads, changes and saves the library, then asks the program to
//   reload it from disk, show it and send the mouse what changed. The
//   program's next save then starts from what the command wrote.
//
// The requests, one line each (the answers likewise):
//   hold <data folder>     -> "held" (same folder, holding), "other" or
//                             "busy" (a dialog of the program is open: the
//                             command gives up and changes nothing)
//   reload none|changed|full -> "done" (reloaded, hold ended; "changed" and
//                              "full" also ask for an apply of the
//                              differences or of everything)
//   release                -> "done" (nothing was written, hold ended)
// A connection that closes during a hold ends it with a reload.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "commands.h"
#include "library/profile_store.h"

namespace vantorel::cli {

// What the mouse is to get after the change.
enum class ApplyNeed {
    None,     // nothing it holds changed (a name, another profile)
    Changed,  // the sections of the selected profile that differ
    Full,     // the whole selected profile (another one was selected)
};

const char* apply_need_word(ApplyNeed need);

// The client side of the desktop program's socket.
class GuiLink {
public:
    // The socket of the running program: $XDG_RUNTIME_DIR/QV Vantorel (with
    // the runtime folder Qt falls back to when the variable is unset).
    static std::filesystem::path socket_path();

    // Connects and asks for a hold on `folder`. Null when no program runs,
    // it answers nothing or it works on another data folder; null with
    // *busy set when it has a dialog open.
    static std::unique_ptr<GuiLink> hold(const std::filesystem::path& socket, const std::filesystem::path& folder,
                                         bool* busy);
    ~GuiLink();  // a hold still open is released
    GuiLink(const GuiLink&) = delete;
    GuiLink& operator=(const GuiLink&) = delete;

    // Ends the hold; true when the program answered.
    bool reload(ApplyNeed need);
    bool release();

private:
    explicit GuiLink(int fd) : fd_(fd) {}
    bool request(const std::string& line, std::string* answer);
    int fd_ = -1;
    bool open_ = true;
};

class LibraryEdit {
public:
    // Takes the lock, asks a running program to hold and loads the store.
    // Null, with the message printed, when the data folder cannot be used.
    static std::unique_ptr<LibraryEdit> open(const GlobalOptions& global);
    ~LibraryEdit();  // not committed: the program is released, nothing written

    ProfileStore& store() { return *store_; }
    // Whether the desktop program takes part (and so applies to its mouse).
    bool gui_running() const { return gui_ != nullptr; }

    // Saves the profile library (and the macro library when asked), then
    // lets the program reload and apply. The lock is given up either way.
    // False, with the message printed, when the save failed.
    bool commit(bool macros_changed, ApplyNeed need);
    // The same for a change whose files the caller has saved itself.
    void saved(ApplyNeed need);

private:
    LibraryEdit() = default;
    void unlock();

    int lock_fd_ = -1;
    std::unique_ptr<GuiLink> gui_;
    std::unique_ptr<ProfileStore> store_;
};

}  // namespace vantorel::cli
