// SPDX-License-Identifier: GPL-2.0-or-later
// Loads the input hook library ("Hook": libHook.so) from the executable's
// folder or the installed plugin folder and binds its seven entry points.
// A missing library or entry point is traced and left null. The table makes
// its calls in order on a thread of its own.
#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <memory>

#include "ui/hook_table.h"

namespace vantorel {

// Where the keys and clicks of a recording come from: the hook library,
// which watches an X11 session, or the editor's own window.
enum class Recorder { SessionHook, EditorWindow };

// What the environment says of the desktop session.
struct SessionFacts {
    QString session_type;     // XDG_SESSION_TYPE
    QString wayland_display;  // WAYLAND_DISPLAY
    QString display;          // DISPLAY
    QString qt_platform;      // the platform plugin Qt runs on
    static SessionFacts current();
};

// Decided by the session, not by Qt's platform: in a Wayland session a
// program on XWayland (QT_QPA_PLATFORM=xcb) would watch only the X11
// programs while the editor claims the whole session.
Recorder choose_recorder(const SessionFacts& session);

class HookLibrary {
public:
    static constexpr const char* kBaseName = "Hook";

    HookLibrary() = default;
    ~HookLibrary();
    HookLibrary(const HookLibrary&) = delete;
    HookLibrary& operator=(const HookLibrary&) = delete;

    // The folders searched, in order.
    static QStringList search_dirs(const QString& executable_dir);
    // Loads from the first folder that has the library; true when loaded
    // (even with entry points missing).
    bool load(const QStringList& dirs);
    // Undoes load: the calls still queued are made and the table is
    // cleared before the library goes.
    void unload();

    bool loaded() const { return library_ != nullptr; }
    QString file_name() const;
    const HookTable& table() const { return table_; }
    HookTable* table_ptr() { return &table_; }

private:
    std::unique_ptr<QLibrary> library_;
    HookCalls calls_;  // the table's calls, off the UI thread
    HookTable table_;
};

}  // namespace vantorel
