// SPDX-License-Identifier: GPL-2.0-or-later
#include "auto/auto_switch.h"

#include "core/text.h"
#include "core/trace.h"

namespace vantorel {

AutoSwitch::AutoSwitch(Executor& executor, SwitchTo switch_to, ProcessScan processes)
    : switch_to_(std::move(switch_to)),
      processes_(std::move(processes)),
      rest_timer_(executor, kRestTimer, [this] { settle(); }),
      scan_timer_(executor, kScanTimer, [this] { scan_processes(); }) {}

void AutoSwitch::set_bindings(const AppBindings& bindings) {
    bindings_ = bindings;
    if (bindings_.switching() && bindings_.has_exe_bindings()) {
        if (!scan_timer_.active()) {
            scan_timer_.start(kScanPeriodMs, true);
            scan_processes();
        }
    } else {
        scan_timer_.stop();
        running_profile_.reset();
    }
}

std::string AutoSwitch::application_of(const FocusReport& report, const std::vector<std::string>& names) const {
    if (!report.app_id.empty()) return report.app_id;
    if (!names.empty()) return std::string(kExePrefix) + names.front();
    return {};
}

void AutoSwitch::focus_changed(const FocusReport& report) {
    pending_ = report;
    rest_timer_.start(kFocusRestMs);
}

void AutoSwitch::settle() {
    std::vector<std::string> names = processes_.names_of(pending_.pid);
    std::string app = application_of(pending_, names);
    if (settled_once_ && equals_ignore_case(to_utf16(app), to_utf16(settled_app_))) return;
    settled_once_ = true;
    settled_app_ = std::move(app);
    settled_names_ = std::move(names);
    chosen_by_hand_ = false;  // focus moved to another application
    if (settled_) settled_();
    decide();
}

void AutoSwitch::chosen_by_hand(std::u16string profile) {
    // A focus change still resting happened before the choice: it is where
    // the choice was made, not a move away from it.
    if (rest_timer_.active()) {
        rest_timer_.stop();
        settled_names_ = processes_.names_of(pending_.pid);
        settled_app_ = application_of(pending_, settled_names_);
        settled_once_ = true;
    }
    current_ = std::move(profile);
    chosen_by_hand_ = true;
}

void AutoSwitch::profile_renamed(std::u16string_view old_name, std::u16string_view new_name) {
    bindings_.profile_renamed(old_name, new_name);
    if (equals_ignore_case(current_, old_name)) current_ = new_name;
    if (before_automatic_ && equals_ignore_case(*before_automatic_, old_name)) before_automatic_ = std::u16string(new_name);
    if (running_profile_ && equals_ignore_case(*running_profile_, old_name)) running_profile_ = std::u16string(new_name);
}

void AutoSwitch::profile_removed(std::u16string_view name) {
    bindings_.profile_removed(name);
    if (before_automatic_ && equals_ignore_case(*before_automatic_, name)) before_automatic_.reset();
    if (running_profile_ && equals_ignore_case(*running_profile_, name)) running_profile_.reset();
}

void AutoSwitch::dialog_opened() { ++dialogs_open_; }

void AutoSwitch::dialog_closed() {
    if (dialogs_open_ == 0) return;
    if (--dialogs_open_ == 0 && decision_waits_) {
        decision_waits_ = false;
        decide();
    }
}

void AutoSwitch::scan_processes() {
    std::vector<std::string> names;
    for (RunningProcess& p : processes_.scan())
        for (std::string& n : p.names) names.push_back(std::move(n));
    std::optional<std::u16string> found = bindings_.profile_for_exe(names);
    if (found == running_profile_) return;
    running_profile_ = std::move(found);
    decide();
}

void AutoSwitch::decide() {
    if (!bindings_.switching()) return;
    if (dialogs_open_ > 0) {
        decision_waits_ = true;
        return;
    }
    if (chosen_by_hand_) return;
    std::optional<std::u16string> target;
    if (settled_once_) {
        target = bindings_.profile_for_app(settled_app_);
        if (!target) target = bindings_.profile_for_exe(settled_names_);
    }
    if (!target) target = running_profile_;
    if (target) {
        if (!before_automatic_) before_automatic_ = current_;
        switch_to(*target);
        return;
    }
    std::optional<std::u16string> fallback = bindings_.fallback() ? bindings_.fallback() : before_automatic_;
    before_automatic_.reset();
    if (fallback) switch_to(*fallback);
}

void AutoSwitch::switch_to(const std::u16string& profile) {
    if (profile.empty() || equals_ignore_case(profile, current_)) return;
    current_ = profile;
    trace("auto switch: profile \"%s\" for \"%s\"", to_utf8(profile).c_str(), settled_app_.c_str());
    if (switch_to_) switch_to_(profile);
}

}  // namespace vantorel
