// SPDX-License-Identifier: GPL-2.0-or-later
// The calls into the input hook library, made in the order they were asked
// for on a thread of their own. Installing the hook can wait seconds for the
// X server (the library waits until its watch records), and the windows
// that ask for it must not: they post the call and go on.
//
// After stop() the calls still queued have run and new ones are dropped,
// so nothing calls into a library that is about to be unloaded.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vantorel {

class HookCalls {
public:
    HookCalls() = default;
    ~HookCalls() { stop(); }
    HookCalls(const HookCalls&) = delete;
    HookCalls& operator=(const HookCalls&) = delete;

    void start();
    // Queues one call; dropped when stopped.
    void post(std::function<void()> call);
    // Returns once every call queued before it has run.
    void flush();
    // Runs what is queued, then ends the thread.
    void stop();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    bool running_ = false;  // a thread takes calls
    bool busy_ = false;     // a call is running
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vantorel
