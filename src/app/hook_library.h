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
