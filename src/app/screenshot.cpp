// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/screenshot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/dpi_msg.h"
#include "macro/keyboard_layout.h"
#include "macro/macro_editor_wnd.h"
#include "macro/select_macro_wnd.h"
#include "macro/shortcut_wnd.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/session.h"
#include "page/dpi_color_wnd.h"

namespace vantorel {

namespace {

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QPixmap grab_window(QWidget& w) {
    settle();
    return w.grab();
}

}  // namespace

int RenderScreenshot(const QString& file, const QString& window, const std::function<void(QWidget&)>& inspect) {
    const bool mouse = window != QLatin1String("main");
    // The mouse page on the virtual mouse, with a profile library of its own
    // so the picture never shows (or changes) the user's profiles.
    QTemporaryDir data;
    std::unique_ptr<CMS_1_Page> page;
    CMS_1_Page* mouse_page = nullptr;
    if (mouse) {
        page = MakeMousePage(SessionChoice{true, true, "screenshot"},
                             DataFolder::at(std::filesystem::path(data.path().toStdString()) / "Data"));
        mouse_page = page.get();
    }
    CMainWnd main(std::move(page));
    main.SetHookSearchDirs({});
    main.SetDemo(mouse);
    if (mouse_page) ConnectMousePage(main, *mouse_page);
    main.CreateMain();
    main.ShowWindow(true, false);
    // The receiver link comes up with the virtual mouse's first report.
    for (int i = 0; mouse_page && !mouse_page->links().any() && i < 200; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    QWidget* light_color = nullptr;
    if (window == QLatin1String("color")) {
        // The lighting section open on a steady light, with its colour being
        // chosen.
        if (auto* toggle = main.FindControl<QAbstractButton>(QStringLiteral("ms_1_check_light"))) toggle->click();
        if (auto* effect = main.FindControl<QComboBox>(QStringLiteral("ms_1_combo_light"))) effect->setCurrentIndex(1);
        settle();
        light_color = main.FindControl(QStringLiteral("ms_1_btn_light_color"));
        auto* column = main.FindControl<QScrollArea>(QStringLiteral("ms_1_ver_setting"));
        QWidget* section = main.FindControl(QStringLiteral("ms_1_check_light"));
        if (column && section) column->verticalScrollBar()->setValue(section->mapTo(column->widget(), QPoint(0, 0)).y());
        settle();
    }
    QPixmap shot = grab_window(main);
    if (inspect) inspect(main);

    if (window == QLatin1String("color") && light_color) {
        CDpiColorWnd dialog;
        dialog.SetColor(0xFF00FF00);
        dialog.Create(&main, ui::kStyleDialog | ui::kStyleTool, QSize(CDpiColorWnd::kWidth, CDpiColorWnd::kHeight));
        dialog.ShowWindow(true, false);
        const QPixmap picker = grab_window(dialog);
        if (inspect) inspect(dialog);
        // Below the button, reaching 200 pixels to its left, as the page
        // places it.
        const QPoint at = light_color->mapTo(&main, QPoint(-200, light_color->height()));
        QPainter p(&shot);
        p.drawPixmap(QPoint(std::clamp(at.x(), 0, main.width() - CDpiColorWnd::kWidth),
                            std::clamp(at.y(), 0, main.height() - CDpiColorWnd::kHeight)),
                     picker);
        dialog.Close(0);
    } else if (window == QLatin1String("msg")) {
        CMsgWnd box(QStringLiteral("warning_title_text"), QStringLiteral("restore_text"));
        box.Create(&main, ui::kStyleDialog | ui::kStyleTool);
        box.ShowWindow(true, false);
        const QPixmap dialog = grab_window(box);
        if (inspect) inspect(box);
        QPainter p(&shot);
        p.fillRect(QRect(QPoint(0, 0), main.size()), QColor(0, 0, 0, 110));
        const QSize ds = dialog.deviceIndependentSize().toSize();
        p.drawPixmap(QPoint((main.width() - ds.width()) / 2, (main.height() - ds.height()) / 2), dialog);
    } else if (window == QLatin1String("editor")) {
        // The macro editor with a recorded macro selected.
        UsKeyboardLayout layout;
        MacroLibrary macros;
        for (const char16_t* name : {u"Reload", u"Burst fire"}) {
            MacroRecord m;
            m.set_name(name);
            macros.append(m);
        }
        const MacroAction steps[] = {{0xE1, 1, 35}, {0x15, 1, 60}, {0x15, 2, 40}, {0xE1, 2, 120},
                                     {0xF1, 1, 20}, {0xF1, 2, 10}};
        MacroRecord& reload = macros[0];
        for (std::size_t i = 0; i < std::size(steps); ++i) reload.set_action(i, steps[i]);
        reload.set_action_count(static_cast<std::int32_t>(std::size(steps)));
        CMS_1_Macro editor(macros, layout, HookTable{}, CMS_1_Macro::Services{});
        editor.Create(&main, ui::kStyleDialog | ui::kStyleTool);
        editor.ShowWindow(true, false);
        if (auto* list = editor.FindControl<QListWidget>(QStringLiteral("ms_1_macro_list"))) list->setCurrentRow(0);
        settle();
        const QPixmap picture = grab_window(editor);
        if (inspect) inspect(editor);
        shot = QPixmap(picture.deviceIndependentSize().toSize() * picture.devicePixelRatio());
        shot.setDevicePixelRatio(picture.devicePixelRatio());
        shot.fill(Qt::transparent);
        QPainter p(&shot);
        p.drawPixmap(0, 0, picture);
        editor.Close(0);
    } else if (window == QLatin1String("shortcut") || window == QLatin1String("macro")) {
        // The key-combination or macro dialog over the page, as a button's
        // menu opens it.
        UsKeyboardLayout layout;
        MacroLibrary macros;
        for (const char16_t* name : {u"Reload", u"Burst fire", u"Build order"}) {
            MacroRecord m;
            m.set_name(name);
            macros.append(m);
        }
        std::unique_ptr<ui::SkinWindow> dialog;
        if (window == QLatin1String("shortcut")) {
            auto d = std::make_unique<CShortcutWnd>(layout, HookTable{});
            d->SetModifiers(0x05);
            d->SetKey(0x04);
            dialog = std::move(d);
        } else {
            auto d = std::make_unique<CMS_1_SelectMacro>(macros);
            d->SetMacroIndex(1);
            d->SetRepeatCount(3);
            dialog = std::move(d);
        }
        dialog->Create(&main, ui::kStyleDialog | ui::kStyleTool);
        dialog->ShowWindow(true, false);
        const QPixmap picture = grab_window(*dialog);
        if (inspect) inspect(*dialog);
        QPainter p(&shot);
        p.fillRect(QRect(QPoint(0, 0), main.size()), QColor(0, 0, 0, 110));
        const QSize ds = picture.deviceIndependentSize().toSize();
        p.drawPixmap(QPoint((main.width() - ds.width()) / 2, (main.height() - ds.height()) / 2), picture);
        dialog->Close(0);
    } else if (window == QLatin1String("dpi")) {
        auto* popup = new CDPIMsg(DpiPopupText(32));
        popup->CreatePopup(&main);
        const QPixmap osd = grab_window(*popup);
        if (inspect) inspect(*popup);
        QPainter p(&shot);
        // Where it would sit if the main window filled the work area.
        p.drawPixmap(DpiPopupGeometry(QRect(QPoint(0, 0), main.size())).topLeft(), osd);
        popup->Close(0);
    }

    const bool ok = shot.save(file, "PNG");
    if (!ok) std::fprintf(stderr, "qv-vantorel: cannot write %s\n", qPrintable(file));
    main.DestroyWindow();
    return ok ? 0 : 1;
}

}  // namespace vantorel
