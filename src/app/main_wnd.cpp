// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/main_wnd.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "app/desktop_notifier.h"
#include "app/tray_status.h"
#include "ui/window_messages.h"
#include "core/trace.h"
#include "ui/controls.h"
#include "ui/first_paint.h"
#include "ui/resources.h"
#include "ui/window_fit.h"

namespace vantorel {

namespace {
// Messages the window accepts and drops.
constexpr std::uint32_t kIgnoredMessages[] = {kMsgHookEvent, 1130, 1537, 1538, 5121};
}  // namespace

bool IsPageMenuCommand(const QString& name) {
    // The page's menu items all begin with "ms_1"; a shorter name counts when
    // it is the beginning of "ms_1".
    static const QString prefix = QStringLiteral("ms_1");
    const qsizetype n = std::min<qsizetype>(name.size(), prefix.size());
    return n > 0 && QStringView(name).left(n) == QStringView(prefix).left(n);
}

CMainWnd::CMainWnd(std::unique_ptr<MousePage> page)
    : page_(page ? std::move(page) : std::make_unique<PlaceholderPage>()),
      links_(std::make_shared<NoLinkPresence>()) {
    SetNotifier(std::make_unique<app::DesktopNotifier>());
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        SetDpiNotifier(app::DesktopNotifier::OnScreenDisplay(2000));
}

void CMainWnd::SetNotifier(std::unique_ptr<app::Notifier> notifier) {
    notifier_ = std::move(notifier);
    battery_ = std::make_unique<app::BatteryNotifier>(*notifier_, ui::ResourceManager::instance().language());
}

void CMainWnd::SetAutostart(Autostart autostart, QString executable, QStringList arguments) {
    autostart_ = std::move(autostart);
    autostart_executable_ = std::move(executable);
    autostart_arguments_ = std::move(arguments);
}

CMainWnd::~CMainWnd() {
    RemoveVirtualWnd(QLatin1String(MousePage::kVirtualWnd));
    if (device_.on_shutdown) device_.on_shutdown();
    if (dpi_popup_) delete dpi_popup_.data();
    page_.reset();
    tray_.DeleteTrayIcon();
}

void CMainWnd::SetLinkPresence(std::shared_ptr<LinkPresence> links) {
    links_ = links ? std::move(links) : std::make_shared<NoLinkPresence>();
}

bool CMainWnd::CreateMain() {
    const bool ok = Create(nullptr, ui::kStyleResizable, QSize(kWidth, kHeight));
    // The window grows and shrinks within its screen; below the skin's size
    // its content scrolls.
    ui::MakeResizable(this);
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    FitToArea(s ? s->availableGeometry() : QRect());
    return ok;
}

void CMainWnd::FitToArea(const QRect& available) {
    ui::FitWindow(this, load_size_ ? load_size_() : QSize(), QSize(kWidth, kHeight), available);
}

void CMainWnd::InitWindow() {
    AddVirtualWnd(QLatin1String(MousePage::kVirtualWnd), page_.get());
    // The table is filled in below; the page keeps the pointer.
    page_->Attach(MousePage::Host{this, this, &hooks_.table()});

    // The window's icon is the application's (see main). The profiles are
    // there from the start (the tray lists them); the page's controls may
    // come later.
    page_->ReadLibraries();
    // No control has the focus until the user moves it there.
    setFocusPolicy(Qt::ClickFocus);
    setFocus(Qt::OtherFocusReason);
    create_tray();
    // A panel started after the program still gets the icon.
    if (!tray_.IsCreated()) tray_.WatchForTray([this] {
        if (!destroyed_) create_tray();
    });

    min_btn_ = FindControl(QStringLiteral("min_btn"));
    exit_btn_ = FindControl(QStringLiteral("exit_btn"));
    quit_btn_ = FindControl(QStringLiteral("quit_btn"));
    // Without a tray the close button only hides the window; this one ends
    // the program, as Ctrl+Q does everywhere.
    ui::SetVisible(quit_btn_, !tray_.IsCreated());
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &CMainWnd::DestroyWindow);
    device_tab_switch_ = FindControl(QStringLiteral("device_tab_switch"));
    // A mouse found at start is shown until its link is up, or for so long.
    if (mouse_awaited_) SetTimer(kTimerMouseAwaited, kMouseAwaitedMs);
    apply_title();

