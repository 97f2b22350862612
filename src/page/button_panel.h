// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's buttons: the labels of the 18 buttons, the function menu
// of buttons 1..12, what a choice writes into the button's slot (through the
// key-combination and macro dialogs where it needs more), the macro editor,
// and the macro copies of every profile after it.
#pragma once

#include <QString>

#include <array>
#include <memory>

#include "page/page_context.h"

class QEvent;
class QObject;
class QWidget;

namespace vantorel {

namespace ui {
class MenuWnd;
}

namespace page {

class ButtonPanel {
public:
    static constexpr int kButtonCount = 18;
    static constexpr int kMenuButtonCount = 12;

    explicit ButtonPanel(PageContext& page);
    ~ButtonPanel();
    ButtonPanel(const ButtonPanel&) = delete;
    ButtonPanel& operator=(const ButtonPanel&) = delete;

    void init();
    // The buttons whose keys the page watches (Enter opens their menu).
    const std::array<QWidget*, kButtonCount>& buttons() const { return buttons_; }
    void show_label(int n);  // n = 0..17
    void show_labels();
    // A function chosen in the menu of the button last opened.
    void assign_function(const QString& item);
    // After the macro editor: the macro copies of every profile follow the
    // macro library (saved when any changed), and the current profile is
    // applied when one of its buttons took part.
    void resync_macro_slots();
    void close_menu();

    bool on_click(const QWidget* sender);
    // Enter on a focused button opens its menu as Space and a click do.
    bool on_key(QObject* watched, QEvent* event);

private:
    void open_menu(int index);
    bool choose_shortcut(int index);
    bool choose_macro(int index);
    void open_macro_editor();

    PageContext& page_;
    std::array<QWidget*, kButtonCount> buttons_{};
    QWidget* macro_ = nullptr;
    int menu_button_ = 0;
    std::unique_ptr<ui::MenuWnd> menu_;
};

}  // namespace page
}  // namespace vantorel
