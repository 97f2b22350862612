// SPDX-License-Identifier: GPL-2.0-or-later
#include "library_edit.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "core/trace.h"
#include "library/library_request.h"
#include "library/program_mark.h"
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

std::unique_ptr<GuiLink> GuiLink::connect(const std::filesystem::path& socket, std::string* why) {
    const std::string path = socket.string();
    sockaddr_un addr{};
    if (path.empty()) {
        *why = "it does not listen for requests";
        return nullptr;
    }
    if (path.size() >= sizeof addr.sun_path) {
        *why = "its socket path " + path + " is too long";
        return nullptr;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = std::string("no socket: ") + std::strerror(errno);
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        *why = "it cannot be reached at " + path + " (" + std::strerror(errno) + ")";
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<GuiLink> link(new GuiLink(fd));
    link->open_ = false;
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
        *why = "it runs as another user; run the command as that user";
        return nullptr;
    }
    return link;
}

std::optional<MouseReply> GuiLink::ask_mouse(const std::filesystem::path& socket, std::string* why) {
    std::unique_ptr<GuiLink> link = connect(socket, why);
    if (!link) return std::nullopt;
    LibraryRequest ask;
    ask.verb = LibraryRequest::Verb::Mouse;
    std::string answer;
    if (!link->request(format_library_request(ask), &answer)) {
        *why = "it did not answer within " + std::to_string(kAnswerTimeoutMs / 1000) + " s (is it stopped?)";
        return std::nullopt;
    }
    std::optional<MouseReply> reply = parse_mouse_reply(answer);
    if (!reply) *why = "it answered \"" + answer + "\"";
    return reply;
}

std::optional<std::string> GuiLink::ask_auto(const std::filesystem::path& socket, std::string* why) {
    std::unique_ptr<GuiLink> link = connect(socket, why);
    if (!link) return std::nullopt;
    LibraryRequest ask;
    ask.verb = LibraryRequest::Verb::Auto;
    std::string answer;
    if (!link->request(format_library_request(ask), &answer)) {
        *why = "it did not answer within " + std::to_string(kAnswerTimeoutMs / 1000) + " s (is it stopped?)";
        return std::nullopt;
    }
    std::optional<std::string> reply = parse_auto_reply(answer);
    if (!reply) *why = "it answered \"" + answer + "\"";
    return reply;
}

std::unique_ptr<GuiLink> GuiLink::hold(const std::filesystem::path& socket, const std::filesystem::path& folder,
                                       std::string* why, bool* busy) {
    *busy = false;
    std::unique_ptr<GuiLink> link = connect(socket, why);
    if (!link) return nullptr;
    std::string answer;
    LibraryRequest hold;
    hold.verb = LibraryRequest::Verb::Hold;
    hold.folder = folder.string();
    if (!link->request(format_library_request(hold), &answer)) {
        *why = "it did not answer within " + std::to_string(kAnswerTimeoutMs / 1000) + " s (is it stopped?)";
        return nullptr;
    }
    if (answer != "held") {
        *busy = answer == "busy";
        *why = *busy ? "it has a dialog open; close it and try again"
               : answer == "other" ? "it is in the middle of another change; try again"
                                   : "it refused (\"" + answer + "\")";
        return nullptr;
    }
    link->open_ = true;
    trace("desktop program: holds its saves\n");
    return link;
}

bool GuiLink::keep() {
    std::string answer;
    LibraryRequest keep;
    keep.verb = LibraryRequest::Verb::Keep;
    if (request(format_library_request(keep), &answer) && answer == "held") return true;
    open_ = false;
    return false;
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

namespace {

// How long a command waits for another's library lock.
int lock_wait_seconds() {
    const char* text = std::getenv("QV_VANTOREL_LOCK_WAIT");
    if (!text || !*text) return 30;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*end != '\0' || value < 0) ? 30 : static_cast<int>(std::min(value, 3600L));
}

// The process a lock file names as its holder ("" when it names none).
std::string lock_holder(int fd) {
    char buffer[32] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) return {};
    std::string text(buffer, static_cast<std::size_t>(n));
    const std::size_t end = text.find('\n');
    text = text.substr(0, end);
    return text.find_first_not_of("0123456789") == std::string::npos ? text : std::string();
}

}  // namespace

