// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/shortcut_wnd.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include <utility>

#include "ui/window_messages.h"
#include "core/trace.h"
#include "macro/key_tables.h"
#include "macro/qt_virtual_keys.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

namespace {

// The modifier bit (Ctrl, Shift, Alt, Super) of a key code, 0 for other keys.
std::uint8_t modifier_bit(std::uint8_t key) {
    if (key < 0xE0 || key > 0xE7) return 0;
    return static_cast<std::uint8_t>(1u << ((key - 0xE0) % 4));
}

}  // namespace

CShortcutWnd::CShortcutWnd(const KeyboardLayout& layout, HookTable hooks, Warn warn)
    : layout_(layout), hooks_(hooks), warn_(std::move(warn)) {}

CShortcutWnd::~CShortcutWnd() { stop_capture(); }

void CShortcutWnd::InitWindow() {
    for (int n = 1; n <= 4; ++n) {
        QWidget* box = FindControlIndexed("check_flag_%d", n);
        checks_[static_cast<std::size_t>(n - 1)] = box;
        ui::SetCheck(box, (modifiers_ >> (n - 1)) & 1);
    }
    edit_key_ = FindControl(QStringLiteral("edit_key"));
    btn_ok_ = FindControl(QStringLiteral("btn_ok"));
    // The field answers keys itself only when no hook library watches them.
    if (edit_key_ && !hooks_.installhook) edit_key_->installEventFilter(this);
    show_key();
    setWindowTitle(ui::Tr(QStringLiteral("shortcut_title_text")));
    if (edit_key_) edit_key_->setFocus();
}

void CShortcutWnd::show_key() {
    ui::SetText(edit_key_, QString::fromStdU16String(
                               usage_to_key_name(key_, layout_, ui::ResourceManager::instance().language())));
}

void CShortcutWnd::show_modifiers() {
    const ui::NotifyBlocker quiet;
    for (std::size_t i = 0; i < checks_.size(); ++i) ui::SetCheck(checks_[i], (modifiers_ >> i) & 1);
}

void CShortcutWnd::confirm() {
    if (key_ != 0) {
        Close(1);
        return;
    }
    if (warn_) warn_(this, QStringLiteral("shortcut_no_key_text"));
    if (edit_key_) edit_key_->setFocus();
}

void CShortcutWnd::Notify(const ui::Notification& msg) {
    if (msg.is(ui::notify::kClick)) {
        if (msg.from(btn_ok_)) confirm();
        else if (msg.sender_name == QLatin1String("btn_cancel") || msg.sender_name == QLatin1String("btn_exit")) Close(0);
        return;
    }
    if (msg.is(ui::notify::kCheckClick) || msg.is(ui::notify::kSelectChanged)) {
        for (std::size_t i = 0; i < checks_.size(); ++i) {
            if (!msg.from(checks_[i])) continue;
            const auto bit = static_cast<std::uint8_t>(1u << i);
            modifiers_ = ui::GetCheck(checks_[i]) ? (modifiers_ | bit) : (modifiers_ & ~bit);
        }
        return;
    }
    if (msg.from(edit_key_)) {
        if (msg.is(ui::notify::kSetFocus)) start_capture();
        else if (msg.is(ui::notify::kKillFocus)) stop_capture();
    }
}

void CShortcutWnd::start_capture() {
    if (capturing_) return;
    capturing_ = true;
    hook_window_ = PluginWindow();
    hooks_.InstallHook(hook_window_);
    hooks_.EnableHook(1);
}

void CShortcutWnd::stop_capture() {
    if (!capturing_) return;
    capturing_ = false;
    held_ = 0;  // their releases may go elsewhere
    lone_modifier_ = 0;
    hooks_.RemoveHook();
    hooks_.EnableMouseHook(0);  // a recording before may have left clicks on
    hooks_.EnableHook(0);
}

void CShortcutWnd::OnFinalMessage() { stop_capture(); }

void CShortcutWnd::HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam,
                                       bool& handled) {
    if (message == kMsgHookTime) {
        hook_position_ = static_cast<std::uint32_t>(lparam);
        handled = true;
        return;
    }
    if (message != kMsgHookEvent) return;
    handled = true;
    // Keys go by where they sit, as this program's layout names that place.
    const std::uint32_t position = std::exchange(hook_position_, 0u);
    if (capturing_) OnHookEvent(placed_virtual_key(static_cast<std::uint32_t>(wparam), position, layout_), lparam != 0);
}

void CShortcutWnd::OnHookEvent(std::uint32_t virtual_key, bool released) {
    trace("%x,%x\n", virtual_key, released ? 1u : 0u);
    const KeyUsage usage = virtual_key_to_usage(virtual_key, layout_);
    const std::uint8_t code = usage.found ? usage.key_code : 0;
    if (const std::uint8_t bit = modifier_bit(code)) {
        if (!released) {
            lone_modifier_ = held_ == 0 ? code : 0;
            held_ |= bit;
            return;
        }
        held_ &= static_cast<std::uint8_t>(~bit);
        if (std::exchange(lone_modifier_, 0) != code) return;
        // A modifier pressed and released alone is the key itself.
    } else {
        lone_modifier_ = 0;
        if (held_ != 0) {
            modifiers_ = held_;
            show_modifiers();
        }
    }
    key_ = code;
    trace("iUsageID=%d\n", key_);
    show_key();
}

bool CShortcutWnd::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edit_key_ && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->isAutoRepeat()) return true;
        // Tab and Escape keep their meaning in the dialog; every other key
        // is captured, Enter included.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Escape)
            return ui::SkinWindow::eventFilter(watched, e);
        if (capturing_) OnHookEvent(VirtualKeyOf(*key, layout_), e->type() == QEvent::KeyRelease);
        return true;
    }
    return ui::SkinWindow::eventFilter(watched, e);
}

void CShortcutWnd::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && focusWidget() != edit_key_) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused->objectName() == QLatin1String("btn_cancel")) focused->click();
        else confirm();
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

}  // namespace vantorel
