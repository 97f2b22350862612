// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl set NAME=VALUE ... [--profile N|NAME] [--simulate[=LINK]] [--trace]
// vantorelctl get [NAME ...] [--profile N|NAME] [--json]
//
// `set` changes settings of a profile, saves the library and, for the
// selected profile, applies only the changed sections to the mouse, as the
// mouse page does after an edit.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "core/text.h"
#include "edit/settings_catalogue.h"
#include "edit_support.h"
#include "item_choice.h"
#include "library_access.h"
#include "settings_table.h"

namespace vantorel::cli {

void add_mouse_options(CLI::App* cmd, MouseOptions& opts) {
    add_simulate_option(cmd, opts.simulate);
    cmd->add_flag("--trace", opts.trace, "Print every transmission as it goes on the link: the link, then the bytes");
    opts.wait_option =
        add_wait_option(cmd, opts.wait,
                        "Longest time, in seconds, to wait for a link to the mouse to come up; given, also for a "
                        "mouse being plugged in (without it a change made with no receiver, cable or Bluetooth "
                        "device present is saved and the command ends at once)");
}

std::optional<std::size_t> find_profile(ProfileStore& store, const std::string& which, bool by_name) {
    const ProfileLibrary& lib = store.profiles();
    std::string error;
    const auto index =
        choose_item(lib.size(), [&lib](std::size_t i) { return lib[i].profile_name(); }, which, by_name, "profile", &error);
    if (!index) print_error(error);
    return index;
}

std::optional<std::size_t> find_macro(const MacroLibrary& macros, const std::string& which, bool by_name) {
    std::string error;
    const auto index = choose_item(
        macros.size(), [&macros](std::size_t i) { return macros[i].name(); }, which, by_name, "macro", &error);
    if (!index) print_error(error);
    return index;
}

std::optional<std::size_t> target_profile(ProfileStore& store, const std::string& which, bool by_name) {
    if (store.profiles().empty()) {
        print_error("the profile library holds no profile");
        return std::nullopt;
    }
    if (which.empty()) return store.selected();
    return find_profile(store, which, by_name);
}

int finish_edit(LibraryEdit& edit, const ProfileRecord& before, ApplyNeed need, bool macros_changed,
                const MouseOptions& mouse) {
    ProfileRecord record;
    {
        std::lock_guard<std::mutex> lock(edit.store().mutex());
        record = edit.store().current();
    }
    const bool gui = edit.gui_running();
    if (!edit.commit(macros_changed, need)) return kExitFailed;
    if (need == ApplyNeed::None) {
        std::cout << "saved; nothing the mouse holds changed\n";
        return kExitOk;
    }
    if (gui && mouse.simulate.empty()) {
        std::cout << "saved; the running QV Vantorel shows the change and sends it to the mouse\n";
        if (mouse.trace)
            std::cout << "(nothing to trace here: the running program owns the links; --simulate traces the "
                         "virtual mouse)\n";
        return kExitOk;
    }
    // The library is saved: the apply only sends.
    ReadOnlySource source(record);
    ApplyJob job{source, record, need == ApplyNeed::Full ? record : before};
    job.full = need == ApplyNeed::Full;
    job.simulate = mouse.simulate;
    job.trace = mouse.trace;
    job.wait = mouse.wait;
    job.wait_for_plug = mouse.wait_option != nullptr && mouse.wait_option->count() > 0;
    const int status = run_apply_job(job);
    if (status == kExitNoMouse)
        std::cerr << "vantorelctl: the change is saved; the mouse gets it with the next full apply "
                     "(vantorelctl apply --full, or the desktop program when it starts)\n";
    return status;
}

int change_library(const GlobalOptions& global, const MouseOptions& mouse, bool macros_changed,
                   const LibraryChange& change) {
    auto edit = LibraryEdit::open(global);
    if (!edit) return kExitFailed;
    ProfileStore& store = edit->store();
    ProfileRecord before;
    ApplyNeed need = ApplyNeed::None;
    {
        std::lock_guard<std::mutex> lock(store.mutex());
        if (!store.profiles().empty()) before = store.current();
        if (const int status = change(*edit, before, need); status != kExitOk) return status;
    }
    return finish_edit(*edit, before, need, macros_changed, mouse);
}

int change_profile(const GlobalOptions& global, const MouseOptions& mouse, const std::string& which, bool by_name,
                   const ProfileChange& change) {
    return change_library(global, mouse, false, [&](LibraryEdit& edit, const ProfileRecord&, ApplyNeed& need) {
        ProfileStore& store = edit.store();
        const auto index = target_profile(store, which, by_name);
        if (!index) return store.profiles().empty() ? kExitFailed : kExitUsage;
        if (const int status = change(store, store.profiles()[*index]); status != kExitOk) return status;
        if (*index == store.selected()) need = ApplyNeed::Changed;
        else std::cout << "the profile is not the selected one, so nothing goes to the mouse\n";
        return kExitOk;
    });
}

namespace {

struct SetOptions {
    std::vector<std::string> assignments;
    std::string profile;
    bool by_name = false;  // --name: --profile is a name even when it is a number
    MouseOptions mouse;
};

int run_set(const SetOptions& opts, const GlobalOptions& global) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& a : opts.assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            print_error("expected NAME=VALUE, got \"" + a + "\"");
            return kExitUsage;
        }
        pairs.emplace_back(a.substr(0, eq), a.substr(eq + 1));
    }
    return change_profile(global, opts.mouse, opts.profile, opts.by_name, [&](ProfileStore&, ProfileRecord& profile) {
        // Every assignment is checked before anything is written.
        ProfileRecord edited = profile;
        for (const auto& [name, value] : pairs) {
            std::string error;
            if (!write_setting(edited, name, value, &error)) {
                print_error(error + "; nothing changed");
                return kExitUsage;
            }
        }
        profile = edited;
        return kExitOk;
    });
}

