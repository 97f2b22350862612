// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/button_panel.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <mutex>

#include "edit/function_codes.h"
#include "edit/button_assign.h"
#include "library/profile_store.h"
#include "macro/macro_editor_wnd.h"
#include "macro/select_macro_wnd.h"
#include "macro/shortcut_wnd.h"
#include "page/button_labels.h"
#include "page/tracked_source.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/resources.h"

namespace vantorel::page {

namespace {

constexpr const char* kButtonMenuSkin = "MS/MS_1/ms_1_menu.xml";

// The action of a menu item, searched through its submenus.
QAction* find_item(QMenu* menu, const QString& name, QAction** submenu_action) {
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QAction* found = find_item(a->menu(), name, nullptr)) {
                if (submenu_action) *submenu_action = a;
                return found;
            }
            continue;
        }
        if (a->objectName().compare(name, Qt::CaseInsensitive) == 0) return a;
    }
    return nullptr;
}

}  // namespace

ButtonPanel::ButtonPanel(PageContext& page) : page_(page) {}

ButtonPanel::~ButtonPanel() { close_menu(); }

void ButtonPanel::init() {
    for (int n = 1; n <= kButtonCount; ++n)
        buttons_[static_cast<std::size_t>(n - 1)] = page_.control(QStringLiteral("ms_1_btn_key_%1").arg(n));
    macro_ = page_.control(QStringLiteral("ms_1_btn_macro"));
}

void ButtonPanel::close_menu() {
    if (menu_) menu_->Close();
    menu_.reset();
}

bool ButtonPanel::on_click(const QWidget* sender) {
    if (!sender) return false;
    if (sender == macro_) {
        open_macro_editor();
        return true;
    }
    for (int k = 0; k < kMenuButtonCount; ++k) {
        if (buttons_[static_cast<std::size_t>(k)] != sender) continue;
        open_menu(k);
        return true;
    }
    return false;
}

bool ButtonPanel::on_key(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    for (int k = 0; k < kMenuButtonCount; ++k) {
        if (watched != buttons_[static_cast<std::size_t>(k)]) continue;
        if (auto* b = qobject_cast<QAbstractButton*>(buttons_[static_cast<std::size_t>(k)])) b->click();
        return true;
    }
    return false;
}

void ButtonPanel::show_labels() {
    for (int n = 0; n < kButtonCount; ++n) show_label(n);
}

void ButtonPanel::show_label(int n) {
    if (n < 0 || n >= kButtonCount) return;
    QWidget* button = buttons_[static_cast<std::size_t>(n)];
    if (!button) return;
    std::optional<ButtonLabel> label;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        const ProfileRecord* record = page_.current_record();
        if (!record) return;
        label = ButtonLabelFor(record->slot(n), page_.layout(), ui::ResourceManager::instance().language());
    }
    if (label->kind == ButtonLabel::Kind::Key) {
        ui::SetResourceText(button, label->value);
        ui::SetToolTipKey(button, label->value);
    } else {
        ui::SetText(button, label->value);
        button->setToolTip(label->value);
    }
}

void ButtonPanel::open_menu(int index) {
    menu_button_ = index;
    close_menu();
    QWidget* button = buttons_[static_cast<std::size_t>(index)];
    auto* window = dynamic_cast<ui::SkinWindow*>(page_.window());
    if (!button || !window) return;
    menu_ = std::make_unique<ui::MenuWnd>();
    menu_->Load(QString::fromLatin1(kButtonMenuSkin), window);
    QMenu* menu = menu_->GetMenuUI();
    if (!menu) return;

    // The button's function carries a check mark and is where the keyboard
    // starts.
    std::uint8_t code = 0;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        if (const ProfileRecord* record = page_.current_record()) code = record->slot(index).function_code();
    }
    QAction* group = nullptr;
    if (QAction* current = find_item(menu, QString::fromLatin1(function_menu_item(code)), &group)) {
        current->setCheckable(true);
        current->setChecked(true);
        menu->setActiveAction(group ? group : current);
    }

    // Beside the button; above it when the menu would run off the bottom of
    // the screen's available area, and to its left when off the right edge.
    const QRect b(button->mapToGlobal(QPoint(0, 0)), button->size());
    QScreen* screen = QGuiApplication::screenAt(b.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(b.topLeft(), QSize(4096, 4096));
    const QSize size = menu->sizeHint();
    QPoint at(b.right() + 1, b.top());
    if (at.y() + size.height() > area.bottom() + 1) at.setY(b.bottom() + 1 - size.height());
    if (at.x() + size.width() > area.right() + 1) at.setX(b.left() - size.width());
    at.setY(std::max(at.y(), area.top()));
    menu_->SetBasePoint(at);
    menu_->ResizeMenu();
}

void ButtonPanel::assign_function(const QString& item) {
    if (!page_.has_current_profile()) return;
    const int index = menu_button_;
    if (index < 0 || index >= kButtonCount) return;
    const std::uint8_t code = function_code_of(item.toStdString());
    bool keeps = false;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        if (const ProfileRecord* record = page_.current_record()) keeps = KeepsLeftClick(*record, index, code);
    }
    if (!keeps) {
        page_.ask(QStringLiteral("one_click_text"), false);
        return;
    }
    if (code == kFunctionShortcut) {
        if (!choose_shortcut(index)) return;
    } else if (code == kFunctionMacro) {
        if (!choose_macro(index)) return;
    } else {
        page_.edit_profile([index, code](ProfileRecord& r) { r.slot(index).set_function_code(code); });
    }
    page_.request_apply(ApplyWhen::Now);
    show_label(index);
}

