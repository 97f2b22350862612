// SPDX-License-Identifier: GPL-2.0-or-later
// An activation token from the Wayland compositor (xdg-activation): what a
// start from a terminal or a script, which no launcher gave a token, hands
// to the running copy so that its window may come to the front. Plain
// libwayland-client, no window of its own; no Qt.
#pragma once

#include <string>

namespace vantorel {

// Asks the compositor of this session for a token for the application
// `app_id` (its desktop file name). Empty outside a Wayland session, when
// the compositor offers no xdg_activation_v1, or gives no token within
// `timeout_ms`; the compositor alone decides whether the token then moves
// the focus.
std::string RequestActivationToken(const std::string& app_id, int timeout_ms = 1000);

}  // namespace vantorel
