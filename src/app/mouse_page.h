// SPDX-License-Identifier: GPL-2.0-or-later
// The placeholder the main window hosts when it is given no mouse page
// (the shell's own tests). The page interface itself lives with the page.
#pragma once

#include "page/mouse_page.h"

namespace vantorel {

// The page's apply button requests an apply, nothing else has behaviour.
class PlaceholderPage : public MousePage {
protected:
    void OnClick(const ui::Notification& msg) override;
};

}  // namespace vantorel
