// SPDX-License-Identifier: GPL-2.0-or-later
// The input hook library on a private X server: keys and clicks injected
// with XTEST reach the window in order, with the virtual keys of what the
// keys type on the US and French layouts, clicks only while the mouse hook
// is enabled, and the server's time stamps keep the gaps between events.
#include <gtest/gtest.h>
// X11 after gtest: its macros (None, Bool, ...) would break gtest's headers.
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hook_keys.h"
#include "vantorel/hook_abi.h"

namespace {

struct Message {
    std::uint32_t id;
    std::uintptr_t w;
    std::intptr_t l;
};

class Inbox {
public:
    static int post(void* target, std::uint32_t id, std::uintptr_t w, std::intptr_t l) {
        auto* self = static_cast<Inbox*>(target);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->messages_.push_back({id, w, l});
        }
        self->cv_.notify_all();
        return 1;
    }
    // The events (time stamps folded into them) once `count` have come.
    struct Event {
        std::uint32_t time;
        std::uintptr_t w;
        std::intptr_t l;
    };
    std::vector<Event> wait(std::size_t count, int ms = 3000) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return events_locked().size() >= count; });
        return events_locked();
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
    }

private:
    std::vector<Event> events_locked() const {
        std::vector<Event> out;
        std::uint32_t time = 0;
        for (const Message& m : messages_) {
            if (m.id == VANTOREL_WM_HOOK_TIME) time = static_cast<std::uint32_t>(m.w);
            if (m.id == VANTOREL_WM_HOOK_EVENT) out.push_back({time, m.w, m.l});
        }
        return out;
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Message> messages_;
};

class HookPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A private X server with RECORD and XTEST.
        display_name_ = ":" + std::to_string(70 + getpid() % 200);
        server_ = fork();
        if (server_ == 0) {
            execlp("Xvfb", "Xvfb", display_name_.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                   "+extension", "RECORD", "+extension", "XTEST", static_cast<char*>(nullptr));
            _exit(127);
        }
        setenv("DISPLAY", display_name_.c_str(), 1);
        for (int i = 0; i < 100 && !display_; ++i) {
            display_ = XOpenDisplay(display_name_.c_str());
            if (!display_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    static void TearDownTestSuite() {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }
    void SetUp() override {
        if (!display_) GTEST_SKIP() << "no Xvfb";
        module_ = dlopen(VANTOREL_HOOK_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        install_ = reinterpret_cast<vantorel_installhook_fn>(dlsym(module_, "installhook"));
        remove_ = reinterpret_cast<vantorel_removehook_fn>(dlsym(module_, "removehook"));
        enable_ = reinterpret_cast<vantorel_enablehook_fn>(dlsym(module_, "enablehook"));
        enable_mouse_ = reinterpret_cast<vantorel_enablemousehook_fn>(dlsym(module_, "enablemousehook"));
        ASSERT_TRUE(install_ && remove_ && enable_ && enable_mouse_);
        window_ = VantorelWindow{&inbox_, &Inbox::post};
    }
    void TearDown() override {
        if (remove_) remove_();
        if (module_) dlclose(module_);
    }
    void layout(const char* name) {
        const std::string cmd = std::string("setxkbmap -display ") + display_name_ + " " + name;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        XSync(display_, False);
    }
    void key(KeyCode code, bool press, unsigned long delay = 0) {
        XTestFakeKeyEvent(display_, code, press, delay);
        XSync(display_, False);
    }
    void tap(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(display_, sym);
        key(code, true);
        key(code, false);
    }
    void click(unsigned button) {
        XTestFakeButtonEvent(display_, button, True, 0);
        XTestFakeButtonEvent(display_, button, False, 0);
        XSync(display_, False);
    }

    static inline std::string display_name_;
    static inline pid_t server_ = -1;
    static inline Display* display_ = nullptr;
    void* module_ = nullptr;
    vantorel_installhook_fn install_ = nullptr;
    vantorel_removehook_fn remove_ = nullptr;
    vantorel_enablehook_fn enable_ = nullptr;
    vantorel_enablemousehook_fn enable_mouse_ = nullptr;
    Inbox inbox_;
    VantorelWindow window_{};
};

TEST_F(HookPlugin, KeysAreTheVirtualKeysOfWhatTheyTypeOnTheActiveLayout) {
    struct Case {
        const char* layout;
        unsigned keycode;  // evdev + 8
        std::uintptr_t vk;
    };
    const Case cases[] = {
        {"us", 38, 0x41},  // the A position types a
        {"us", 24, 0x51},  // Q
        {"fr", 24, 0x41},  // on AZERTY the Q position types a
        {"fr", 38, 0x51},
        {"fr", 50, 0xA0},  // left Shift
        {"us", 62, 0xA1},  // right Shift
        {"us", 37, 0xA2},  // left Ctrl
        {"us", 105, 0xA3}, // right Ctrl
        {"us", 10, 0x31},  // 1
    };
    install_(&window_);
    enable_(1);
    for (const Case& c : cases) {
        layout(c.layout);
        inbox_.clear();
        key(static_cast<KeyCode>(c.keycode), true);
        key(static_cast<KeyCode>(c.keycode), false);
        const auto events = inbox_.wait(2);
        ASSERT_EQ(events.size(), 2u) << c.layout << " " << c.keycode;
        EXPECT_EQ(events[0].w, c.vk) << c.layout << " " << c.keycode;
        EXPECT_EQ(events[0].l, 0);
        EXPECT_EQ(events[1].w, c.vk);
        EXPECT_NE(events[1].l, 0);
    }
    layout("us");
}

TEST_F(HookPlugin, ClicksFlowOnlyWhileTheMouseHookIsEnabled) {
    install_(&window_);
    enable_(1);
    click(1);  // not yet enabled
    tap(XK_b);
    ASSERT_EQ(inbox_.wait(2).size(), 2u);
    EXPECT_EQ(inbox_.wait(2)[0].w, 0x42u);
    inbox_.clear();
    enable_mouse_(1);
    for (unsigned b : {1u, 3u, 2u, 8u, 9u, 4u}) click(b);  // 4 is the wheel: nothing
    const auto events = inbox_.wait(10);
    const std::vector<std::pair<std::uintptr_t, std::intptr_t>> expected = {
        {0x201, 0}, {0x202, 0}, {0x204, 0}, {0x205, 0}, {0x207, 0}, {0x208, 0},
        {0x20B, 2}, {0x20C, 2}, {0x20B, 1}, {0x20C, 1}};
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].w, expected[i].first) << i;
        EXPECT_EQ(events[i].l, expected[i].second) << i;
    }
    inbox_.clear();
    enable_mouse_(0);
    click(1);
    tap(XK_c);
    const auto after = inbox_.wait(2);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].w, 0x43u);
}

