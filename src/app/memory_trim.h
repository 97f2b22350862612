// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up builds and drops a lot (skin trees, style sheet parses, decoded
// pictures); the C library keeps the freed pages unless asked. Once the
// window has settled, they go back to the system: a tray program stays
// resident all day.
#pragma once

namespace vantorel {

// Empties the pixmap cache and returns the freed heap pages `delay_ms` after
// the event loop runs.
void ReturnFreedMemoryLater(int delay_ms = 1500);

}  // namespace vantorel
