// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "core/trace.h"
#include "item_choice.h"
#include "library/data_folder.h"

namespace vantorel::cli {

void print_error(const std::string& message) { std::cerr << "vantorelctl: " << message << '\n'; }

namespace {

// The word of `words` nearest to `typed`, when it is near enough to be
// what was meant (a typing slip, not another word); empty otherwise.
std::string nearest(const std::string& typed, const std::vector<std::string>& words) {
    std::string best;
    std::size_t best_distance = std::max<std::size_t>(2, typed.size() / 3) + 1;
    for (const std::string& w : words) {
        const std::size_t d = edit_distance(typed, w);
        if (d < best_distance) best_distance = d, best = w;
    }
    return best;
}

// An argument of the command line the parser could not place: an unknown
// command or option is said as such, with the nearest one. False when the
// parse failed for another reason.
bool explain_unplaced(const CLI::App& app) {
    const CLI::App* command = &app;
    for (;;) {
        const auto parsed = command->get_subcommands();
        if (parsed.empty()) break;
        command = parsed.front();
    }
    const std::vector<std::string> left = app.remaining(true);
    if (left.empty()) return false;
    const std::string& typed = left.front();
    std::string path = "vantorelctl";
    std::vector<const CLI::App*> chain;
    for (const CLI::App* c = command; c && c != &app; c = c->get_parent()) chain.insert(chain.begin(), c);
    for (const CLI::App* c : chain) path += " " + c->get_name();
    std::vector<std::string> words;
    std::string what;
    if (typed.starts_with("-")) {
        what = "option";
        for (const CLI::App* c = command; c; c = c->get_parent())
            for (const CLI::Option* o : c->get_options()) {
                for (const std::string& n : o->get_lnames()) words.push_back("--" + n);
                for (const std::string& n : o->get_snames()) words.push_back("-" + n);
            }
    } else if (!command->get_subcommands([](const CLI::App*) { return true; }).empty()) {
        what = "command";
        for (const CLI::App* c : command->get_subcommands([](const CLI::App*) { return true; }))
            words.push_back(c->get_name());
    } else {
        return false;
    }
    const std::string near = nearest(typed.substr(0, typed.find('=')), words);
    print_error("unknown " + what + " \"" + typed + "\" for " + path +
                (near.empty() ? std::string() : " (did you mean \"" + near + "\"?)") + "; " + path +
                " --help lists the " + what + "s");
    return true;
}

}  // namespace

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
        if (!folder.status()) return "Data folder: none (" + folder.status().message() + ")\n" + kExitCodes;
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
    register_auto_commands(app, global);
    register_apply_command(app, global);
    register_devices_command(app, global);
    register_monitor_command(app, global);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end well; every other parse error is a usage error.
        // An argument left over (or a command missing because a word was
        // not one) is said with the nearest command or option.
        const bool unplaced = dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr ||
                              (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr &&
                               std::string(e.what()).find("subcommand") != std::string::npos);
        if (unplaced && explain_unplaced(app)) return kExitUsage;
        const int status = app.exit(e);
        return status == 0 ? kExitOk : kExitUsage;
    }
    return global.exit_code;
}
