// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "library/data_folder.h"
#include "macro/keyboard_layout.h"
#include "page/mouse_settings.h"
#include "session/mouse_session.h"
#include "ui/file_dialog.h"

class QWidget;

namespace vantorel {

namespace ui {
class SkinWindow;
}

// What the page works with; the application fills it for a real or a demo
// session, the tests with fakes.
struct PageSetup {
    // Where the libraries and "CONFIG.ini" live; unset: the usual data folder.
    std::optional<DataFolder> data_folder;
    // The links to the mouse: real ones, the virtual mouse, or fakes.
    MouseSetup mouse;
    // Where the page's session runs its tasks and timers; null: the page's
    // own executor on the UI thread.
    Executor* executor = nullptr;
    // The layout key names are shown in; null: US.
    std::shared_ptr<const KeyboardLayout> keyboard_layout;
    // Runs the colour dialog with a colour (0xFFRRGGBB) at a screen point;
    // the chosen colour, or nothing when cancelled. Null: CDpiColorWnd.
    std::function<std::optional<quint32>(quint32 argb, QPoint position)> choose_color;
    // Finds and starts the desktop's mouse settings. Null: this desktop's.
    std::function<std::optional<page::MouseSettingsCommand>()> find_mouse_settings;
    std::function<bool(const page::MouseSettingsCommand&)> launch_mouse_settings;
    // The message box (a language key; `confirm` asks OK/Cancel, else it only
    // informs); 1 when the user confirmed. Null: nothing is shown and every
    // question is answered no.
    std::function<int(QWidget* owner, const QString& message_key, bool confirm)> message_box;
    // Runs a dialog modally over the main window and returns its result.
    // Null: ui::RunModalDialog. Tests answer the dialog through its controls.
    std::function<int(ui::SkinWindow& dialog)> run_dialog;
    // The file dialog; an empty path is a cancel. Null: ui::ChooseFile.
    std::function<QString(const ui::FileChoice& choice)> choose_file;
};

}  // namespace vantorel
