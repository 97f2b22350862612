// SPDX-License-Identifier: GPL-2.0-or-later
// CMS_1_Page: the mouse page. It is no window of its own: the main window
// hosts its skin ("MS/MS_1/ms_1_page.xml") and hands every notification of
// the virtual window "MS_1_Page" to it.
//
// The page shows the selected profile of the profile store in its controls
// and writes each edit back into that profile, under the store's mutex,
// then asks its mouse session for an apply: at once, a moment later (a burst
// of changes gives one apply) or not at all (DPI values wait for an apply
// button). Showing a profile never writes into it and never asks for an
// apply. Its parts do that work for their controls (DpiPanel, ButtonPanel,
// ProfileListPanel, SettingsPanel, StatusLine) through what the page shares
// with them (page::PageContext); the page routes the notifications, owns the
// session and the libraries, and counts its dialogs.
//
// The page reaches the mouse through its MouseSession: Init starts it,
// LoadLibraries loads the libraries and shows the selected profile, OpenLinks
// opens the session (device watch, receiver). It observes the session (applies, save
// failures, the end of the demo) and hands what the links report to its
// LinkView, which shows it in the page's controls.
//
// Edits are never lost: an apply that finds no link up saves the library
// instead, and SavePendingEdits (called on a clean exit) saves whatever the
// file does not hold yet. Save failures are shown on the page.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/apply_engine.h"
#include "library/profile_store.h"
#include "page/button_panel.h"
#include "page/dpi_panel.h"
#include "page/link_view.h"
#include "page/mouse_page.h"
#include "page/page_context.h"
#include "page/page_setup.h"
#include "page/profile_list_panel.h"
#include "page/settings_panel.h"
#include "page/status_line.h"
#include "page/tracked_source.h"
#include "session/mouse_session.h"
#include "ui/event_hook.h"
#include "ui/hook_table.h"
#include "ui/qt_executor.h"

namespace vantorel {

class InputPause;

class CMS_1_Page final : public MousePage, public DeviceView, public MouseObserver, private page::PageContext {
public:
    static constexpr int kStageCount = 8;
    static constexpr int kButtonCount = 18;
    static constexpr int kMenuButtonCount = 12;
    static constexpr int kSliderApplyDelayMs = MouseSession::kSliderApplyDelayMs;
    static constexpr int kLightApplyDelayMs = MouseSession::kLightApplyDelayMs;
    static constexpr int kScrollDelayMs = 10;

    explicit CMS_1_Page(PageSetup setup = {});
    ~CMS_1_Page() override;
    CMS_1_Page(const CMS_1_Page&) = delete;
    CMS_1_Page& operator=(const CMS_1_Page&) = delete;

    // MousePage
    void Init() override;
    void ReadLibraries() override;
    void LoadLibraries() override;
    void OpenLinks() override;
    void OnMenuCommand(const QString& name) override;
    QStringList ProfileNames() const override { return m_Profiles.names(); }
    int SelectedProfile() const override { return m_Profiles.selected(); }
    void SelectProfile(int index) override { m_Profiles.select(index); }
    // A switch of the profiles that follow the application: the profile
    // named (letter case aside) becomes current and only the sections that
    // differ from what the mouse holds are sent. False when there is no
    // such profile, it is current already, or a dialog is open.
    bool SwitchProfileAutomatically(const std::u16string& name) { return m_Profiles.switch_automatically(name); }
    void SetProfileListListener(ProfileListListener* listener) { m_Profiles.set_listener(listener); }
    // The row of the profiles that follow the application under the list:
    // shown once something is bound, its check turns switching on and off
    // (`toggled`), the line beside it says what happens.
    void ShowAutoSwitch(bool offered, bool on, const QString& status) { m_Profiles.show_auto_switch(offered, on, status); }
    void SetAutoSwitchHandler(std::function<void(bool on)> toggled) { m_Profiles.set_auto_switch_handler(std::move(toggled)); }
    std::u16string current_profile_name() const { return m_Profiles.current_name(); }

    // Window destruction: the session ends (apply worker joined, then the
    // device watch and the links closed). Idempotent; the destructor calls it.
    void Shutdown();
    // Saves the edits the library file does not hold yet (a clean exit).
    // True when there was nothing to save or the save worked.
    bool SavePendingEdits(std::string* error);

