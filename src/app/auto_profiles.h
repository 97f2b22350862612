// SPDX-License-Identifier: GPL-2.0-or-later
// Profiles that follow the focused application, in the running program: the
// bindings file of the data folder, the switching rules, the focus detector
// and the mouse page they switch.
//
// The detector runs only while switching is on (by default: while a binding
// exists), so a user who binds nothing pays nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "auto/app_bindings.h"
#include "auto/auto_switch.h"
#include "core/executor.h"
#include "core/focus_report.h"
#include "page/ms_1_page.h"

namespace vantorel {

class AutoProfiles final : public ProfileListListener {
public:
    struct Shell {
        // The DPI popup, for a switch that changes the DPI (its DPI code).
        std::function<void(std::int64_t dpi_code)> show_dpi;
        // Something shown elsewhere changed: a switch, the focus, switching
        // turned on or off (the tray's tooltip and menu, the D-Bus API).
        std::function<void()> changed;
    };

    // `page` outlives this object; its listener is set here and cleared in
    // the destructor. `make_detector` is called when switching turns on.
    // Runs on the page's executor.
    AutoProfiles(CMS_1_Page& page, std::function<std::unique_ptr<FocusDetector>()> make_detector,
                 Shell shell);
    ~AutoProfiles() override;
    AutoProfiles(const AutoProfiles&) = delete;
    AutoProfiles& operator=(const AutoProfiles&) = delete;

    bool switching() const { return bindings_.switching(); }
    // Saved at once; starts or stops following the focus.
    void set_switching(bool on);
    const AppBindings& bindings() const { return bindings_; }
    // "following the focused window through KWin", or why nothing is
    // followed.
    std::string status() const;
    std::string focused_application() const { return rules_.focused_application(); }
    // The profile the last automatic switch chose while it stands (empty
    // after a choice by hand).
    const std::u16string& switched_to() const { return switched_to_; }
    // A report that came over D-Bus (the KWin script, the GNOME Shell
    // extension): followed while switching is on.
    void report_focus(const FocusReport& report);
    FocusDetector* detector() const { return detector_.get(); }

    // ProfileListListener
    void profile_chosen(const std::u16string& name) override;
    void profile_renamed(const std::u16string& old_name, const std::u16string& new_name) override;
    void profile_removed(const std::u16string& name) override;
    void library_reloaded() override;
    void dialogs_changed(bool open) override;

private:
    void switch_to(const std::u16string& name);
    void follow();  // starts or stops the detector and the rules as switching says
    void save();
    void changed();

    CMS_1_Page& page_;
    std::function<std::unique_ptr<FocusDetector>()> make_detector_;
    Shell shell_;
    std::filesystem::path file_;
    AppBindings bindings_;
    AutoSwitch rules_;
    std::unique_ptr<FocusDetector> detector_;
    bool following_ = false;
    std::u16string switched_to_;
};

}  // namespace vantorel
