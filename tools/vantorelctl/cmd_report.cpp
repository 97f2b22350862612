// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl report KIND --profile-file FILE [--slot N]
#include <iostream>
#include <vector>

#include "commands.h"
#include "core/hex.h"
#include "core/reports.h"
#include "library/transfer.h"

namespace vantorel::cli {

void register_report_command(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand("report", "Print the configuration report bytes a profile file gives");
    struct Options {
        std::string kind;
        std::string file;
        int slot = 0;
    };
    auto opts = std::make_shared<Options>();
    cmd->add_option("kind", opts->kind, "start, dpi, light, polling, buttons or macro")
        ->required()
        ->check(CLI::IsMember({"start", "dpi", "light", "polling", "buttons", "macro"}));
    cmd->add_option("--profile-file", opts->file, "A .pro file (one 43,936-byte profile)")->required();
    cmd->add_option("--slot", opts->slot, "Button slot for the macro report, 0-based")->check(CLI::Range(0, 17));
    cmd->callback([opts, &global] {
        ProfileRecord record;
        if (Status read = read_profile_file(opts->file, record); !read) {
            print_error(read.message());
            global.exit_code = 2;
            return;
        }
        std::vector<Report> reports;
        if (opts->kind == "start") reports.push_back(build_start_report());
        else if (opts->kind == "dpi") reports.push_back(build_dpi_report(record));
        else if (opts->kind == "light") reports.push_back(build_light_report(record));
        else if (opts->kind == "polling") reports.push_back(build_polling_report(record));
        else if (opts->kind == "buttons") reports.push_back(build_buttons_report(record));
        else reports = build_macro_blocks(record, opts->slot);
        for (const Report& r : reports) std::cout << to_hex(r.bytes()) << '\n';
    });
}

}  // namespace vantorel::cli