struct GetOptions {
    std::vector<std::string> names;
    std::string profile;
    bool json = false;
    bool by_name = false;
};

int run_get(const GetOptions& opts, const GlobalOptions& global) {
    for (const std::string& n : opts.names) {
        if (!is_setting(n)) {
            print_error("unknown setting \"" + n + "\" (vantorelctl get lists them)");
            return kExitUsage;
        }
    }
    std::unique_ptr<ProfileStore> store = open_store(global, LoadMode::ReadOnly);
    if (!store) return kExitFailed;
    std::lock_guard<std::mutex> lock(store->mutex());
    const auto index = target_profile(*store, opts.profile, opts.by_name);
    if (!index) return store->profiles().empty() ? kExitFailed : kExitUsage;
    const ProfileRecord& record = store->profiles()[*index];
    const std::vector<std::string> names = opts.names.empty() ? setting_names() : opts.names;
    if (opts.json) {
        nlohmann::ordered_json j;
        // Numbers as JSON numbers ("light-off" in half minutes: 1.5), words
        // (colours, on/off, effects) as strings.
        for (const std::string& n : names) {
            const std::string v = setting_value(record, n);
            if (is_numeric_setting(n)) j[n] = nlohmann::ordered_json::parse(v, nullptr, false);
            if (!is_numeric_setting(n) || j[n].is_discarded()) j[n] = v;
        }
        std::cout << j.dump(2) << '\n';
    } else {
        for (const std::string& n : names) std::cout << n << '=' << setting_value(record, n) << '\n';
    }
    return kExitOk;
}

std::string names_help() {
    std::string text = "Settings (N = 1..8):";
    for (const edit::SettingInfo& s : edit::settings())
        text += "\n  " + std::string(s.name) + (s.per_stage ? ".N" : "") + ": " + std::string(s.help);
    return text +
           "\nValues: dpi.N in DPI, on its step (other values are refused with the two nearest); colours as "
           "#RRGGBB; dpi-enabled.N, ripple, angle-snap and move-mode on|off; active-stage 1..8, a stage that is "
           "on; brightness 1..15; breath-speed 1..9; light-effect 0..11 or a name (off, steady, breathing, "
           "spectrum-breathing, colour-cycle, rainbow-wave, neon, flicker, reactive, marquee, starlight, comet-tail); "
           "light-effect-ble 0..3 or a name (off, steady, breathing, colour-cycle); polling-rate "
           "125|250|500|1000; light-off in minutes 0.5..30 (steps of 0.5); sleep in minutes 1..60; debounce in "
           "ms 2..32 (even); lift-off 1|2. A stage switched on without a value starts at 800 DPI. Assignments "
           "are taken in order, so switch a stage on before giving it a value or making it active.";
}

}  // namespace

void register_settings_commands(CLI::App& app, GlobalOptions& global) {
    auto* set = app.add_subcommand(
        "set", "Change settings of a profile, save the library and send what changed to the mouse in one apply");
    auto set_opts = std::make_shared<SetOptions>();
    set->add_option("NAME=VALUE", set_opts->assignments, "Settings to change")->required();
    set->add_option("--profile", set_opts->profile, "The profile to change (index or name; default: the selected one)");
    set->add_flag("--name", set_opts->by_name, "Take --profile as a name even when it is a number");
    add_mouse_options(set, set_opts->mouse);
    set->footer(names_help());
    set->callback([set_opts, &global] { global.exit_code = run_set(*set_opts, global); });

    auto* get = app.add_subcommand("get", "Print settings of a profile as NAME=VALUE lines");
    auto get_opts = std::make_shared<GetOptions>();
    get->add_option("NAME", get_opts->names, "Settings to print (default: all)");
    get->add_option("--profile", get_opts->profile, "The profile to read (index or name; default: the selected one)");
    get->add_flag("--json", get_opts->json, "Print one JSON object");
    get->add_flag("--name", get_opts->by_name, "Take --profile as a name even when it is a number");
    get->footer(names_help());
    get->callback([get_opts, &global] { global.exit_code = run_get(*get_opts, global); });
}

}  // namespace vantorel::cli
