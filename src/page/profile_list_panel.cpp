// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/profile_list_panel.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <mutex>

#include "core/text.h"
#include "core/trace.h"
#include "edit/profile_list_edit.h"
#include "library/profile_store.h"
#include "library/transfer.h"
#include "page/profile_name_wnd.h"
#include "page/tracked_source.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/menu.h"
#include "ui/resources.h"
#include "ui/skin_window.h"

namespace vantorel::page {

namespace {

constexpr const char* kProfileMenuSkin = "MS/MS_1/ms_1_profile_menu.xml";

QString profile_file_filter() { return ui::Tr(QStringLiteral("profile_file_text")); }

QString qstr(const std::u16string& s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

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

ProfileListPanel::ProfileListPanel(PageContext& page) : page_(page) {}

ProfileListPanel::~ProfileListPanel() { close_menu(); }

void ProfileListPanel::init() {
    list_ = page_.control(QStringLiteral("ms_1_list_profile"));
    add_ = page_.control(QStringLiteral("ms_1_profile_add_btn"));
    delete_ = page_.control(QStringLiteral("ms_1_profile_delete_btn"));
    rename_ = page_.control(QStringLiteral("ms_1_profile_rename_btn"));
    import_ = page_.control(QStringLiteral("ms_1_profile_import_btn"));
    export_ = page_.control(QStringLiteral("ms_1_profile_export_btn"));
    reset_ = page_.control(QStringLiteral("ms_1_profile_reset_btn"));
    restore_ = page_.control(QStringLiteral("ms_1_btn_reset"));
    auto_check_ = page_.control(QStringLiteral("ms_1_check_auto"));
    auto_label_ = page_.control(QStringLiteral("ms_1_label_auto"));
}

void ProfileListPanel::close_menu() {
    if (menu_) menu_->Close();
    menu_.reset();
}

// ---------------------------------------------------------------------------
// The list and the switch

void ProfileListPanel::fill() {
    std::vector<QString> shown;
    int chosen = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        for (std::size_t i = 0; i < page_.store().profiles().size(); ++i)
            shown.push_back(qstr(page_.store().profiles()[i].profile_name()));
        chosen = static_cast<int>(page_.store().selected());
    }
    if (auto* list = qobject_cast<QListWidget*>(list_)) {
        ui::NotifyBlocker quiet;
        list->clear();
        for (const QString& name : shown) {
            auto* item = new QListWidgetItem(name, list);
            item->setSizeHint(QSize(0, 24));
        }
    }
    ui::SelectItem(list_, chosen);
    ui::EnsureVisible(list_, chosen);
    // Selecting from code raises no item-select notification here, so there
    // is none for the flag to absorb: from now on every selection change is
    // the user's (or an operation's) and switches profiles.
    ignore_select_ = 0;
}

QStringList ProfileListPanel::names() const {
    QStringList out;
    std::lock_guard<std::mutex> lock(page_.source().mutex());
    for (std::size_t i = 0; i < page_.store().profiles().size(); ++i) out << qstr(page_.store().profiles()[i].profile_name());
    return out;
}

int ProfileListPanel::selected() const {
    if (!page_.has_current_profile()) return -1;
    std::lock_guard<std::mutex> lock(page_.source().mutex());
    return static_cast<int>(page_.store().selected());
}

void ProfileListPanel::select(int index) {
    if (!page_.has_current_profile() || index < 0 || index >= names().size() || index == selected()) return;
    // The tray's menu is not blocked by a dialog of the window (a desktop's
    // tray shows it itself), and the open dialog acts on the profile shown.
    if (page_.dialog_open()) {
        trace("page: profile choice from the tray refused while a dialog is open\n");
        return;
    }
    select_item(index);
}

bool ProfileListPanel::switch_automatically(const std::u16string& name) {
    if (!page_.has_current_profile() || page_.dialog_open() || page_.library_held()) return false;
    std::optional<std::size_t> index;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        const ProfileLibrary& list = page_.store().profiles();
        for (std::size_t i = 0; i < list.size() && !index; ++i)
            if (equals_ignore_case(list[i].profile_name(), name)) index = i;
    }
    if (!index || static_cast<int>(*index) == selected()) return false;
    automatic_ = true;
    select_item(static_cast<int>(*index));
    automatic_ = false;
    return true;
}

std::u16string ProfileListPanel::current_name() const {
    std::lock_guard<std::mutex> lock(page_.source().mutex());
    const ProfileRecord* record = page_.current_record();
    return record ? record->profile_name() : std::u16string();
}

void ProfileListPanel::select_item(int index) {
    fill();
    ui::SelectItem(list_, index);
    ui::EnsureVisible(list_, index);
    switch_to(index);
}

void ProfileListPanel::switch_to(int index) {
    if (ignore_select_) {
        ignore_select_ = 0;
        return;
    }
    std::u16string name;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        ProfileStore& store = page_.store();
        if (index < 0 || static_cast<std::size_t>(index) >= store.profiles().size()) return;
        edit::select_profile(store, static_cast<std::size_t>(index));
        page_.set_current_record(&store.current());
        name = store.current().profile_name();
        page_.source().mark_unsaved();  // the selection is part of the file
    }
    page_.refresh();
    if (automatic_) {
        // The mouse holds the profile that was current: what differs is
        // enough, and over the receiver a full apply takes many seconds.
        page_.request_apply(ApplyWhen::Now);
        return;
    }
    page_.request_full_apply();
    if (listener_) listener_->profile_chosen(name);
}

