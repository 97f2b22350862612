// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/memory_trim.h"

#include <QPixmapCache>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/trace.h"

namespace vantorel {

void ReturnFreedMemoryLater(int delay_ms) {
#if defined(__GLIBC__)
    QTimer::singleShot(delay_ms, [] {
        // Pictures drawn once at start-up (the window icon at every size the
        // window manager is given, style pieces) are drawn again if asked for.
        QPixmapCache::clear();
        const int released = malloc_trim(0);
        trace("memory: freed heap pages %s\n", released ? "returned" : "none to return");
    });
#else
    (void)delay_ms;
#endif
}

}  // namespace vantorel
