// SPDX-License-Identifier: GPL-2.0-or-later
// The input hook library on X11: it watches the keys and mouse buttons of the
// whole session with the RECORD extension, on connections and a thread of its
// own, and posts each event to the window given to installhook.
//
// Every event is posted as two messages in a row: VANTOREL_WM_HOOK_TIME with
// the X server's time stamp of the event (milliseconds, 32 bits), then
// VANTOREL_WM_HOOK_EVENT with the key or button. Intervals taken from the
// time stamps do not depend on how busy the receiving window is.
//
// Keys flow while the hook is installed and enabled; buttons only between
// enablemousehook(1) and enablemousehook(0) or removehook. Every entry point
// may be called in any order and any number of times; removehook ends the
// thread before it returns. Without an X display (a Wayland session without
// X11 clients, a server without RECORD) installhook delivers nothing, and says
// so with VANTOREL_WM_HOOK_STATUS 0.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

#include "hook_keys.h"
#include "vantorel/hook_abi.h"

namespace {

class Recorder {
public:
    ~Recorder() { stop(); }

    void install(const VantorelWindow& window) {
        std::unique_lock<std::mutex> lock(mutex_);
        window_ = window;
        installed_ = window.post != nullptr;
        if (!installed_) return;
        if (!thread_.joinable()) {
            stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (stop_fd_ >= 0) {
                ready_ = false;
                thread_ = std::thread([this] { run(); });
                // Events injected right after installhook are seen: wait
                // until the server records (or gave up).
                ready_cv_.wait_for(lock, std::chrono::seconds(3), [this] { return ready_; });
            }
        }
        // The window learns whether anything will come, so that it can
        // look for its input elsewhere when not.
        window_.post(window_.target, VANTOREL_WM_HOOK_STATUS, watching_ ? 1 : 0, 0);
    }

    void remove() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            installed_ = false;
            window_ = VantorelWindow{};
        }
        // Buttons start off again with the next hook: a key capture that
        // never enables them must not see clicks.
        mouse_.store(false);
        stop();
    }

    void enable(bool on) { enabled_.store(on); }
    void enable_mouse(bool on) { mouse_.store(on); }

private:
    void stop() {
        if (!thread_.joinable()) return;
        const std::uint64_t one = 1;
        if (::write(stop_fd_, &one, sizeof one) < 0) { /* the thread also ends on a broken display */ }
        thread_.join();
        ::close(stop_fd_);
        stop_fd_ = -1;
    }

    void signal_ready(bool watching) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_ = true;
            watching_ = watching;
        }
        ready_cv_.notify_all();
    }

    // `position` goes with the time stamp: a key's evdev code, 0 for a button.
    void post(std::uint32_t time, std::uint32_t w, std::intptr_t l, std::intptr_t position = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!installed_ || !window_.post) return;
        window_.post(window_.target, VANTOREL_WM_HOOK_TIME, time, position);
        window_.post(window_.target, VANTOREL_WM_HOOK_EVENT, w, l);
    }

    static void on_data(XPointer self, XRecordInterceptData* data) {
        auto* r = reinterpret_cast<Recorder*>(self);
        if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) r->handle(data->data);
        XRecordFreeData(data);
    }

    void handle(const unsigned char* event) {
        if (!enabled_.load()) return;
        const int type = event[0] & 0x7F;
        const unsigned detail = event[1];
        std::uint32_t time = 0;
        std::memcpy(&time, event + 4, sizeof time);  // the event's time stamp
        if (type == KeyPress || type == KeyRelease) {
            XkbStateRec state{};
            XkbGetState(control_, XkbUseCoreKbd, &state);
            const KeySym sym = XkbKeycodeToKeysym(control_, static_cast<KeyCode>(detail), state.group, 0);
            const std::uint32_t evdev = detail >= 8 ? detail - 8 : 0;
            const std::uint32_t vk = hook::virtual_key(static_cast<std::uint32_t>(sym), evdev);
            post(time, vk, type == KeyRelease ? 1 : 0, static_cast<std::intptr_t>(evdev));
        } else if ((type == ButtonPress || type == ButtonRelease) && mouse_.load()) {
            if (auto m = hook::button_message(detail, type == ButtonPress)) post(time, m->w, m->l);
        }
    }

    void run() {
        control_ = XOpenDisplay(nullptr);
        Display* data = control_ ? XOpenDisplay(nullptr) : nullptr;
        int major = 0, minor = 0;
        XRecordContext context = 0;
        if (data && XRecordQueryVersion(control_, &major, &minor)) {
            XRecordRange* range = XRecordAllocRange();
            if (range) {
                range->device_events.first = KeyPress;
                range->device_events.last = ButtonRelease;
                XRecordClientSpec clients = XRecordAllClients;
                context = XRecordCreateContext(control_, 0, &clients, 1, &range, 1);
                XFree(range);
            }
        }
        if (context) {
            XSync(control_, False);
            if (!XRecordEnableContextAsync(data, context, &Recorder::on_data, reinterpret_cast<XPointer>(this))) {
                XRecordFreeContext(control_, context);
                context = 0;
            }
        }
        signal_ready(context != 0);
        if (context) {
            pollfd fds[2] = {{ConnectionNumber(data), POLLIN, 0}, {stop_fd_, POLLIN, 0}};
            for (;;) {
                XRecordProcessReplies(data);
                fds[0].revents = fds[1].revents = 0;
                if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
                if (fds[1].revents) break;
                if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) break;
            }
            XRecordDisableContext(control_, context);
            XRecordFreeContext(control_, context);
            XSync(control_, False);
        }
        if (data) XCloseDisplay(data);
        if (control_) XCloseDisplay(control_);
        control_ = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        watching_ = false;
    }

    std::mutex mutex_;
    std::condition_variable ready_cv_;
    bool ready_ = false;
    bool watching_ = false;  // the server records for us
    VantorelWindow window_{};
    bool installed_ = false;
    std::atomic<bool> enabled_{false};
    std::atomic<bool> mouse_{false};
    int stop_fd_ = -1;
    Display* control_ = nullptr;  // used on the thread only
    std::thread thread_;
};

// One recorder for the library, and one caller at a time.
std::mutex g_api;
Recorder& recorder() {
    static Recorder r;
    return r;
}

}  // namespace

extern "C" {

VANTOREL_EXPORT int installmousehook(void) { return 0; }

VANTOREL_EXPORT int removemousehook(void) {
    recorder().enable_mouse(false);
    return 0;
}

VANTOREL_EXPORT int enablemousehook(int enable) {
    recorder().enable_mouse(enable != 0);
    return 0;
}

VANTOREL_EXPORT int installhook(const VantorelWindow* window) {
    std::lock_guard<std::mutex> lock(g_api);
    if (window) recorder().install(*window);
    return 0;
}

VANTOREL_EXPORT int removehook(void) {
    std::lock_guard<std::mutex> lock(g_api);
    recorder().remove();
    return 0;
}

VANTOREL_EXPORT int enablehook(int enable) {
    recorder().enable(enable != 0);
    return 0;
}

VANTOREL_EXPORT int mousewheelenable(int) { return 0; }

}  // extern "C"