    if (!HasPendingIncludes()) {
        EnsurePage();
        // Started in the tray or never exposed: the rest of the start comes
        // all the same.
        if (links_after_paint_) QTimer::singleShot(kPageLatestMs, this, &CMainWnd::finish_start);
        return;
    }
    refresh_link_views();
    // Not shown (started in the tray) or never exposed: the page comes a
    // moment later all the same.
    QTimer::singleShot(kPageLatestMs, this, &CMainWnd::EnsurePage);
}

void CMainWnd::SetPageAfterFirstPaint(bool later) { SetIncludesLater(later); }

void CMainWnd::SetMouseAtStart(bool found) {
    mouse_awaited_ = found;
    links_after_paint_ = found;
    SetPageAfterFirstPaint(!found);
}

void CMainWnd::EnsurePage() {
    if (page_ready_ || !IsCreated() || destroyed_) return;
    page_ready_ = true;
    if (HasPendingIncludes()) {
        LoadPendingIncludes();
        trace("main window: mouse page built\n");
    }
    page_->Init();
    page_->LoadLibraries();
    refresh_link_views();
    RefreshTrayMenu();
    if (!links_after_paint_) finish_start();
}

void CMainWnd::finish_start() {
    if (start_finished_ || destroyed_ || !page_ready_) return;
    start_finished_ = true;
    // The hook library watches an X11 session; in a Wayland session no
    // program may watch the whole session (on XWayland it would see only the
    // X11 programs), and the editor records what reaches its own window.
    if (choose_recorder(SessionFacts::current()) == Recorder::SessionHook) hooks_.load(hook_dirs_);
    else trace("input hook: not an X11 session; recording and key capture stay in our windows\n");
    page_->OpenLinks();
}

void CMainWnd::showEvent(QShowEvent* e) {
    SkinWindow::showEvent(e);
    if (after_paint_armed_) return;
    after_paint_armed_ = true;
    // What the first frame does not show waits for it: the page when there
    // was no mouse at start; the links and the hook library when the page
    // is on the frame.
    ui::CallAfterFirstPaint(this, [this] {
        EnsurePage();
        finish_start();
    });
}

void CMainWnd::create_tray() {
    const QIcon icon(ui::ResourceManager::instance().path(QStringLiteral("images/tray.svg")));
    if (!tray_.CreateTrayIcon(this, kMsgTrayIcon, icon, ui::Tr(QStringLiteral("mouse_name_text")))) return;
    tray_menu_ = std::make_unique<ui::MenuWnd>();
    tray_menu_->Load(QStringLiteral("traymenu.xml"), this);
    QMenu* menu = tray_menu_->GetMenuUI();
    // Above the skin's items: the profiles, then a separator. Before "exit":
    // the autostart check.
    QAction* first = menu->actions().value(0);
    tray_profiles_end_ = new QAction(menu);
    tray_profiles_end_->setSeparator(true);
    menu->insertAction(first, tray_profiles_end_);
    QAction* last = menu->actions().isEmpty() ? nullptr : menu->actions().last();
    tray_autostart_ = new QAction(menu);
    tray_autostart_->setObjectName(QStringLiteral("autostart"));
    tray_autostart_->setCheckable(true);
    menu->insertAction(last, tray_autostart_);
    connect(tray_autostart_, &QAction::triggered, this, [this](bool checked) {
        if (!autostart_.SetEnabled(checked, autostart_executable_, autostart_arguments_))
            trace("autostart: %s could not be %s\n", qPrintable(autostart_.EntryPath()), checked ? "written" : "removed");
        RefreshTrayMenu();
    });
    tray_auto_switch_ = new QAction(menu);
    tray_auto_switch_->setObjectName(QStringLiteral("auto_switch"));
    tray_auto_switch_->setCheckable(true);
    menu->insertAction(tray_autostart_, tray_auto_switch_);
    connect(tray_auto_switch_, &QAction::triggered, this, [this](bool checked) {
        if (auto_profiles_) auto_profiles_->set_switching(checked);
        RefreshTrayMenu();
    });
    connect(menu, &QMenu::aboutToShow, this, &CMainWnd::RefreshTrayMenu);
    tray_.SetContextMenu(menu);
    RefreshTrayMenu();
    if (quit_btn_) ui::SetVisible(quit_btn_, false);
}

