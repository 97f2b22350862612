// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/hook_calls.h"

namespace vantorel {

void HookCalls::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) return;
    running_ = true;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void HookCalls::post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_ || stopping_) return;
        queue_.push_back(std::move(call));
    }
    cv_.notify_all();
}

void HookCalls::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return !running_ || (queue_.empty() && !busy_); });
}

void HookCalls::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) return;
        stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    stopping_ = false;
    cv_.notify_all();
}

void HookCalls::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) break;  // stopping, and everything queued has run
        std::function<void()> call = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        call();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace vantorel
