// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for another application on the test's Wayland desktop, and for
// the user's hand on it.
//   wayland_stand_in window      maps a plain window (app_id
//                                "vantorel-stand-in") and keeps it until ended
//   wayland_stand_in token ID    prints a token the compositor issued for ID
//   wayland_stand_in click X Y W H
//                                a pointer of the compositor's seat (the
//                                virtual pointer of wlroots compositors, as
//                                a headless one has none of its own) moves to
//                                X,Y of the W x H desktop and clicks its left
//                                button there
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/activation_token.h"

namespace {
class PlainWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan); }
};

// The virtual pointer's two interfaces, as libwayland-client wants them
// declared; the compositor sends no events on either.
const wl_interface* no_types[5] = {};
const wl_message pointer_requests[] = {
    {"motion", "uff", no_types},      {"motion_absolute", "uuuuu", no_types}, {"button", "uuu", no_types},
    {"axis", "uuf", no_types},        {"frame", "", no_types},                {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types},    {"axis_discrete", "uufi", no_types},    {"destroy", "", no_types}};
const wl_interface virtual_pointer = {"zwlr_virtual_pointer_v1", 1, 9, pointer_requests, 0, nullptr};
const wl_interface* create_types[] = {&wl_seat_interface, &virtual_pointer};
const wl_message manager_requests[] = {{"create_virtual_pointer", "?on", create_types}};
const wl_interface pointer_manager = {"zwlr_virtual_pointer_manager_v1", 1, 1, manager_requests, 0, nullptr};
enum : std::uint32_t { kMotionAbsolute = 1, kButton = 2, kFrame = 4, kDestroy = 8 };

struct Globals {
    wl_seat* seat = nullptr;
    wl_proxy* manager = nullptr;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, pointer_manager.name) == 0)
        globals->manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &pointer_manager, 1));
}
void GlobalRemoved(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener = {Global, GlobalRemoved};

int Click(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height) {
    using namespace std::chrono_literals;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager) {
        std::fprintf(stderr, "the compositor offers no virtual pointer\n");
        wl_display_disconnect(display);
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_flags(globals.manager, 0, &virtual_pointer, 1, 0, globals.seat, nullptr);
    const auto now = [] {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    };
    const auto event = [&](std::uint32_t opcode, auto... args) {
        wl_proxy_marshal_flags(pointer, opcode, nullptr, 1, 0, args...);
        wl_proxy_marshal_flags(pointer, kFrame, nullptr, 1, 0);
        wl_display_roundtrip(display);
    };
    // The seat has a pointer only now: its clients are told so and ask for
    // theirs (a busy one later) before it presses.
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(300ms);
    event(kMotionAbsolute, now(), x, y, width, height);
    std::this_thread::sleep_for(700ms);
    event(kButton, now(), std::uint32_t{BTN_LEFT}, std::uint32_t{WL_POINTER_BUTTON_STATE_PRESSED});
    std::this_thread::sleep_for(50ms);
    event(kButton, now(), std::uint32_t{BTN_LEFT}, std::uint32_t{WL_POINTER_BUTTON_STATE_RELEASED});
    std::this_thread::sleep_for(100ms);
    wl_proxy_marshal_flags(pointer, kDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "token") == 0) {
        const std::string token = vantorel::RequestActivationToken(argv[2]);
        if (token.empty()) return 1;
        std::printf("%s\n", token.c_str());
        return 0;
    }
    if (argc == 6 && std::strcmp(argv[1], "click") == 0) {
        const auto at = [&](int i) { return static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)); };
        return Click(at(2), at(3), at(4), at(5));
    }
    if (argc != 2 || std::strcmp(argv[1], "window") != 0) {
        std::fprintf(stderr, "usage: wayland_stand_in window | token APP-ID | click X Y WIDTH HEIGHT\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("vantorel-stand-in"));
    PlainWindow window;
    window.resize(200, 150);
    window.show();
    return QGuiApplication::exec();
}
