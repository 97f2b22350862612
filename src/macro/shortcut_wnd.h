// SPDX-License-Identifier: GPL-2.0-or-later
// CShortcutWnd: picks a key combination for a button. Four modifier boxes
// (Ctrl, Shift, Alt, Super) and a key field that captures the next key while
// it has the focus. Keys come from the input hook library as hook events;
// where that library is missing, the keys typed into the field are turned
// into the same events, so the dialog works on every desktop. Modifier keys
// held while the key is pressed tick their boxes (and untick the others); a
// modifier pressed and released alone is the key. OK without a key says why
// the dialog stays open.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QString>

#include "macro/keyboard_layout.h"
#include "ui/hook_table.h"
#include "ui/skin_window.h"

namespace vantorel {

class CShortcutWnd : public ui::SkinWindow {
    Q_OBJECT
public:
    // Shows a warning (a language key) over the dialog.
    using Warn = std::function<void(QWidget* owner, const QString& message_key)>;

    // `layout` names the keys; it must outlive the dialog.
    CShortcutWnd(const KeyboardLayout& layout, HookTable hooks, Warn warn = {});
    ~CShortcutWnd() override;
    QString GetWindowClassName() const override { return QStringLiteral("ShortcutWnd"); }
    QString GetSkinFile() const override { return QStringLiteral("shortcut.xml"); }

    // Input before Create, result after a close with 1: bits 0..3 are Ctrl,
    // Shift, Alt and Super; the key is a key code (0 none).
    void SetModifiers(std::uint8_t bits) { modifiers_ = bits & 0x0F; }
    std::uint8_t Modifiers() const { return modifiers_; }
    void SetKey(std::uint8_t key) { key_ = key; }
    std::uint8_t Key() const { return key_; }

    // One hook event: a virtual key pressed (released = false) or released.
    void OnHookEvent(std::uint32_t virtual_key, bool released);

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam,
                             bool& handled) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void start_capture();
    void stop_capture();
    void show_key();
    void show_modifiers();
    void confirm();

    const KeyboardLayout& layout_;
    HookTable hooks_;
    Warn warn_;
    std::array<QWidget*, 4> checks_{};
    QWidget* edit_key_ = nullptr;
    QWidget* btn_ok_ = nullptr;
    std::uint8_t modifiers_ = 0;
    std::uint8_t key_ = 0;
    bool capturing_ = false;
    std::uint8_t held_ = 0;          // modifier bits held down now
    std::uint8_t lone_modifier_ = 0;  // the one modifier held so far with no other key, else 0
    VantorelWindow hook_window_{};
    std::uint32_t hook_position_ = 0;  // where the key of the next hook event sits
};

}  // namespace vantorel
