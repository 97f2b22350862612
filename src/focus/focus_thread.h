// SPDX-License-Identifier: GPL-2.0-or-later
// The thread a focus detector reads its desktop connection on. It waits with
// poll() on the connection and on a wake pipe, so stop() returns promptly;
// reports go to the listener on the executor's thread, each one only when it
// differs from the one before, and none after stop().
#pragma once

#include <functional>
#include <string>
#include <thread>

#include "core/executor.h"
#include "core/focus_report.h"

namespace vantorel {

class FocusThread {
public:
    explicit FocusThread(Executor& executor) : guard_(executor) {}
    ~FocusThread() { stop(); }
    FocusThread(const FocusThread&) = delete;
    FocusThread& operator=(const FocusThread&) = delete;

    // Executor thread. Runs `body` on a thread of its own until it returns or
    // stop() is called; the body waits through wait_readable() and reports
    // through report(). False (and nothing runs) when no wake pipe could be
    // made.
    bool start(FocusDetector::Listener listener, std::function<void()> body);
    // Executor thread. Wakes the body, joins it and drops its reports still
    // queued. Idempotent.
    void stop();
    bool running() const { return thread_.joinable(); }

    // Body thread. True when `fd` can be read; false when stop() was asked or
    // the connection broke.
    bool wait_readable(int fd);
    // Body thread. Posts the report unless it equals the last one posted
    // (an empty report counts as posted at the start: "no focus" is not told
    // before there was one).
    void report(const FocusReport& focused);

private:
    TaskGuard guard_;
    FocusDetector::Listener listener_;
    std::thread thread_;
    int wake_read_ = -1;
    int wake_write_ = -1;
    // Executor thread: reports posted for an older start are dropped.
    unsigned generation_ = 0;
    // Body thread (set before it starts).
    unsigned body_generation_ = 0;
    FocusReport last_;
};

// A detector that opens a desktop connection of its own and reads it on a
// FocusThread: start() connects when not connected yet and runs run() on the
// thread; stop() joins it and closes the connection. The derived class's
// destructor calls stop() (disconnect() is its own).
class ConnectedFocusDetector : public FocusDetector {
public:
    // Opens the connection and checks the desktop offers what run() follows;
    // false with why() otherwise. Idempotent while the connection holds.
    virtual bool connect() = 0;

    bool start(Listener focused) final;
    void stop() final;
    std::string why() const final { return why_; }

protected:
    explicit ConnectedFocusDetector(Executor& executor) : thread_(executor) {}

    // Body thread: reads the connection, reporting through thread_, until
    // thread_.wait_readable() says stop or the connection breaks.
    virtual void run() = 0;
    // Executor thread, with the body joined. Idempotent.
    virtual void disconnect() = 0;

    FocusThread thread_;
    std::string why_;
};

}  // namespace vantorel
