// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/messages.h"

#include <QCoreApplication>

#include <mutex>
#include <unordered_map>

namespace vantorel::ui {

QEvent::Type WindowMessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type MenuCommandEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, QObject*> receivers;
    std::uintptr_t next = 1;
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives every window, also at exit
    return *r;
}

}  // namespace

std::uintptr_t PostTargets::add(QObject* receiver) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const std::uintptr_t token = r.next++;
    r.receivers.emplace(token, receiver);
    return token;
}

void PostTargets::remove(std::uintptr_t token) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.receivers.erase(token);
}

bool PostTargets::post(std::uintptr_t token, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    Registry& r = registry();
    // postEvent is thread-safe; holding the lock keeps the receiver alive
    // until the event is queued (its destructor removes it under the lock).
    std::lock_guard lock(r.mutex);
    auto it = r.receivers.find(token);
    if (it == r.receivers.end()) return false;
    QCoreApplication::postEvent(it->second, new WindowMessageEvent(message, wparam, lparam));
    return true;
}

int PostTargets::post_c(void* target, std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    return post(reinterpret_cast<std::uintptr_t>(target), message, wparam, lparam) ? 1 : 0;
}

VantorelWindow PostTargets::plugin_window(std::uintptr_t token) {
    VantorelWindow w;
    w.target = reinterpret_cast<void*>(token);
    w.post = &PostTargets::post_c;
    return w;
}

}  // namespace vantorel::ui
