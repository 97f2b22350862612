// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/macro_editor_wnd.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ui/window_messages.h"
#include "core/trace.h"
#include "library/transfer.h"
#include "macro/key_tables.h"
#include "macro/macro_model.h"
#include "macro/qt_virtual_keys.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/widgets.h"

namespace vantorel {
namespace {

// The five mouse buttons in the order of the click buttons and the combo.
constexpr std::array<std::uint8_t, 5> kMouseCodes = {kMouseLeft, kMouseRight, kMouseMiddle, kMouseForward,
                                                     kMouseBackward};

int combo_index_of(std::uint8_t code) {
    for (std::size_t i = 0; i < kMouseCodes.size(); ++i)
        if (kMouseCodes[i] == code) return static_cast<int>(i);
    return 0;
}

std::uint64_t now_ms() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The keys a list leaves held down when it ends: pressed and not released
// after their last press.
std::vector<std::uint8_t> held_at_end(const std::vector<MacroAction>& actions) {
    std::vector<std::uint8_t> down;
    for (const MacroAction& a : actions) {
        const auto at = std::find(down.begin(), down.end(), a.key_code);
        if (a.action_kind == kActionPress && at == down.end()) down.push_back(a.key_code);
        if (a.action_kind != kActionPress && at != down.end()) down.erase(at);
    }
    return down;
}

int read_number(const QString& text) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) return 0;
    return static_cast<int>(std::clamp<long long>(v, -1000000, 1000000));
}

}  // namespace

CMS_1_Macro::CMS_1_Macro(MacroLibrary& library, const KeyboardLayout& layout, HookTable hooks, Services services)
    : library_(library),
      layout_(layout),
      hooks_(hooks),
      services_(std::move(services)),
      model_(library, services_.save) {}

CMS_1_Macro::~CMS_1_Macro() {
    qApp->removeEventFilter(this);
    if (hooked_) unhook();
}

void CMS_1_Macro::unhook() {
    // The mouse reports go with the hook: a key capture after this one must
    // not take clicks for keys.
    hooks_.RemoveHook();
    hooks_.EnableMouseHook(0);
    hooked_ = false;
}

void CMS_1_Macro::InitWindow() {
    macro_list_ = FindControl(QStringLiteral("ms_1_macro_list"));
    name_edit_ = FindControl(QStringLiteral("ms_1_macro_name_edit"));
    action_list_ = FindControl(QStringLiteral("ms_1_macro_action_list"));
    record_btn_ = FindControl(QStringLiteral("ms_1_macro_record_btn"));
    recording_label_ = FindControl(QStringLiteral("ms_1_macro_recording_label"));
    insert_mouse_check_ = FindControl(QStringLiteral("ms_1_macro_insert_mouse_btn"));
    name_tab_ = FindControl(QStringLiteral("ms_1_macro_name_tab"));
    mouse_tab_ = FindControl(QStringLiteral("ms_1_macro_mouse_event_tab"));
    edit_check_ = FindControl(QStringLiteral("ms_1_macro_action_edit_check"));
    edit_tab_ = FindControl(QStringLiteral("ms_1_macro_action_edit_tab"));
    key_edit_ = FindControl(QStringLiteral("ms_1_macro_action_edit"));
    key_delay_edit_ = FindControl(QStringLiteral("ms_1_macro_delay_edit"));
    mouse_combo_ = FindControl(QStringLiteral("ms_1_macro_mouse_action_combo"));
    mouse_delay_edit_ = FindControl(QStringLiteral("ms_1_macro_mouseaction_delay_edit"));
    default_delay_edit_ = FindControl(QStringLiteral("ms_1_default_delay_edit"));
    savedata_tab_ = FindControl(QStringLiteral("ms_1_macro_savedata_tab"));
    FindControl(QStringLiteral("ms_1_macro_exportorimport_tab"));
    delay_modes_ = {FindControl(QStringLiteral("ms_1_record_delay_btn")), FindControl(QStringLiteral("ms_1_default_delay_btn")),
                    FindControl(QStringLiteral("ms_1_no_delay_btn"))};
    for (int n = 1; n <= 5; ++n) click_buttons_[static_cast<std::size_t>(n - 1)] = FindControl(QStringLiteral("ms_1_macro_key%1_btn").arg(n));

    setWindowTitle(ui::Tr(QStringLiteral("macro_editor_title_text")));
    ui::SetText(default_delay_edit_, QStringLiteral("10"));
    ui::SetCheck(delay_modes_[1], true);
    ui::SetVisible(savedata_tab_, false);
    ui::SetVisible(recording_label_, false);
    set_panel_page(0);
    // The editor opens on the macro it showed when it last closed.
    for (std::size_t i = 0; i < library_.size() && !services_.open_on.empty(); ++i) {
        if (library_[i].name() != services_.open_on) continue;
        model_.load(static_cast<int>(i));
        show_macro();
        break;
    }
    fill_macro_list();
    if (model_.has_current()) {
        QTimer::singleShot(0, this, [this] {
            if (auto* list = qobject_cast<QListWidget*>(macro_list_); list && list->currentItem())
                list->scrollToItem(list->currentItem());
        });
    }
    // Without the hook library the editor sees the keys and clicks made in
    // its own window.
    if (!session_wide()) qApp->installEventFilter(this);
}

