// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/exit_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "core/trace.h"

namespace vantorel {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe of the one installed object; -1 when none.
volatile std::sig_atomic_t g_write_end = -1;

extern "C" void on_exit_signal(int signal_number) {
    const int saved = errno;
    const int fd = g_write_end;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal_number);
        // A full pipe already holds a request to end; nothing is lost.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {
    if (g_write_end >= 0) return;
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        trace("exit signals: no pipe (%d); signals end the program at once\n", errno);
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    g_write_end = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExitSignals::on_readable);
    struct sigaction action {};
    action.sa_handler = on_exit_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

ExitSignals::~ExitSignals() {
    if (!notifier_) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
    g_write_end = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void ExitSignals::on_readable() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipe_[0], &byte, 1) == 1) last = byte;
    if (last == 0) return;
    trace("exit signals: signal %d; ending as Quit does\n", last);
    emit exitRequested(last);
}

}  // namespace vantorel