void CMainWnd::RefreshTrayMenu() {
    if (!tray_menu_) return;
    QMenu* menu = tray_menu_->GetMenuUI();
    tray_menu_->RefreshTexts();
    // The old entries may be the one being triggered: out of the menu now,
    // deleted later.
    if (tray_profile_group_) {
        for (QAction* action : tray_profile_group_->actions()) menu->removeAction(action);
        tray_profile_group_->setParent(nullptr);
        tray_profile_group_->deleteLater();
    }
    const QStringList names = page_->ProfileNames();
    const int selected = page_->SelectedProfile();
    tray_profile_group_ = new QActionGroup(menu);
    for (int i = 0; i < names.size(); ++i) {
        auto* action = new QAction(names[i], tray_profile_group_);
        action->setObjectName(QStringLiteral("profile_%1").arg(i));
        action->setCheckable(true);
        action->setChecked(i == selected);
        connect(action, &QAction::triggered, this, [this, i] {
            EnsurePage();
            page_->SelectProfile(i);
        });
        menu->insertAction(tray_profiles_end_, action);
    }
    tray_profiles_end_->setVisible(!names.isEmpty());
    tray_autostart_->setText(ui::Tr(QStringLiteral("autostart_text")));
    tray_autostart_->setChecked(autostart_.IsEnabled());
    // Offered once something is bound (or switching was turned on before).
    tray_auto_switch_->setVisible(auto_profiles_ && (!auto_profiles_->bindings().empty() ||
                                                     auto_profiles_->bindings().switching_chosen()));
    tray_auto_switch_->setText(ui::Tr(QStringLiteral("auto_switch_text")));
    tray_auto_switch_->setChecked(auto_profiles_ && auto_profiles_->switching());
}

void CMainWnd::RefreshAutoSwitch() {
    RefreshTrayMenu();
    refresh_status();
}

void CMainWnd::refresh_link_views() {
    const LinkReport report = links_->query();
    refresh_device_tab(report);
    refresh_status(report);
}

void CMainWnd::refresh_status(const LinkReport& report) {
    QString tip = TrayTooltip(report, demo_);
    if (auto_profiles_ && !auto_profiles_->switched_to().empty()) {
        tip += QLatin1Char('\n') + ui::Tr(QStringLiteral("auto_switched_text"))
                                       .arg(QString::fromStdU16String(auto_profiles_->switched_to()),
                                            QString::fromStdString(auto_profiles_->focused_application()));
    }
    tray_.SetTooltipText(tip);
    if (report.access == MouseAccess::Connected) battery_->on_battery(report.battery_percent, report.charging);
    else battery_->reset();
}

void CMainWnd::SetDemo(bool demo) {
    demo_ = demo;
    if (SkinRoot()) {
        apply_title();
        refresh_status();
    }
}

void CMainWnd::apply_title() {
    QString title = ui::Tr(QStringLiteral("mouse_name_text"));
    if (demo_) title += QStringLiteral(" \u2014 ") + ui::Tr(QStringLiteral("demo_badge_text"));
    setWindowTitle(title);
    // In the demo the badge opens a menu that presses the virtual mouse's
    // own buttons.
    QWidget* badge = FindControl(QStringLiteral("demo_badge"));
    if (badge) {
        badge->installEventFilter(this);
        badge->setCursor(Qt::PointingHandCursor);
    }
    ui::SetVisible(badge, demo_);
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* e) {
    const bool press = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick;
    if ((press || e->type() == QEvent::MouseButtonRelease) && demo_ &&
        watched->objectName() == QLatin1String("demo_badge") &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        // Taken here, so the title bar does not start moving the window.
        if (!press) open_demo_menu();
        return true;
    }
    return ui::SkinWindow::eventFilter(watched, e);
}

void CMainWnd::open_demo_menu() {
    QWidget* badge = FindControl(QStringLiteral("demo_badge"));
    if (!badge) return;
    demo_menu_ = std::make_unique<ui::MenuWnd>();
    demo_menu_->Init(this, QStringLiteral("demomenu.xml"), badge->mapToGlobal(QPoint(0, badge->height())));
}

void CMainWnd::OnLanguageChanged() {
    apply_title();
    RefreshTrayMenu();
    refresh_link_views();
}

void CMainWnd::Notify(const ui::Notification& msg) {
    // Notifications of the page's controls go to the page; of the window's
    // own controls only clicks have behaviour.
    DefaultNotify(msg);
}

