// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/hook_library.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "core/trace.h"
#include "device/plugin_loader.h"

#ifndef VANTOREL_PLUGIN_RELATIVE_DIR
#define VANTOREL_PLUGIN_RELATIVE_DIR ""
#endif

namespace vantorel {

namespace {
template <class Fn>
void bind(QLibrary& lib, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(lib.resolve(name));
    if (!slot) trace("hook library: no entry point %s\n", name);
}
}  // namespace

SessionFacts SessionFacts::current() {
    return {qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
            qEnvironmentVariable("DISPLAY"), QGuiApplication::platformName()};
}

Recorder choose_recorder(const SessionFacts& session) {
    const QString type = session.session_type.trimmed().toLower();
    // A login manager names the session; started from a console (tty) or
    // unnamed, a Wayland compositor shows itself by its socket.
    const bool wayland = type == QLatin1String("wayland") ||
                         (type != QLatin1String("x11") && !session.wayland_display.isEmpty()) ||
                         session.qt_platform.startsWith(QLatin1String("wayland"));
    if (wayland || session.display.isEmpty()) return Recorder::EditorWindow;
    return Recorder::SessionHook;
}

HookLibrary::~HookLibrary() { unload(); }

QStringList HookLibrary::search_dirs(const QString& executable_dir) {
    QStringList dirs{QDir::cleanPath(executable_dir)};
    // The installed plugin folder, relative to the installed bindir.
    const QString installed = QStringLiteral(VANTOREL_PLUGIN_RELATIVE_DIR);
    if (!installed.isEmpty()) dirs << QDir::cleanPath(executable_dir + QLatin1Char('/') + installed);
    dirs.removeDuplicates();
    return dirs;
}

bool HookLibrary::load(const QStringList& dirs) {
    unload();
    for (const QString& dir : dirs) {
        const QString file = dir + QStringLiteral("/lib") + QLatin1String(kBaseName) + QStringLiteral(".so");
        std::string why;
        if (QFileInfo::exists(file) && !plugin_location_trusted(file.toStdString(), &why)) {
            trace("hook library: refusing %s: %s\n", qPrintable(file), why.c_str());
            continue;
        }
        auto lib = std::make_unique<QLibrary>(file);
        if (!lib->load()) {
            trace("hook library: %s\n", qPrintable(lib->errorString()));
            continue;
        }
        bind(*lib, kHookEntryNames[0], table_.installmousehook);
        bind(*lib, kHookEntryNames[1], table_.removemousehook);
        bind(*lib, kHookEntryNames[2], table_.enablemousehook);
        bind(*lib, kHookEntryNames[3], table_.installhook);
        bind(*lib, kHookEntryNames[4], table_.removehook);
        bind(*lib, kHookEntryNames[5], table_.enablehook);
        bind(*lib, kHookEntryNames[6], table_.mousewheelenable);
        trace("hook library: %s, %d of 7 entry points\n", qPrintable(lib->fileName()), table_.bound_count());
        calls_.start();
        table_.calls = &calls_;
        library_ = std::move(lib);
        return true;
    }
    trace("hook library: not found; recording and key capture are off\n");
    return false;
}

void HookLibrary::unload() {
    // Copies of the table that outlive this post into a stopped queue,
    // which drops their calls.
    calls_.stop();
    table_ = HookTable{};
    if (library_) {
        library_->unload();
        library_.reset();
    }
}

QString HookLibrary::file_name() const { return library_ ? library_->fileName() : QString(); }

}  // namespace vantorel
