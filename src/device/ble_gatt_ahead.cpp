// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/ble_gatt_ahead.h"

#include <condition_variable>
#include <system_error>
#include <thread>
#include <utility>

namespace vantorel {

// Shared with the opening thread, which may outlive the object.
struct BleGattAhead::State {
    mutable std::mutex mutex;
    mutable std::condition_variable ended_changed;
    bool begun = false;     // the open has started
    bool ended = false;     // the open has ended
    bool released = false;  // the object is gone: a late stack is closed
    bool wants_notifications = false;
    std::shared_ptr<BleGatt> stack;
    std::shared_ptr<BleGatt> fallback;
    std::function<void(std::span<const std::uint8_t>)> notify;
    std::function<void(bool)> presence;
};

BleGattAhead::BleGattAhead(Opener open, Start start) : state_(std::make_shared<State>()), held_(std::move(open)) {
    if (start == Start::Now) begin();
}

void BleGattAhead::begin() {
    if (!held_) return;
    Opener open = std::exchange(held_, nullptr);
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->begun = true;
    }
    try {
        std::thread([state = state_, open] { arrive(state, open()); }).detach();
    } catch (const std::system_error&) {
        arrive(state_, open());
    }
}

BleGattAhead::~BleGattAhead() {
    std::shared_ptr<BleGatt> stack;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->released = true;
        stack = std::move(state_->stack);
        state_->fallback.reset();
        state_->notify = nullptr;
        state_->presence = nullptr;
    }
    // Closed here, outside the lock: its own threads end with it.
    stack.reset();
}

void BleGattAhead::arrive(const std::shared_ptr<State>& state, std::shared_ptr<BleGatt> stack) {
    std::shared_ptr<BleGatt> there;
    bool subscribe = false;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->ended = true;
        if (!state->released) {
            if (!stack) stack = std::move(state->fallback);
            state->fallback.reset();
            if (stack) {
                // The handlers set before the stack came go to it now.
                stack->set_notify_handler(state->notify);
                stack->set_presence_handler(state->presence);
                subscribe = state->wants_notifications;
            }
            state->stack = std::move(stack);
            there = state->stack;
        }
    }
    state->ended_changed.notify_all();
    // A stack that came after the object went is closed here, outside the
    // lock: its own threads end with it.
    stack.reset();
    if (!there) return;
    if (subscribe) {
        there->open_notifications();
        // Given up while it was being asked for: undone.
        bool still = false;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            still = state->wants_notifications;
        }
        if (!still) there->close_notifications();
    }
    // A mouse already connected came with the stack, reported as the stack
    // reports one, on a thread not the owner's.
    std::function<void(bool)> presence;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        presence = state->presence;
    }
    if (presence && there->mouse_connected()) presence(true);
}

void BleGattAhead::set_fallback(std::shared_ptr<BleGatt> fallback) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->ended) state_->fallback = std::move(fallback);
}

bool BleGattAhead::wait_opened(std::chrono::milliseconds longest) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->ended_changed.wait_for(lock, longest, [this] { return !state_->begun || state_->ended; });
}

std::shared_ptr<BleGatt> BleGattAhead::stack() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->stack;
}

int BleGattAhead::write(std::span<const std::uint8_t> report) {
    const std::shared_ptr<BleGatt> there = stack();
    return there ? there->write(report) : 0;
}

bool BleGattAhead::mouse_connected() {
    const std::shared_ptr<BleGatt> there = stack();
    return there && there->mouse_connected();
}

void BleGattAhead::set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->notify = handler;
    if (state_->stack) state_->stack->set_notify_handler(std::move(handler));
}

void BleGattAhead::set_presence_handler(std::function<void(bool)> handler) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->presence = handler;
    if (state_->stack) state_->stack->set_presence_handler(std::move(handler));
}

bool BleGattAhead::open_notifications() {
    std::shared_ptr<BleGatt> there;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->wants_notifications = true;
        there = state_->stack;
    }
    return there && there->open_notifications();
}

void BleGattAhead::close_notifications() {
    std::shared_ptr<BleGatt> there;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->wants_notifications = false;
        there = state_->stack;
    }
    if (there) there->close_notifications();
}

}  // namespace vantorel
