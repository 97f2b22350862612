// SPDX-License-Identifier: GPL-2.0-or-later
// The requests vantorelctl sends over the single-instance socket while it
// changes the library files, so that the running program neither loses the
// change nor overwrites it with its next save:
//
//   hold <data folder>        the program saves its pending edits and
//                             writes nothing more; answer "held", or
//                             "other" when it works on another data folder,
//                             or "busy" while one of its dialogs is open
//   reload none|changed|full  it reads the files back, shows them and asks
//                             for the apply named (the differences, or the
//                             whole selected profile); the hold ends; "done"
//   release                   the hold ends, nothing was written; "done"
//
// The lines are read by parse_library_request (library/library_request.h):
// anything it refuses, a hold on a relative folder among them, is answered
// "error". One connection holds at a time; a connection that closes while it holds
// ends the hold with a reload, since the command may have written already.
#pragma once

#include <QByteArray>

#include <filesystem>
#include <functional>

namespace vantorel {

class CMS_1_Page;
class SingleInstance;

class LibraryRequests {
public:
    explicit LibraryRequests(CMS_1_Page& page) : page_(page) {}
    ~LibraryRequests();  // the handlers are taken off the socket again
    LibraryRequests(const LibraryRequests&) = delete;
    LibraryRequests& operator=(const LibraryRequests&) = delete;
    // Installs the handlers on the instance's socket.
    void attach(SingleInstance& instance);
    // Runs before each request is handled (the page set up first).
    void set_prepare(std::function<void()> prepare) { prepare_ = std::move(prepare); }

    QByteArray handle(const void* connection, const QByteArray& line);
    void closed(const void* connection);

private:
    bool same_folder(const std::filesystem::path& folder) const;

    CMS_1_Page& page_;
    SingleInstance* instance_ = nullptr;
    const void* holder_ = nullptr;
    std::function<void()> prepare_;
};

}  // namespace vantorel