void CMS_1_Macro::fill_macro_list() {
    auto* list = qobject_cast<QListWidget*>(macro_list_);
    if (!list) return;
    filling_ = true;
    {
        ui::NotifyBlocker quiet;
        list->clear();
        for (std::size_t i = 0; i < library_.size(); ++i) {
            auto* item = new QListWidgetItem(QString::fromStdU16String(library_[i].name()), list);
            item->setSizeHint(QSize(0, 26));
        }
        list->setCurrentRow(model_.has_current() ? model_.current() : -1);
    }
    filling_ = false;
}

void CMS_1_Macro::show_macro() {
    {
        ui::NotifyBlocker quiet;
        ui::SetText(name_edit_, model_.has_current()
                                    ? QString::fromStdU16String(library_[static_cast<std::size_t>(model_.current())].name())
                                    : QString());
    }
    rebuild_actions();
}

void CMS_1_Macro::rebuild_actions() {
    auto* list = qobject_cast<QListWidget*>(action_list_);
    if (!list) return;
    const auto& actions = model_.actions();
    const int count = model_.count();
    const auto& texts = ui::ResourceManager::instance().language();
    filling_ = true;
    ui::NotifyBlocker quiet;
    // Rows are kept and refilled; only missing ones are built.
    while (list->count() > count) delete list->takeItem(list->count() - 1);
    while (list->count() < count) {
        auto* item = new QListWidgetItem(list);
        item->setSizeHint(QSize(0, 30));
        // The row takes the list's width, less a scroll bar when there is
        // one, so that its columns fit inside it.
        auto* holder = new QWidget;
        (new QHBoxLayout(holder))->setContentsMargins(0, 0, 0, 0);
        LoadSubSkin(QStringLiteral("keylistitem.xml"), holder);
        list->setItemWidget(item, holder);
    }
    for (int i = 0; i < count; ++i) {
        const MacroAction& a = actions[static_cast<std::size_t>(i)];
        QWidget* row = list->itemWidget(list->item(i));
        if (!row) continue;
        const bool mouse = is_mouse_code(a.key_code);
        if (auto* icon = row->findChild<ui::SvgImage*>(QStringLiteral("key_icon")))
            icon->setSource(mouse ? QStringLiteral("images/macro_mouse.svg") : QStringLiteral("images/macro_key.svg"));
        if (auto* key = row->findChild<QLabel*>(QStringLiteral("key")))
            key->setText(QString::fromStdU16String(usage_to_key_name(a.key_code, layout_, texts)));
        const bool press = a.action_kind == kActionPress;
        if (auto* icon = row->findChild<ui::SvgImage*>(QStringLiteral("action_icon")))
            icon->setSource(press ? QStringLiteral("images/macro_press.svg") : QStringLiteral("images/macro_release.svg"));
        if (auto* kind = row->findChild<QLabel*>(QStringLiteral("action")))
            kind->setText(ui::Tr(press ? QStringLiteral("key_down_action") : QStringLiteral("key_up_action")));
        if (auto* delay = row->findChild<QLabel*>(QStringLiteral("delay")))
            delay->setText(i == count - 1 ? QString() : QStringLiteral("%1 %2").arg(a.delay).arg(ui::Tr(QStringLiteral("ms_unit_text"))));
    }
    list->setCurrentRow(model_.selected());
    if (model_.selected() >= 0) list->scrollToItem(list->item(model_.selected()));
    filling_ = false;
    if (editing_action_) show_action_panel();
}

