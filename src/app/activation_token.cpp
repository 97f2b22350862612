// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/activation_token.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "core/trace.h"
#include "xdg-activation-v1-client-protocol.h"

namespace vantorel {

namespace {

struct Request {
    xdg_activation_v1* activation = nullptr;
    std::string token;
    bool done = false;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* request = static_cast<Request*>(data);
    if (!request->activation && std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        request->activation =
            static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

void OnDone(void* data, xdg_activation_token_v1*, const char* token) {
    auto* request = static_cast<Request*>(data);
    request->token = token ? token : "";
    request->done = true;
}

constexpr xdg_activation_token_v1_listener kTokenListener{OnDone};

// Dispatches the display's events until `finished` holds; false when the
// connection fails or the deadline passes first (a compositor that hangs
// must not hold up the start).
template <class Finished>
bool DispatchUntil(wl_display* display, std::chrono::steady_clock::time_point deadline, Finished finished) {
    while (!finished()) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) return false;
            if (finished()) return true;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{wl_display_get_fd(display), POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) continue;
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) return false;
    }
    return true;
}

}  // namespace

std::string RequestActivationToken(const std::string& app_id, int timeout_ms) {
    // Only in a Wayland session: elsewhere libwayland would try a default
    // socket name of its own.
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* socket = std::getenv("WAYLAND_SOCKET");
    if ((!name || !*name) && (!socket || !*socket)) return {};
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        trace("activation token: no Wayland compositor to ask\n");
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeout_ms));
    Request request;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &request);
    // The globals arrive in answer to a sync after the registry request.
    bool synced = false;
    wl_callback* sync = wl_display_sync(display);
    static constexpr wl_callback_listener kSyncListener{
        [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(sync, &kSyncListener, &synced);
    DispatchUntil(display, deadline, [&] { return synced; });
    wl_callback_destroy(sync);

    if (request.activation) {
        xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(request.activation);
        xdg_activation_token_v1_add_listener(token, &kTokenListener, &request);
        if (!app_id.empty()) xdg_activation_token_v1_set_app_id(token, app_id.c_str());
        xdg_activation_token_v1_commit(token);
        DispatchUntil(display, deadline, [&] { return request.done; });
        xdg_activation_token_v1_destroy(token);
        xdg_activation_v1_destroy(request.activation);
    }
    trace("activation token: %s\n", !synced               ? "the compositor did not answer"
                                    : !request.activation ? "the compositor offers no xdg-activation"
                                    : request.token.empty() ? "none given"
                                                            : "given by the compositor");
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return request.token;
}

}  // namespace vantorel
