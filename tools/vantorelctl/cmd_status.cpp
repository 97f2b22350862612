// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl status [--json] [--simulate[=LINK]] [--wait SECONDS]
// vantorelctl battery [--simulate[=LINK]] [--wait SECONDS]
//
// The links to the mouse, its battery as it last reported it, and from the
// library the selected profile and its active DPI stage. The battery comes
// with the mouse's reports: a mouse on the receiver reports it at once, one
// on the cable or Bluetooth LE may not, and then it is unknown.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "commands.h"
#include "core/text.h"
#include "core/trace.h"
#include "library/program_mark.h"
#include "library_access.h"
#include "library_edit.h"
#include "link_session.h"
#include "link_text.h"

namespace vantorel::cli {
namespace {

struct StatusOptions {
    bool json = false;
    std::string simulate;
    double wait = 2.0;
};

struct Battery {
    int percent = -1;  // -1: not reported
    std::string state;
};

int print_status(const StatusOptions& opts, const GlobalOptions& global, bool battery_only, ConnectionMode active,
                 const std::optional<Battery>& battery, const nlohmann::json& links, const std::string& missing);

// While the desktop program runs on the data folder it owns the mouse: it is
// asked, and the device is left alone. Nothing when it does not run there,
// cannot be asked, or has no mouse of the user's itself.
std::optional<MouseReply> ask_running_program(const GlobalOptions& global) {
    const DataFolder folder = command_data_folder(global, DataFolder::Create::Never);
    if (!folder.status()) return std::nullopt;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder.path(), ec);
    if (ec) return std::nullopt;
    const ProgramProbe probe = probe_program(absolute);
    if (probe.state != ProgramProbe::State::Running) return std::nullopt;
    std::string why;
    std::optional<MouseReply> reply = GuiLink::ask_mouse(probe.socket, &why);
    if (!reply) trace("status: QV Vantorel runs on the data folder but could not be asked: %s\n", why.c_str());
    if (reply && reply->link == "none") return std::nullopt;
    return reply;
}

ConnectionMode link_of(const std::string& word) {
    if (word == "wired") return ConnectionMode::Wired;
    if (word == "wireless") return ConnectionMode::Wireless;
    if (word == "ble") return ConnectionMode::Ble;
    return ConnectionMode::None;
}

int run_status(const StatusOptions& opts, const GlobalOptions& global, bool battery_only) {
    LinkSession::Options options;
    options.simulate = simulated_link(opts.simulate);
    std::optional<MouseReply> program;
    if (!options.simulate) program = ask_running_program(global);
    if (program) {
        std::optional<Battery> battery;
        if (program->percent >= 0)
            battery = Battery{program->percent,
                              program->charging ? "charging" : program->percent == 100 ? "full" : "discharging"};
        return print_status(opts, global, battery_only, link_of(program->link), battery, nullptr, std::string());
    }
    std::string error;
    auto session = LinkSession::create(options, &error);
    if (!session) {
        print_error(error);
        return kExitUsage;
    }
    std::optional<Battery> battery;
    session->set_event_observer([&](ConnectionMode, const DeviceEvent& e) {
        if (e.code() != kEventBattery) return;
        const nlohmann::json j = event_json(ConnectionMode::None, e);
        Battery b;
        if (j["percent"].is_number()) b.percent = j["percent"].get<int>();
        b.state = j["state"].get<std::string>();
        battery = b;
    });
    session->start();
    session->run_until([&] { return battery.has_value(); },
                       Millis(static_cast<long long>(opts.wait * 1000.0 + 0.5)));
    const auto reports = session->link_reports();
    const ConnectionMode active = session->usable_link();
    session->shutdown();

    const std::string missing =
        active == ConnectionMode::None ? "no mouse found: " + missing_mouse_reason(reports, opts.wait) : std::string();
    return print_status(opts, global, battery_only, active, battery, devices_json(reports, active, session->simulated()),
                        missing);
}

// What status and battery print, from the links seen (`links`; null when the
// running program answered, as it owns them) or from the program's answer.
int print_status(const StatusOptions& opts, const GlobalOptions& global, bool battery_only, ConnectionMode active,
                 const std::optional<Battery>& battery, const nlohmann::json& links, const std::string& missing) {
    if (active == ConnectionMode::None && !(opts.json && !battery_only)) {
        print_error(missing);
        return kExitNoMouse;
    }
    if (battery_only) {
        if (!battery || battery->percent < 0) {
            print_error("the mouse has not reported its battery on the " + device_label(active));
            return kExitFailed;
        }
        std::cout << battery->percent << ' ' << battery->state << '\n';
        return kExitOk;
    }

    // The library is only read.
    std::unique_ptr<ProfileStore> store = open_store(global, LoadMode::ReadOnly);
    nlohmann::ordered_json j;
    j["links"] = links;
    if (active == ConnectionMode::None) {
        // JSON still, with the reason in it, and the status of no mouse.
        j["link"] = nullptr;
        j["reason"] = missing;
    } else {
        j["link"] = connection_mode_name(active);
    }
    if (battery && battery->percent >= 0) {
        j["battery"] = {{"percent", battery->percent},
                        {"state", battery->state},
                        {"charging", battery->state == "charging"}};
    } else {
        j["battery"] = nullptr;
    }
    if (store && !store->profiles().empty()) {
        std::lock_guard<std::mutex> lock(store->mutex());
        const ProfileRecord& r = store->current();
        const int stage = r.dpi_stage_index();
        j["profile"] = {{"index", store->selected()}, {"name", to_utf8(r.profile_name())}};
        j["active_stage"] = {{"stage", stage + 1}, {"dpi", dpi_display_value(r.dpi_value(stage))}};
    } else {
        j["profile"] = nullptr;
        j["active_stage"] = nullptr;
    }
    if (opts.json) {
        std::cout << j.dump(2) << '\n';
        if (active == ConnectionMode::None) print_error(missing);
        return active == ConnectionMode::None ? kExitNoMouse : kExitOk;
    }
    std::cout << "link: " << connection_mode_name(active) << " (" << device_label(active) << ")\n";
    if (j["battery"].is_null()) {
        std::cout << "battery: not reported\n";
    } else {
        std::cout << "battery: " << battery->percent << "%, " << battery->state << '\n';
    }
    if (!j["profile"].is_null()) {
        std::cout << "profile: " << j["profile"]["index"].get<std::size_t>() << " \""
                  << j["profile"]["name"].get<std::string>() << "\"\n";
        std::cout << "active stage: " << j["active_stage"]["stage"].get<int>() << " ("
                  << j["active_stage"]["dpi"].get<std::int64_t>() << " DPI)\n";
    }
    return kExitOk;
}

}  // namespace

void register_status_commands(CLI::App& app, GlobalOptions& global) {
    auto* status = app.add_subcommand(
        "status", "Show the link to the mouse, its battery, the selected profile and its active DPI stage");
    auto status_opts = std::make_shared<StatusOptions>();
    status->add_flag("--json", status_opts->json, "Print one JSON object");
    add_simulate_option(status, status_opts->simulate);
    add_wait_option(status, status_opts->wait, "Longest time, in seconds, to wait for the mouse's battery report");
    status->callback([status_opts, &global] { global.exit_code = run_status(*status_opts, global, false); });

    auto* battery = app.add_subcommand("battery", "Print the battery level in percent and its state, e.g. \"76 charging\"");
    auto battery_opts = std::make_shared<StatusOptions>();
    add_simulate_option(battery, battery_opts->simulate);
    add_wait_option(battery, battery_opts->wait, "Longest time, in seconds, to wait for the mouse's battery report");
    battery->callback([battery_opts, &global] { global.exit_code = run_status(*battery_opts, global, true); });
}

}  // namespace vantorel::cli
