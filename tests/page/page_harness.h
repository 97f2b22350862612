// SPDX-License-Identifier: GPL-2.0-or-later
// The mouse page as the program runs it: inside the main window, wired to it
// the way the application wires it, on the virtual mouse, with a data folder
// of its own. Timers (the window's and the session's) are fired by hand and
// the report pacing runs in virtual time, so nothing here waits for a clock.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/main_wnd.h"
#include "app/session.h"
#include "core/clock.h"
#include "ui/window_messages.h"
#include "device/demo_hid_backend.h"
#include "device/link_fakes.h"
#include "device/virtual_mouse.h"
#include "library/profile_library.h"
#include "page/ms_1_page.h"
#include "ui/controls.h"
#include "ui/qt_env.h"
#include "ui/manual_executor.h"
#include "ui/timers.h"

namespace vantorel::test {

// The type bytes of the reports the virtual mouse received, in order.
inline std::vector<std::uint8_t> report_types(const VirtualMouse& mouse) {
    std::vector<std::uint8_t> types;
    for (const ReceivedReport& r : mouse.reports()) types.push_back(r.type());
    return types;
}

struct HarnessOptions {
    bool cable = true;      // the virtual mouse on its cable (the wired link is up)
    bool receiver = false;  // its 2.4 GHz receiver plugged in
    // An existing data folder (a second start); empty: a new one.
    std::filesystem::path data_folder;
    std::function<std::optional<quint32>(quint32, QPoint)> choose_color;
    std::optional<page::MouseSettingsCommand> mouse_settings = page::MouseSettingsCommand{"/usr/bin/true", {}};
    // A start without a mouse: `mouse` stands in on its receiver until a
    // real one (`real`, on a receiver of its own) arrives through the device
    // watch (`arrive`).
    bool demo_until_real = false;
    bool tray = false;  // the desktop has a tray (the window gets its icon and menu)
};

class PageHarness {
public:
    explicit PageHarness(HarnessOptions options = {}) {
        ui::TrayIcon::SetAvailabilityOverride(options.tray);
        data_ = options.data_folder.empty() ? std::filesystem::path(dir_.path().toStdString()) / "Data"
                                            : options.data_folder;
        if (options.cable) mouse->plug_cable();
        if (options.receiver) mouse->plug_receiver();

        PageSetup setup;
        setup.data_folder = DataFolder::at(data_);
        setup.mouse.hid = mouse->shared_receiver();
        setup.mouse.wired_driver = mouse->shared_wired_driver();
        if (options.demo_until_real) {
            auto hid = std::make_shared<DemoHidBackend>(mouse->shared_receiver(), real->shared_receiver());
            setup.mouse.hid = hid;
            setup.mouse.wired_driver = real->shared_wired_driver();
            setup.mouse.demo_mouse = mouse;
            setup.mouse.demo_heartbeat_ms = 60000;
            setup.mouse.leave_demo = [hid] { hid->use_real(); };
            setup.mouse.start_device_monitor = [this](DeviceChangeQueue& queue, std::function<void()> notify) -> std::shared_ptr<void> {
                changes = &queue;
                changed = std::move(notify);
                return nullptr;
            };
        }
        setup.mouse.clock = &clock;
        setup.executor = &exec;
        setup.choose_color = options.choose_color;
        setup.find_mouse_settings = [command = options.mouse_settings] { return command; };
        setup.launch_mouse_settings = [this](const page::MouseSettingsCommand& command) {
            launched.push_back(command);
            return true;
        };
        // Message boxes are recorded and answered from `answers` (no by default).
        setup.message_box = [this](QWidget*, const QString& key, bool confirm) {
            messages.push_back(key);
            if (during_question) std::exchange(during_question, nullptr)();
            if (!confirm) return 1;
            if (answers.empty()) return 0;
            const int a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
        // Dialogs are built and shown, then answered by the test through
        // their controls; without an answer they are cancelled.
        setup.run_dialog = [this](ui::SkinWindow& dialog) {
            if (!dialog.IsCreated()) dialog.Create(wnd.get(), ui::kStyleDialog | ui::kStyleTool);
            dialog.ShowWindow(true, true);
            pump();
            if (!answer_dialog) return 0;
            auto answer = std::exchange(answer_dialog, nullptr);
            answer(dialog);
            pump();
            return dialog.ModalResult();
        };
        setup.choose_file = [this](const ui::FileChoice& choice) {
            file_choices.push_back(choice);
            file_dialog_counted.push_back(page->dialog_open());
            return chosen_file;
        };
        auto owned = std::make_unique<CMS_1_Page>(std::move(setup));
        page = owned.get();
        wnd = std::make_unique<CMainWnd>(std::move(owned));
        wnd->SetHookSearchDirs({});
        ConnectMousePage(*wnd, *page);
        // Counted on their way to the engine.
        page->session().add_observer(&request_counter_);
        auto manual = std::make_unique<ui::ManualTimerService>();
        timers = manual.get();
        wnd->SetTimerService(std::move(manual));
        wnd->CreateMain();
        wnd->ShowWindow(true, false);
        settle();
        // Loading the library asks for a full apply; tests count from here.
        startup_apply_requests = std::exchange(apply_requests, 0);
        startup_reports = mouse->reports().size();
        mouse->clear_log();
    }
    ~PageHarness() {
        wnd.reset();
        pump();
        ui::TrayIcon::SetAvailabilityOverride(std::nullopt);
    }
    PageHarness(const PageHarness&) = delete;
    PageHarness& operator=(const PageHarness&) = delete;

    template <class T = QWidget>
    T* ctl(const QString& name) const {
        return wnd->FindControl<T>(name);
    }
    QAbstractButton* button(const QString& name) const { return ctl<QAbstractButton>(name); }
    void click(const QString& name) {
        QAbstractButton* b = button(name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        b->click();
        pump();
    }
    // Fires a running timer of the main window; false when it is not running.
    bool fire(int id) {
        const bool fired = timers->fire(id);
        pump();
        return fired;
    }
    // Fires a running timer of the mouse session by its name.
    bool fire(const char* timer) {
        const bool fired = exec.fire(timer);
        pump();
        return fired;
    }
    // Fires the pause after an edit that waits for its apply; false when no
    // apply waits.
    bool fire_apply_delay() {
        const bool fired = exec.fire("apply delay");
        pump();
        return fired;
    }
    // Lets posted messages, queued applies and their follow-ups run out.
    void settle() {
        pump();
        if (page->engine()) page->engine()->wait_idle();
        pump();
    }
    ProfileRecord profile() const { return page->current_profile(); }
    void edit(const std::function<void(ProfileRecord&)>& change) {
        std::lock_guard<std::mutex> lock(page->store().mutex());
        change(page->store().current());
    }
    // The selected profile as the library file holds it now.
    ProfileRecord profile_on_disk() const {
        ProfileLibrary library;
        MapTextLookup texts;
        library.load(data_ / "ms_1" / "pro.data", texts);
        return library.at(static_cast<std::size_t>(library.selected_profile_index()));
    }
    std::filesystem::path data_folder() const { return data_; }
    // What the udev watch reports when the real mouse's receiver comes or goes.
    void device_change(bool arrival, const std::string& devnode = FakeReceiverBackend::kCommandPath) {
        changes->push(testing::hidraw_change(arrival, devnode));
        changed();
        pump();
    }

    QTemporaryDir dir_;
    std::filesystem::path data_;
    ManualClock clock;
    std::shared_ptr<VirtualMouse> mouse = std::make_shared<VirtualMouse>(clock);
    std::shared_ptr<VirtualMouse> real = std::make_shared<VirtualMouse>(clock);
    DeviceChangeQueue* changes = nullptr;
    std::function<void()> changed;  // the device watch's word to the links
    CMS_1_Page* page = nullptr;
    ManualExecutor exec;  // the session's tasks and timers
    std::unique_ptr<CMainWnd> wnd;
    ui::ManualTimerService* timers = nullptr;
    int apply_requests = 0;
    struct RequestCounter : MouseObserver {
        explicit RequestCounter(int& n) : count(n) {}
        void apply_requested() override { ++count; }
        int& count;
    } request_counter_{apply_requests};
    std::vector<QString> messages;              // message boxes shown, by key
    std::vector<int> answers;                   // answers to the next confirmations
    std::function<void()> during_question;      // acts while the next message box is up
    std::function<void(ui::SkinWindow&)> answer_dialog;  // acts on the next dialog
    std::vector<ui::FileChoice> file_choices;
    std::vector<bool> file_dialog_counted;      // whether the page knew each file dialog open
    QString chosen_file;                        // what the file dialog returns
    int startup_apply_requests = 0;
    std::size_t startup_reports = 0;
    std::vector<page::MouseSettingsCommand> launched;
};

}  // namespace vantorel::test