    // vantorelctl changes the library files while the program runs: first
    // the page saves what it has not saved yet and then writes nothing (its
    // saves only note that there is something to save); then it reads both
    // libraries back from the files, shows them and asks for the apply the
    // change needs. An edit made between the two is given up for the files'
    // state. True when the pending edits could be saved.
    enum class ReloadApply { None, Changed, Full };
    bool HoldLibrary();
    void ReloadLibrary(ReloadApply apply);
    // The hold ends without a change of the files: what was edited
    // meanwhile is saved now.
    void ReleaseLibrary();
    bool library_held() const override;
    // Whether one of the page's dialogs or message boxes is open: they
    // hold on to library records, so the library is not reloaded then.
    bool dialog_open() const override { return m_iDialogDepth > 0; }

    void Refresh();
    void RefreshButtonLabel(int n);  // n = 0..17
    // After the macro editor closed with OK: the macro copies of every
    // profile follow the macro library (saved when any changed), and the
    // current profile is applied when one of its buttons took part.
    void ResyncMacroSlots();
    // Adds the profile of a .pro file to the library and makes it current
    // (the import button, a file dropped on the window). False when refused.
    bool ImportProfileFile(const QString& path) { return m_Profiles.import_file(path); }
    void RequestApply();
    void RequestApplyLater(int delay_ms);
    void RefreshLinkSections();

    // Inspection.
    MouseSession& session() { return *m_pSession; }
    // The executor the page and its session run on (the UI thread's).
    Executor& executor() { return m_Setup.executor ? *m_Setup.executor : m_Executor; }
    LinkState& links() { return m_pSession->links(); }
    // Demo mode: whether the virtual mouse still stands in, and what to tell
    // when a real mouse ended the demo (the window drops its badge).
    bool demo_active() const { return m_pSession->demo_active(); }
    void SetDemoEndedHandler(std::function<void()> handler) { m_DemoEnded = std::move(handler); }
    ProfileStore& store() override { return *m_pStore; }
    ApplyEngine* engine() const { return m_pSession->engine(); }
    LinkController* link_controller() const { return m_pSession->link_controller(); }
    ReportSender* sender() const { return m_pSession->sender(); }
    bool has_current_profile() const override;
    // A copy of the profile shown (default-constructed before the load).
    ProfileRecord current_profile() const override;
    // The last save failure shown, empty when none.
    QString save_error() const;
    bool mouse_settings_available() const { return m_MouseSettings.has_value(); }

    // DeviceView: the link view's access to the controls
    void set_selected_silently(std::string_view control, bool selected) override;
    void select_item_silently(std::string_view control, int index) override;
    void set_progress(std::string_view control, int value) override;
    void set_label(std::string_view control, std::string_view text, LabelMode mode) override;
    void set_visible(std::string_view control, bool visible) override;
    bool is_visible(std::string_view control) const override;
    bool is_selected(std::string_view control) const override;
    void refresh_light_section() override;

    // MouseObserver
    void link_changed(ConnectionMode link, bool up) override { m_pLinkView->link_changed(link, up); }
    void battery_read(const BatteryReading& reading) override { m_pLinkView->battery_read(reading); }
    void mouse_changed_setting(MouseSetting setting, int value, bool over_bluetooth) override {
        m_pLinkView->mouse_changed_setting(setting, value, over_bluetooth);
    }
    void apply_requested() override;
    void apply_started() override;
    void apply_finished(const ApplySummary& summary) override;
    void save_failed(const std::string& error) override;
    void demo_ended() override;

protected:
    void OnClick(const ui::Notification& msg) override;
    void OnSelectChanged(const ui::Notification& msg) override;
    void OnItemSelect(const ui::Notification& msg) override;
    void OnCheckClick(const ui::Notification& msg) override;
    void OnEditCommit(const ui::Notification& msg) override;
    void OnValueChanged(const ui::Notification& msg) override;
    void OnTextChanged(const ui::Notification& msg) override;

private:
    struct Section {
        QWidget* toggle = nullptr;
        QWidget* body = nullptr;
        bool scrolls = false;  // the column scrolls to its end when it opens
    };

    QWidget* find(const QString& name) const;
    QWidget* find(std::string_view name) const;
    QWidget* find_indexed(const char* pattern, int index) const;
    void find_controls();
    static int index_of(const QWidget* sender, const QWidget* const* controls, int count);

