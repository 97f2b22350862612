// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/ms_1_page.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QListWidget>

#include <utility>

#include "core/trace.h"
#include "library/settings_file.h"
#include "page/input_pause.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/section_header.h"
#include "ui/skin_window.h"
#include "ui/wheel_guard.h"
#include "ui/window_messages.h"

namespace vantorel {

namespace {

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }


}  // namespace

CMS_1_Page::CMS_1_Page(PageSetup setup) : m_Setup(std::move(setup)) {
    m_OwnedStore = std::make_unique<ProfileStore>(m_Setup.data_folder ? *m_Setup.data_folder : DataFolder::locate());
    m_pStore = m_OwnedStore.get();
    trace("data folder: %s%s\n", m_pStore->folder().path().c_str(),
          m_pStore->folder().portable() ? " (beside the program)" : "");
    m_pSource = std::make_unique<page::TrackedProfileSource>(*m_pStore);
    m_pLayout = m_Setup.keyboard_layout ? m_Setup.keyboard_layout : std::make_shared<UsKeyboardLayout>();
    Executor& executor = m_Setup.executor ? *m_Setup.executor : m_Executor;
    m_pSession = std::make_unique<MouseSession>(executor, *m_pSource, std::move(m_Setup.mouse));
    m_pLinkView = std::make_unique<LinkView>(executor, *this, m_pSession->links());
    m_pSession->add_observer(this);
}

CMS_1_Page::~CMS_1_Page() { Shutdown(); }

// ---------------------------------------------------------------------------
// Controls

QWidget* CMS_1_Page::find(const QString& name) const {
    return host_.window ? host_.window->FindControl(name) : nullptr;
}

QWidget* CMS_1_Page::find(std::string_view name) const { return find(qstr(name)); }

QWidget* CMS_1_Page::find_indexed(const char* pattern, int index) const {
    return find(QString::asprintf(pattern, index));
}

int CMS_1_Page::index_of(const QWidget* sender, const QWidget* const* controls, int count) {
    if (!sender) return -1;
    for (int i = 0; i < count; ++i) {
        if (controls[i] == sender) return i;
    }
    return -1;
}

void CMS_1_Page::find_controls() {
    m_pBle = find(controls::kBleIndicator);
    m_pVerSetting = find(QStringLiteral("ms_1_ver_setting"));

    static constexpr std::array<std::pair<const char*, const char*>, 12> kSectionNames = {{
        {"ms_1_check_button", "ms_1_hor_button"},
        {"ms_1_check_profile", "ms_1_ver_profile"},
        {"ms_1_check_power", "ms_1_ver_power"},
        {"ms_1_check_dpi", "ms_1_ver_dpi"},
        {"ms_1_check_light", "ms_1_ver_light"},
        {"ms_1_check_prate", "ms_1_ver_prate"},
        {"ms_1_check_mouse_attribute", "ms_1_ver_mouse_attribute"},
        {"ms_1_check_power_setting", "ms_1_ver_power_setting"},
        {"ms_1_check_lift_of_distance", "ms_1_hor_lift_of_distance"},
        {"ms_1_check_key_debounce", "ms_1_hor_key_debounce"},
        {"ms_1_check_ripple_control", "ms_1_hor_ripple_control"},
        {"ms_1_check_angle_snap", "ms_1_hor_angle_snap"},
    }};
    for (std::size_t i = 0; i < kSectionNames.size(); ++i) {
        m_Sections[i].toggle = find(QString::fromLatin1(kSectionNames[i].first));
        m_Sections[i].body = find(QString::fromLatin1(kSectionNames[i].second));
        // The lower sections of the settings column open below what is in
        // view; the column scrolls to bring them in.
        m_Sections[i].scrolls = i >= 7;
    }
    m_pVerLight = m_Sections[4].body;

    m_pBtnMouseAttribute = find(QStringLiteral("ms_1_btn_mouse_attribute"));
    m_pApplyBtn = find(QStringLiteral("ms_1_apply_btn"));
    for (int n = 1; n <= 2; ++n) m_pOptionMousePic[static_cast<std::size_t>(n - 1)] = find_indexed("ms_1_option_mouse_pic_%d", n);
    m_pContainerMousePic = find(QStringLiteral("ms_1_container_mouse_pic"));
}

// ---------------------------------------------------------------------------
// Life cycle