void CMS_1_Macro::set_panel_page(int page) {
    if (auto* stack = qobject_cast<QStackedWidget*>(edit_tab_)) stack->setCurrentIndex(page);
    ui::SetVisible(savedata_tab_, page != 0);
}

void CMS_1_Macro::show_action_panel() {
    const int s = model_.selected();
    if (s < 0 || s >= model_.count()) {
        set_panel_page(0);
        return;
    }
    const MacroAction& a = model_.actions()[static_cast<std::size_t>(s)];
    const bool last = s == model_.count() - 1;
    QWidget* delay_edit = nullptr;
    ui::NotifyBlocker quiet;
    if (is_mouse_code(a.key_code)) {
        set_panel_page(2);
        ui::SelectItem(mouse_combo_, combo_index_of(a.key_code));
        delay_edit = mouse_delay_edit_;
    } else {
        set_panel_page(1);
        ui::SetText(key_edit_, QString::fromStdU16String(
                                      usage_to_key_name(a.key_code, layout_, ui::ResourceManager::instance().language())));
        delay_edit = key_delay_edit_;
    }
    // The last action waits for nothing: its delay is the placeholder.
    ui::SetText(delay_edit, last ? QStringLiteral("10") : QString::number(a.delay));
    ui::SetEnabled(delay_edit, !last);
}

std::uint16_t CMS_1_Macro::default_delay() const {
    return static_cast<std::uint16_t>(read_number(ui::GetText(default_delay_edit_)) & 0xFFFF);
}

DelayMode CMS_1_Macro::delay_mode() const {
    if (ui::GetCheck(delay_modes_[0])) return DelayMode::RecordDelays;
    if (ui::GetCheck(delay_modes_[2])) return DelayMode::NoDelay;
    return DelayMode::DefaultDelay;
}

void CMS_1_Macro::Notify(const ui::Notification& msg) {
    QWidget* s = msg.sender;
    if (!s || filling_) return;
    if (msg.is(ui::notify::kClick)) {
        on_click(s);
        return;
    }
    if (msg.is(ui::notify::kCheckClick)) {
        if (s == record_btn_) {
            toggle_recording();
        } else if (s == edit_check_) {
            if (model_.selected() < 0) {
                ui::SetCheck(edit_check_, false);
                editing_action_ = false;
                return;
            }
            editing_action_ = ui::GetCheck(edit_check_);
            if (editing_action_) show_action_panel();
            else set_panel_page(0);
        } else if (s == insert_mouse_check_) {
            // The click buttons come in under the name, which stays.
            ui::SetVisible(mouse_tab_, ui::GetCheck(insert_mouse_check_));
        }
        return;
    }
    if (msg.is(ui::notify::kItemSelect)) {
        if (s == macro_list_) {
            if (model_.recording()) stop_recording();
            model_.load(ui::GetCurSel(macro_list_));
            show_macro();
        } else if (s == action_list_) {
            model_.select(ui::GetCurSel(action_list_));
            if (editing_action_) show_action_panel();
        } else if (s == mouse_combo_) {
            const int i = ui::GetCurSel(mouse_combo_);
            if (i >= 0 && i < 5) {
                model_.set_selected_key(kMouseCodes[static_cast<std::size_t>(i)]);
                rebuild_actions();
            }
        }
        return;
    }
    if (msg.is(ui::notify::kKillFocus)) {
        if (s == name_edit_) commit_name();
        else if (s == key_edit_) end_key_capture();
        else if (s == key_delay_edit_ || s == mouse_delay_edit_) commit_delay(s);
        else if (s == default_delay_edit_ && read_number(ui::GetText(default_delay_edit_)) <= 9)
            ui::SetText(default_delay_edit_, QStringLiteral("10"));
        return;
    }
    if (msg.is(ui::notify::kSetFocus) && s == key_edit_) start_key_capture();
}

