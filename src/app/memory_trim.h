// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up builds and drops a lot (skin trees, style sheet parses, decoded
// pictures); the C library keeps the freed pages unless asked. Once the
// window has settled, they go back to the system: a tray program stays
// resident all day.
#pragma once

#include <QTimer>

#include "session/mouse_session.h"

namespace vantorel {

// Every thread allocates from the main heap. The C library would give each
// thread that allocates a heap of its own, whose freed pages it keeps apart
// (the start's warm-up, an apply's worker, the links' readers); this
// program's threads are few and brief, and contention is no cost to it.
// Called first thing, before any thread starts.
void KeepOneHeap();

// Empties the pixmap cache and returns the freed heap pages `delay_ms` after
// the event loop runs.
void ReturnFreedMemoryLater(int delay_ms = 1500);

// An apply's worker builds and frees its reports and the library it saves in
// a heap of its own, which the C library keeps (1.5 MiB after the start's
// full apply). Its pages go back `delay_ms` after the last of a run of
// applies ends.
class HeapTrimAfterApply final : public MouseObserver {
public:
    explicit HeapTrimAfterApply(int delay_ms = 1000);
    void apply_finished(const ApplySummary& summary) override;

private:
    QTimer timer_;
};

}  // namespace vantorel
