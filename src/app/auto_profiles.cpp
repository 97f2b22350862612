// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/auto_profiles.h"

#include "app/desktop_focus.h"
#include "core/text.h"
#include "core/trace.h"
#include "ui/resources.h"

namespace vantorel {
namespace {

std::int64_t dpi_code_of(const ProfileRecord& record) { return record.dpi_value(record.dpi_stage_index()); }

}  // namespace

AutoProfiles::AutoProfiles(CMS_1_Page& page, std::function<std::unique_ptr<FocusDetector>()> make_detector,
                           Shell shell)
    : page_(page),
      make_detector_(std::move(make_detector)),
      shell_(std::move(shell)),
      file_(app_bindings_file(page.store().folder())),
      rules_(page.executor(), [this](const std::u16string& name) { switch_to(name); }) {
    page_.SetProfileListListener(this);
    page_.SetAutoSwitchHandler([this](bool on) { set_switching(on); });
    rules_.set_settled_handler([this] { changed(); });
}

AutoProfiles::~AutoProfiles() {
    page_.SetProfileListListener(nullptr);
    page_.SetAutoSwitchHandler(nullptr);
    if (detector_) detector_->stop();
}

void AutoProfiles::library_reloaded() {
    // At start, and after a command changed the files (the bindings among
    // them, or a profile renamed or deleted).
    const LoadReport report = bindings_.load(file_);
    for (const std::string& problem : report.problems) trace("application profiles: %s\n", problem.c_str());
    rules_.set_current(page_.current_profile_name());
    follow();
    changed();
}

void AutoProfiles::follow() {
    const bool on = bindings_.switching();
    rules_.set_bindings(bindings_);
    if (on == following_) return;
    following_ = on;
    if (!on) {
        if (detector_) detector_->stop();
        detector_.reset();
        switched_to_.clear();
        trace("application profiles: not following the focus\n");
        return;
    }
    detector_ = make_detector_ ? make_detector_() : nullptr;
    if (!detector_) return;
    if (detector_->start([this](const FocusReport& report) { rules_.focus_changed(report); }))
        trace("application profiles: %s\n", detector_->description().c_str());
    else
        trace("application profiles: %s\n", detector_->why().c_str());
}

void AutoProfiles::set_switching(bool on) {
    bindings_.set_switching(on);
    save();
    follow();
    changed();
}

std::string AutoProfiles::status() const {
    if (!bindings_.switching()) return "switching is off";
    if (!detector_) return "no focus detector";
    const std::string why = detector_->why();
    return why.empty() ? detector_->description() : why;
}

void AutoProfiles::report_focus(const FocusReport& report) {
    // Only a detector that is told over the bus takes these.
    if (auto* told = dynamic_cast<ReportedFocus*>(detector_.get())) told->report(report);
}

void AutoProfiles::switch_to(const std::u16string& name) {
    const std::int64_t dpi_before = page_.has_current_profile() ? dpi_code_of(page_.current_profile()) : -1;
    if (!page_.SwitchProfileAutomatically(name)) {
        // Refused (a dialog, the library held) or current already: the rules
        // go on from what is current.
        rules_.set_current(page_.current_profile_name());
        return;
    }
    switched_to_ = name;
    trace("application profiles: switched to the profile of %s\n", rules_.focused_application().c_str());
    const std::int64_t dpi_after = dpi_code_of(page_.current_profile());
    if (dpi_after != dpi_before && shell_.show_dpi) shell_.show_dpi(dpi_after);
    changed();
}

void AutoProfiles::profile_chosen(const std::u16string& name) {
    switched_to_.clear();
    rules_.chosen_by_hand(name);
    changed();
}

void AutoProfiles::profile_renamed(const std::u16string& old_name, const std::u16string& new_name) {
    if (bindings_.profile_renamed(old_name, new_name)) save();
    rules_.profile_renamed(old_name, new_name);
    if (equals_ignore_case(switched_to_, old_name)) switched_to_ = new_name;
    changed();
}

void AutoProfiles::profile_removed(const std::u16string& name) {
    if (bindings_.profile_removed(name)) save();
    rules_.profile_removed(name);
    if (equals_ignore_case(switched_to_, name)) switched_to_.clear();
    rules_.set_current(page_.current_profile_name());
    changed();
}

void AutoProfiles::dialogs_changed(bool open) {
    if (open) rules_.dialog_opened();
    else rules_.dialog_closed();
}

void AutoProfiles::save() {
    if (const Status status = bindings_.save(file_); !status)
        trace("application profiles: %s not saved: %s\n", file_.c_str(), status.message().c_str());
}

void AutoProfiles::changed() {
    // The page's row: the switch that stands, then how the focus is followed.
    QString line = QString::fromStdString(status());
    if (!switched_to_.empty()) {
        line = ui::Tr(QStringLiteral("auto_switched_text"))
                   .arg(QString::fromStdU16String(switched_to_), QString::fromStdString(focused_application())) +
               QStringLiteral(" \u00b7 ") + line;
    }
    page_.ShowAutoSwitch(!bindings_.empty() || bindings_.switching_chosen(), bindings_.switching(), line);
    if (shell_.changed) shell_.changed();
}

}  // namespace vantorel
