// SPDX-License-Identifier: GPL-2.0-or-later
// Debug trace: off unless QV_VANTOREL_DEBUG is set in the environment or a
// front end calls set_trace_enabled (for example on --verbose). Lines go to
// standard error; users never see them otherwise.
#pragma once

namespace vantorel {

bool trace_enabled();
void set_trace_enabled(bool on);

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void trace(const char* format, ...);

}  // namespace vantorel