void CMS_1_Macro::on_click(QWidget* s) {
    const QString name = s->objectName();
    if (name == QLatin1String("btn_exit")) {
        Close(1);
    } else if (name == QLatin1String("ms_1_macro_add_btn")) {
        if (model_.recording()) stop_recording();
        model_.add_macro(ui::Tr(QStringLiteral("add_macro_text")).toStdU16String());
        fill_macro_list();
        show_macro();
    } else if (name == QLatin1String("ms_1_macro_delete_btn")) {
        if (!model_.has_current() || ui::GetCurSel(macro_list_) < 0) return;
        // The user hears which buttons lose the macro before saying yes.
        const std::u16string gone = library_[static_cast<std::size_t>(model_.current())].name();
        const QStringList buttons = services_.buttons_playing ? services_.buttons_playing(gone) : QStringList();
        const QString question = buttons.isEmpty() ? QStringLiteral("delete_macro_text")
                                                   : ui::Tr(QStringLiteral("delete_macro_used_text"))
                                                         .arg(buttons.join(QStringLiteral(", ")));
        if (!services_.ask || services_.ask(this, question, true) != 1) return;
        if (model_.recording()) stop_recording();
        model_.delete_current();
        fill_macro_list();
        show_macro();
        // Those buttons change now, where the user sees them.
        if (services_.library_changed) services_.library_changed();
    } else if (name == QLatin1String("ms_1_macro_up_btn")) {
        if (!keys_stay_released(-1, false)) return;
        model_.move_up();
        rebuild_actions();
    } else if (name == QLatin1String("ms_1_macro_down_btn")) {
        if (!keys_stay_released(1, false)) return;
        model_.move_down();
        rebuild_actions();
    } else if (name == QLatin1String("ms_1_macro_delete_action_btn")) {
        if (!keys_stay_released(0, true)) return;
        model_.delete_selected();
        rebuild_actions();
    } else if (name == QLatin1String("ms_1_macro_clear_action_btn")) {
        if (!model_.has_current() || model_.count() == 0) return;
        if (!services_.ask || services_.ask(this, QStringLiteral("macro_clear_ask_text"), true) != 1) return;
        model_.clear();
        rebuild_actions();
    } else if (name == QLatin1String("ms_1_macro_import_btn")) {
        import_macro();
    } else if (name == QLatin1String("ms_1_macro_export_btn")) {
        export_macro();
    } else if (name == QLatin1String("ms_1_macro_save_btn")) {
        model_.commit();
        editing_action_ = false;
        ui::SetCheck(edit_check_, false);
        set_panel_page(0);
    } else if (name == QLatin1String("ms_1_macro_cancel_btn")) {
        editing_action_ = false;
        ui::SetCheck(edit_check_, false);
        set_panel_page(0);
        if (model_.has_current()) model_.load(model_.current());
        rebuild_actions();
    } else {
        for (std::size_t i = 0; i < click_buttons_.size(); ++i) {
            if (s != click_buttons_[i]) continue;
            model_.insert_click(kMouseCodes[i], delay_mode(), default_delay());
            rebuild_actions();
        }
    }
}

