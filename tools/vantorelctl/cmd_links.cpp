// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl devices [--json] [--simulate[=wired|wireless|ble]] [--wait SECONDS]
// vantorelctl monitor [--json] [--simulate[=wired|wireless|ble]] [--duration SECONDS]
//
// `devices` brings the links up for a moment and tells, for the receiver, the
// cable and Bluetooth LE, whether the device is there, whether we may open it
// and whether the mouse answered on it. `monitor` keeps the links up and
// prints every event the mouse reports, one line each, until Ctrl+C.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cmath>
#include <iostream>
#include <thread>

#include "commands.h"
#include "core/clock.h"
#include "link_session.h"
#include "link_text.h"

namespace vantorel::cli {

CLI::Option* add_simulate_option(CLI::App* cmd, std::string& simulate) {
    return cmd
        ->add_flag("--simulate{wireless}", simulate,
                   "Talk to the virtual mouse over this link instead of the real ones: wired, wireless (the default) "
                   "or ble")
        ->check(CLI::IsMember({"wired", "wireless", "ble"}));
}

std::optional<ConnectionMode> simulated_link(const std::string& name) {
    if (name == "wired") return ConnectionMode::Wired;
    if (name == "wireless") return ConnectionMode::Wireless;
    if (name == "ble") return ConnectionMode::Ble;
    return std::nullopt;
}

static CLI::Validator finite_seconds() {
    // A range check alone lets "nan" through (every comparison with it is
    // false); "inf" would overflow the conversion to a duration.
    return CLI::Validator(
        [](std::string& text) -> std::string {
            try {
                std::size_t used = 0;
                const double v = std::stod(text, &used);
                if (used == text.size() && std::isfinite(v)) return {};
            } catch (const std::exception&) {
            }
            return "\"" + text + "\" is not a number of seconds";
        },
        "SECONDS");
}

CLI::Option* add_wait_option(CLI::App* cmd, double& seconds, const char* what) {
    return cmd->add_option("--wait", seconds, what)
        ->check(finite_seconds())
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
}

namespace {

Millis to_millis(double seconds) { return Millis(static_cast<long long>(seconds * 1000.0 + 0.5)); }

std::unique_ptr<LinkSession> make_session(const std::string& simulate, ProfileSource* profiles = nullptr) {
    LinkSession::Options options;
    options.simulate = simulated_link(simulate);
    options.profiles = profiles;
    std::string error;
    auto session = LinkSession::create(options, &error);
    if (!session) print_error(error);
    return session;
}

// ---------------------------------------------------------------------------
// devices

struct DevicesOptions {
    bool json = false;
    std::string simulate;
    double wait = 2.0;
};

int run_devices(const DevicesOptions& opts) {
    auto session = make_session(opts.simulate);
    if (!session) return 2;
    session->start();
    // The receiver is identified by the mouse's first report; the cable and
    // Bluetooth LE are decided at start.
    session->run_until([&] { return session->settled(); }, to_millis(opts.wait));
    const auto reports = session->link_reports();
    const ConnectionMode active = session->usable_link();
    session->shutdown();

    if (opts.json) {
        std::cout << devices_json(reports, active, session->simulated()).dump(2) << '\n';
    } else {
        std::cout << devices_text(reports, active);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// monitor

struct MonitorOptions {
    bool json = false;
    std::string simulate;
    double duration = 0;  // 0: until Ctrl+C
};

// SIGINT and SIGTERM, blocked in every thread and taken by one waiting
// thread, which only asks the session to stop: nothing runs in a signal
// handler.
class SignalWaiter {
public:
    SignalWaiter() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        // Before any thread starts, so that every thread inherits the mask.
        pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    }
    ~SignalWaiter() {
        finish();
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SignalWaiter(const SignalWaiter&) = delete;
    SignalWaiter& operator=(const SignalWaiter&) = delete;

    void start(LinkSession& session) {
        thread_ = std::thread([this, &session] {
            const timespec slice{0, 200 * 1000 * 1000};
            while (!finishing_.load()) {
                const int sig = sigtimedwait(&signals_, nullptr, &slice);
                if (sig == SIGINT || sig == SIGTERM) {
                    session.stop();
                    return;
                }
            }
        });
    }
    void finish() {
        finishing_.store(true);
        if (thread_.joinable()) thread_.join();
    }

private:
    sigset_t signals_{};
    sigset_t previous_{};
    std::atomic<bool> finishing_{false};
    std::thread thread_;
};

int run_monitor(const MonitorOptions& opts) {
    SignalWaiter signals;
    auto session = make_session(opts.simulate);
    if (!session) return 2;
    signals.start(*session);

    const bool json = opts.json;
    session->set_link_observer([json](ConnectionMode link, bool up) {
        if (json) std::cout << link_change_json(link, up).dump() << std::endl;
        else std::cout << link_change_text(link, up) << std::endl;
    });
    session->set_event_observer([json](ConnectionMode link, const DeviceEvent& e) {
        if (json) std::cout << event_json(link, e).dump() << std::endl;
        else std::cout << event_text(link, e) << std::endl;
    });
    session->start();
    // The virtual mouse shows what a press of its DPI button looks like; its
    // battery report came with the start.
    if (SimulatedMouse* mouse = session->mouse()) mouse->press_dpi_stage(2);

    if (!session->simulated()) {
        const auto reports = session->link_reports();
        bool any = false;
        for (const LinkReport& r : reports) any = any || r.present;
        if (!any) print_error("no mouse found yet; waiting for the receiver, the cable or Bluetooth LE (Ctrl+C ends)");
        const std::string advice = permission_advice(reports);
        if (!advice.empty()) print_error(advice);
    }

    const Millis limit = opts.duration > 0 ? to_millis(opts.duration) : Millis(std::chrono::hours(24 * 365));
    session->run_until(nullptr, limit);
    session->shutdown();
    signals.finish();
    return 0;
}

}  // namespace

void register_devices_command(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand("devices", "Show the mouse's receiver, cable and Bluetooth LE links and their state");
    auto opts = std::make_shared<DevicesOptions>();
    cmd->add_flag("--json", opts->json, "Print the links as one JSON object");
    add_simulate_option(cmd, opts->simulate);
    add_wait_option(cmd, opts->wait, "Longest time, in seconds, to wait for the mouse to report on the receiver");
    cmd->callback([opts, &global] { global.exit_code = run_devices(*opts); });
}

void register_monitor_command(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand("monitor", "Print the mouse's events (battery, DPI stage, polling rate, light "
                                              "effect, acknowledge, links up and down) as they come, until Ctrl+C");
    auto opts = std::make_shared<MonitorOptions>();
    cmd->add_flag("--json", opts->json, "Print one JSON object per line");
    add_simulate_option(cmd, opts->simulate);
    cmd->add_option("--duration", opts->duration, "End after this many seconds")
        ->check(finite_seconds())
        ->check(CLI::Range(0.0, 1e7));
    cmd->callback([opts, &global] { global.exit_code = run_monitor(*opts); });
}

}  // namespace vantorel::cli
