// Sub-commands of vantorelctl. Each group registers its commands on the app;
// the callbacks set `exit_code` and print their results.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

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

}  // namespace vantorel::cli