// ---------------------------------------------------------------------------
// Changes of the list

std::optional<std::size_t> ProfileListPanel::index_of_record(const ProfileRecord* record) const {
    const ProfileLibrary& list = page_.store().profiles();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (&list[i] == record) return i;
    return std::nullopt;
}

std::optional<QString> ProfileListPanel::ask_name(const QString& title_key, const ProfileRecord* renaming) {
    CMS_1_ProfileName dialog(
        page_.store().profiles(), title_key,
        [this](QWidget* owner, const QString& key) { page_.message(owner, key, false); }, renaming);
    if (page_.run_dialog(dialog) != 1) return std::nullopt;
    return dialog.ResultName();
}

void ProfileListPanel::add() {
    const std::optional<QString> name = ask_name(QStringLiteral("profile_name_1_text"));
    if (!name) return;
    std::size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        index = edit::add_profile(page_.store(), name->toStdU16String()).index;
    }
    select_item(static_cast<int>(index));
    page_.save_library_now();
}

void ProfileListPanel::rename() {
    const ProfileRecord* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        target = page_.current_record();
    }
    if (!target) return;
    const std::optional<QString> name = ask_name(QStringLiteral("profile_name_2_text"), target);
    if (!name) return;
    edit::ListChange change;
    {
        // The profile asked about, wherever it is now.
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        const std::optional<std::size_t> at = index_of_record(target);
        if (!at) return;
        change = edit::rename_profile(page_.store(), *at, name->toStdU16String());
    }
    if (listener_) listener_->profile_renamed(change.old_name, name->toStdU16String());
    if (auto* list = qobject_cast<QListWidget*>(list_)) {
        if (QListWidgetItem* item = list->item(static_cast<int>(change.index))) item->setText(*name);
    }
    // The name is not sent to the mouse; it is saved at once.
    page_.save_library_now();
}

void ProfileListPanel::duplicate() {
    if (!page_.has_current_profile()) return;
    std::size_t index = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        index = edit::duplicate_profile(page_.store(), page_.store().selected()).index;
    }
    select_item(static_cast<int>(index));
    page_.save_library_now();
}

void ProfileListPanel::remove() {
    if (names().size() <= 1) {
        page_.ask(QStringLiteral("one_profile_text"), false);
        return;
    }
    const ProfileRecord* target = nullptr;
    std::u16string name;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        target = page_.current_record();
        if (target) name = target->profile_name();
    }
    if (!target) return;
    // The question names the profile it deletes.
    if (page_.ask(ui::Tr(QStringLiteral("delete_profile_text")).arg(qstr(name)), true) != 1) return;
    std::size_t next = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        // The profile asked about, wherever it is now.
        const std::optional<std::size_t> at = index_of_record(target);
        if (!at) return;
        // The pointer must not outlive its record, even for a moment.
        page_.set_current_record(nullptr);
        const std::optional<edit::ListChange> change = edit::delete_profile(page_.store(), *at);
        page_.set_current_record(&page_.store().current());
        if (!change) return;
        next = change->index;
    }
    if (listener_) listener_->profile_removed(name);
    select_item(static_cast<int>(next));
    page_.save_library_now();
}

void ProfileListPanel::reset() {
    if (!page_.has_current_profile()) return;
    if (page_.ask(QStringLiteral("restore_text"), true) != 1) return;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        edit::reset_profile(page_.store(), page_.store().selected());  // keeps the name
        page_.source().mark_unsaved();
    }
    page_.refresh();
    page_.request_full_apply();
    page_.save_library_now();
}

