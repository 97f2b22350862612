// SPDX-License-Identifier: GPL-2.0-or-later
// Recording accuracy of the input hook library: keys injected into a private
// X server (Xvfb) with known intervals at 200 events a second, against the
// intervals the library's time stamps give. Prints the worst error and any
// lost event. Run: build/bin/vantorel_bench_hook [events]
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vantorel/hook_abi.h"

namespace {

std::mutex g_mutex;
std::vector<std::uint32_t> g_times;
std::uint32_t g_pending_time = 0;

int post(void*, std::uint32_t id, std::uintptr_t w, std::intptr_t) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (id == VANTOREL_WM_HOOK_TIME) g_pending_time = static_cast<std::uint32_t>(w);
    if (id == VANTOREL_WM_HOOK_EVENT) g_times.push_back(g_pending_time);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int events = argc > 1 ? std::max(2, std::atoi(argv[1])) : 400;
    const std::string name = ":" + std::to_string(300 + getpid() % 200);
    const pid_t server = fork();
    if (server == 0) {
        execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp", "+extension", "RECORD",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    setenv("DISPLAY", name.c_str(), 1);
    Display* display = nullptr;
    for (int i = 0; i < 100 && !display; ++i) {
        display = XOpenDisplay(name.c_str());
        if (!display) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    void* module = dlopen(VANTOREL_HOOK_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!display || !module) {
        std::fprintf(stderr, "needs Xvfb and %s\n", VANTOREL_HOOK_PATH);
        return 1;
    }
    auto install = reinterpret_cast<vantorel_installhook_fn>(dlsym(module, "installhook"));
    auto enable = reinterpret_cast<vantorel_enablehook_fn>(dlsym(module, "enablehook"));
    auto remove = reinterpret_cast<vantorel_removehook_fn>(dlsym(module, "removehook"));
    const VantorelWindow window{nullptr, &post};
    install(&window);
    enable(1);

    // 200 events a second: 5 ms apart, with a few longer pauses mixed in.
    const KeyCode code = XKeysymToKeycode(display, XK_a);
    std::vector<unsigned long> gaps;
    for (int i = 0; i < events; ++i) gaps.push_back(i % 50 == 49 ? 37 : 5);
    for (int i = 0; i < events; ++i) {
        XTestFakeKeyEvent(display, code, i % 2 == 0, i == 0 ? 0 : gaps[static_cast<std::size_t>(i)]);
    }
    XSync(display, False);
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (static_cast<int>(g_times.size()) >= events) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    remove();
    std::vector<std::uint32_t> times;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        times = g_times;
    }
    long worst = 0;
    for (std::size_t i = 1; i < times.size() && i < gaps.size(); ++i) {
        const long error = static_cast<long>(times[i] - times[i - 1]) - static_cast<long>(gaps[i]);
        worst = std::max(worst, std::labs(error));
    }
    std::printf("events injected: %d, recorded: %zu, lost: %d, worst interval error: %ld ms\n", events,
                times.size(), events - static_cast<int>(times.size()), worst);
    XCloseDisplay(display);
    dlclose(module);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    return 0;
}
