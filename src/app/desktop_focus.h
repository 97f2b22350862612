// SPDX-License-Identifier: GPL-2.0-or-later
// Following the focused window where the desktop keeps it to itself: on KDE
// Plasma (Wayland) through a script we load into KWin, on GNOME Shell through
// the extension we ship. Both report each focused window to the program's
// ReportFocus D-Bus method; the program hands each call to report().
#pragma once

#include <QDBusConnection>
#include <QString>

#include <memory>

#include "core/executor.h"
#include "core/focus_report.h"
#include "focus/focus_detectors.h"

namespace vantorel {

// A detector fed by the ReportFocus calls of a desktop component.
class ReportedFocus {
public:
    virtual ~ReportedFocus() = default;
    // Executor thread. Goes to the listener while started, else nowhere.
    virtual void report(const FocusReport& focus) = 0;
};

// Hands reports to the listener between start() and stop().
class ReportedFocusDetector : public FocusDetector, public ReportedFocus {
public:
    void report(const FocusReport& focus) override;
    void stop() override;
    std::string why() const override { return why_; }

protected:
    bool started() const { return static_cast<bool>(listener_); }
    void follow(Listener focused) { listener_ = std::move(focused); }
    bool fail(std::string why);

private:
    Listener listener_;
    std::string why_;
};

// KDE Plasma: start() writes our KWin script into `script_dir` (the user's
// runtime folder when empty), loads it through KWin's scripting service and
// runs it; stop() unloads it and removes the file.
class KWinFocus : public ReportedFocusDetector {
public:
    static constexpr const char* kPluginName = "qv-vantorel-focus";

    explicit KWinFocus(QDBusConnection bus, QString script_dir = {});
    ~KWinFocus() override;
    std::string description() const override { return "following the focused window through KWin"; }
    bool start(Listener focused) override;
    void stop() override;

private:
    bool run_script(int id);
    void unload();

    QDBusConnection bus_;
    QString script_dir_;
    QString script_path_;
};

// GNOME Shell: started when our extension is enabled there; otherwise why()
// gives the command that enables it.
class GnomeFocus : public ReportedFocusDetector {
public:
    static constexpr const char* kExtensionUuid = "qv-vantorel-focus@qvvantorel.github.io";

    explicit GnomeFocus(QDBusConnection bus);
    std::string description() const override {
        return "following the focused window through the GNOME Shell extension";
    }
    bool start(Listener focused) override;

private:
    QDBusConnection bus_;
};

// The detector for this desktop and, when it is fed by ReportFocus calls,
// where those calls go (else null; it is owned by `detector`).
struct DesktopFocus {
    std::unique_ptr<FocusDetector> detector;
    ReportedFocus* reported = nullptr;
};

// Wayland with KWin on `bus` → KWinFocus; Wayland with GNOME Shell →
// GnomeFocus; otherwise make_focus_detector() (X11, wlroots, or none).
// Nothing is started. Executor thread.
DesktopFocus make_desktop_focus_detector(Executor& executor, const QDBusConnection& bus,
                                         const FocusSession& session);
DesktopFocus make_desktop_focus_detector(Executor& executor, const QDBusConnection& bus);

}  // namespace vantorel
