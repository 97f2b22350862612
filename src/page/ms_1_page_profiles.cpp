// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's profile list: switching, add, rename, duplicate, delete,
// reset, import (the button, or a .pro file dropped on the window) and
// export. Every change of the list is saved at once, so nothing depends on a
// mouse being connected to reach the file.
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include "core/text.h"
#include "core/trace.h"
#include "library/names.h"
#include "library/transfer.h"
#include "page/ms_1_page.h"
#include "page/profile_name_wnd.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

namespace {

constexpr const char* kProfileMenuSkin = "MS/MS_1/ms_1_profile_menu.xml";

QString profile_file_filter() { return ui::Tr(QStringLiteral("profile_file_text")); }

// The local .pro files a drag carries.
QStringList dropped_profiles(const QMimeData* data) {
    QStringList out;
    if (!data || !data->hasUrls()) return out;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).suffix().compare(QLatin1String("pro"), Qt::CaseInsensitive) == 0)
            out << path;
    }
    return out;
}

}  // namespace

std::optional<std::size_t> CMS_1_Page::index_of_record(const ProfileRecord* record) const {
    for (std::size_t i = 0; i < m_pStore->profiles().size(); ++i)
        if (&m_pStore->profiles()[i] == record) return i;
    return std::nullopt;
}

bool CMS_1_Page::save_library_now() {
    m_pSource->mark_unsaved();
    std::string error;
    if (m_pSource->save_unsaved(&error)) return true;
    record_save_error(error);
    show_save_failure();
    return false;
}

QStringList CMS_1_Page::ProfileNames() const {
    QStringList names;
    if (!m_pStore || !m_pSource) return names;
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    for (std::size_t i = 0; i < m_pStore->profiles().size(); ++i) {
        const std::u16string name = m_pStore->profiles()[i].profile_name();
        names << QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
    }
    return names;
}

int CMS_1_Page::SelectedProfile() const {
    if (!m_pStore || !m_pSource || !m_pCurProfile) return -1;
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    return static_cast<int>(m_pStore->selected());
}

void CMS_1_Page::SelectProfile(int index) {
    if (!m_pCurProfile || index < 0 || index >= ProfileNames().size() || index == SelectedProfile()) return;
    // The tray's menu is not blocked by a dialog of the window (a desktop's
    // tray shows it itself), and the open dialog acts on the profile shown.
    if (dialog_open()) {
        trace("page: profile choice from the tray refused while a dialog is open\n");
        return;
    }
    select_profile_item(index);
}

bool CMS_1_Page::SwitchProfileAutomatically(const std::u16string& name) {
    if (!m_pCurProfile || dialog_open() || library_held()) return false;
    std::optional<std::size_t> index;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        const ProfileLibrary& list = m_pStore->profiles();
        for (std::size_t i = 0; i < list.size() && !index; ++i)
            if (equals_ignore_case(list[i].profile_name(), name)) index = i;
    }
    if (!index || static_cast<int>(*index) == SelectedProfile()) return false;
    m_bAutomaticSwitch = true;
    select_profile_item(static_cast<int>(*index));
    m_bAutomaticSwitch = false;
    return true;
}

std::u16string CMS_1_Page::current_profile_name() const {
    std::lock_guard<std::mutex> lock(m_pSource->mutex());
    return m_pCurProfile ? m_pCurProfile->profile_name() : std::u16string();
}

void CMS_1_Page::select_profile_item(int index) {
    fill_profile_list();
    ui::SelectItem(m_pListProfile, index);
    ui::EnsureVisible(m_pListProfile, index);
    switch_profile(index);
}

std::optional<QString> CMS_1_Page::ask_profile_name(const QString& title_key, const ProfileRecord* renaming) {
    CMS_1_ProfileName dialog(
        m_pStore->profiles(), title_key,
        [this](QWidget* owner, const QString& key) {
            if (m_Setup.message_box) m_Setup.message_box(owner, key, false);
        },
        renaming);
    if (run_dialog(dialog) != 1) return std::nullopt;
    return dialog.ResultName();
}

void CMS_1_Page::add_profile() {
    const std::optional<QString> name = ask_profile_name(QStringLiteral("profile_name_1_text"));
    if (!name) return;
    int index = 0;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        auto record = std::make_unique<ProfileRecord>();
        record->reset_to_defaults();
        record->set_profile_name(name->toStdU16String());
        m_pStore->profiles().append(std::move(record));
        index = static_cast<int>(m_pStore->profiles().size()) - 1;
    }
    select_profile_item(index);
    save_library_now();
}

void CMS_1_Page::rename_profile() {
    const ProfileRecord* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        target = m_pCurProfile;
    }
    if (!target) return;
    const std::optional<QString> name = ask_profile_name(QStringLiteral("profile_name_2_text"), target);
    if (!name) return;
    int index = 0;
    std::u16string old_name;
    {
        // The profile asked about, wherever it is now.
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        const std::optional<std::size_t> at = index_of_record(target);
        if (!at) return;
        old_name = m_pStore->profiles()[*at].profile_name();
        m_pStore->profiles()[*at].set_profile_name(name->toStdU16String());
        index = static_cast<int>(*at);
    }
    if (m_pProfileListener) m_pProfileListener->profile_renamed(old_name, name->toStdU16String());
    if (auto* list = qobject_cast<QListWidget*>(m_pListProfile)) {
        if (QListWidgetItem* item = list->item(index)) item->setText(*name);
    }
    // The name is not sent to the mouse; it is saved at once.
    save_library_now();
}

