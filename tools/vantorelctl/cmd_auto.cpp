// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl auto status [--json] | on | off | bind PROFILE APP... |
//                  unbind PROFILE [APP...] | fallback PROFILE|none
//
// Profiles that follow the application: the bindings in the data folder's
// "app-profiles.conf". A change is made under the library lock and, when
// the desktop program runs, its hold; the program then reloads.
#include <iostream>
#include <nlohmann/json.hpp>

#include "auto/app_bindings.h"
#include "core/text.h"
#include "edit_support.h"
#include "library/program_mark.h"
#include "library_access.h"

namespace vantorel::cli {

using nlohmann::json;

namespace {

// Loads the bindings of `folder`, printing what was wrong with the file.
AppBindings load_bindings(const DataFolder& folder, LoadMode mode) {
    AppBindings bindings;
    const LoadReport report = bindings.load(app_bindings_file(folder), {}, mode);
    for (const std::string& problem : report.problems) print_error(problem);
    return bindings;
}

json status_json(const AppBindings& bindings, ProfileStore* store, const DataFolder& folder) {
    auto exists = [store](std::u16string_view name) { return store && name_exists(store->profiles(), name); };
    json profiles = json::array();
    std::vector<std::u16string> seen;
    for (const AppBinding& b : bindings.bindings()) {
        bool known = false;
        for (const auto& s : seen) known = known || equals_ignore_case(s, b.profile);
        if (known) continue;
        seen.push_back(b.profile);
        profiles.push_back(
            {{"profile", to_utf8(b.profile)}, {"apps", bindings.apps_of(b.profile)}, {"exists", exists(b.profile)}});
    }
    const ProgramProbe probe = probe_program(std::filesystem::absolute(folder.path()));
    std::string detector = "unknown (the program is not running)";
    if (probe.state == ProgramProbe::State::Running) {
        std::string why;
        const std::optional<std::string> told = GuiLink::ask_auto(probe.socket, &why);
        detector = told ? *told : "unknown (the running program did not say: " + why + ")";
    }
    json out = {{"switching", bindings.switching()},
                {"switching_chosen", bindings.switching_chosen()},
                {"fallback", nullptr},
                {"detector", detector},
                {"bindings", profiles}};
    if (bindings.fallback())
        out["fallback"] = {{"profile", to_utf8(*bindings.fallback())}, {"exists", exists(*bindings.fallback())}};
    return out;
}

void print_status(const json& s) {
    const bool on = s["switching"].get<bool>();
    std::cout << "Switching: " << (on ? "on" : "off");
    if (!s["switching_chosen"].get<bool>())
        std::cout << (on ? " (on since a profile is bound; vantorelctl auto off turns it off)"
                         : " (off until a profile is bound; vantorelctl auto on turns it on)");
    std::cout << '\n';
    const auto missing = [](const json& j) { return j["exists"].get<bool>() ? "" : " (no such profile)"; };
    std::cout << "Fallback:  ";
    if (s["fallback"].is_null()) std::cout << "none (the profile current before a switch returns)\n";
    else std::cout << s["fallback"]["profile"].get<std::string>() << missing(s["fallback"]) << '\n';
    std::cout << "Detector:  " << s["detector"].get<std::string>() << '\n';
    if (s["bindings"].empty()) {
        std::cout << "Bindings:  none (vantorelctl auto bind PROFILE APP... adds them)\n";
        return;
    }
    std::cout << "Bindings:\n";
    for (const json& p : s["bindings"]) {
        std::cout << "  " << p["profile"].get<std::string>() << missing(p) << ':';
        for (const json& app : p["apps"]) std::cout << ' ' << app.get<std::string>();
        std::cout << '\n';
    }
}

struct AutoOptions {
    std::string profile;
    std::vector<std::string> apps;
    bool by_name = false;
    bool json = false;
};

enum class AutoOp { On, Off, Bind, Unbind, Fallback };

int run_status(const AutoOptions& opts, const GlobalOptions& global) {
    const DataFolder folder = command_data_folder(global, DataFolder::Create::Never);
    if (!folder.status()) {
        print_error(folder.status().message());
        return kExitFailed;
    }
    // The profiles only say which bound ones exist; a missing library is no
    // reason to fail here.
    std::unique_ptr<ProfileStore> store;
    if (std::filesystem::exists(folder.profile_file())) store = open_store(global, LoadMode::ReadOnly);
    const json s = status_json(load_bindings(folder, LoadMode::ReadOnly), store.get(), folder);
    if (opts.json) std::cout << s.dump(2) << '\n';
    else print_status(s);
    return kExitOk;
}

int run_change(AutoOp op, const AutoOptions& opts, const GlobalOptions& global) {
    auto edit = LibraryEdit::open(global);
    if (!edit) return kExitFailed;
    ProfileStore& store = edit->store();
    AppBindings bindings = load_bindings(store.folder(), LoadMode::Repair);
    std::u16string profile;
    const bool needs_profile =
        op == AutoOp::Bind || op == AutoOp::Unbind || (op == AutoOp::Fallback && (opts.by_name || opts.profile != "none"));
    if (needs_profile) {
        std::lock_guard<std::mutex> lock(store.mutex());
        const std::u16string typed = to_utf16(opts.profile);
        // A profile that is gone can still lose the bindings left to it.
        if (op == AutoOp::Unbind && !bindings.apps_of(typed).empty() && !name_exists(store.profiles(), typed)) {
            profile = typed;
        } else {
            const auto index = find_profile(store, opts.profile, opts.by_name);
            if (!index) return store.profiles().empty() ? kExitFailed : kExitUsage;
            profile = store.profiles()[*index].profile_name();
        }
    }
    const std::string shown = "\"" + to_utf8(profile) + "\"";
    switch (op) {
        case AutoOp::On:
        case AutoOp::Off:
            bindings.set_switching(op == AutoOp::On);
            std::cout << "profiles now " << (op == AutoOp::On ? "follow" : "no longer follow") << " the application\n";
            break;
        case AutoOp::Bind:
            for (const std::string& app : opts.apps) {
                if (const Status s = check_app_name(app); !s) {
                    print_error(s.message() + "; nothing changed");
                    return kExitUsage;
                }
            }
            for (const std::string& app : opts.apps) {
                std::optional<std::u16string> before;
                for (const AppBinding& b : bindings.bindings())
                    if (equals_ignore_case(to_utf16(b.app), to_utf16(app))) before = b.profile;
                bindings.bind(profile, app);
                std::cout << "bound " << app << " to profile " << shown;
                if (before && !equals_ignore_case(*before, profile))
                    std::cout << " (it followed \"" << to_utf8(*before) << "\" before)";
                std::cout << '\n';
            }
            if (!bindings.switching())
                std::cout << "note: switching is off; vantorelctl auto on turns it on\n";
            break;
        case AutoOp::Unbind: {
            if (opts.apps.empty()) {
                const std::size_t n = bindings.unbind_all(profile);
                std::cout << "unbound " << n << (n == 1 ? " application" : " applications") << " from profile " << shown
                          << '\n';
                break;
            }
            for (const std::string& app : opts.apps) {
                if (!bindings.unbind(profile, app)) {
                    print_error(app + " is not bound to profile " + shown + "; nothing changed");
                    return kExitUsage;
                }
            }
            std::cout << "unbound from profile " << shown << ":";
            for (const std::string& app : opts.apps) std::cout << ' ' << app;
            std::cout << '\n';
            break;
        }
        case AutoOp::Fallback:
            if (profile.empty()) {
                bindings.set_fallback(std::nullopt);
                std::cout << "no fallback profile: the profile current before a switch returns\n";
            } else {
                bindings.set_fallback(profile);
                std::cout << "fallback profile: " << shown << '\n';
            }
            break;
    }
    if (!edit->may_write()) return kExitFailed;
    if (const Status saved = bindings.save(app_bindings_file(store.folder())); !saved) {
        print_error("could not save the application bindings: " + saved.message());
        return kExitFailed;
    }
    // The running program reloads the files, this one among them.
    edit->saved(ApplyNeed::None);
    return kExitOk;
}

}  // namespace

bool bindings_follow_profile(LibraryEdit& edit, std::u16string_view old_name, const std::u16string* new_name) {
    const DataFolder& folder = edit.store().folder();
    if (!std::filesystem::exists(app_bindings_file(folder))) return true;
    AppBindings bindings = load_bindings(folder, LoadMode::Repair);
    const bool changed = new_name ? bindings.profile_renamed(old_name, *new_name) : bindings.profile_removed(old_name);
    if (!changed) return true;
    if (!edit.may_write()) return false;
    if (const Status saved = bindings.save(); !saved) {
        print_error("could not save the application bindings: " + saved.message() + "; nothing changed");
        return false;
    }
    return true;
}

void register_auto_commands(CLI::App& app, GlobalOptions& global) {
    auto* group = app.add_subcommand("auto", "Profiles that follow the focused application or a running program");
    group->require_subcommand(1);
    const struct {
        const char* name;
        AutoOp op;
        const char* help;
    } operations[] = {
        {"on", AutoOp::On, "Switch profiles automatically"},
        {"off", AutoOp::Off, "Stop switching profiles automatically (it stays off whatever is bound later)"},
        {"bind", AutoOp::Bind, "Let a profile follow applications: application ids (any letter case) or exe:NAME"},
        {"unbind", AutoOp::Unbind, "Unbind applications from a profile (all of them when none is named)"},
        {"fallback", AutoOp::Fallback, "The profile that returns when focus moves to an unbound application, or none"},
    };
    const char* which = "A whole number is an index (0-based, as profile list shows it), anything else a name";

    auto status_opts = std::make_shared<AutoOptions>();
    auto* status = group->add_subcommand("status", "Show whether profiles switch, the bindings and the fallback");
    status->add_flag("--json", status_opts->json, "Print JSON");
    status->callback([&global, status_opts] { global.exit_code = run_status(*status_opts, global); });

    for (const auto& operation : operations) {
        auto* cmd = group->add_subcommand(operation.name, operation.help);
        auto opts = std::make_shared<AutoOptions>();
        const AutoOp op = operation.op;
        if (op == AutoOp::Bind || op == AutoOp::Unbind || op == AutoOp::Fallback) {
            cmd->add_option("PROFILE", opts->profile,
                            op == AutoOp::Fallback ? std::string(which) + "; none: no fallback" : which)
                ->required();
            cmd->add_flag("--name", opts->by_name, "Take PROFILE as a name even when it is a number (or \"none\")");
        }
        if (op == AutoOp::Bind)
            cmd->add_option("APP", opts->apps, "An application id (e.g. firefox) or exe:NAME (e.g. exe:Game.exe)")
                ->required();
        if (op == AutoOp::Unbind) cmd->add_option("APP", opts->apps, "The applications to unbind (default: all)");
        cmd->callback([op, opts, &global] { global.exit_code = run_change(op, *opts, global); });
    }
}

}  // namespace vantorel::cli
