// SPDX-License-Identifier: GPL-2.0-or-later
// The input hook's events as macro recording takes them.
#include "macro/input_event.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(HookInput, ButtonsKeepWhichAndSideButtonsAreNotSwapped) {
    struct Case {
        std::uint32_t w;
        std::intptr_t l;
        InputEvent want;
    };
    const Case cases[] = {
        {0x201, 0, InputEvent::mouse(MouseButton::Left, false)},
        {0x202, 0, InputEvent::mouse(MouseButton::Left, true)},
        {0x204, 0, InputEvent::mouse(MouseButton::Right, false)},
        {0x205, 0, InputEvent::mouse(MouseButton::Right, true)},
        {0x207, 0, InputEvent::mouse(MouseButton::Middle, false)},
        {0x208, 0, InputEvent::mouse(MouseButton::Middle, true)},
        {0x20B, 1, InputEvent::mouse(MouseButton::Forward, false)},
        {0x20C, 1, InputEvent::mouse(MouseButton::Forward, true)},
        {0x20B, 2, InputEvent::mouse(MouseButton::Back, false)},
        {0x20C, 2, InputEvent::mouse(MouseButton::Back, true)},
        {0x20A, 120, InputEvent::wheel(120)},
        {0x41, 0, InputEvent::key(0x04, false)},   // A
        {0x41, 1, InputEvent::key(0x04, true)},
        {0x5A, 0, InputEvent::key(0x1D, false)},   // Z
        {0x20B, 3, InputEvent::key(0, true)},      // no side button named
        {0xFF, 1, InputEvent::key(0, true)},       // outside the key table
    };
    const UsKeyboardLayout layout;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.w << " " << c.l);
        EXPECT_EQ(hook_input(c.w, c.l, layout), c.want);
    }
}

}  // namespace
}  // namespace vantorel
