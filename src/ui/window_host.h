// SPDX-License-Identifier: GPL-2.0-or-later
// What the mouse page needs of the main window that hosts it: messages and
// timers of the window's own plumbing (the settings column's scroll, the
// wake of a second start), and its controls by skin name. The logic layers
// below the toolkit reach the UI thread through an Executor instead.
//
// post_message may be called from any thread. Timers and controls belong to
// the UI thread: an implementation called from another thread marshals the
// call onto the UI thread (for example by posting it) and returns at once.
#pragma once

#include <cstdint>
#include <string_view>

namespace vantorel {

class WindowHost {
public:
    virtual ~WindowHost() = default;

    virtual void post_message(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) = 0;

    // (Re)starts timer `id` with the given period; a running timer of that id
    // is restarted. Every timer is periodic until killed: one-shot users kill
    // it in their handler.
    virtual void set_timer(int id, int milliseconds) = 0;
    virtual void kill_timer(int id) = 0;

    // Shows or hides a control of the window by its skin name; a name the
    // window does not have is ignored.
    virtual void set_control_visible(std::string_view name, bool visible) = 0;
};

}  // namespace vantorel
