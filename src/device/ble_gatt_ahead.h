// SPDX-License-Identifier: GPL-2.0-or-later
// A Bluetooth LE stack opened on a thread of its own. Reaching the system
// bus takes a few milliseconds on a desktop and, when the bus is stuck,
// as long as the bus library waits for it; neither holds up the window. Until
// the stack is there it reports no mouse, keeps the handlers and the wish for
// notifications, and writes nothing; once it is, they go to it and a mouse
// already connected is reported as one that just came.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "device/ble_gatt.h"

namespace vantorel {

class BleGattAhead final : public BleGatt {
public:
    using Opener = std::function<std::shared_ptr<BleGatt>()>;

    // Now: `open` starts at once; OnBegin: when begin() is called (a start
    // whose window should not share the processor with it).
    enum class Start { Now, OnBegin };

    // Starts `open` on a thread of its own, or runs it here when no thread
    // can be made. A null result means there is no stack: the fallback, when
    // one is set by then, stands in.
    explicit BleGattAhead(Opener open, Start start = Start::Now);
    // Does not wait for an open still under way: the stack it brings is
    // closed when it comes.
    ~BleGattAhead() override;
    BleGattAhead(const BleGattAhead&) = delete;
    BleGattAhead& operator=(const BleGattAhead&) = delete;

    // The stack to use when the open finds none (the virtual mouse's, in a
    // demo). Ignored once the open has ended.
    void set_fallback(std::shared_ptr<BleGatt> fallback);
    // The open held back at construction starts now; harmless once started.
    void begin();
    // Waits until no open is under way (it has ended, with or without a
    // stack, or has not begun), at most `longest`; true when none is.
    bool wait_opened(std::chrono::milliseconds longest) const;

    int write(std::span<const std::uint8_t> report) override;
    void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) override;
    bool mouse_connected() override;
    bool open_notifications() override;
    void close_notifications() override;
    void set_presence_handler(std::function<void(bool)> handler) override;

private:
    struct State;
    static void arrive(const std::shared_ptr<State>& state, std::shared_ptr<BleGatt> stack);
    std::shared_ptr<BleGatt> stack() const;

    std::shared_ptr<State> state_;
    Opener held_;  // until begin()
};

}  // namespace vantorel