void CMainWnd::OnClick(const ui::Notification& msg) {
    if (msg.from(exit_btn_)) CloseToTray();
    else if (msg.from(min_btn_)) showMinimized();
    else if (msg.from(quit_btn_)) DestroyWindow();
}

void CMainWnd::CloseToTray() {
    // A tray host may have appeared since start-up.
    if (!tray_.IsCreated() && ui::TrayIcon::IsAvailable()) create_tray();
    if (!tray_.IsCreated()) {
        // Not minimised: some compositors (sway) have no minimise, and the
        // button would do nothing. Hidden, the program still watches the
        // battery and switches profiles; a second start shows the window.
        trace("main window: no system tray; hidden, a second start shows it again, Quit or Ctrl+Q ends the program\n");
        if (!told_how_to_quit_) {
            told_how_to_quit_ = true;
            notifier_->notify(ui::Tr(QStringLiteral("mouse_name_text")).toStdU16String(),
                              ui::Tr(QStringLiteral("hidden_no_tray_text")).toStdU16String());
        }
    }
    hide();
}

void CMainWnd::closeEvent(QCloseEvent* e) {
    // Closed by the desktop (window menu, log-out): the program ends, as the
    // tray menu's "exit" does.
    e->ignore();
    DestroyWindow();
}

void CMainWnd::DestroyWindow() {
    if (destroyed_) return;
    if (save_size_ && IsCreated() && !isMinimized()) save_size_(size());
    destroyed_ = true;
    KillTimer(kTimerDpiPopup);
    close_dpi_popup();
    hooks_.table().RemoveMouseHook();
    hooks_.table().RemoveHook();
    hooks_.table().Flush();  // the watch has ended when the program says it ends
    // The library itself stays until the window goes, after the main loop:
    // a dialog still on the stack (key capture, recording) calls into it
    // when it closes.
    tray_.DeleteTrayIcon();
    hide();
    emit finished();
}

void CMainWnd::refresh_device_tab(const LinkReport& report) {
    const bool connected = report.access == MouseAccess::Connected;
    if (connected && mouse_awaited_) {
        mouse_awaited_ = false;
        KillTimer(kTimerMouseAwaited);
    }
    // A mouse found at start stays on screen while its link comes up.
    const bool mouse_shown = connected || (mouse_awaited_ && report.access != MouseAccess::NoPermission);
    if (mouse_shown && !page_ready_) {
        EnsurePage();  // selects the page once it is there
        return;
    }
    ui::SelectItem(device_tab_switch_, mouse_shown ? kMousePageItem : kNoMouseItem);

    QWidget* title = FindControl(QStringLiteral("no_mouse_title"));
    QWidget* text = FindControl(QStringLiteral("no_mouse_text"));
    QWidget* help = FindControl(QStringLiteral("no_access_help"));
    if (report.access == MouseAccess::NoPermission) {
        ui::SetResourceText(title, QStringLiteral("no_access_title_text"));
        const QString device = report.device.empty() ? ui::Tr(QStringLiteral("no_access_device_text"))
                                                     : QString::fromStdString(report.device);
        ui::SetText(text, ui::Tr(QStringLiteral("no_access_text")).arg(device));
        // The rule file that comes with the program, when it is there;
        // otherwise the skin's own lines, which write the rule in place.
        const QFileInfo rules(ui::ResourceManager::instance().path(QStringLiteral("udev/70-qv-vantorel.rules")));
        if (rules.exists()) {
            ui::SetText(FindControl(QStringLiteral("no_access_rule")),
                        QStringLiteral("cd '%1'\n"
                                       "sudo cp %2 /etc/udev/rules.d/\n"
                                       "sudo udevadm control --reload-rules && sudo udevadm trigger")
                            .arg(rules.absolutePath(), rules.fileName()));
        }
        ui::SetVisible(help, true);
    } else {
        ui::SetResourceText(title, QStringLiteral("no_mouse_title_text"));
        ui::SetResourceText(text, QStringLiteral("no_mouse_text"));
        ui::SetVisible(help, false);
    }
}

void CMainWnd::OnLinksChanged() { refresh_link_views(); }

void CMainWnd::ShowDpiPopup(std::int64_t dpi_code) { show_dpi_popup(dpi_code); }

