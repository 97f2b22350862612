// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/mouse_page.h"

#include "core/messages.h"

namespace vantorel {

void PlaceholderPage::OnClick(const ui::Notification& msg) {
    if (msg.sender_name == QLatin1String("ms_1_apply_btn") && host_.host) host_.host->post_message(kMsgApplyRequest);
}

}  // namespace vantorel
