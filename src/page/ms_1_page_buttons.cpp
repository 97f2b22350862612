// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page's buttons: the function menu of buttons 1..12, what a
// choice writes into the button's slot (through the key-combination and
// macro dialogs where it needs more), and the macro copies after the macro
// editor.
#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include "core/function_codes.h"
#include "core/trace.h"
#include "macro/macro_editor_wnd.h"
#include "macro/select_macro_wnd.h"
#include "macro/shortcut_wnd.h"
#include "edit/button_assign.h"
#include "page/ms_1_page.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

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

void CMS_1_Page::open_button_menu(int index) {
    m_iMenuButton = index;
    if (m_pButtonMenu) {
        m_pButtonMenu->Close();
        m_pButtonMenu.reset();
    }
    QWidget* button = m_pBtnKey[static_cast<std::size_t>(index)];
    if (!button || !host_.window) return;
    m_pButtonMenu = std::make_unique<ui::MenuWnd>();
    m_pButtonMenu->Load(QString::fromLatin1(kButtonMenuSkin), host_.window);
    QMenu* menu = m_pButtonMenu->GetMenuUI();
    if (!menu) return;

    // The button's function carries a check mark and is where the keyboard
    // starts.
    std::uint8_t code = 0;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        if (m_pCurProfile) code = std::as_const(*m_pCurProfile).slot(index).function_code();
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
    m_pButtonMenu->SetBasePoint(at);
    m_pButtonMenu->ResizeMenu();
}

void CMS_1_Page::OnMenuCommand(const QString& name) {
    if (name.startsWith(QLatin1String("ms_1_profile_"), Qt::CaseInsensitive)) {
        if (name.compare(QLatin1String("ms_1_profile_duplicate"), Qt::CaseInsensitive) == 0) duplicate_profile();
        else if (name.compare(QLatin1String("ms_1_profile_rename"), Qt::CaseInsensitive) == 0) rename_profile();
        else if (name.compare(QLatin1String("ms_1_profile_delete"), Qt::CaseInsensitive) == 0) delete_profile();
        else if (name.compare(QLatin1String("ms_1_profile_export"), Qt::CaseInsensitive) == 0) export_profile();
        return;
    }
    assign_function(name);
}

void CMS_1_Page::assign_function(const QString& item) {
    if (!has_current_profile()) return;
    const int index = m_iMenuButton;
    if (index < 0 || index >= kButtonCount) return;
    const std::uint8_t code = function_code_of(item.toStdString());
    bool keeps = false;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        keeps = page::KeepsLeftClick(*m_pCurProfile, index, code);
    }
    if (!keeps) {
        ask(QStringLiteral("one_click_text"), false);
        return;
    }
    if (code == kFunctionShortcut) {
        if (!choose_shortcut(index)) return;
    } else if (code == kFunctionMacro) {
        if (!choose_macro(index)) return;
    } else {
        edit_profile([index, code](ProfileRecord& r) { r.slot(index).set_function_code(code); });
    }
    RequestApply();
    RefreshButtonLabel(index);
}

bool CMS_1_Page::choose_shortcut(int index) {
    std::uint8_t modifiers = 0, key = 0;
    edit_profile([&](ProfileRecord& r) {
        page::PrepareShortcut(r.slot(index));
        modifiers = r.slot(index).shortcut_modifiers();
        key = r.slot(index).shortcut_key();
    });
    CShortcutWnd dialog(*m_pLayout, host_.hooks ? *host_.hooks : HookTable{}, [this](QWidget* owner, const QString& message_key) {
        if (m_Setup.message_box) m_Setup.message_box(owner, message_key, false);
    });
    dialog.SetModifiers(modifiers);
    dialog.SetKey(key);
    if (run_dialog(dialog) != 1) return false;
    bool assigned = false;
    edit_profile([&](ProfileRecord& r) { assigned = page::StoreShortcut(r.slot(index), dialog.Key(), dialog.Modifiers()); });
    return assigned;
}

