// SPDX-License-Identifier: GPL-2.0-or-later
// Work the window's build needs but no window is needed for, done on a
// thread of its own while the program starts on the UI thread: fontconfig
// reads its configuration and font caches (what Qt's first font would do),
// and the skin files are read and parsed, each with the files it includes.
// The build then finds them done, or waits for what is under way instead
// of doing it a second time beside it.
#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "ui/skin_parser.h"

namespace vantorel::ui {

class StartupWarmup {
public:
    // `root`: the resource folder; `skins`: skin files relative to it, read
    // in this order, each followed by the files it includes. Fontconfig is
    // set up after the first of them.
    StartupWarmup(QString root, QStringList skins);
    // Waits for the thread: nothing is left running past its owner.
    ~StartupWarmup();
    StartupWarmup(const StartupWarmup&) = delete;
    StartupWarmup& operator=(const StartupWarmup&) = delete;

    // Returns once fontconfig is set up (Qt's first font then finds it so),
    // or after two seconds of waiting: the warm-up never holds up the start
    // for longer than that.
    void wait_for_fonts();

    // Returns once the warm-up's thread has ended (what it read stays to be
    // taken). For a start about to fork a helper: a child forked while the
    // thread is inside the heap or fontconfig could begin with their locks
    // held, which the sanitizers' heaps do not undo.
    void finish();

    // The parse of `file` (a path as ResourceManager::path gives it) when
    // the running warm-up reads it, waiting until it has (two seconds at
    // most); each file is
    // handed out once. Nothing for a file it does not read, one already
    // taken, and when no warm-up runs: the caller then parses it itself.
    static std::optional<skin::ParseResult> take_skin(const QString& file);

    // The skin files this warm-up has read and not handed out (tests).
    QStringList unclaimed() const;

private:
    void run(QStringList queue);
    std::optional<skin::ParseResult> take(const QString& file);

    const QString root_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool fonts_ready_ = false;
    QStringList queued_;  // absolute paths still to be read
    std::map<QString, skin::ParseResult> parsed_;
    std::thread thread_;
};

// Qt's list of the installed fonts (every family and style fontconfig
// knows), read on a thread of its own once the application exists, while
// the start goes on; the window's first text waits for it only when it is
// not done by then. Declared after the application: it ends first.
class QtFontListAhead {
public:
    // Reads only on X11 and Wayland, whose platforms make their font
    // database with the application; one made when first asked could be
    // made by two threads at once. Elsewhere the first text reads the list.
    // `warmup`, when given, has set fontconfig up before the list is read.
    explicit QtFontListAhead(StartupWarmup* warmup);
    ~QtFontListAhead();
    QtFontListAhead(const QtFontListAhead&) = delete;
    QtFontListAhead& operator=(const QtFontListAhead&) = delete;

    // Returns once the list is read (at once when it is not being read).
    void finish();

private:
    std::thread thread_;
};

}  // namespace vantorel::ui