    // PageContext
    void edit_profile(const std::function<void(ProfileRecord&)>& change) override;
    page::TrackedProfileSource& source() override { return *m_pSource; }
    ProfileRecord* current_record() override { return m_pCurProfile; }
    void set_current_record(ProfileRecord* record) override { m_pCurProfile = record; }
    void report_save_failure(const std::string& error) override;
    void request_apply(ApplyWhen when, int delay_ms) override;
    void request_full_apply() override { m_pSession->request_full_apply(); }
    void refresh() override { Refresh(); }
    std::optional<std::uint32_t> choose_color(std::uint32_t argb, QWidget* below) override;
    int message(QWidget* owner, const QString& message_key, bool confirm) override;
    const KeyboardLayout& layout() const override { return *m_pLayout; }
    const HookTable& hooks() const override { return host_.hooks ? *host_.hooks : m_NoHooks; }
    void say(const QString& text) override;
    QWidget* control(const QString& name) const override { return find(name); }
    QWidget* window() const override { return window_widget(); }

    void open_mouse_settings();
    void read_model_choice();
    void show_model_picture(int id);
    void choose_model_picture(int id);
    void toggle_section(const Section& section);

    // Dialogs and the status line (ms_1_page_dialogs.cpp).
    int ask(const QString& message_key, bool confirm) override;
    int run_dialog(ui::SkinWindow& dialog) override;
    // Counts an open dialog (message box, colour or file dialog, any
    // window run modally) for as long as it runs: dialog_open() holds.
    class DialogScope {
    public:
        explicit DialogScope(CMS_1_Page& page) : page_(page) {
            if (page_.m_iDialogDepth++ == 0 && page_.m_Profiles.listener())
                page_.m_Profiles.listener()->dialogs_changed(true);
        }
        ~DialogScope() {
            if (--page_.m_iDialogDepth == 0 && page_.m_Profiles.listener())
                page_.m_Profiles.listener()->dialogs_changed(false);
        }
        DialogScope(const DialogScope&) = delete;
        DialogScope& operator=(const DialogScope&) = delete;

    private:
        CMS_1_Page& page_;
    };
    // While a command holds the library no dialog opens: the status bar
    // says the page is busy for that moment. False then.
    bool may_open_dialog();
    QWidget* window_widget() const;
    bool save_library_now() override;
    QString choose_file(const ui::FileChoice& choice) override;

    PageSetup m_Setup;
    ProfileStore* m_pStore = nullptr;  // owned below; a pointer so the folder is chosen at construction
    std::unique_ptr<ProfileStore> m_OwnedStore;
    std::unique_ptr<page::TrackedProfileSource> m_pSource;
    std::shared_ptr<const KeyboardLayout> m_pLayout;
    HookTable m_NoHooks;
    std::optional<page::MouseSettingsCommand> m_MouseSettings;

    // Control pointers, found once in Init; null when the skin lacks one.
    QWidget* m_pBle = nullptr;
    QWidget* m_pVerSetting = nullptr;
    std::array<Section, 12> m_Sections{};
    QWidget* m_pVerLight = nullptr;
    QWidget* m_pBtnMouseAttribute = nullptr;
    QWidget* m_pApplyBtn = nullptr;
    QWidget* m_pContainerMousePic = nullptr;
    std::array<QWidget*, 2> m_pOptionMousePic{};

    // The mouse: links, apply worker, device watch and demo; started in Init.
    ui::QtExecutor m_Executor;
    std::unique_ptr<MouseSession> m_pSession;
    std::unique_ptr<LinkView> m_pLinkView;
    page::DpiPanel m_Dpi{*this};
    page::ButtonPanel m_Buttons{*this};
    page::ProfileListPanel m_Profiles{*this};
    page::SettingsPanel m_Settings{*this};
    page::StatusLine m_Status;
    std::function<void()> m_DemoEnded;
    bool m_bShutDown = false;

    // The profile the controls show and edit: a record of the store's
    // profile library, null until the libraries are loaded.
    ProfileRecord* m_pCurProfile = nullptr;
    int m_iDialogDepth = 0;  // dialogs and message boxes open (they nest)
    // While vantorelctl holds the library: no input, and a word after a while.
    std::unique_ptr<InputPause> m_pInputPause;
    std::unique_ptr<ui::EventHook> m_pInputHook;

    bool m_bLibrariesRead = false;
    bool m_bSaveFailedOnRead = false;
};

}  // namespace vantorel
