// SPDX-License-Identifier: GPL-2.0-or-later
// A Bluetooth LE stack that is still being opened when the link starts: what
// the link asked before it came reaches it, a mouse already connected is
// reported, and a stack that comes after its owner went is closed.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "device/ble_gatt_ahead.h"

namespace vantorel {
namespace {

using namespace std::chrono_literals;

class RecordingStack final : public BleGatt {
public:
    explicit RecordingStack(bool connected, std::atomic<int>* closed = nullptr) : connected_(connected), closed_(closed) {}
    ~RecordingStack() override {
        if (closed_) ++*closed_;
    }
    int write(std::span<const std::uint8_t> report) override {
        writes += 1;
        return connected_ && !report.empty() ? 1 : 0;
    }
    void set_notify_handler(std::function<void(std::span<const std::uint8_t>)> handler) override {
        notify = std::move(handler);
    }
    bool mouse_connected() override { return connected_; }
    bool open_notifications() override { return subscribed = true; }
    void close_notifications() override { subscribed = false; }
    void set_presence_handler(std::function<void(bool)> handler) override { presence = std::move(handler); }

    std::atomic<int> writes{0};
    std::atomic<bool> subscribed{false};
    std::function<void(std::span<const std::uint8_t>)> notify;
    std::function<void(bool)> presence;

private:
    const bool connected_;
    std::atomic<int>* closed_;
};

// The open blocks until the test lets it end with a stack, which it hands
// over without keeping it.
struct HeldOpen {
    struct Gate {
        std::promise<void> open;
        std::shared_future<void> opened{open.get_future().share()};
        std::shared_ptr<BleGatt> stack;
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    BleGattAhead::Opener opener() {
        return [g = gate] {
            g->opened.wait();
            return std::move(g->stack);
        };
    }
    void release(std::shared_ptr<BleGatt> stack) {
        gate->stack = std::move(stack);
        gate->open.set_value();
    }
};

struct Case {
    const char* fault;
    bool stack_found;     // the open finds a stack (else the fallback stands in)
    bool subscribe_first; // notifications asked for before the stack came
    bool held_back;       // the open starts only at begin() (once the window is drawn)
};

class BleGattAheadCases : public ::testing::TestWithParam<Case> {};

TEST_P(BleGattAheadCases, WhatTheLinkAskedBeforeTheStackCameReachesIt) {
    const Case& c = GetParam();
    auto stack = std::make_shared<RecordingStack>(true);
    HeldOpen held;
    std::atomic<bool> opening{false};
    BleGattAhead ahead(
        [&opening, open = held.opener()] {
            opening = true;
            return open();
        },
        c.held_back ? BleGattAhead::Start::OnBegin : BleGattAhead::Start::Now);
    if (!c.stack_found) ahead.set_fallback(stack);

    std::promise<bool> came;
    ahead.set_presence_handler([&came](bool there) { came.set_value(there); });
    std::vector<std::uint8_t> heard;
    ahead.set_notify_handler([&heard](std::span<const std::uint8_t> v) { heard.assign(v.begin(), v.end()); });
    if (c.subscribe_first) {
        EXPECT_FALSE(ahead.open_notifications()) << "subscribed to a stack not there yet";
    }
    EXPECT_FALSE(ahead.mouse_connected()) << c.fault;
    const std::uint8_t report[] = {1, 2, 3};
    EXPECT_EQ(ahead.write(report), 0) << "a write before the stack came was reported as done";

    if (c.held_back) {
        std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(opening.load()) << "the open began before it was let";
        EXPECT_TRUE(ahead.wait_opened(0ms)) << "an open not begun was waited for";
        ahead.begin();
        ahead.begin();
    }
    held.release(c.stack_found ? stack : nullptr);
    auto told = came.get_future();
    ASSERT_EQ(told.wait_for(10s), std::future_status::ready) << c.fault << ": the connected mouse was never reported";
    EXPECT_TRUE(told.get());
    ASSERT_TRUE(ahead.wait_opened(10s));
    EXPECT_TRUE(ahead.mouse_connected()) << c.fault;
    EXPECT_EQ(stack->subscribed.load(), c.subscribe_first) << c.fault << ": the subscription asked for was lost";
    EXPECT_EQ(ahead.write(report), 1) << c.fault;
    ASSERT_TRUE(stack->notify) << c.fault << ": the notify handler never reached the stack";
    const std::uint8_t value[] = {7, 8};
    stack->notify(value);
    EXPECT_EQ(heard, (std::vector<std::uint8_t>{7, 8}));
}

INSTANTIATE_TEST_SUITE_P(Stacks, BleGattAheadCases,
                         ::testing::Values(Case{"BlueZ found", true, true, false},
                                           Case{"BlueZ found, no subscription", true, false, false},
                                           Case{"no system bus: the fallback", false, true, false},
                                           Case{"held back until the window is drawn", true, true, true}),
                         [](const auto& param) { return std::to_string(param.index); });

TEST(BleGattAhead, AStackThatComesAfterItsOwnerWentIsClosedAndCallsNoOne) {
    std::atomic<int> closed{0};
    std::atomic<int> calls{0};
    HeldOpen held;
    {
        BleGattAhead ahead(held.opener());
        ahead.set_presence_handler([&calls](bool) { ++calls; });
        ahead.open_notifications();
    }  // gone while BlueZ has not answered: does not wait for it
    auto late = std::make_shared<RecordingStack>(true, &closed);
    std::weak_ptr<RecordingStack> watch = late;
    held.release(std::move(late));
    for (int i = 0; i < 1000 && !watch.expired(); ++i) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(watch.expired()) << "the late stack stays open";
    EXPECT_EQ(closed.load(), 1);
    EXPECT_EQ(calls.load(), 0) << "a handler of the gone owner was called";
}

TEST(BleGattAhead, HandlersClearedBeforeTheStackCameAreNeverCalled) {
    std::atomic<int> calls{0};
    HeldOpen held;
    BleGattAhead ahead(held.opener());
    ahead.set_presence_handler([&calls](bool) { ++calls; });
    ahead.open_notifications();
    ahead.set_presence_handler({});
    ahead.close_notifications();
    auto stack = std::make_shared<RecordingStack>(true);
    held.release(stack);
    ASSERT_TRUE(ahead.wait_opened(10s));
    EXPECT_FALSE(stack->subscribed.load()) << "a subscription given up before the stack came was made";
    EXPECT_FALSE(stack->presence) << "a cleared handler reached the stack";
    EXPECT_EQ(calls.load(), 0);
}

}  // namespace
}  // namespace vantorel