void CMS_1_Page::Init() {
    find_controls();

    // The light section starts closed. Lift-off distance is offered as the
    // command line offers it; its tooltip says the mouse does not get it.
    ui::SetVisible(m_pVerLight, false);
    ui::SetCheck(m_Sections[4].toggle, false);

    // Enter on a button, double-clicks and the context menu of the profile
    // list, and .pro files dropped on the page.
    m_pInputHook = std::make_unique<ui::EventHook>(
        [this](QObject* watched, QEvent* event) {
            return m_Buttons.on_key(watched, event) || m_Profiles.on_input(watched, event);
        });
    m_Buttons.init();
    m_Profiles.init();
    for (int k = 0; k < kMenuButtonCount; ++k) m_pInputHook->watch(m_Buttons.buttons()[static_cast<std::size_t>(k)]);
    if (auto* list = qobject_cast<QListWidget*>(m_Profiles.list())) {
        m_pInputHook->watch(list);
        m_pInputHook->watch(list->viewport());
    }
    if (QWidget* root = find(QStringLiteral("ms_1_page"))) {
        root->setAcceptDrops(true);
        m_pInputHook->watch(root);
    }

    // The settings column: the wheel scrolls it unless a control has focus,
    // and section headers answer on their whole row.
    if (auto* column = qobject_cast<QAbstractScrollArea*>(m_pVerSetting)) ui::WheelGuard::Install(column);
    for (const Section& section : m_Sections)
        if (auto* header = qobject_cast<QAbstractButton*>(section.toggle)) ui::SectionHeader::Install(header);
    m_Dpi.init();
    m_Settings.init();
    m_Status.init(*this);

    m_MouseSettings = m_Setup.find_mouse_settings ? m_Setup.find_mouse_settings() : page::FindMouseSettingsCommand();
    ui::SetVisible(m_pBtnMouseAttribute, m_MouseSettings.has_value());

    if (host_.host) m_pSession->start();
    ui::SetVisible(m_pBle, links().ble_connected.load() != 0);
    read_model_choice();
}

void CMS_1_Page::ReadLibraries() {
    if (m_bLibrariesRead) return;
    m_bLibrariesRead = true;
    const ProfileStore::LoadResult loaded = m_pStore->load(ui::ResourceManager::instance().language());
    for (const std::string& problem : loaded.profiles.problems) trace("profile library: %s\n", problem.c_str());
    for (const std::string& problem : loaded.macros.problems) trace("macro library: %s\n", problem.c_str());
    m_bSaveFailedOnRead = !loaded.profiles.save_status;
    if (m_bSaveFailedOnRead) m_Status.record_save_error(loaded.profiles.save_status.message());

    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    m_pCurProfile = m_pStore->profiles().empty() ? nullptr : &m_pStore->current();
}

void CMS_1_Page::LoadLibraries() {
    ReadLibraries();
    m_Profiles.fill();
    // What the mouse holds is unknown: a full apply brings it in step. It
    // runs now when a link is up; otherwise the session runs it as soon as
    // a mouse appears.
    m_pSession->forget_mouse_state();
    RequestApply();
    if (links().ble_connected.load() != 0) trace("page: Bluetooth LE mouse present\n");
    Refresh();
    if (m_bSaveFailedOnRead) m_Status.show_save_failure();
    if (m_Profiles.listener()) m_Profiles.listener()->library_reloaded();
}

void CMS_1_Page::OpenLinks() {
    // Watch for devices coming and going, and open what is there now.
    if (host_.host) m_pSession->open();
}

void CMS_1_Page::demo_ended() {
    if (m_DemoEnded) m_DemoEnded();
}

void CMS_1_Page::Shutdown() {
    if (m_bShutDown) return;
    m_bShutDown = true;
    m_Buttons.close_menu();
    m_Profiles.close_menu();
    m_pSession->remove_observer(this);
    m_pSession->shutdown();
}

bool CMS_1_Page::SavePendingEdits(std::string* error) {
    std::string why;
    const bool ok = m_pSource->save_unsaved(&why);
    if (!ok) {
        trace("page: saving the pending edits failed: %s\n", why.c_str());
        m_Status.record_save_error(why);
        if (error) *error = why;
    }
    return ok;
}

bool CMS_1_Page::save_library_now() {
    m_pSource->mark_unsaved();
    std::string error;
    if (m_pSource->save_unsaved(&error)) return true;
    report_save_failure(error);
    return false;
}

bool CMS_1_Page::HoldLibrary() {
    const bool saved = SavePendingEdits(nullptr);
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        m_pSource->hold();
    }
    // Nothing is edited until the files are read back.
    if (!m_pInputPause)
        m_pInputPause = std::make_unique<InputPause>(window_widget(), [this](bool held) { m_Status.show_library_held(held); });
    trace("page: library held for an outside change\n");
    return saved;
}

bool CMS_1_Page::library_held() const {
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    return m_pSource->held();
}