bool CMS_1_Macro::keys_stay_released(int step, bool remove) {
    const int s = model_.selected();
    const int count = model_.count();
    if (s < 0 || s >= count || s + step < 0 || s + step >= count) return true;
    std::vector<MacroAction> now(model_.actions().begin(), model_.actions().begin() + count);
    std::vector<MacroAction> after = now;
    if (remove) after.erase(after.begin() + s);
    else std::swap(after[static_cast<std::size_t>(s)], after[static_cast<std::size_t>(s + step)]);
    const std::vector<std::uint8_t> before = held_at_end(now);
    QStringList keys;
    for (const std::uint8_t key : held_at_end(after)) {
        if (std::find(before.begin(), before.end(), key) != before.end()) continue;
        keys << QString::fromStdU16String(usage_to_key_name(key, layout_, ui::ResourceManager::instance().language()));
    }
    if (keys.isEmpty()) return true;
    // The mouse would end the macro with the key still down.
    return services_.ask &&
           services_.ask(this, ui::Tr(QStringLiteral("macro_key_held_text")).arg(keys.join(QStringLiteral(", "))),
                         true) == 1;
}

void CMS_1_Macro::commit_name() {
    if (!model_.has_current()) return;
    const QString text = ui::GetText(name_edit_);
    const auto index = static_cast<std::size_t>(model_.current());
    const std::u16string old_name = library_[index].name();
    const RenameResult result = model_.rename(text.toStdU16String());
    if (result == RenameResult::Empty || result == RenameResult::Taken) {
        // Refused, as the profile names are, and said why; the edit shows
        // the name the macro keeps.
        {
            ui::NotifyBlocker quiet;
            ui::SetText(name_edit_, QString::fromStdU16String(old_name));
        }
        if (services_.ask)
            services_.ask(this, result == RenameResult::Empty ? QStringLiteral("warn_name_1_text")
                                                              : QStringLiteral("warn_macro_name_text"),
                          false);
        return;
    }
    if (result != RenameResult::Renamed) return;
    if (auto* list = qobject_cast<QListWidget*>(macro_list_)) {
        if (QListWidgetItem* item = list->item(static_cast<int>(index)))
            item->setText(QString::fromStdU16String(library_[index].name()));
    }
    // The buttons that play it keep it under its new name.
    if (services_.renamed) services_.renamed(old_name, library_[index].name());
}

void CMS_1_Macro::commit_delay(QWidget* edit) {
    const std::uint16_t value = model_.set_selected_delay(read_number(ui::GetText(edit)));
    if (model_.selected() >= 0 && model_.selected() < model_.count() - 1) {
        ui::NotifyBlocker quiet;
        ui::SetText(edit, QString::number(value));
    }
    rebuild_actions();
}

// ---------------------------------------------------------------------------
// Recording and key capture

void CMS_1_Macro::toggle_recording() {
    if (!model_.has_current()) {
        model_.add_macro(ui::Tr(QStringLiteral("add_macro_text")).toStdU16String());
        fill_macro_list();
        show_macro();
    }
    if (model_.recording()) {
        stop_recording();
        return;
    }
    start_recording();
}

void CMS_1_Macro::start_recording() {
    end_key_capture();
    model_.start_recording(delay_mode(), default_delay());
    record_active_ = true;
    key_capture_ = false;
    mouse_enabled_ = false;  // the pointer is on the record button
    ui::SetCheck(record_btn_, true);
    ui::SetResourceText(record_btn_, QStringLiteral("stop_recording_text"));
    ui::SetResourceText(recording_label_, recording_text());
    ui::SetVisible(recording_label_, true);
    if (session_wide()) {
        hook_window_ = PluginWindow();
        hooks_.InstallHook(hook_window_);
        hooked_ = true;
        hooks_.EnableHook(1);
        hooks_.MouseWheelEnable(0);
    }
    rebuild_actions();
}

QString CMS_1_Macro::recording_text() const {
    if (session_wide()) return QStringLiteral("macro_recording_text");
    return hook_cannot_watch_ ? QStringLiteral("macro_recording_no_hook_text")
                              : QStringLiteral("macro_recording_window_text");
}

void CMS_1_Macro::take_own_input() {
    if (hook_cannot_watch_) return;
    trace("macro editor: the input hook cannot watch this session; recording sees this window only\n");
    hook_cannot_watch_ = true;
    if (hooked_) unhook();
    qApp->installEventFilter(this);
    if (record_active_) ui::SetResourceText(recording_label_, recording_text());
}

