// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/memory_trim.h"

#include <QPixmapCache>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/trace.h"

namespace vantorel {

namespace {

void return_freed_heap() {
#if defined(__GLIBC__)
    const int released = malloc_trim(0);
    trace("memory: freed heap pages %s\n", released ? "returned" : "none to return");
#endif
}

}  // namespace

void KeepOneHeap() {
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}

void ReturnFreedMemoryLater(int delay_ms) {
    QTimer::singleShot(delay_ms, [] {
        // Pictures drawn once at start-up (the window icon at every size the
        // window manager is given, style pieces) are drawn again if asked for.
        QPixmapCache::clear();
        return_freed_heap();
    });
}

HeapTrimAfterApply::HeapTrimAfterApply(int delay_ms) {
    timer_.setSingleShot(true);
    timer_.setInterval(delay_ms);
    QObject::connect(&timer_, &QTimer::timeout, [] { return_freed_heap(); });
}

void HeapTrimAfterApply::apply_finished(const ApplySummary&) { timer_.start(); }

}  // namespace vantorel
