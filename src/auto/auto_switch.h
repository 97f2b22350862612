// SPDX-License-Identifier: GPL-2.0-or-later
// AutoSwitch: decides which profile should be current from the focused
// application, the running processes and the user's own choices, and says
// so through a callback ("switch to profile NAME"); it never sends anything
// itself. Everything runs on the executor's thread.
//
// The rules:
// - focus must rest kFocusRestMs on an application before it counts, so
//   Alt+Tab through windows switches nothing; a new window or title of the
//   same application is no move either;
// - the profile bound to the focused application wins, then one bound to
//   the executable of the focused window's process, then one bound to the
//   executable of any running process (the first binding in the file's
//   order that matches);
// - with no match the fallback returns: the profile marked as fallback, or
//   with none marked the profile that was current before the automatic
//   switch;
// - a profile chosen by hand stays until focus moves to another
//   application;
// - while a dialog of ours is open nothing switches; when the last one
//   closes, the latest focus that has rested (and running processes) decide.
// Running processes are scanned every kScanPeriodMs only while an exe:
// binding exists and switching is on; otherwise no timer runs at all.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "auto/app_bindings.h"
#include "auto/process_scan.h"
#include "core/executor.h"
#include "core/focus_report.h"

namespace vantorel {

class AutoSwitch {
public:
    static constexpr int kFocusRestMs = 250;
    static constexpr int kScanPeriodMs = 2000;
    // Timer names, as traces and tests know them.
    static constexpr const char* kRestTimer = "focus rest";
    static constexpr const char* kScanTimer = "process scan";

    using SwitchTo = std::function<void(const std::u16string& profile)>;

    AutoSwitch(Executor& executor, SwitchTo switch_to, ProcessScan processes = ProcessScan());
    AutoSwitch(const AutoSwitch&) = delete;
    AutoSwitch& operator=(const AutoSwitch&) = delete;

    // The bindings to follow (copied); starts or stops the process scan. A
    // scan starting runs once at once.
    void set_bindings(const AppBindings& bindings);
    // The profile that is current now, when it changed other than by a
    // switch of ours or a hand choice (the start, a reload, a rename).
    void set_current(std::u16string profile) { current_ = std::move(profile); }
    // A focus detector's report.
    void focus_changed(const FocusReport& report);
    // The user chose a profile (page, tray, command line): it stays until
    // focus moves to another application.
    void chosen_by_hand(std::u16string profile);
    // A profile of the library renamed or deleted: the names kept here (the
    // current one, the one to return to, the bindings) follow.
    void profile_renamed(std::u16string_view old_name, std::u16string_view new_name);
    void profile_removed(std::u16string_view name);
    // Told whenever focus came to rest on another application (before any
    // switch that follows from it).
    void set_settled_handler(std::function<void()> settled) { settled_ = std::move(settled); }
    // Our dialogs open and close; nested dialogs are counted.
    void dialog_opened();
    void dialog_closed();

    const std::u16string& current() const { return current_; }
    // The application focus rests on: its application id, "exe:NAME" when
    // the desktop gave only a process, empty when none.
    const std::string& focused_application() const { return settled_app_; }
    bool scanning() const { return scan_timer_.active(); }

private:
    void settle();
    void scan_processes();
    void decide();
    void switch_to(const std::u16string& profile);
    std::string application_of(const FocusReport& report, const std::vector<std::string>& names) const;

    SwitchTo switch_to_;
    std::function<void()> settled_;
    ProcessScan processes_;
    AppBindings bindings_;
    ExecutorTimer rest_timer_;
    ExecutorTimer scan_timer_;

    std::u16string current_;
    std::optional<std::u16string> before_automatic_;  // current before the automatic switch
    FocusReport pending_;
    bool settled_once_ = false;
    std::string settled_app_;
    std::vector<std::string> settled_names_;  // of the focused window's process
    std::optional<std::u16string> running_profile_;  // bound to a running process
    bool chosen_by_hand_ = false;
    int dialogs_open_ = 0;
    bool decision_waits_ = false;  // something changed while a dialog was open
};

}  // namespace vantorel
