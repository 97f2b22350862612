// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up, memory and idle cost of a desktop program, measured from the
// outside the same way for every program:
//   - start: from fork to the first drawing on the X server (DISPLAY,
//     normally a private Xvfb, where nothing else draws) after a top-level
//     window of the program is mapped: its first paint, seen through the
//     DAMAGE extension on the root window; the map itself is printed too;
//   - resident memory (VmRSS) when the start-up work has settled (SETTLE
//     seconds after the window, 5 by default: the demo mouse's first full
//     apply takes a few seconds of paced reports);
//   - idle wake-ups: context switches of all its threads per second over
//     the following idle period.
// Each program runs RUNS times; the medians are printed on one line:
//   start_ms=93.1 map_ms=90.4 rss_mib=43.2 wakeups_per_s=0.0
// Usage: vantorel_bench_startup [--runs N] [--settle SECONDS] [--idle SECONDS] -- PROGRAM [ARG...]
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double start_ms = 0;
    double map_ms = 0;
    double rss_mib = 0;
    double wakeups_per_s = 0;
};

// A "Name:   value kB" line of /proc/PID/status or /proc/PID/task/TID/status.
long status_value(const std::string& file, const char* name) {
    std::ifstream in(file);
    const std::size_t length = std::strlen(name);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
    return -1;
}

// Context switches of every thread of the process, voluntary or not: each
// is a time the process left the CPU, which for an idle program means a
// wake-up before it.
long context_switches(pid_t pid) {
    long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir) return -1;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string status = tasks + "/" + e->d_name + "/status";
        const long v = status_value(status, "voluntary_ctxt_switches");
        const long n = status_value(status, "nonvoluntary_ctxt_switches");
        if (v >= 0) total += v;
        if (n >= 0) total += n;
    }
    closedir(dir);
    return total;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::optional<Sample> run_once(char** argv, double settle_seconds, double idle_seconds) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_startup: no X display (DISPLAY=%s)\n", getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return std::nullopt;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    // Drawing anywhere on the screen, windows included, is damage to the
    // root window.
    int damage_event = 0;
    int damage_error = 0;
    Damage damage = 0;
    if (XDamageQueryExtension(display, &damage_event, &damage_error))
        damage = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
    XSync(display, False);

    const Clock::time_point began = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    std::optional<Clock::time_point> mapped;
    std::optional<Clock::time_point> painted;
    const int fd = ConnectionNumber(display);
    while (!painted && Clock::now() - began < std::chrono::seconds(20)) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect && !mapped) mapped = Clock::now();
            if (damage && event.type == damage_event + XDamageNotify) {
                if (mapped && !painted) painted = Clock::now();
                XDamageSubtract(display, damage, None, None);
            }
        }
        if (mapped && !damage) painted = mapped;
        if (painted) break;
        if (waitpid(pid, nullptr, WNOHANG) == pid) break;  // ended without a window
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 5);
    }
    if (damage) XDamageDestroy(display, damage);
    XCloseDisplay(display);
    if (!painted) {
        std::fprintf(stderr, "bench_startup: %s showed no window\n", argv[0]);
        stop(pid);
        return std::nullopt;
    }
    Sample s;
    s.start_ms = std::chrono::duration<double, std::milli>(*painted - began).count();
    s.map_ms = std::chrono::duration<double, std::milli>(*mapped - began).count();
    std::this_thread::sleep_for(std::chrono::duration<double>(settle_seconds));
    s.rss_mib = static_cast<double>(status_value("/proc/" + std::to_string(pid) + "/status", "VmRSS")) / 1024.0;
    const long before = context_switches(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(idle_seconds));
    const long after = context_switches(pid);
    s.wakeups_per_s = static_cast<double>(after - before) / idle_seconds;
    stop(pid);
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    double idle = 5;
    double settle = 5;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--idle" && i + 1 < argc) idle = std::max(0.5, std::atof(argv[++i]));
        else if (a == "--settle" && i + 1 < argc) settle = std::max(0.0, std::atof(argv[++i]));
        else if (a == "--") {
            ++i;
            break;
        } else {
            break;
        }
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: %s [--runs N] [--settle SECONDS] [--idle SECONDS] -- PROGRAM [ARG...]\n", argv[0]);
        return 2;
    }
    std::vector<double> start, map, rss, wakeups;
    for (int r = 0; r < runs; ++r) {
        const std::optional<Sample> s = run_once(argv + i, settle, idle);
        if (!s) return 1;
        start.push_back(s->start_ms);
        map.push_back(s->map_ms);
        rss.push_back(s->rss_mib);
        wakeups.push_back(s->wakeups_per_s);
    }
    std::printf("start_ms=%.1f map_ms=%.1f rss_mib=%.1f wakeups_per_s=%.1f\n", median(start), median(map), median(rss),
                median(wakeups));
    return 0;
}
