// SPDX-License-Identifier: GPL-2.0-or-later
// The main window: a frameless 800 x 572 window with its own title bar,
// hosting the "no mouse" view and the mouse page on "device_tab_switch". It
// owns the tray icon and its menu, binds the input hook library, receives
// every message and timer of the application and shows the DPI popup.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

#include "app/auto_profiles.h"
#include "app/autostart.h"
#include "app/battery_notifier.h"
#include "app/dpi_msg.h"
#include "app/hook_library.h"
#include "app/mouse_page.h"
#include "app/shell_seams.h"
#include "ui/window_host.h"
#include "session/mouse_session.h"
#include "ui/menu.h"
#include "ui/skin_window.h"
#include "ui/tray_icon.h"


namespace vantorel {

// Whether a menu command belongs to the mouse page.
bool IsPageMenuCommand(const QString& name);

class CMainWnd : public ui::SkinWindow, public WindowHost, public MouseObserver {
    Q_OBJECT
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;
    static constexpr int kNoMouseItem = 0;
    static constexpr int kMousePageItem = 1;
    // The page is set up by then even when the window is not painted.
    static constexpr int kPageLatestMs = 250;
    // How long a mouse found at start is shown before its link is up: as
    // long as the receiver's watchdog lets a silent mouse count as there.
    static constexpr int kMouseAwaitedMs = 6000;
    static constexpr int kTimerMouseAwaited = 55;

    // Device-side work the window hands on.
    struct DeviceHooks {
        // From the destructor: stop the reader threads.
        std::function<void()> on_shutdown;
    };

    // A null page gets the placeholder page.
    explicit CMainWnd(std::unique_ptr<MousePage> page = nullptr);
    ~CMainWnd() override;

    QString GetWindowClassName() const override { return QStringLiteral("QV Vantorel"); }
    static QString SkinFile() { return QStringLiteral("main.xml"); }
    QString GetSkinFile() const override { return SkinFile(); }

    // Set before Create.
    void SetLinkPresence(std::shared_ptr<LinkPresence> links);
    void SetDeviceHooks(DeviceHooks hooks) { device_ = std::move(hooks); }
    // Whether the virtual mouse stands in; the title and badge follow, also
    // when a real mouse ends the demo while the window is up.
    void SetDemo(bool demo);
    bool IsDemo() const { return demo_; }
    // The virtual mouse whose DPI and light buttons the demo badge's menu
    // presses; asked at each press (null once a real mouse took over).
    void SetDemoMouse(std::function<std::shared_ptr<VirtualMouse>()> mouse) { demo_mouse_ = std::move(mouse); }
    // The menu a click on the demo badge opened; null before the first.
    ui::MenuWnd* DemoMenu() const { return demo_menu_.get(); }
    // Where the window's size is kept between runs; unset: it is not kept.
    // Set before CreateMain.
    void SetSizeMemory(std::function<QSize()> load, std::function<void(QSize)> save) {
        load_size_ = std::move(load);
        save_size_ = std::move(save);
    }
    // Sizes the window (its remembered size, else the skin's) within an
    // available screen area and centres it there. CreateMain does this for
    // the screen's available area.
    void FitToArea(const QRect& available);
    // Folders searched for the hook library; empty searches nowhere.
    void SetHookSearchDirs(QStringList dirs) { hook_dirs_ = std::move(dirs); }
    // Where low-battery warnings go; the desktop's notification service
    // unless set.
    void SetNotifier(std::unique_ptr<app::Notifier> notifier);
    // Where the DPI the mouse switched to is told instead of the popup
    // window: on Wayland, where a window cannot be kept from taking the
    // focus (over a game) nor placed in a corner. Null: the popup window.
    // Set by default on Wayland.
    void SetDpiNotifier(std::unique_ptr<app::Notifier> notifier) { dpi_notifier_ = std::move(notifier); }
    // The autostart entry the tray menu's "Start with the desktop" writes,
    // and the program it starts.
    // "Start with the desktop" starts `executable` with `arguments` (the
    // data folder the program was started on, when one was chosen).
    void SetAutostart(Autostart autostart, QString executable, QStringList arguments = {});
    // Profiles that follow the application: the tray's check item turns
    // switching on and off, the tooltip names a switch. Null: neither.
    void SetAutoProfiles(AutoProfiles* profiles) { auto_profiles_ = profiles; }
    // A switch, the focus or switching itself changed.
    void RefreshAutoSwitch();

