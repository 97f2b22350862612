// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vantorel {
namespace {

int initial_state() {
    const char* v = std::getenv("QV_VANTOREL_DEBUG");
    return (v && *v && std::strcmp(v, "0") != 0) ? 1 : 0;
}

std::atomic<int>& state() {
    static std::atomic<int> s{initial_state()};
    return s;
}

}  // namespace

bool trace_enabled() { return state().load(std::memory_order_relaxed) != 0; }
void set_trace_enabled(bool on) { state().store(on ? 1 : 0, std::memory_order_relaxed); }

void trace(const char* format, ...) {
    if (!trace_enabled()) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::size_t n = std::strlen(line);
    std::fprintf(stderr, "[vantorel] %s%s", line, (n && line[n - 1] == '\n') ? "" : "\n");
}

}  // namespace vantorel