void CMainWnd::show_dpi_popup(std::int64_t dpi_code) {
    if (dpi_notifier_) {
        // Each one replaces the one before and goes by itself.
        dpi_notifier_->notify(ui::Tr(QStringLiteral("mouse_name_text")).toStdU16String(),
                              DpiPopupText(static_cast<std::int64_t>(dpi_code)).toStdU16String());
        return;
    }
    KillTimer(kTimerDpiPopup);
    SetTimer(kTimerDpiPopup, 2000);
    const QString text = DpiPopupText(static_cast<std::int64_t>(dpi_code));
    if (dpi_popup_) {
        dpi_popup_->SetText(text);
        return;
    }
    auto* popup = new CDPIMsg(text);
    popup->CreatePopup(this);
    dpi_popup_ = popup;
}

void CMainWnd::close_dpi_popup() {
    if (CDPIMsg* popup = dpi_popup_.data()) {
        dpi_popup_.clear();
        popup->Close(0);  // deletes itself
    }
}

void CMainWnd::HandleCustomMessage(std::uint32_t message, std::uintptr_t, std::intptr_t lparam, bool& handled) {
    handled = true;
    switch (message) {
    case kMsgTrayIcon:
        if (lparam == ui::TrayIcon::kLeftButtonUp) ShowAndRaise();
        else if (lparam == ui::TrayIcon::kRightButtonUp) RefreshTrayMenu();
        return;
    case kMsgMenuCommand:
        // Menus deliver their commands through OnMenuCommand.
        return;
    case kMsgWakeInstance:
        trace("main window: raised on request of a later start\n");
        ShowAndRaise();
        // Where the desktop does not bring it forward, it marks it at least.
        QApplication::alert(this);
        return;
    default:
        break;
    }
    for (std::uint32_t ignored : kIgnoredMessages) {
        if (message == ignored) return;
    }
    handled = false;
}

void CMainWnd::OnTimer(int id) {
    switch (id) {
    case kTimerDpiPopup:
        KillTimer(id);
        close_dpi_popup();
        return;
    case kTimerMouseAwaited:
        // The mouse found at start did not come up: the view for no mouse.
        KillTimer(id);
        mouse_awaited_ = false;
        refresh_device_tab(links_->query());
        return;
    case kTimerScrollSettings:
        KillTimer(id);
        ui::ScrollToEnd(FindControl(QStringLiteral("ms_1_ver_setting")));
        return;
    default:
        // Any timer of the page's own.
        page_->OnHostTimer(id);
        return;
    }
}

void CMainWnd::OnMenuCommand(const ui::MenuCommand& command) {
    const QString& name = command.name;
    if (name.compare(QLatin1String("configuration"), Qt::CaseInsensitive) == 0) {
        ShowAndRaise();
    } else if (name.compare(QLatin1String("exit"), Qt::CaseInsensitive) == 0) {
        DestroyWindow();
    } else if (name == QLatin1String("demo_press_dpi") || name == QLatin1String("demo_press_light")) {
        // As if the mouse's own button were pressed: the mouse reports it,
        // and the page and the DPI popup follow as with a real mouse.
        if (std::shared_ptr<VirtualMouse> mouse = demo_mouse_ ? demo_mouse_() : nullptr)
            mouse->press_own_button(name.endsWith(QLatin1String("dpi")) ? VirtualMouse::OwnButton::Dpi
                                                                         : VirtualMouse::OwnButton::Light);
    } else if (IsPageMenuCommand(name)) {
        page_->OnMenuCommand(name);
    }
}

void CMainWnd::post_message(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam) {
    PostMessage(message, wparam, lparam);
}

void CMainWnd::set_timer(int id, int milliseconds) {
    if (QThread::currentThread() == thread()) SetTimer(id, milliseconds);
    else QMetaObject::invokeMethod(this, [this, id, milliseconds] { SetTimer(id, milliseconds); }, Qt::QueuedConnection);
}

void CMainWnd::kill_timer(int id) {
    if (QThread::currentThread() == thread()) KillTimer(id);
    else QMetaObject::invokeMethod(this, [this, id] { KillTimer(id); }, Qt::QueuedConnection);
}

void CMainWnd::set_control_visible(std::string_view name, bool visible) {
    const QString control = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (QThread::currentThread() == thread()) {
        ui::SetVisible(FindControl(control), visible);
    } else {
        QMetaObject::invokeMethod(this, [this, control, visible] { ui::SetVisible(FindControl(control), visible); },
                                  Qt::QueuedConnection);
    }
}

}  // namespace vantorel
