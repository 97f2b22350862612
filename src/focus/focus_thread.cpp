// SPDX-License-Identifier: GPL-2.0-or-later
#include "focus/focus_thread.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vantorel {

bool FocusThread::start(FocusDetector::Listener listener, std::function<void()> body) {
    stop();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wake_read_ = fds[0];
    wake_write_ = fds[1];
    listener_ = std::move(listener);
    body_generation_ = ++generation_;
    last_ = FocusReport{};
    thread_ = std::thread(std::move(body));
    return true;
}

void FocusThread::stop() {
    if (thread_.joinable()) {
        const char byte = 1;
        while (write(wake_write_, &byte, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
    ++generation_;
    listener_ = nullptr;
    for (int* fd : {&wake_read_, &wake_write_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

bool FocusThread::wait_readable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    for (;;) {
        const int n = poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (fds[1].revents != 0) return false;
        if (fds[0].revents & POLLIN) return true;
        return false;  // POLLHUP, POLLERR or POLLNVAL without data
    }
}

void FocusThread::report(const FocusReport& focused) {
    if (focused == last_) return;
    last_ = focused;
    guard_.post([this, focused, generation = body_generation_] {
        if (generation != generation_ || !listener_) return;
        const FocusDetector::Listener listener = listener_;  // it may stop us
        listener(focused);
    });
}

bool ConnectedFocusDetector::start(Listener focused) {
    thread_.stop();
    if (!connect()) return false;
    if (!thread_.start(std::move(focused), [this] { run(); })) {
        why_ = "no wake-up pipe could be made";
        disconnect();
        return false;
    }
    return true;
}

void ConnectedFocusDetector::stop() {
    thread_.stop();
    disconnect();
}

}  // namespace vantorel
