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
//   - with --page-pixel X,Y,RRGGBB, the time until the pixel at X,Y of that
//     window (a spot only the page in question paints in that colour) has
//     that colour: when that page was drawn, whatever came first;
//   - with --receiver (built with umockdev, run under umockdev-wrapper), the
//     program starts with the mouse's 2.4 GHz receiver plugged in, emulated,
//     and the mouse behind it reporting its battery: every 20 ms until the
//     page is drawn, then every second.
// Each program runs RUNS times; the medians are printed on one line:
//   start_ms=93.1 map_ms=90.4 page_ms=93.1 rss_mib=43.2 wakeups_per_s=0.0
// Usage: vantorel_bench_startup [--runs N] [--settle SECONDS] [--idle SECONDS] [--page-pixel X,Y,RRGGBB]
//                               [--receiver] -- PROGRAM [ARG...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
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
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef VANTOREL_BENCH_RECEIVER
#include "device/hid_backend.h"
#include "hidraw_testbed.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double start_ms = 0;
    double map_ms = 0;
    double page_ms = 0;
    double rss_mib = 0;
    double wakeups_per_s = 0;
};

// A spot of a window and the colour a page paints there.
struct PagePixel {
    int x = 0;
    int y = 0;
    unsigned long rgb = 0;
};

std::optional<PagePixel> parse_page_pixel(const char* text) {
    PagePixel p;
    char colour[7] = {};
    if (std::sscanf(text, "%d,%d,%6[0-9a-fA-F]", &p.x, &p.y, colour) != 3 || std::strlen(colour) != 6)
        return std::nullopt;
    p.rgb = std::strtoul(colour, nullptr, 16);
    return p;
}

// Reads of a window that is not viewable yet fail; the next drawing is
// looked at again.
int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    while (!(mask & 1)) {
        mask >>= 1;
        pixel >>= 1;
    }
    return static_cast<unsigned>(pixel & mask) * 255 / static_cast<unsigned>(mask);
}

// Whether the window shows the page's colour at the spot (within a little,
// for dithering and antialiasing).
bool shows_page(Display* display, Window window, const PagePixel& p) {
    XImage* image = XGetImage(display, window, p.x, p.y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    const int r = static_cast<int>(channel(pixel, image->red_mask));
    const int g = static_cast<int>(channel(pixel, image->green_mask));
    const int b = static_cast<int>(channel(pixel, image->blue_mask));
    XDestroyImage(image);
    auto near = [](int a, unsigned long b_) { return std::abs(a - static_cast<int>(b_ & 0xFF)) <= 16; };
    return near(r, p.rgb >> 16) && near(g, p.rgb >> 8) && near(b, p.rgb);
}

// Something that happens every so often while the program starts and runs
// (the emulated mouse's reports); `page_drawn` says whether the page is up.
using Ticker = std::function<void(bool page_drawn)>;

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

std::optional<Sample> run_once(char** argv, double settle_seconds, double idle_seconds,
                               const std::optional<PagePixel>& page, const Ticker& tick) {
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
    std::optional<Clock::time_point> page_drawn;
    Window window = 0;
    XErrorHandler previous_handler = XSetErrorHandler(ignore_x_errors);
    const int fd = ConnectionNumber(display);
    auto done = [&] { return painted && (!page || page_drawn); };
    while (!done() && Clock::now() - began < std::chrono::seconds(20)) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect && !mapped) {
                mapped = Clock::now();
                window = event.xmap.window;
            }
            if (damage && event.type == damage_event + XDamageNotify) {
                if (mapped && !painted) painted = Clock::now();
                if (painted && page && !page_drawn && shows_page(display, window, *page)) page_drawn = Clock::now();
                XDamageSubtract(display, damage, None, None);
            }
        }
        if (mapped && !damage) painted = page_drawn = mapped;
        if (tick && mapped) tick(false);
        if (done()) break;
        if (waitpid(pid, nullptr, WNOHANG) == pid) break;  // ended without a window
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 5);
    }
    if (damage) XDamageDestroy(display, damage);
    XCloseDisplay(display);
    XSetErrorHandler(previous_handler);
    if (!painted || (page && !page_drawn)) {
        std::fprintf(stderr, "bench_startup: %s showed %s\n", argv[0], painted ? "not the page" : "no window");
        stop(pid);
        return std::nullopt;
    }
    Sample s;
    s.start_ms = std::chrono::duration<double, std::milli>(*painted - began).count();
    s.map_ms = std::chrono::duration<double, std::milli>(*mapped - began).count();
    s.page_ms = std::chrono::duration<double, std::milli>(page_drawn.value_or(*painted) - began).count();
    // Settling and idling, the emulated mouse goes on reporting.
    auto wait = [&tick](double seconds) {
        const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                           std::chrono::duration<double>(seconds));
        while (Clock::now() < until) {
            if (tick) tick(true);
            std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(50), until - Clock::now()));
        }
    };
    wait(settle_seconds);
    s.rss_mib = static_cast<double>(status_value("/proc/" + std::to_string(pid) + "/status", "VmRSS")) / 1024.0;
    const long before = context_switches(pid);
    wait(idle_seconds);
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
    std::optional<PagePixel> page;
    bool receiver = false;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--page-pixel" && i + 1 < argc) {
            page = parse_page_pixel(argv[++i]);
            if (!page) {
                std::fprintf(stderr, "--page-pixel takes X,Y,RRGGBB\n");
                return 2;
            }
        } else if (a == "--receiver") receiver = true;
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
        std::fprintf(stderr,
                     "usage: %s [--runs N] [--settle SECONDS] [--idle SECONDS] [--page-pixel X,Y,RRGGBB] [--receiver] "
                     "-- PROGRAM [ARG...]\n",
                     argv[0]);
        return 2;
    }
    Ticker tick;
