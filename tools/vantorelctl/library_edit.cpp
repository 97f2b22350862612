// SPDX-License-Identifier: GPL-2.0-or-later
#include "library_edit.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "core/trace.h"
#include "library/library_request.h"
#include "library_access.h"

namespace vantorel::cli {

namespace {

// The longest the program may take to answer: a hold first saves its own
// edits, a reload reads and shows both libraries.
constexpr int kAnswerTimeoutMs = 10000;

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool read_line(int fd, std::string* line) {
    line->clear();
    while (line->size() < 256) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        line->push_back(c);
    }
    return false;
}

}  // namespace

const char* apply_need_word(ApplyNeed need) {
    switch (need) {
        case ApplyNeed::None: return "none";
        case ApplyNeed::Changed: return "changed";
        case ApplyNeed::Full: return "full";
    }
    return "none";
}

std::filesystem::path GuiLink::socket_path() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::filesystem::path dir;
    if (runtime && *runtime) {
        dir = runtime;
    } else {
        // Where Qt puts its runtime folder when the variable is unset.
        const std::filesystem::path run_user = "/run/user/" + std::to_string(::getuid());
        std::error_code ec;
        if (std::filesystem::is_directory(run_user, ec)) {
            dir = run_user;
        } else {
            const char* tmp = std::getenv("TMPDIR");
            const passwd* pw = ::getpwuid(::getuid());
            dir = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                  ("runtime-" + std::string(pw ? pw->pw_name : std::to_string(::getuid())));
        }
    }
    return dir / "QV Vantorel";
}

std::unique_ptr<GuiLink> GuiLink::hold(const std::filesystem::path& socket, const std::filesystem::path& folder,
                                       bool* busy) {
    *busy = false;
    const std::string path = socket.string();
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return nullptr;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        // No program runs (or a crashed one left its socket file).
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<GuiLink> link(new GuiLink(fd));
    std::string answer;
    LibraryRequest hold;
    hold.verb = LibraryRequest::Verb::Hold;
    hold.folder = folder.string();
    if (!link->request(format_library_request(hold), &answer) || answer != "held") {
        *busy = answer == "busy";
        trace("desktop program: %s\n", answer == "other" ? "works on another data folder" : "did not answer");
        link->open_ = false;
        return nullptr;
    }
    trace("desktop program: holds its saves\n");
    return link;
}

GuiLink::~GuiLink() {
    if (open_) release();
    if (fd_ >= 0) ::close(fd_);
}

bool GuiLink::request(const std::string& line, std::string* answer) {
    return write_all(fd_, line + '\n') && read_line(fd_, answer);
}

bool GuiLink::reload(ApplyNeed need) {
    open_ = false;
    std::string answer;
    LibraryRequest reload;
    reload.verb = LibraryRequest::Verb::Reload;
    reload.apply = need == ApplyNeed::Full      ? LibraryRequest::Apply::Full
                   : need == ApplyNeed::Changed ? LibraryRequest::Apply::Changed
                                                : LibraryRequest::Apply::None;
    return request(format_library_request(reload), &answer) && answer == "done";
}

bool GuiLink::release() {
    open_ = false;
    std::string answer;
    LibraryRequest release;
    release.verb = LibraryRequest::Verb::Release;
    return request(format_library_request(release), &answer) && answer == "done";
}

std::unique_ptr<LibraryEdit> LibraryEdit::open(const GlobalOptions& global) {
    const DataFolder folder = command_data_folder(global, DataFolder::Create::IfMissing);
    if (!folder.status()) {
        print_error(folder.status().message);
        return nullptr;
    }
    std::unique_ptr<LibraryEdit> edit(new LibraryEdit());
    // The lock first: a second command waits here until the first is done.
    const std::filesystem::path lock_file = folder.path() / "library.lock";
    edit->lock_fd_ = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (edit->lock_fd_ < 0) {
        const int error = errno;
        if (error == EROFS || error == EACCES || error == EPERM)
            print_error("the data folder " + folder.path().string() + " cannot be written (" + std::strerror(error) +
                        "); nothing changed");
        else
            print_error("cannot open " + lock_file.string() + ": " + std::strerror(error));
        return nullptr;
    }
    while (::flock(edit->lock_fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            print_error("cannot lock " + lock_file.string() + ": " + std::strerror(errno));
            return nullptr;
        }
    }
    bool busy = false;
    edit->gui_ = GuiLink::hold(GuiLink::socket_path(), std::filesystem::absolute(folder.path()), &busy);
    if (busy) {
        print_error("the running QV Vantorel has a dialog open; close it and try again (nothing changed)");
        return nullptr;
    }
    edit->store_ = open_store(global, LoadMode::Repair);
    if (!edit->store_) return nullptr;
    return edit;
}

LibraryEdit::~LibraryEdit() {
    gui_.reset();  // released unless committed
    unlock();
}

void LibraryEdit::unlock() {
    if (lock_fd_ < 0) return;
    ::flock(lock_fd_, LOCK_UN);
    ::close(lock_fd_);
    lock_fd_ = -1;
}

bool LibraryEdit::commit(bool macros_changed, ApplyNeed need) {
    std::string error;
    bool ok = true;
    {
        std::lock_guard<std::mutex> lock(store_->mutex());
        if (macros_changed) {
            const IoStatus status = store_->macros().save(store_->folder().macro_file());
            if (!status) {
                error = status.message;
                ok = false;
            }
        }
        if (ok) ok = store_->save(&error);
    }
    if (!ok) {
        print_error("could not save the library: " + error);
        gui_.reset();
        unlock();
        return false;
    }
    saved(need);
    return true;
}

void LibraryEdit::saved(ApplyNeed need) {
    if (gui_ && !gui_->reload(need))
        std::cerr << "vantorelctl: note: the running QV Vantorel did not confirm that it reloaded the library\n";
    gui_.reset();
    unlock();
}

}  // namespace vantorel::cli