void CMS_1_Page::ReleaseLibrary() {
    m_pInputPause.reset();
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        m_pSource->release_hold();
    }
    SavePendingEdits(nullptr);
}

void CMS_1_Page::ReloadLibrary(ReloadApply apply) {
    m_pInputPause.reset();
    const std::u16string chosen_before = current_profile_name();
    {
        // The records are replaced: no pointer may outlive them.
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        m_pCurProfile = nullptr;
        m_pSource->end_hold();
    }
    const ProfileStore::LoadResult loaded = m_pStore->load(ui::ResourceManager::instance().language());
    for (const std::string& problem : loaded.profiles.problems) trace("profile library: %s\n", problem.c_str());
    for (const std::string& problem : loaded.macros.problems) trace("macro library: %s\n", problem.c_str());
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        m_pCurProfile = m_pStore->profiles().empty() ? nullptr : &m_pStore->current();
    }
    m_Profiles.fill();
    Refresh();
    trace("page: library reloaded after an outside change\n");
    if (ProfileListListener* listener = m_Profiles.listener()) {
        listener->library_reloaded();
        // A command chose another profile: by hand, as far as following the
        // application goes.
        const std::u16string chosen = current_profile_name();
        if (!chosen.empty() && chosen != chosen_before) listener->profile_chosen(chosen);
    }
    // The engine's copy of what the mouse holds still is the profile as it
    // was, so an apply sends exactly the sections that changed.
    if (apply == ReloadApply::None || !m_pSession->started()) return;
    if (apply == ReloadApply::Full) m_pSession->engine()->set_full_apply();
    RequestApply();
}

// ---------------------------------------------------------------------------
// Messages and timers from the main window

// ---------------------------------------------------------------------------
// What the session reports

void CMS_1_Page::apply_requested() { m_Status.apply_requested(); }

void CMS_1_Page::apply_started() { m_Status.apply_started(); }

void CMS_1_Page::apply_finished(const ApplySummary& summary) {
    const bool dpi_taken = m_Status.apply_finished(summary);
    if (summary.ran) {
        if (dpi_taken) m_Dpi.values_sent();
        return;
    }
    // No link was up, so nothing was sent and the apply saved nothing: keep
    // the edit in the file at least.
    std::string error;
    if (!m_pSource->save_unsaved(&error)) report_save_failure(error);
}

void CMS_1_Page::save_failed(const std::string& error) { report_save_failure(error); }

QString CMS_1_Page::save_error() const { return m_Status.save_error(); }

// ---------------------------------------------------------------------------
// Profile access

bool CMS_1_Page::has_current_profile() const {
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    return m_pCurProfile != nullptr;
}

ProfileRecord CMS_1_Page::current_profile() const {
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    return m_pCurProfile ? *m_pCurProfile : ProfileRecord();
}

void CMS_1_Page::edit_profile(const std::function<void(ProfileRecord&)>& change) {
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    if (!m_pCurProfile) return;
    change(*m_pCurProfile);
    m_pSource->mark_unsaved();
}

// ---------------------------------------------------------------------------
// Refresh

void CMS_1_Page::RefreshLinkSections() {
    m_pLinkView->RefreshLinkSections();
}

void CMS_1_Page::Refresh() {
    RefreshLinkSections();
    if (!has_current_profile()) return;
    const auto record = std::make_unique<ProfileRecord>(current_profile());
    const ProfileRecord& r = *record;

    // A damaged record may hold any value: each control shows the nearest
    // choice it offers, and the record stays as it is until the user
    // changes the control.
    m_Dpi.show(r);
    m_Settings.show(r);
    m_Buttons.show_labels();
}

void CMS_1_Page::RefreshButtonLabel(int n) { m_Buttons.show_label(n); }

void CMS_1_Page::ResyncMacroSlots() { m_Buttons.resync_macro_slots(); }

void CMS_1_Page::OnMenuCommand(const QString& name) {
    if (!m_Profiles.on_menu_command(name)) m_Buttons.assign_function(name);
}

// ---------------------------------------------------------------------------
// Apply requests

void CMS_1_Page::RequestApply() { m_pSession->request_apply(ApplyWhen::Now); }

void CMS_1_Page::request_apply(ApplyWhen when, int delay_ms) { m_pSession->request_apply(when, delay_ms); }

void CMS_1_Page::RequestApplyLater(int delay_ms) { m_pSession->request_apply(ApplyWhen::Soon, delay_ms); }

// ---------------------------------------------------------------------------
// Notifications