TEST_F(HookPlugin, TimeStampsKeepTheGapsAndNothingArrivesAfterRemove) {
    install_(&window_);
    enable_(1);
    const KeyCode code = XKeysymToKeycode(display_, XK_d);
    const unsigned long gaps[] = {0, 40, 120, 15};
    for (unsigned long gap : gaps) {
        key(code, true, gap);
        key(code, false, 0);
    }
    const auto events = inbox_.wait(8);
    ASSERT_EQ(events.size(), 8u);
    for (std::size_t i = 1; i < std::size(gaps); ++i) {
        // The server's own time stamps: each gap is at least the delay the
        // server was told to wait (its accuracy under no load is measured by
        // bench/vantorel_bench_hook, not here).
        const auto measured = static_cast<long>(events[2 * i].time - events[2 * i - 1].time);
        EXPECT_GE(measured, static_cast<long>(gaps[i]) - 1) << "gap " << i;
    }
    remove_();
    inbox_.clear();
    tap(XK_e);
    EXPECT_TRUE(inbox_.wait(1, 300).empty());
    remove_();  // again, with nothing installed
}

TEST(HookKeys, ExtendedKeysAndButtonsWithoutAServer) {
    EXPECT_EQ(hook::virtual_key(XK_Control_R, 97), 0xA3u);
    EXPECT_EQ(hook::virtual_key(XK_Super_L, 125), 0x5Bu);
    EXPECT_EQ(hook::virtual_key(XK_Left, 105), 0x25u);
    EXPECT_EQ(hook::virtual_key(XK_A, 30), 0x41u);
    EXPECT_FALSE(hook::button_message(5, true).has_value());
}

}  // namespace