void CMS_1_Macro::stop_recording() {
    record_active_ = false;
    mouse_enabled_ = false;
    hooks_.RemoveHook();
    hooked_ = false;
    hooks_.RemoveMouseHook();
    hooks_.EnableMouseHook(0);
    hooks_.EnableHook(0);
    hooks_.MouseWheelEnable(0);
    model_.stop_recording();
    ui::SetCheck(record_btn_, false);
    ui::SetResourceText(record_btn_, QStringLiteral("start_recording_text"));
    ui::SetVisible(recording_label_, false);
    rebuild_actions();
}

void CMS_1_Macro::start_key_capture() {
    if (record_active_) return;
    key_capture_ = true;
    if (!session_wide()) return;
    hook_window_ = PluginWindow();
    hooks_.InstallHook(hook_window_);
    hooked_ = true;
    hooks_.EnableHook(1);
}

void CMS_1_Macro::end_key_capture() {
    if (!key_capture_) return;
    key_capture_ = false;
    unhook();
    hooks_.EnableHook(0);
}

void CMS_1_Macro::OnHookEvent(const InputEvent& event, std::uint64_t timestamp_ms) {
    if (record_active_) {
        if (!model_.record_event(event, timestamp_ms)) return;
        if (!model_.recording()) {
            // The budget or the list is full: the recording ended by itself.
            stop_recording();
            return;
        }
        rebuild_actions();
        return;
    }
    if (!key_capture_ || !event.is_key()) return;
    const std::uint8_t code = event.key_code;
    ui::SetText(key_edit_, QString::fromStdU16String(
                                  usage_to_key_name(code, layout_, ui::ResourceManager::instance().language())));
    model_.set_selected_key(code);
    const bool editing = editing_action_;
    editing_action_ = false;  // the row is refreshed; the panel shows the capture already
    rebuild_actions();
    editing_action_ = editing;
}

void CMS_1_Macro::HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam,
                                      bool& handled) {
    if (message == kMsgHookTime) {
        // The event's own time stamp, 32 bits: widened by the step from the
        // one before, so a wrap does not matter.
        const auto t = static_cast<std::uint32_t>(wparam);
        hook_time_ = have_hook_time_ ? hook_time_ + static_cast<std::uint32_t>(t - last_hook_time32_) : t;
        last_hook_time32_ = t;
        have_hook_time_ = true;
        next_event_timed_ = true;
        hook_position_ = static_cast<std::uint32_t>(lparam);
        handled = true;
        return;
    }
    if (message == kMsgHookStatus) {
        handled = true;
        if (wparam == 0 && hooks_.installhook) take_own_input();
        return;
    }
    if (message != kMsgHookEvent) return;
    handled = true;
    if (!session_wide()) return;  // a late event of a hook given up
    const std::uint64_t when = next_event_timed_ ? hook_time_ : now_ms();
    const std::uint32_t position = next_event_timed_ ? hook_position_ : 0;
    next_event_timed_ = false;
    // Keys go by where they sit, as this program's layout names that place.
    OnHookEvent(hook_input(placed_virtual_key(static_cast<std::uint32_t>(wparam), position, layout_), lparam, layout_),
                when);
}

void CMS_1_Macro::OnFinalMessage() {
    // However the editor closes (its exit button, Escape, the title bar),
    // a recording ends as the record button ends it: what was recorded is
    // kept.
    if (model_.recording()) stop_recording();
    record_active_ = false;
    key_capture_ = false;
    if (hooked_) unhook();
}