#ifdef VANTOREL_BENCH_RECEIVER
    std::unique_ptr<vantorel::testing::HidrawTestbed> bed;
    std::string event_node;
    if (receiver) {
        if (!vantorel::testing::HidrawTestbed::preloaded()) {
            std::fprintf(stderr, "--receiver needs the umockdev preload: umockdev-wrapper %s ...\n", argv[0]);
            return 2;
        }
        namespace t = vantorel::testing;
        bed = std::make_unique<t::HidrawTestbed>();
        const auto usb = bed->add_usb(vantorel::kVendorId, vantorel::kReceiverProductId,
                                      {t::boot_mouse_collection(), t::concat({t::command_collection(0x05),
                                                                              t::event_collection(0x03)})});
        event_node = usb.nodes[1].devnode;
        // A battery report, as the mouse sends them.
        auto last = Clock::now();
        tick = [&bed, &event_node, last](bool page_drawn) mutable {
            const auto every = page_drawn ? std::chrono::milliseconds(1000) : std::chrono::milliseconds(20);
            if (Clock::now() - last < every) return;
            last = Clock::now();
            bed->feed(event_node, {0x03, 0x27, 0x41, 0x00, 0x50});
        };
    }
#else
    if (receiver) {
        std::fprintf(stderr, "built without umockdev: no --receiver\n");
        return 2;
    }
#endif
    std::vector<double> start, map, page_times, rss, wakeups;
    for (int r = 0; r < runs; ++r) {
        const std::optional<Sample> s = run_once(argv + i, settle, idle, page, tick);
        if (!s) return 1;
        start.push_back(s->start_ms);
        map.push_back(s->map_ms);
        page_times.push_back(s->page_ms);
        rss.push_back(s->rss_mib);
        wakeups.push_back(s->wakeups_per_s);
    }
    std::printf("start_ms=%.1f map_ms=%.1f page_ms=%.1f rss_mib=%.1f wakeups_per_s=%.1f\n", median(start), median(map),
                median(page_times), median(rss), median(wakeups));
    return 0;
}