void ProfileListPanel::import() {
    ui::FileChoice choice;
    choice.filter_name = profile_file_filter();
    choice.suffix = QStringLiteral("pro");
    const QString path = page_.choose_file(choice);
    if (!path.isEmpty()) import_file(path);
}

bool ProfileListPanel::import_file(const QString& path) {
    ProfileStore& store = page_.store();
    ImportResult result;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        result = vantorel::import_profile(path.toStdString(), store.profiles(), store.macros());
    }
    if (!result.index) {
        trace("page: import of %s refused: %s\n", qPrintable(path), result.status.message().c_str());
        page_.ask(QString::fromLatin1(import_problem_text(result.problem, false)), false);
        return false;
    }
    // The profile is in; saving the macros it brought failed.
    if (!result.status) page_.report_save_failure(result.status.message());
    select_item(static_cast<int>(*result.index));
    if (page_.save_library_now()) return true;
    // Without the profile in its file the import did not happen: what it
    // added goes again.
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        page_.set_current_record(nullptr);
        undo_profile_import(result, store.profiles(), store.macros());
        store.select(std::min<std::size_t>(store.selected(), store.profiles().size() - 1));
        page_.set_current_record(&store.current());
    }
    select_item(static_cast<int>(store.selected()));
    return false;
}

void ProfileListPanel::export_current() {
    if (!page_.has_current_profile()) return;
    const ProfileRecord record = page_.current_profile();
    ui::FileChoice choice;
    choice.save = true;
    choice.filter_name = profile_file_filter();
    choice.suffix = QStringLiteral("pro");
    choice.suggested_name = qstr(record.profile_name()) + QStringLiteral(".pro");
    const QString path = page_.choose_file(choice);
    if (path.isEmpty()) return;
    const DataFolder& folder = page_.store().folder();
    Status status = check_export_target(path.toStdString(), {folder.profile_file(), folder.macro_file()});
    if (status) status = vantorel::export_profile(record, path.toStdString());
    if (!status) {
        trace("page: export to %s failed: %s\n", qPrintable(path), status.message().c_str());
        page_.ask(QStringLiteral("export_failed_text"), false);
    }
}

// ---------------------------------------------------------------------------
// Input

void ProfileListPanel::show_auto_switch(bool offered, bool on, const QString& status) {
    ui::SetVisible(auto_check_, offered);
    ui::SetVisible(auto_label_, offered);
    ui::SetCheck(auto_check_, on);
    ui::SetText(auto_label_, status);
}

bool ProfileListPanel::on_click(const QWidget* s) {
    if (!s) return false;
    if (s == add_) add();
    else if (s == delete_) remove();
    else if (s == rename_) rename();
    else if (s == import_) import();
    else if (s == export_) export_current();
    else if (s == reset_ || s == restore_) reset();
    else return false;
    return true;
}

bool ProfileListPanel::on_item_select(const QWidget* sender) {
    if (!sender || sender != list_) return false;
    switch_to(ui::GetCurSel(list_));
    return true;
}

bool ProfileListPanel::on_check(const QWidget* sender) {
    if (!sender || sender != auto_check_) return false;
    if (auto_toggled_) auto_toggled_(ui::GetCheck(sender));
    return true;
}

bool ProfileListPanel::on_menu_command(const QString& name) {
    if (!name.startsWith(QLatin1String("ms_1_profile_"), Qt::CaseInsensitive)) return false;
    auto is = [&name](const char* item) { return name.compare(QLatin1String(item), Qt::CaseInsensitive) == 0; };
    if (is("ms_1_profile_duplicate")) duplicate();
    else if (is("ms_1_profile_rename")) rename();
    else if (is("ms_1_profile_delete")) remove();
    else if (is("ms_1_profile_export")) export_current();
    return true;
}

void ProfileListPanel::show_menu(QPoint at) {
    auto* window = dynamic_cast<ui::SkinWindow*>(page_.window());
    if (!window) return;
    close_menu();
    menu_ = std::make_unique<ui::MenuWnd>();
    menu_->Init(window, QString::fromLatin1(kProfileMenuSkin), at);
}

bool ProfileListPanel::on_input(QObject* watched, QEvent* event) {
    auto* list = qobject_cast<QListWidget*>(list_);
    const bool on_list = list && (watched == list || watched == list->viewport());
    switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            if (!on_list) return false;
            rename();
            return true;
        case QEvent::ContextMenu:
            if (!on_list) return false;
            show_menu(static_cast<QContextMenuEvent*>(event)->globalPos());
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
            for (const QString& file : files) import_file(file);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace vantorel::page
