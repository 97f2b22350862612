// vantorelctl report KIND --profile-file FILE [--slot N]
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "commands.h"
#include "core/hex.h"
#include "core/reports.h"

namespace vantorel::cli {
namespace {

bool read_profile_file(const std::string& path, ProfileRecord& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return false;
    }
    std::vector<Byte> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read '" + path + "'";
        return false;
    }
    if (!out.assign(bytes)) {
        error = "'" + path + "' is " + std::to_string(bytes.size()) + " bytes; a profile file is exactly " +
                std::to_string(ProfileRecord::kSize) + " bytes";
        return false;
    }
    return true;
}

}  // namespace

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
        std::string error;
        if (!read_profile_file(opts->file, record, error)) {
            print_error(error);
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
