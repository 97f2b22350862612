// SPDX-License-Identifier: GPL-2.0-or-later
// The placeholder the main window hosts when it is given no mouse page
// (the shell's own tests). The page interface itself lives with the page.
#pragma once

#include "page/mouse_page.h"

namespace vantorel {

// Shows the page's skin; nothing on it has behaviour (there is no mouse
// session behind it).
class PlaceholderPage : public MousePage {};

}  // namespace vantorel