bool ButtonPanel::choose_shortcut(int index) {
    std::uint8_t modifiers = 0, key = 0;
    page_.edit_profile([&](ProfileRecord& r) {
        PrepareShortcut(r.slot(index));
        modifiers = r.slot(index).shortcut_modifiers();
        key = r.slot(index).shortcut_key();
    });
    CShortcutWnd dialog(page_.layout(), page_.hooks(), [this](QWidget* owner, const QString& message_key) {
        page_.message(owner, message_key, false);
    });
    dialog.SetModifiers(modifiers);
    dialog.SetKey(key);
    if (page_.run_dialog(dialog) != 1) return false;
    bool assigned = false;
    page_.edit_profile([&](ProfileRecord& r) { assigned = StoreShortcut(r.slot(index), dialog.Key(), dialog.Modifiers()); });
    return assigned;
}

bool ButtonPanel::choose_macro(int index) {
    ProfileStore& store = page_.store();
    // With no macro to choose, the user hears so and may make one first.
    const auto no_macros = [&] {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        return store.macros().size() == 0;
    };
    if (no_macros()) {
        if (page_.ask(QStringLiteral("no_macros_text"), true) != 1) return false;
        open_macro_editor();
        if (no_macros()) return false;
    }
    std::int32_t macro_index = -1, mode = 0, repeat = 1;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        const ProfileRecord* record = page_.current_record();
        if (!record) return false;
        ConstSlotRef slot = record->slot(index);
        if (slot.function_code() == kFunctionMacro) {
            macro_index = slot.macro_library_index();
            mode = slot.macro_play_mode();
            repeat = slot.macro_repeat_count();
        }
    }
    CMS_1_SelectMacro dialog(store.macros());
    dialog.SetMacroIndex(macro_index);
    dialog.SetPlayMode(mode);
    dialog.SetRepeatCount(repeat);
    if (page_.run_dialog(dialog) != 1) return false;
    bool assigned = false;
    page_.edit_profile([&](ProfileRecord& r) {
        assigned = AssignMacro(r.slot(index), store.macros(), dialog.MacroIndex(), dialog.PlayMode(), dialog.RepeatCount());
    });
    return assigned;
}

void ButtonPanel::open_macro_editor() {
    ProfileStore& store = page_.store();
    TrackedProfileSource& source = page_.source();
    CMS_1_Macro::Services services;
    // Through the page's one library source: a hold of vantorelctl covers
    // the editor's saves as it covers the page's.
    services.save = [this, &source] {
        std::string error;
        bool ok = false;
        {
            std::lock_guard<std::mutex> lock(source.mutex());
            ok = source.save_macros(&error);
        }
        if (!ok) page_.report_save_failure(error);
        return ok;
    };
    services.ask = [this](QWidget* owner, const QString& key, bool confirm) { return page_.message(owner, key, confirm); };
    services.choose_file = [this](const ui::FileChoice& choice) { return page_.choose_file(choice); };
    services.buttons_playing = [&store, &source](const std::u16string& name) {
        QStringList buttons;
        std::lock_guard<std::mutex> lock(source.mutex());
        for (const MacroUse& use : ButtonsPlaying(store.profiles(), name)) {
            buttons << ui::Tr(QStringLiteral("macro_user_text"))
                           .arg(use.button + 1)
                           .arg(QString::fromStdU16String(store.profiles()[use.profile].profile_name()));
        }
        return buttons;
    };
    services.renamed = [this, &store, &source](const std::u16string& old_name, const std::u16string& new_name) {
        {
            std::lock_guard<std::mutex> lock(source.mutex());
            CarryMacroRename(store.profiles(), old_name, new_name);
        }
        resync_macro_slots();
    };
    services.library_changed = [this] { resync_macro_slots(); };
    services.data_folder = QString::fromStdString(store.folder().path().string());
    // It opens again on the macro it showed last, kept with its button.
    const char* const shown = "shownMacro";
    if (macro_) services.open_on = macro_->property(shown).toString().toStdU16String();
    CMS_1_Macro editor(store.macros(), page_.layout(), page_.hooks(), std::move(services));
    // However the editor closes (its exit button, Escape, the title bar's
    // close): every change is saved already, so the buttons follow it.
    page_.run_dialog(editor);
    if (macro_) {
        const MacroEditorModel& left = editor.model();
        macro_->setProperty(shown, left.has_current()
                                       ? QString::fromStdU16String(store.macros()[static_cast<std::size_t>(left.current())].name())
                                       : QString());
    }
    resync_macro_slots();
}

void ButtonPanel::resync_macro_slots() {
    ProfileStore& store = page_.store();
    ResyncResult result;
    {
        std::lock_guard<std::mutex> lock(page_.source().mutex());
        result = ResyncMacroCopies(store.profiles(), store.macros(), store.selected());
        if (result.any_changed) page_.source().mark_unsaved();
    }
    // Every profile may have changed, not only the one the next apply saves:
    // without a mouse the others would be lost at exit.
    if (result.any_changed) page_.save_library_now();
    if (!result.current_involved) return;
    show_labels();
    page_.request_apply(ApplyWhen::Now);
}

}  // namespace vantorel::page