std::unique_ptr<LibraryEdit> LibraryEdit::open(const GlobalOptions& global) {
    const DataFolder folder = command_data_folder(global, DataFolder::Create::IfMissing);
    if (!folder.status()) {
        print_error(folder.status().message());
        return nullptr;
    }
    std::unique_ptr<LibraryEdit> edit(new LibraryEdit());
    // The lock first: a second command waits here until the first is done.
    const std::filesystem::path lock_file = folder.path() / "library.lock";
    std::string why;
    int error = 0;
    edit->lock_fd_ = open_lock_file(lock_file, &why, &error);
    if (edit->lock_fd_ < 0) {
        if (error == EROFS || error == EACCES || error == EPERM)
            print_error("the data folder " + folder.path().string() + " cannot be written (" + std::strerror(error) +
                        "); nothing changed");
        else
            print_error("cannot use " + why + "; nothing changed");
        return nullptr;
    }
    const int wait_ms = lock_wait_seconds() * 1000;
    bool told = false;
    for (int waited = 0; ::flock(edit->lock_fd_, LOCK_EX | LOCK_NB) != 0; waited += 50) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            print_error("cannot lock " + lock_file.string() + ": " + std::strerror(errno) + "; nothing changed");
            return nullptr;
        }
        const std::string holder = lock_holder(edit->lock_fd_);
        const std::string who = "another vantorelctl command" + (holder.empty() ? "" : " (process " + holder + ")");
        if (waited >= wait_ms) {
            print_error(who + " has been changing the library for over " + std::to_string(wait_ms / 1000) +
                        " s; nothing changed (QV_VANTOREL_LOCK_WAIT sets how long to wait)");
            return nullptr;
        }
        if (!told && waited >= 1000) {
            std::cerr << "vantorelctl: waiting for " << who << " to finish\n";
            told = true;
        }
        ::usleep(50 * 1000);
    }
    // Who holds it, for the message of a command that waits.
    const std::string pid = std::to_string(::getpid()) + '\n';
    if (::ftruncate(edit->lock_fd_, 0) != 0 || ::pwrite(edit->lock_fd_, pid.data(), pid.size(), 0) < 0)
        trace("library lock: cannot note the holder: %s\n", std::strerror(errno));

    // The running program, found through the folder's own mark.
    const std::filesystem::path absolute = std::filesystem::absolute(folder.path());
    const ProgramProbe probe = probe_program(absolute);
    if (probe.state == ProgramProbe::State::Unknown) {
        print_error("cannot tell whether QV Vantorel is running on " + absolute.string() + ": " + probe.error +
                    "; nothing changed");
        return nullptr;
    }
    if (probe.state == ProgramProbe::State::Running) {
        bool busy = false;
        edit->gui_ = GuiLink::hold(probe.socket, absolute, &why, &busy);
        if (!edit->gui_) {
            print_error("QV Vantorel is running on this data folder, but " + why + "; nothing changed");
            return nullptr;
        }
    }
    edit->store_ = open_store(global, LoadMode::Repair);
    if (!edit->store_) return nullptr;
    return edit;
}

bool LibraryEdit::may_write() {
    if (!gui_) return true;
    if (gui_->keep()) return true;
    print_error("the running QV Vantorel ended its hold while this command was silent; nothing changed");
    gui_.reset();
    unlock();
    return false;
}

LibraryEdit::~LibraryEdit() {
    gui_.reset();  // released unless committed
    unlock();
}

void LibraryEdit::unlock() {
    if (lock_fd_ < 0) return;
    if (::ftruncate(lock_fd_, 0) != 0) trace("library lock: cannot clear the holder\n");
    ::flock(lock_fd_, LOCK_UN);
    ::close(lock_fd_);
    lock_fd_ = -1;
}

bool LibraryEdit::commit(bool macros_changed, ApplyNeed need) {
    if (!may_write()) return false;
    std::string error;
    bool ok = true;
    {
        std::lock_guard<std::mutex> lock(store_->mutex());
        if (macros_changed) {
            const Status status = store_->macros().save(store_->folder().macro_file());
            if (!status) {
                error = status.message();
                ok = false;
            }
        }
        if (ok) {
            const Status status = store_->save();
            if (!status) error = status.message();
            ok = status.ok();
        }
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