void CMS_1_Page::duplicate_profile() {
    if (!has_current_profile()) return;
    int index = 0;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        auto copy = std::make_unique<ProfileRecord>(*m_pCurProfile);
        copy->set_profile_name(unique_name(m_pStore->profiles(), copy->profile_name()));
        m_pStore->profiles().append(std::move(copy));
        index = static_cast<int>(m_pStore->profiles().size()) - 1;
    }
    select_profile_item(index);
    save_library_now();
}

void CMS_1_Page::delete_profile() {
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        count = m_pStore->profiles().size();
    }
    if (count <= 1) {
        ask(QStringLiteral("one_profile_text"), false);
        return;
    }
    const ProfileRecord* target = nullptr;
    std::u16string name;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        target = m_pCurProfile;
        if (target) name = target->profile_name();
    }
    if (!target) return;
    // The question names the profile it deletes.
    const QString question = ui::Tr(QStringLiteral("delete_profile_text")).arg(QString::fromStdU16String(name));
    if (ask(question, true) != 1) return;
    int next = 0;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        // The profile asked about, wherever it is now.
        const std::optional<std::size_t> at = index_of_record(target);
        if (!at || m_pStore->profiles().size() <= 1) return;
        const std::size_t gone = *at;
        // The pointer must not outlive its record, even for a moment.
        m_pCurProfile = nullptr;
        m_pStore->profiles().remove(gone);
        next = static_cast<int>(std::min(gone, m_pStore->profiles().size() - 1));
        m_pStore->select(static_cast<std::size_t>(next));
        m_pCurProfile = &m_pStore->current();
    }
    if (m_pProfileListener) m_pProfileListener->profile_removed(name);
    select_profile_item(next);
    save_library_now();
}

void CMS_1_Page::reset_profile() {
    if (!has_current_profile()) return;
    if (ask(QStringLiteral("restore_text"), true) != 1) return;
    edit_profile([](ProfileRecord& r) { r.restore_defaults(); });  // keeps the name
    Refresh();
    m_pSession->request_full_apply();
    save_library_now();
}

void CMS_1_Page::import_profile() {
    ui::FileChoice choice;
    choice.filter_name = profile_file_filter();
    choice.suffix = QStringLiteral("pro");
    const QString path = choose_file(choice);
    if (!path.isEmpty()) ImportProfileFile(path);
}

bool CMS_1_Page::ImportProfileFile(const QString& path) {
    ImportResult result;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        result = vantorel::import_profile(path.toStdString(), m_pStore->profiles(), m_pStore->macros());
    }
    if (!result.index) {
        trace("page: import of %s refused: %s\n", qPrintable(path), result.status.message().c_str());
        ask(QString::fromLatin1(import_problem_text(result.problem, false)), false);
        return false;
    }
    if (!result.status) {
        // The profile is in; saving the macros it brought failed.
        record_save_error(result.status.message());
        show_save_failure();
    }
    select_profile_item(static_cast<int>(*result.index));
    if (!save_library_now()) {
        // Without the profile in its file the import did not happen: what it
        // added goes again.
        {
            std::lock_guard<std::mutex> lock(m_pSource->mutex());
            m_pCurProfile = nullptr;
            undo_profile_import(result, m_pStore->profiles(), m_pStore->macros());
            m_pStore->select(std::min<std::size_t>(m_pStore->selected(), m_pStore->profiles().size() - 1));
            m_pCurProfile = &m_pStore->current();
        }
        select_profile_item(static_cast<int>(m_pStore->selected()));
        return false;
    }
    return true;
}

void CMS_1_Page::export_profile() {
    if (!has_current_profile()) return;
    const ProfileRecord record = current_profile();
    ui::FileChoice choice;
    choice.save = true;
    choice.filter_name = profile_file_filter();
    choice.suffix = QStringLiteral("pro");
    const std::u16string name = record.profile_name();
    choice.suggested_name = QString::fromStdU16String(name) + QStringLiteral(".pro");
    const QString path = choose_file(choice);
    if (path.isEmpty()) return;
    Status status = check_export_target(path.toStdString(), {m_pStore->folder().profile_file(), m_pStore->folder().macro_file()});
    if (status) status = vantorel::export_profile(record, path.toStdString());
    if (!status) {
        trace("page: export to %s failed: %s\n", qPrintable(path), status.message().c_str());
        ask(QStringLiteral("export_failed_text"), false);
    }
}

void CMS_1_Page::show_profile_menu(QPoint at) {
    if (!host_.window) return;
    m_Buttons.close_menu();
    if (m_pProfileMenu) m_pProfileMenu->Close();
    m_pProfileMenu = std::make_unique<ui::MenuWnd>();
    m_pProfileMenu->Init(host_.window, QString::fromLatin1(kProfileMenuSkin), at);
}

bool CMS_1_Page::on_profile_input_event(QObject* watched, QEvent* event) {
    auto* list = qobject_cast<QListWidget*>(m_pListProfile);
    const bool on_list = list && (watched == list || watched == list->viewport());
    switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            if (!on_list) return false;
            rename_profile();
            return true;
        case QEvent::ContextMenu:
            if (!on_list) return false;
            show_profile_menu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (dropped_profiles(drag->mimeData()).isEmpty()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = dropped_profiles(drop->mimeData());
            if (files.isEmpty()) return false;
            drop->acceptProposedAction();
            for (const QString& file : files) ImportProfileFile(file);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace vantorel
