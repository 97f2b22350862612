// SPDX-License-Identifier: GPL-2.0-or-later
// A skinned window: a frameless top-level window whose controls come from a
// skin file. It finds controls by name, pumps their notifications (to itself
// or to a registered virtual window), runs timers by id, receives posted
// messages and menu commands, and can run as a modal dialog.
#pragma once

#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "ui/messages.h"
#include "ui/notify.h"
#include "ui/skin_loader.h"
#include "ui/timers.h"

class QEventLoop;

namespace vantorel::ui {

enum WindowStyle : unsigned {
    kStyleNormal = 0,
    kStyleTool = 1u << 0,        // not in the task bar
    kStyleTopMost = 1u << 1,     // stays above other windows
    kStyleNoActivate = 1u << 2,  // showing it does not take the focus
    kStyleDialog = 1u << 3,      // a dialog of its owner
    kStyleResizable = 1u << 4,   // otherwise fixed at the skin's size
    kStyleClickThrough = 1u << 5,  // clicks go to the window under it
};

class SkinWindow : public QWidget {
    Q_OBJECT
public:
    SkinWindow();
    ~SkinWindow() override;

    virtual QString GetWindowClassName() const = 0;
    virtual QString GetSkinFile() const = 0;

    // Builds the window from its skin, above owner (which may be null), then
    // runs InitWindow. The skin's top-level size is used unless `size` is
    // given. Returns false when the skin could not be built; the window is
    // then empty but usable.
    bool Create(QWidget* owner, unsigned style = kStyleNormal, QSize size = QSize());
    bool IsCreated() const { return created_; }
    QWidget* SkinRoot() const { return root_; }

    void CenterWindow();
    void ShowWindow(bool show = true, bool activate = true);
    // Brings the window back from hidden or minimised and to the front.
    void ShowAndRaise();
    // Runs the window as a modal dialog; returns the code given to Close.
    int ShowModal();
    // Hides the window, ends a modal run with `result` and, for an
    // auto-deleting window, deletes it once control returns to the loop.
    void Close(int result = 0);
    int ModalResult() const { return modal_result_; }
    bool IsModalRunning() const { return modal_loop_ != nullptr; }
    void SetAutoDelete(bool on) { auto_delete_ = on; }
    bool IsAutoDelete() const { return auto_delete_; }

    // Controls by skin name. A name the skin lacks gives null and is logged
    // once for this window.
    QWidget* FindControl(const QString& name) const;
    template <class T>
    T* FindControl(const QString& name) const {
        QWidget* w = FindControl(name);
        T* typed = qobject_cast<T*>(w);
        if (w && !typed) log_wrong_kind(name);
        return typed;
    }
    // Formats a 1-based index into the name ("ms_1_btn_key_%d", 3).
    QWidget* FindControlIndexed(const char* pattern, int index) const;
    template <class T>
    T* FindControlIndexed(const char* pattern, int index) const {
        return FindControl<T>(QString::asprintf(pattern, index));
    }

    // Builds another skin file into a container of this window (list rows,
    // sub-panels) and connects its controls.
    QWidget* LoadSubSkin(const QString& skin_file, QWidget* container);
    // Set before Create: the includes the skin marks "includeLater" wait for
    // LoadPendingIncludes instead of being built with the window.
    void SetIncludesLater(bool later) { includes_later_ = later; }
    bool HasPendingIncludes() const { return !pending_includes_.empty(); }
    // Builds the includes left for later and connects their controls.
    void LoadPendingIncludes();
    // Connects the notifications of controls added by code.
    void WireControls(QWidget* root);

    void AddVirtualWnd(const QString& name, NotifyPump* pump);
    void RemoveVirtualWnd(const QString& name);
    bool HasVirtualWnd(const QString& name) const { return virtual_wnds_.contains(name); }

    // Window timers by id; see TimerService.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    bool IsTimerActive(int id) const;
    void SetTimerService(std::unique_ptr<TimerService> service);
    TimerService& Timers() { return *timers_; }
    // A control timer: the control gets "timer" notifications (wparam = id).
    void SetControlTimer(QWidget* control, int id, int milliseconds);
    void KillControlTimer(QWidget* control, int id);

    // Thread-safe: queues the message for HandleCustomMessage on the UI thread.
    void PostMessage(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) const;
    // UI thread only: handles the message now; returns whether it was handled.
    bool SendMessage(std::uint32_t message, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
    void PostMenuCommand(const MenuCommand& command);
    // This window as a target for the libraries loaded at run time.
    VantorelWindow PluginWindow() const { return PostTargets::plugin_window(post_token_); }

    // Raises a notification from code, as if the control had reported it.
    void SendNotify(QWidget* control, const QString& type, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
    // The virtual window a control belongs to ("" for the window itself).
    static QString VirtualWndOf(const QWidget* control);

protected:
    virtual void InitWindow() {}
    // Default: notifications of a registered virtual window go to it; "click"
    // goes to OnClick; everything else is dropped.
    virtual void Notify(const Notification& msg);
    void DefaultNotify(const Notification& msg);
    virtual void OnClick(const Notification&) {}
    virtual void HandleCustomMessage(std::uint32_t message, std::uintptr_t wparam, std::intptr_t lparam, bool& handled);
    virtual void OnTimer(int id);
    virtual void OnMenuCommand(const MenuCommand&) {}
    // Runs when the window closes (Close, or closed by the desktop).
    virtual void OnFinalMessage() {}
    virtual void OnLanguageChanged() {}

    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void raise_notify(QWidget* control, const QString& type, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);
    void wire_one(QWidget* w);
    void log_wrong_kind(const QString& name) const;
    void index_names(const QObject* parent) const;

    QWidget* root_ = nullptr;
    bool created_ = false;
    bool auto_delete_ = false;
    int modal_result_ = 0;
    QEventLoop* modal_loop_ = nullptr;
    std::uintptr_t post_token_ = 0;
    std::unique_ptr<TimerService> timers_;
    QHash<QString, NotifyPump*> virtual_wnds_;
    std::map<std::pair<const QWidget*, int>, std::unique_ptr<QTimer>> control_timers_;
    mutable QSet<QString> missing_logged_;
    // Controls by name, from one walk of the skin the first time a name is
    // asked for; every answer is checked, and a name not found in it is
    // searched for (sub-skins come later) and kept.
    mutable QHash<QString, QPointer<QWidget>> by_name_;
    mutable bool names_indexed_ = false;
    bool includes_later_ = false;
    std::vector<SkinLoader::Pending> pending_includes_;
    QPoint drag_offset_;
    bool dragging_ = false;
};

// The way every dialog runs: created above its owner (not in the task bar),
// centred, run modally; returns the code passed to Close.
int RunModalDialog(SkinWindow& dialog, QWidget* owner);

}  // namespace vantorel::ui
