// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "core/trace.h"
#include "library/data_folder.h"

namespace vantorel::cli {

void print_error(const std::string& message) { std::cerr << "vantorelctl: " << message << '\n'; }

}  // namespace vantorel::cli

int main(int argc, char** argv) {
    using namespace vantorel::cli;
    CLI::App app{"QV Vantorel command-line tool: change settings, buttons, profiles and macros, look at the mouse and "
                 "its links, build reports. `vantorelctl COMMAND --help` tells more.",
                 "vantorelctl"};
    app.set_version_flag("--version", std::string("vantorelctl ") + VANTOREL_VERSION);
    app.require_subcommand(1);
    GlobalOptions global;
    app.add_option("--data-dir", global.data_dir, "Folder holding CONFIG.ini and ms_1/ (default: the usual data folder)")
        ->check(CLI::Validator(
            [](std::string& dir) { return dir.empty() ? std::string("--data-dir needs a folder") : std::string(); },
            "DIR"));
    app.add_flag("-v,--verbose", global.verbose, "Print diagnostics on standard error");
    static const std::string kExitCodes =
        "\nExit status: 0 success, 1 the operation failed, 2 a usage error (bad arguments, values or files),\n"
        "3 the mouse is not reachable (absent, or no permission: see the udev rule installed with the program)";
    app.footer([] {
        const vantorel::DataFolder folder = vantorel::DataFolder::locate(vantorel::DataFolder::Create::Never);
        if (!folder.status()) return "Data folder: none (" + folder.status().message + ")\n" + kExitCodes;
        return "Data folder: " + folder.path().string() + (folder.portable() ? " (beside the program)" : "") +
               "\n(--data-dir or QV_VANTOREL_DATA_DIR chooses another)\n" + kExitCodes;
    });
    app.parse_complete_callback([&] {
        if (global.verbose) vantorel::set_trace_enabled(true);
    });

    register_report_command(app, global);
    register_library_commands(app, global);
    register_settings_commands(app, global);
    register_edit_commands(app, global);
    register_status_commands(app, global);
    register_apply_command(app, global);
    register_devices_command(app, global);
    register_monitor_command(app, global);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end well; every other parse error is a usage error.
        const int status = app.exit(e);
        return status == 0 ? kExitOk : kExitUsage;
    }
    return global.exit_code;
}
