// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/memory_trim.h"

#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/trace.h"

namespace vantorel {

void ReturnFreedMemoryLater(int delay_ms) {
#if defined(__GLIBC__)
    QTimer::singleShot(delay_ms, [] {
        const int released = malloc_trim(0);
        trace("memory: freed heap pages %s\n", released ? "returned" : "none to return");
    });
#else
    (void)delay_ms;
#endif
}

}  // namespace vantorel
