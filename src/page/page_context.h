// SPDX-License-Identifier: GPL-2.0-or-later
// What the parts of the mouse page (the DPI stages, the buttons, the profile
// list) share, and the page provides: the profile shown and its edits, the
// saves, the apply requests, the dialogs and the status line.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "core/profile_record.h"
#include "session/mouse_session.h"

class QWidget;

namespace vantorel {

class ProfileStore;
class KeyboardLayout;
struct HookTable;

namespace ui {
class SkinWindow;
struct FileChoice;
}  // namespace ui

namespace page {

class TrackedProfileSource;

class PageContext {
public:
    virtual ~PageContext() = default;

    // The profile shown. edit_profile writes into it under the store's
    // mutex and marks the edit unsaved; it does nothing while no profile is
    // current.
    virtual bool has_current_profile() const = 0;
    virtual ProfileRecord current_profile() const = 0;
    virtual void edit_profile(const std::function<void(ProfileRecord&)>& change) = 0;
    virtual ProfileStore& store() = 0;
    virtual TrackedProfileSource& source() = 0;
    // Call with the store's mutex held: the record the controls show, or
    // null; a record about to go must be let go of first.
    virtual ProfileRecord* current_record() = 0;
    virtual void set_current_record(ProfileRecord* record) = 0;

    // Saves the library now; a failure is shown. False then.
    virtual bool save_library_now() = 0;
    // A save failed elsewhere (the macro editor, an import): shown as the
    // page's own.
    virtual void report_save_failure(const std::string& error) = 0;
    virtual void request_apply(ApplyWhen when, int delay_ms = 0) = 0;
    virtual void request_full_apply() = 0;
    // Every control shows the current profile again.
    virtual void refresh() = 0;

    // Dialogs. Each is counted as open while it runs and refused while a
    // command holds the library (the status line says so).
    virtual int ask(const QString& message_key, bool confirm) = 0;
    virtual int run_dialog(ui::SkinWindow& dialog) = 0;
    virtual QString choose_file(const ui::FileChoice& choice) = 0;
    virtual std::optional<std::uint32_t> choose_color(std::uint32_t argb, QWidget* below) = 0;
    // A message box over a dialog of the page (its owner); 1 when confirmed.
    virtual int message(QWidget* owner, const QString& message_key, bool confirm) = 0;
    // What a key is called on the keyboard in use; the input hook library.
    virtual const KeyboardLayout& layout() const = 0;
    virtual const HookTable& hooks() const = 0;

    // Whether a dialog of the page is open, and whether a command holds the
    // library: the profiles that follow the application wait then.
    virtual bool dialog_open() const = 0;
    virtual bool library_held() const = 0;

    // The status line at the page's foot.
    virtual void say(const QString& text) = 0;

    virtual QWidget* control(const QString& name) const = 0;
    virtual QWidget* window() const = 0;
};

}  // namespace page
}  // namespace vantorel