void CMS_1_Page::OnClick(const ui::Notification& msg) {
    const QWidget* s = msg.sender;
    if (!s) return;
    if (m_Buttons.on_click(s)) return;
    if (m_Profiles.on_click(s)) return;
    if (m_Dpi.on_click(s)) return;
    if (m_Settings.on_click(s)) return;
    if (s == m_pApplyBtn) {
        RequestApply();
        return;
    }
    if (s == m_pBtnMouseAttribute) {
        open_mouse_settings();
        return;
    }
    m_Status.on_click(s);
}

void CMS_1_Page::OnSelectChanged(const ui::Notification& msg) {
    const QWidget* s = msg.sender;
    if (!s) return;
    if (m_Dpi.on_select(s)) return;
    if (m_Settings.on_select(s)) return;
    if (const int k = index_of(s, m_pOptionMousePic.data(), 2); k >= 0) choose_model_picture(k);
}

void CMS_1_Page::OnItemSelect(const ui::Notification& msg) {
    const QWidget* s = msg.sender;
    if (!s) return;
    if (m_Settings.on_item_select(s)) return;
    m_Profiles.on_item_select(s);
}

void CMS_1_Page::OnCheckClick(const ui::Notification& msg) {
    const QWidget* s = msg.sender;
    if (!s) return;
    if (m_Profiles.on_check(s)) return;
    for (const Section& section : m_Sections) {
        if (section.toggle && s == section.toggle) {
            toggle_section(section);
            return;
        }
    }
    if (!m_Dpi.on_check(s)) m_Settings.on_check(s);
}

void CMS_1_Page::toggle_section(const Section& section) {
    const bool open = ui::GetCheck(section.toggle);
    ui::SetVisible(section.body, open);
    if (open && section.scrolls && host_.host) host_.host->set_timer(kTimerScrollSettings, kScrollDelayMs);
}

void CMS_1_Page::OnValueChanged(const ui::Notification& msg) {
    const QWidget* s = msg.sender;
    if (!s) return;
    const int value = ui::GetValue(s);
    if (m_Settings.on_value(s, value)) return;
    m_Dpi.on_value(s, value);
}

void CMS_1_Page::OnEditCommit(const ui::Notification& msg) { m_Dpi.on_edit_commit(msg.sender); }

void CMS_1_Page::OnTextChanged(const ui::Notification& msg) { m_Dpi.on_text_changed(msg.sender); }

// ---------------------------------------------------------------------------
// Light section, mouse settings, model picture

void CMS_1_Page::refresh_light_section() { m_Settings.show_light_rows(); }

void CMS_1_Page::open_mouse_settings() {
    if (!m_MouseSettings) return;
    if (m_Setup.launch_mouse_settings) m_Setup.launch_mouse_settings(*m_MouseSettings);
    else page::LaunchMouseSettings(*m_MouseSettings);
}

void CMS_1_Page::read_model_choice() {
    const std::filesystem::path config = m_pStore->folder().config_file();
    int id = read_model_id(config);
    if (id < 0 || id > 1) {
        id = 0;
        std::string note;
        if (const Status status = write_model_id(config, id, &note); !status)
            trace("page: CONFIG.ini not written: %s\n", status.message().c_str());
        if (!note.empty()) trace("page: %s\n", note.c_str());
    }
    show_model_picture(id);
}

void CMS_1_Page::show_model_picture(int id) {
    ui::SetCheck(m_pOptionMousePic[static_cast<std::size_t>(id)], true);
    ui::SetBkImage(m_pContainerMousePic, QStringLiteral("skins/ms_1/mouse_%1.png").arg(id + 1));
}

void CMS_1_Page::choose_model_picture(int id) {
    if (const Status status = write_model_id(m_pStore->folder().config_file(), id); !status)
        trace("page: CONFIG.ini not written: %s\n", status.message().c_str());
    show_model_picture(id);
}

// ---------------------------------------------------------------------------
// DeviceView: the link logic drives the page's controls

void CMS_1_Page::set_selected_silently(std::string_view control, bool selected) {
    ui::SetCheck(find(control), selected);
}

void CMS_1_Page::select_item_silently(std::string_view control, int index) { ui::SelectItem(find(control), index); }

void CMS_1_Page::set_progress(std::string_view control, int value) { ui::SetValue(find(control), value); }

void CMS_1_Page::set_label(std::string_view control, std::string_view text, LabelMode mode) {
    if (mode == LabelMode::ResourceText) ui::SetResourceText(find(control), qstr(text));
    else ui::SetText(find(control), qstr(text));
}

void CMS_1_Page::set_visible(std::string_view control, bool visible) { ui::SetVisible(find(control), visible); }

bool CMS_1_Page::is_visible(std::string_view control) const { return ui::IsVisible(find(control)); }

bool CMS_1_Page::is_selected(std::string_view control) const { return ui::GetCheck(find(control)); }

}  // namespace vantorel
