// SPDX-License-Identifier: GPL-2.0-or-later
// One change of the data folder's libraries by a command, made so that a
// running desktop program neither loses it nor overwrites it.
//
// Both programs keep the whole library in memory and write all of it back,
// so two writers must take turns:
//
// - Every command that changes the library holds an advisory lock
//   (flock) on "library.lock" in the data folder from loading to saving;
//   two commands run one after the other. A command waits for another's
//   lock for QV_VANTOREL_LOCK_WAIT seconds (30 by default), then gives up
//   and changes nothing.
// - The desktop program marks the data folder it works on ("program.lock",
//   see library/program_mark.h). When it is there, the command asks it over
//   the socket the mark names to hold: it saves the edits it has not saved
//   yet and then takes no edit and writes nothing until the command is done.
//   Just before writing, the command asks whether the hold still stands
//   (the program ends a hold after a few seconds of silence); then it
//   saves and asks the program to reload the files, show them and send the
//   mouse what changed. The program's next save starts from what the
//   command wrote.
// - A command that finds the program's mark but cannot have the hold (the
//   program does not answer, belongs to another user, has a dialog open,
//   listens nowhere, or ended the hold) changes nothing and fails, saying why.
//
// The requests, one line each (the answers likewise):
//   hold <data folder>     -> "held" (same folder, holding), "other" or
//                             "busy" (a dialog of the program is open)
//   keep                   -> "held" while the hold stands, else "lost"
//   reload none|changed|full -> "done" (reloaded, hold ended; "changed" and
//                              "full" also ask for an apply of the
//                              differences or of everything)
//   release                -> "done" (nothing was written, hold ended)
// A connection that closes during a hold ends it with a reload that sends
// the mouse what differs.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "library/library_request.h"
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
    // Connects to the program listening on `socket` and asks for a hold on
    // `folder`. Null when it cannot be had, with the reason in *why (and
    // *busy set when a dialog of the program is open).
    static std::unique_ptr<GuiLink> hold(const std::filesystem::path& socket, const std::filesystem::path& folder,
                                         std::string* why, bool* busy);
    // Asks the program listening on `socket` about the mouse it owns (no
    // hold). Nothing, with the reason in *why, when it cannot be asked.
    static std::optional<MouseReply> ask_mouse(const std::filesystem::path& socket, std::string* why);
    // How the running program follows the focused application.
    static std::optional<std::string> ask_auto(const std::filesystem::path& socket, std::string* why);
    ~GuiLink();  // a hold still open is released
    GuiLink(const GuiLink&) = delete;
    GuiLink& operator=(const GuiLink&) = delete;

    // Whether the hold still stands (and it starts its silence anew).
    bool keep();
    // Ends the hold; true when the program answered.
    bool reload(ApplyNeed need);
    bool release();

private:
    explicit GuiLink(int fd) : fd_(fd) {}
    // Connected to the program's socket, run by this user; null with *why.
    static std::unique_ptr<GuiLink> connect(const std::filesystem::path& socket, std::string* why);
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

    // To be asked just before the files are written: whether the program's
    // hold still stands (always, without a program). False, with the message
    // printed and the program released, when it does not: write nothing.
    bool may_write();

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
