// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's dialogs and its status line. A dialog is counted as open
// for as long as it runs (the profiles that follow the application wait
// meanwhile), and none opens while a command holds the library.
#include "core/trace.h"
#include "page/dpi_color_wnd.h"
#include "page/ms_1_page.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/skin_window.h"

namespace vantorel {

QWidget* CMS_1_Page::window_widget() const { return host_.window; }

bool CMS_1_Page::may_open_dialog() {
    if (!library_held()) return true;
    trace("page: a command holds the library; no dialog now\n");
    say(ui::Tr(QStringLiteral("library_busy_text")));
    return false;
}

int CMS_1_Page::ask(const QString& message_key, bool confirm) {
    if (!may_open_dialog()) return 0;
    const DialogScope open(*this);
    if (m_Setup.message_box) return m_Setup.message_box(window_widget(), message_key, confirm);
    trace("page: no message box for %s\n", qPrintable(message_key));
    return 0;
}

int CMS_1_Page::message(QWidget* owner, const QString& message_key, bool confirm) {
    return m_Setup.message_box ? m_Setup.message_box(owner, message_key, confirm) : 0;
}

int CMS_1_Page::run_dialog(ui::SkinWindow& dialog) {
    if (!may_open_dialog()) return 0;
    const DialogScope open(*this);
    if (m_Setup.run_dialog) return m_Setup.run_dialog(dialog);
    return ui::RunModalDialog(dialog, window_widget());
}

QString CMS_1_Page::choose_file(const ui::FileChoice& choice) {
    if (!may_open_dialog()) return {};
    const DialogScope open(*this);
    if (m_Setup.choose_file) return m_Setup.choose_file(choice);
    return ui::ChooseFile(window_widget(), choice);
}

std::optional<std::uint32_t> CMS_1_Page::choose_color(std::uint32_t argb, QWidget* below) {
    QWidget* window = host_.window;
    QPoint position;
    if (window && below) {
        // Below the button, reaching 200 pixels to its left.
        const QPoint top_left = below->mapTo(window, QPoint(0, 0));
        const QRect w = window->geometry();
        position = QPoint(w.left() + top_left.x() - 200, w.top() + top_left.y() + below->height());
    }
    if (!may_open_dialog()) return std::nullopt;
    const DialogScope open(*this);
    if (m_Setup.choose_color) return m_Setup.choose_color(argb, position);
    return CDpiColorWnd::Choose(window, argb, position);
}

void CMS_1_Page::say(const QString& text) { m_Status.say(text); }

void CMS_1_Page::report_save_failure(const std::string& error) {
    m_Status.record_save_error(error);
    m_Status.show_save_failure();
}

}  // namespace vantorel
