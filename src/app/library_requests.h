// SPDX-License-Identifier: GPL-2.0-or-later
// The requests vantorelctl sends over the single-instance socket while it
// changes the library files, so that the running program neither loses the
// change nor overwrites it with its next save:
//
//   hold <data folder>        the program saves its pending edits, takes no
//                             edit and writes nothing more; answer "held",
//                             or "other" when it works on another data
//                             folder or another command holds, or "busy"
//                             while one of its dialogs is open
//   keep                      "held" while the hold stands (its silence
//                             starts anew), "lost" once it has ended
//   reload none|changed|full  it reads the files back, shows them and asks
//                             for the apply named (the differences, or the
//                             whole selected profile); the hold ends; "done"
//   release                   the hold ends, nothing was written; "done"
//
// The lines are read by parse_library_request (library/library_request.h):
// anything it refuses, a hold on a relative folder among them, is answered
// "error". One connection holds at a time. A hold ends without the
// command's word when its connection closes, or when the command says
// nothing for kHoldSilenceMs (stopped with Ctrl+Z, in a debugger, on a
// disk that does not answer): the program then reloads the files, since
// the command may have written already, and sends the mouse what differs
// from what it holds, so the window and the mouse agree again.
#pragma once

#include <QByteArray>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "library/library_request.h"

namespace vantorel {

class CMS_1_Page;
class SingleInstance;

class LibraryRequests {
public:
    static constexpr int kHoldSilenceMs = 5000;

    explicit LibraryRequests(CMS_1_Page& page) : page_(page) {}
    ~LibraryRequests();  // the handlers are taken off the socket again
    LibraryRequests(const LibraryRequests&) = delete;
    LibraryRequests& operator=(const LibraryRequests&) = delete;
    // Installs the handlers on the instance's socket.
    void attach(SingleInstance& instance);
    // Runs before each request is handled (the page set up first).
    void set_prepare(std::function<void()> prepare) { prepare_ = std::move(prepare); }
    // The answer to "auto": how the program follows the focused application.
    void set_auto_status(std::function<std::string()> status) { auto_status_ = std::move(status); }

    QByteArray handle(const void* connection, const QByteArray& line);
    void closed(const void* connection);

    // Ends a hold whose command went silent (the timer calls it).
    void holder_silent();

private:
    MouseReply mouse_reply();
    std::function<std::string()> auto_status_;
    bool same_folder(const std::filesystem::path& folder) const;
    void lose_holder(const char* why);

    CMS_1_Page& page_;
    SingleInstance* instance_ = nullptr;
    const void* holder_ = nullptr;
    QTimer* silence_ = nullptr;
    std::function<void()> prepare_;
};

}  // namespace vantorel
