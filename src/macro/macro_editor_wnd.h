// SPDX-License-Identifier: GPL-2.0-or-later
// CMS_1_Macro: the macro editor. The macro list with add, delete, rename,
// import and export; the actions of the selected macro with move, delete,
// clear, an edit panel for the key or button and the delay, mouse clicks to
// insert, and recording. The editing itself is MacroEditorModel's; this
// window shows it and turns the user's input into its operations.
//
// Keys and clicks reach recording and key capture as hook events: from the
// input hook library where it watches the whole session, otherwise from the
// key and button events of this window itself (the editor then says that
// recording sees only this window). A hook library that finds it cannot
// watch (no display, no RECORD) says so, and the editor falls back to its
// own window then.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "edit/macro_editor_model.h"
#include "ui/file_dialog.h"
#include "ui/hook_table.h"
#include "ui/skin_window.h"

namespace vantorel {

class CMS_1_Macro : public ui::SkinWindow {
    Q_OBJECT
public:
    struct Services {
        std::function<bool()> save;  // saves the macro library
        // A message box; the message is a language key or a text made of one.
        std::function<int(QWidget* owner, const QString& message, bool confirm)> ask;
        std::function<QString(const ui::FileChoice&)> choose_file;
        // The buttons that play a macro, as the user knows them.
        std::function<QStringList(const std::u16string& name)> buttons_playing;
        // A macro got another name: the buttons that play it keep it.
        std::function<void(const std::u16string& old_name, const std::u16string& new_name)> renamed;
        // A macro went: the buttons that played it change now.
        std::function<void()> library_changed;
        QString data_folder;  // where the file dialogs open
        std::u16string open_on;  // the macro shown first, by name; none when empty
    };

    CMS_1_Macro(MacroLibrary& library, const KeyboardLayout& layout, HookTable hooks, Services services);
    ~CMS_1_Macro() override;
    QString GetWindowClassName() const override { return QStringLiteral("MS_1_Macro"); }
    QString GetSkinFile() const override { return QStringLiteral("MS/MS_1/ms_1_macropage.xml"); }

    MacroEditorModel& model() { return model_; }
    // True when the input hook library watches the session; otherwise only
    // this window's own keys and clicks are seen.
    bool session_wide() const { return hooks_.installhook != nullptr && !hook_cannot_watch_; }
    // One key or button event (from the hook or this window's own input),
    // with its time stamp.
    void OnHookEvent(const InputEvent& event, std::uint64_t timestamp_ms);

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam,
                             bool& handled) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void on_click(QWidget* sender);
    void fill_macro_list();
    void show_macro();        // name and action list of the current macro
    void rebuild_actions();   // the action list from the model
    void show_action_panel();
    void set_panel_page(int page);
    void toggle_recording();
    void start_recording();
    void stop_recording();
    void start_key_capture();
    void end_key_capture();
    void unhook();  // the hook and the mouse reports off
    void take_own_input();  // the hook cannot watch: this window's input instead
    QString recording_text() const;
    // False when moving the selected action by `step` (or removing it) would
    // leave a key held at the end and the user does not want that.
    bool keys_stay_released(int step, bool remove);
    void commit_name();
    void commit_delay(QWidget* edit);
    std::uint16_t default_delay() const;
    DelayMode delay_mode() const;
    void import_macro();
    void export_macro();
    bool own_input_event(QObject* watched, QEvent* e);

    MacroLibrary& library_;
    const KeyboardLayout& layout_;
    HookTable hooks_;
    Services services_;
    MacroEditorModel model_;

    QWidget* macro_list_ = nullptr;
    QWidget* name_edit_ = nullptr;
    QWidget* action_list_ = nullptr;
    QWidget* record_btn_ = nullptr;
    QWidget* recording_label_ = nullptr;
    QWidget* insert_mouse_check_ = nullptr;
    QWidget* name_tab_ = nullptr;
    QWidget* mouse_tab_ = nullptr;
    QWidget* edit_check_ = nullptr;
    QWidget* edit_tab_ = nullptr;
    QWidget* key_edit_ = nullptr;  // "ms_1_macro_action_edit"
    QWidget* key_delay_edit_ = nullptr;
    QWidget* mouse_combo_ = nullptr;
    QWidget* mouse_delay_edit_ = nullptr;
    QWidget* default_delay_edit_ = nullptr;
    QWidget* savedata_tab_ = nullptr;
    std::array<QWidget*, 3> delay_modes_{};
    std::array<QWidget*, 5> click_buttons_{};

    bool editing_action_ = false;  // the edit panel is wanted
    bool record_active_ = false;   // hook events are recorded
    bool key_capture_ = false;     // hook events set the selected action's key
    bool mouse_enabled_ = false;   // mouse events reach a recording (off over the record button)
    bool hooked_ = false;          // the hook library is installed for us
    bool hook_cannot_watch_ = false;  // the hook library said nothing will come
    bool filling_ = false;         // lists being filled from code
    VantorelWindow hook_window_{};
    // Time stamps the hook library sends ahead of each event.
    std::uint64_t hook_time_ = 0;
    std::uint32_t last_hook_time32_ = 0;
    bool have_hook_time_ = false;
    bool next_event_timed_ = false;
    std::uint32_t hook_position_ = 0;  // where the key of the next event sits
};

}  // namespace vantorel