void CMS_1_Macro::keyPressEvent(QKeyEvent* e) {
    // Escape is a key like any other while recording (games use it): it is
    // recorded, and does not close the editor.
    if (e->key() == Qt::Key_Escape && model_.recording()) {
        e->accept();
        return;
    }
    // In the name and delay fields Enter takes what was typed and Escape
    // puts back what is stored; neither closes the editor.
    QWidget* field = focusWidget();
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if ((enter || e->key() == Qt::Key_Escape) && field &&
        (field == name_edit_ || field == key_delay_edit_ || field == mouse_delay_edit_)) {
        if (field == name_edit_ && enter) {
            commit_name();
        } else if (field == name_edit_) {
            const ui::NotifyBlocker quiet;
            ui::SetText(name_edit_, model_.has_current() ? QString::fromStdU16String(
                                                               library_[static_cast<std::size_t>(model_.current())].name())
                                                         : QString());
        } else if (enter) {
            commit_delay(field);
        } else {
            show_action_panel();
        }
        e->accept();
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

bool CMS_1_Macro::own_input_event(QObject* watched, QEvent* e) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || (w != this && !isAncestorOf(w))) return false;
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const bool capture = key_capture_ && w == key_edit_;
            if (!record_active_ && !capture) return false;
            auto* key = static_cast<QKeyEvent*>(e);
            if (!key->isAutoRepeat()) {
                OnHookEvent(key_input(VirtualKeyOf(*key, layout_), e->type() == QEvent::KeyRelease, layout_),
                            key->timestamp());
            }
            return true;  // recorded keys do nothing else here (Escape does not close)
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            if (!record_active_ || !mouse_enabled_ || w == record_btn_) return false;
            auto* mouse = static_cast<QMouseEvent*>(e);
            const MouseButton button = MouseButtonOf(mouse->button());
            if (button == MouseButton::None) return false;
            OnHookEvent(InputEvent::mouse(button, e->type() == QEvent::MouseButtonRelease), mouse->timestamp());
            return true;
        }
        case QEvent::MouseButtonDblClick:
            return record_active_ && mouse_enabled_ && w != record_btn_;
        default:
            return false;
    }
}

bool CMS_1_Macro::eventFilter(QObject* watched, QEvent* e) {
    if (watched == record_btn_ && record_active_) {
        // Clicks on the record button (the one that stops) are never recorded.
        if (e->type() == QEvent::Enter) {
            mouse_enabled_ = false;
            hooks_.EnableMouseHook(0);
        } else if (e->type() == QEvent::Leave) {
            mouse_enabled_ = true;
            hooks_.EnableMouseHook(1);
        }
    }
    if (!session_wide() && own_input_event(watched, e)) return true;
    return ui::SkinWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------
// Import and export

void CMS_1_Macro::import_macro() {
    if (!services_.choose_file) return;
    // The keys typed into the file dialog are not part of any macro.
    if (model_.recording()) stop_recording();
    ui::FileChoice choice;
    choice.filter_name = ui::Tr(QStringLiteral("macro_file_text"));
    choice.suffix = QStringLiteral("macro");
    const QString path = services_.choose_file(choice);
    if (path.isEmpty()) return;
    const ImportResult result = vantorel::import_macro(path.toStdString(), library_);
    if (!result.index) {
        trace("macro editor: import of %s refused: %s\n", qPrintable(path), result.status.message().c_str());
        if (services_.ask) services_.ask(this, QString::fromLatin1(import_problem_text(result.problem, true)), false);
        return;
    }
    model_.load(static_cast<int>(*result.index));
    fill_macro_list();
    show_macro();
}

void CMS_1_Macro::export_macro() {
    if (!model_.has_current() || !services_.choose_file) return;
    if (model_.recording()) stop_recording();
    const MacroRecord& m = library_[static_cast<std::size_t>(model_.current())];
    ui::FileChoice choice;
    choice.save = true;
    choice.filter_name = ui::Tr(QStringLiteral("macro_file_text"));
    choice.suffix = QStringLiteral("macro");
    choice.suggested_name = QString::fromStdU16String(m.name()) + QStringLiteral(".macro");
    const QString path = services_.choose_file(choice);
    if (path.isEmpty()) return;
    const std::filesystem::path folder(services_.data_folder.toStdString());
    Status status =
        check_export_target(path.toStdString(), {folder / "ms_1" / "macro.data", folder / "ms_1" / "pro.data"});
    if (status) status = vantorel::export_macro(m, path.toStdString());
    if (!status) {
        trace("macro editor: export to %s failed: %s\n", qPrintable(path), status.message().c_str());
        if (services_.ask) services_.ask(this, QStringLiteral("export_macro_failed_text"), false);
    }
}

}  // namespace vantorel