bool CMS_1_Page::choose_macro(int index) {
    // With no macro to choose, the user hears so and may make one first.
    const auto no_macros = [this] {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        return m_pStore->macros().size() == 0;
    };
    if (no_macros()) {
        if (ask(QStringLiteral("no_macros_text"), true) != 1) return false;
        open_macro_editor();
        if (no_macros()) return false;
    }
    std::int32_t macro_index = -1, mode = 0, repeat = 1;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        if (!m_pCurProfile) return false;
        ConstSlotRef slot = std::as_const(*m_pCurProfile).slot(index);
        if (slot.function_code() == kFunctionMacro) {
            macro_index = slot.macro_library_index();
            mode = slot.macro_play_mode();
            repeat = slot.macro_repeat_count();
        }
    }
    CMS_1_SelectMacro dialog(m_pStore->macros());
    dialog.SetMacroIndex(macro_index);
    dialog.SetPlayMode(mode);
    dialog.SetRepeatCount(repeat);
    if (run_dialog(dialog) != 1) return false;
    bool assigned = false;
    edit_profile([&](ProfileRecord& r) {
        assigned = page::AssignMacro(r.slot(index), m_pStore->macros(), dialog.MacroIndex(), dialog.PlayMode(),
                                     dialog.RepeatCount());
    });
    return assigned;
}

void CMS_1_Page::open_macro_editor() {
    CMS_1_Macro::Services services;
    // Through the page's one library source: a hold of vantorelctl covers
    // the editor's saves as it covers the page's.
    services.save = [this] {
        std::string error;
        bool ok = false;
        {
            std::lock_guard<std::mutex> lock(m_pSource->mutex());
            ok = m_pSource->save_macros(&error);
        }
        if (ok) return true;
        record_save_error(error);
        show_save_failure();
        return false;
    };
    services.ask = [this](QWidget* owner, const QString& key, bool confirm) {
        return m_Setup.message_box ? m_Setup.message_box(owner, key, confirm) : 0;
    };
    services.choose_file = [this](const ui::FileChoice& choice) { return choose_file(choice); };
    services.buttons_playing = [this](const std::u16string& name) {
        QStringList buttons;
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        for (const page::MacroUse& use : page::ButtonsPlaying(m_pStore->profiles(), name)) {
            buttons << ui::Tr(QStringLiteral("macro_user_text"))
                           .arg(use.button + 1)
                           .arg(QString::fromStdU16String(m_pStore->profiles()[use.profile].profile_name()));
        }
        return buttons;
    };
    services.renamed = [this](const std::u16string& old_name, const std::u16string& new_name) {
        {
            std::lock_guard<std::mutex> lock(m_pSource->mutex());
            page::CarryMacroRename(m_pStore->profiles(), old_name, new_name);
        }
        ResyncMacroSlots();
    };
    services.library_changed = [this] { ResyncMacroSlots(); };
    services.data_folder = QString::fromStdString(m_pStore->folder().path().string());
    // It opens again on the macro it showed last, kept with its button.
    const char* const shown = "shownMacro";
    if (m_pBtnMacro) services.open_on = m_pBtnMacro->property(shown).toString().toStdU16String();
    CMS_1_Macro editor(m_pStore->macros(), *m_pLayout, host_.hooks ? *host_.hooks : HookTable{}, std::move(services));
    // However the editor closes (its exit button, Escape, the title bar's
    // close): every change is saved already, so the buttons follow it.
    run_dialog(editor);
    if (m_pBtnMacro) {
        const MacroEditorModel& left = editor.model();
        m_pBtnMacro->setProperty(shown, left.has_current() ? QString::fromStdU16String(
                                                                 m_pStore->macros()[static_cast<std::size_t>(left.current())].name())
                                                           : QString());
    }
    ResyncMacroSlots();
}

void CMS_1_Page::ResyncMacroSlots() {
    page::ResyncResult result;
    {
        std::lock_guard<std::mutex> lock(m_pSource->mutex());
        result = page::ResyncMacroCopies(m_pStore->profiles(), m_pStore->macros(), m_pStore->selected());
        if (result.any_changed) m_pSource->mark_unsaved();
    }
    // Every profile may have changed, not only the one the next apply saves:
    // without a mouse the others would be lost at exit.
    if (result.any_changed) save_library_now();
    if (!result.current_involved) return;
    for (int n = 0; n < kButtonCount; ++n) RefreshButtonLabel(n);
    RequestApply();
}

bool CMS_1_Page::on_input_event(QObject* watched, QEvent* event) {
    // Enter on a focused button opens its menu as Space and a click do.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            for (int k = 0; k < page::kMenuButtons; ++k) {
                if (watched != m_pBtnKey[static_cast<std::size_t>(k)]) continue;
                if (auto* b = qobject_cast<QAbstractButton*>(m_pBtnKey[static_cast<std::size_t>(k)])) b->click();
                return true;
            }
        }
    }
    return on_profile_input_event(watched, event);
}

}  // namespace vantorel