    // Creates the window centred on the screen.
    bool CreateMain();
    // Set before CreateMain: the mouse page (its skin and controls; the
    // libraries are read before) is set up just after the window's first
    // paint, or as soon as something needs it, instead of before the window
    // shows. Without it CreateMain sets the page up.
    void SetPageAfterFirstPaint(bool later);
    // Set before CreateMain: whether a mouse was found before the window was
    // made (the virtual mouse, or a receiver, cable or Bluetooth mouse that
    // can be opened). With one, the page is set up before the window shows
    // and is what its first frame shows while the links come up; the view
    // for no mouse follows only when no link is up kMouseAwaitedMs later.
    // Without one, the page waits for the first paint.
    void SetMouseAtStart(bool found);
    // Sets the page up now unless it is already.
    void EnsurePage();
    bool PageReady() const { return page_ready_; }

    // Ends the program in order: closes the DPI popup, removes the hooks,
    // then emits finished. The hook library is freed with the window, once
    // the dialogs that may still use it have closed.
    void DestroyWindow();
    bool IsDestroyed() const { return destroyed_; }

    // "exit_btn": hides the window; the program keeps running. Without a
    // tray a second start shows it again, and the first time a desktop
    // notification says so and how to quit.
    void CloseToTray();

    MousePage* Page() const { return page_.get(); }
    CDPIMsg* DpiPopup() const { return dpi_popup_.data(); }
    const HookLibrary& Hooks() const { return hooks_; }
    ui::TrayIcon& Tray() { return tray_; }
    ui::MenuWnd* TrayMenu() const { return tray_menu_.get(); }
    // Fills the tray menu's profile entries and its autostart check; runs
    // each time the menu opens.
    void RefreshTrayMenu();
    // A link to the mouse came up or went down: the tab, the tray's tooltip
    // and the battery warning follow.
    void OnLinksChanged();
    // Shows the DPI popup with a stage's DPI code ("800 DPI" for 16); it
    // closes 2000 ms after the last one.
    void ShowDpiPopup(std::int64_t dpi_code);

    // MouseObserver: what the window shows of the mouse session.
    void links_changed() override { OnLinksChanged(); }
    void battery_changed() override { refresh_status(); }
    void dpi_stage_chosen(std::int64_t dpi_code) override { ShowDpiPopup(dpi_code); }

    // WindowHost: callable from any thread.
    void post_message(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) override;
    void set_timer(int id, int milliseconds) override;
    void kill_timer(int id) override;
    void set_control_visible(std::string_view name, bool visible) override;

signals:
    // The program should end now.
    void finished();

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void OnClick(const ui::Notification& msg) override;
    void HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam,
                             bool& handled) override;
    void OnTimer(int id) override;
    void OnMenuCommand(const ui::MenuCommand& command) override;
    void OnLanguageChanged() override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void create_tray();
    // Loads the input hook library and opens the page's links, once.
    void finish_start();
    void apply_title();
    // The tab and the tray's tooltip and battery, from one look at the
    // links (which, with none up, looks at the device nodes).
    void refresh_link_views();
    void refresh_device_tab(const LinkReport& report);
    void refresh_status(const LinkReport& report);
    void refresh_status() { refresh_status(links_->query()); }
    void show_dpi_popup(std::int64_t dpi_code);
    void close_dpi_popup();
    void open_demo_menu();

    std::unique_ptr<MousePage> page_;
    std::shared_ptr<LinkPresence> links_;
    DeviceHooks device_;
    bool demo_ = false;
    bool destroyed_ = false;
    bool page_ready_ = false;
    bool after_paint_armed_ = false;
    // With the page on the first frame, the links are opened and the hook
    // library loaded just after it (finish_start).
    bool links_after_paint_ = false;
    bool start_finished_ = false;
    bool mouse_awaited_ = false;
    bool told_how_to_quit_ = false;
    QStringList hook_dirs_;
    HookLibrary hooks_;
    ui::TrayIcon tray_;
    std::unique_ptr<ui::MenuWnd> tray_menu_;
    QPointer<QActionGroup> tray_profile_group_;
    QAction* tray_profiles_end_ = nullptr;  // separator after the profiles
    QAction* tray_autostart_ = nullptr;
    QAction* tray_auto_switch_ = nullptr;
    AutoProfiles* auto_profiles_ = nullptr;
    std::unique_ptr<app::Notifier> notifier_;
    std::unique_ptr<app::Notifier> dpi_notifier_;
    std::unique_ptr<app::BatteryNotifier> battery_;
    Autostart autostart_;
    QString autostart_executable_;
    QStringList autostart_arguments_;
    QPointer<CDPIMsg> dpi_popup_;
    std::function<std::shared_ptr<VirtualMouse>()> demo_mouse_;
    std::unique_ptr<ui::MenuWnd> demo_menu_;
    QWidget* min_btn_ = nullptr;
    QWidget* exit_btn_ = nullptr;
    QWidget* quit_btn_ = nullptr;  // shown when there is no tray to end the program from
    QWidget* device_tab_switch_ = nullptr;
    std::function<QSize()> load_size_;
    std::function<void(QSize)> save_size_;
};

}  // namespace vantorel
