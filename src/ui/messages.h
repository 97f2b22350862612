// SPDX-License-Identifier: GPL-2.0-or-later
// Window messages on Qt: a message id with two parameters, posted from any
// thread and handled later on the UI thread by the receiving window, and the
// menu command record a menu delivers to its owner.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>

#include <cstdint>
#include <utility>

#include "vantorel/plugin_abi.h"

namespace vantorel::ui {

class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type eventType();
    WindowMessageEvent(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam)
        : QEvent(eventType()), message_(message), wparam_(wparam), lparam_(lparam) {}
    std::uint32_t message() const { return message_; }
    std::uintptr_t wparam() const { return wparam_; }
    std::intptr_t lparam() const { return lparam_; }

private:
    std::uint32_t message_;
    std::uintptr_t wparam_;
    std::intptr_t lparam_;
};

// What a menu item carries to the window that owns the menu.
struct MenuCommand {
    QString name;       // the item's skin name ("configuration", "ms_1_dpi_up")
    QString user_data;  // free text from the menu skin
    QString text;       // the text the item showed
};

class MenuCommandEvent : public QEvent {
public:
    static QEvent::Type eventType();
    explicit MenuCommandEvent(MenuCommand command) : QEvent(eventType()), command_(std::move(command)) {}
    const MenuCommand& command() const { return command_; }

private:
    MenuCommand command_;
};

// Receivers that other threads and loaded libraries may post to. A receiver
// is known by a token rather than by its address, so a message posted after
// the receiver is gone is dropped instead of reaching freed memory.
class PostTargets {
public:
    static std::uintptr_t add(QObject* receiver);
    static void remove(std::uintptr_t token);
    // Thread-safe; false when the token no longer names a receiver.
    static bool post(std::uintptr_t token, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    // The C form handed to plugins (VantorelWindow::post).
    static int post_c(void* target, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam);
    static VantorelWindow plugin_window(std::uintptr_t token);
};

}  // namespace vantorel::ui
