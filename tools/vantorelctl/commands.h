// SPDX-License-Identifier: GPL-2.0-or-later
// Sub-commands of vantorelctl. Each group registers its commands on the app;
// the callbacks set `exit_code` and print their results.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "device/link_state.h"

namespace vantorel::cli {

struct GlobalOptions {
    std::string data_dir;  // --data-dir; empty = the usual data folder
    bool verbose = false;
    int exit_code = 0;
};

// Prints "vantorelctl: <message>" on standard error.
void print_error(const std::string& message);

void register_report_command(CLI::App& app, GlobalOptions& global);
void register_library_commands(CLI::App& app, GlobalOptions& global);
void register_apply_command(CLI::App& app, GlobalOptions& global);
void register_devices_command(CLI::App& app, GlobalOptions& global);
void register_monitor_command(CLI::App& app, GlobalOptions& global);

// Options shared by the commands that talk to the mouse.
// --simulate[=wired|wireless|ble]: the virtual mouse on that link (wireless
// when no link is named); left empty, the real links are used.
CLI::Option* add_simulate_option(CLI::App* cmd, std::string& simulate);
// The link a --simulate value names; nullopt for the empty value.
std::optional<ConnectionMode> simulated_link(const std::string& name);
// --wait SECONDS: how long to wait for the mouse to show up.
CLI::Option* add_wait_option(CLI::App* cmd, double& seconds, const char* what);

}  // namespace vantorel::cli
