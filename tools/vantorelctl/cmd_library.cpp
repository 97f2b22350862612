// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl profile ... and vantorelctl macro ...
#include <cstdint>
#include <iostream>
#include <string>
#include <nlohmann/json.hpp>

#include "edit/function_codes.h"
#include "core/profile_record.h"
#include "core/text.h"
#include "library/transfer.h"
#include "core/trace.h"
#include "button_text.h"
#include "edit_support.h"
#include "library_access.h"
#include "settings_table.h"
#include "library_edit.h"

namespace vantorel::cli {

using nlohmann::json;

DataFolder command_data_folder(const GlobalOptions& global, DataFolder::Create create) {
    return global.data_dir.empty() ? DataFolder::locate(create) : DataFolder::at(global.data_dir, create);
}

std::unique_ptr<ProfileStore> open_store(const GlobalOptions& global, LoadMode mode) {
    const DataFolder folder =
        command_data_folder(global, mode == LoadMode::ReadOnly ? DataFolder::Create::Never : DataFolder::Create::IfMissing);
    if (!folder.status()) {
        print_error(folder.status().message());
        return nullptr;
    }
    trace("data folder: %s", folder.path().c_str());
    auto store = std::make_unique<ProfileStore>(folder);
    auto result = store->load(builtin_texts(), mode);
    for (const LoadReport* report : {&result.profiles, &result.macros})
        for (const std::string& problem : report->problems) print_error(problem);
    // A library file that is there but gave nothing (a folder in its place,
    // no permission) is a failure, not an empty library.
    if (mode == LoadMode::ReadOnly && !result.profiles.file_missing && result.profiles.records_loaded == 0 &&
        !result.profiles.clean()) {
        print_error("the profile library in " + folder.path().string() + " could not be read");
        return nullptr;
    }
    if (mode == LoadMode::ReadOnly && result.profiles.file_missing)
        std::cerr << "vantorelctl: note: there is no profile library in " << folder.path().string()
                  << " yet; the first command that changes the library creates it\n";
    return store;
}

namespace {

// The word button --list and the button command use.
std::string function_label(std::uint8_t code) {
    if (code == kFunctionShortcut) return "key-combination";
    if (code == kFunctionMacro) return "macro";
    const std::string_view word = function_word(code);
    return word.empty() ? "code " + std::to_string(code) : std::string(word);
}

std::string color_hex(Color c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

json profile_json(const ProfileRecord& r) {
    json stages = json::array();
    for (int k = 0; k < profile_layout::kStageCount; ++k) {
        stages.push_back({{"value", r.dpi_value(k)},
                          {"dpi", dpi_display_value(r.dpi_value(k))},
                          {"enabled", r.dpi_stage_enabled(k) == 1},
                          {"color", color_hex(r.dpi_color(k))}});
    }
    json buttons = json::array();
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        ConstSlotRef s = r.slot(k);
        json b = {{"button", k + 1}, {"function_code", s.function_code()}, {"function", function_label(s.function_code())}};
        if (s.function_code() == kFunctionShortcut) {
            b["shortcut_key"] = s.shortcut_key();
            b["shortcut_modifiers"] = s.shortcut_modifiers();
            b["keys"] = shortcut_text(s.shortcut_key(), s.shortcut_modifiers());
        } else if (s.function_code() == kFunctionMacro) {
            b["macro_name"] = to_utf8(s.macro_name());
            b["macro_actions"] = s.macro_action_count();
            b["macro_play_mode"] = s.macro_play_mode();
            b["macro_repeat_count"] = s.macro_repeat_count();
        }
        buttons.push_back(b);
    }
    return {{"name", to_utf8(r.profile_name())},
            {"dpi_stages", stages},
            {"dpi_stage", static_cast<std::int64_t>(r.dpi_stage_index()) + 1},
            {"polling_rate_index", r.polling_rate_index()},
            {"light_mode", r.light_mode()},
            {"light_mode_ble", r.light_mode_ble()},
            {"brightness", r.brightness()},
            {"breath_speed", r.breath_speed()},
            {"light_color", color_hex(r.light_color())},
            {"sleep_timer", r.sleep_timer()},
            {"light_off_timer", r.light_off_timer()},
            {"key_debounce_ms", static_cast<std::int64_t>(r.key_debounce()) * 2},
            {"lift_off_distance", r.lift_off_distance()},
            {"ripple_control", r.ripple_control()},
            {"angle_snap", r.angle_snap()},
            {"move_mode", r.move_mode()},
            {"buttons", buttons}};
}

// The settings in the words and values get prints and set reads.
void print_profile_text(const ProfileRecord& r, const json& p) {
    std::cout << "Name:      " << p["name"].get<std::string>() << '\n';
    std::cout << "Stages:   ";
    for (int k = 1; k <= profile_layout::kStageCount; ++k) {
        const std::string n = std::to_string(k);
        if (setting_value(r, "dpi-enabled." + n) != "on") continue;
        std::cout << " dpi." << n << '=' << setting_value(r, "dpi." + n) << ' '
                  << setting_value(r, "dpi-color." + n);
    }
    std::cout << " (the enabled ones)\n";
    const char* const kLines[][7] = {
        {"active-stage", "polling-rate"},
        {"light-effect", "light-effect-ble", "brightness", "breath-speed", "light-color"},
        {"sleep", "light-off", "debounce", "lift-off", "ripple", "angle-snap", "move-mode"},
    };
    const char* heading = "Settings: ";
    for (const auto& line : kLines) {
        std::cout << heading;
        heading = "          ";
        for (const char* name : line)
            if (name) std::cout << ' ' << name << '=' << setting_value(r, name);
        std::cout << '\n';
    }
    std::cout << "Buttons:\n";
    for (const auto& b : p["buttons"]) {
        // As the button command takes it: a word, the keys, or macro:NAME.
        std::cout << "  " << b["button"].get<int>() << ": ";
        if (b.contains("keys")) std::cout << b["keys"].get<std::string>() << '\n';
        else if (b.contains("macro_name")) std::cout << "macro:" << b["macro_name"].get<std::string>() << '\n';
        else std::cout << b["function"].get<std::string>() << '\n';
    }
}

json macro_json(const MacroRecord& m, bool with_actions) {
    // The count the mouse would get; a stored count outside 0..160 is a
    // damaged record, said beside it.
    json j = {{"name", to_utf8(m.name())}, {"actions", m.valid_action_count()}};
    if (static_cast<std::int64_t>(m.action_count()) != static_cast<std::int64_t>(m.valid_action_count()))
        j["damaged_action_count"] = m.action_count();
    if (with_actions) {
        json list = json::array();
        for (std::size_t i = 0; i < m.valid_action_count(); ++i) {
            MacroAction a = m.action(i);
            list.push_back({{"key_code", a.key_code},
                            {"kind", a.action_kind == kActionPress ? "press" : "release"},
                            {"delay_ms", a.delay}});
        }
        j["action_list"] = list;
    }
    return j;
}

// "(2 actions)", or "(160 actions; damaged record: it says 2147483647)".
std::string action_count_text(const json& m) {
    std::string text = "(" + counted(m["actions"].get<std::size_t>(), "action");
    if (m.contains("damaged_action_count"))
        text += "; damaged record: it says " + std::to_string(m["damaged_action_count"].get<std::int64_t>());
    return text + ")";
}

constexpr const char* kProfileArgument =
    "A whole number is an index (0-based, as profile list shows it), anything else a name";
constexpr const char* kMacroArgument =
    "A whole number is an index (0-based, as macro list shows it), anything else a name";

// The profile or macro an argument names (an empty argument: the selected
// profile); none is a usage error, an empty library a failure.
std::optional<std::size_t> choose_profile(ProfileStore& store, const std::string& which, bool by_name,
                                          GlobalOptions& global) {
    const auto index = target_profile(store, which, by_name);
    if (!index) global.exit_code = store.profiles().empty() ? kExitFailed : kExitUsage;
    return index;
}

std::optional<std::size_t> choose_macro(ProfileStore& store, const std::string& which, bool by_name,
                                        GlobalOptions& global) {
    const auto index = find_macro(store.macros(), which, by_name);
    if (!index) global.exit_code = store.macros().empty() ? kExitFailed : kExitUsage;
    return index;
}

void fail(const std::string& message, GlobalOptions& global) {
    print_error(message);
    global.exit_code = 1;
}

// A refused import: a file that is not what it should be is a usage error,
// a full library or a failed save a failure.
void import_refused(const ImportResult& result, GlobalOptions& global) {
    print_error(result.status.message() + "; nothing was imported");
    const bool file_fault = result.problem == ImportProblem::Unreadable || result.problem == ImportProblem::NotARecord ||
                            result.problem == ImportProblem::MacroMisfit;
    global.exit_code = file_fault ? 2 : 1;
}

// Writes one record to a file the user named; a target that must not or
// cannot be written (no such folder, the library's own folder, a folder in
// its place, no permission) is a usage error, as a bad file is everywhere.
template <class Record, class Export>
void export_record(const ProfileStore& store, const Record& record, const std::string& file, Export write,
                   GlobalOptions& global) {
    if (Status target = check_export_target(file, {store.folder().profile_file(), store.folder().macro_file()});
        !target) {
        print_error(target.message());
        global.exit_code = 2;
        return;
    }
    if (Status status = write(record, file); !status) {
        print_error(status.message());
        global.exit_code = kExitUsage;
    }
}

void register_profile(CLI::App& app, GlobalOptions& global) {
    auto* profile = app.add_subcommand("profile", "List, show, select, add, rename, delete, reset, duplicate, export and import profiles");
    profile->require_subcommand(1);

    auto list_json = std::make_shared<bool>(false);
    auto* list = profile->add_subcommand("list", "List the profiles of the library");
    list->add_flag("--json", *list_json, "Print JSON");
    list->callback([&global, list_json] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        json out = json::array();
        for (std::size_t i = 0; i < store->profiles().size(); ++i)
            out.push_back({{"index", i}, {"name", to_utf8(store->profiles()[i].profile_name())},
                           {"selected", i == store->selected()}});
        if (*list_json) {
            std::cout << out.dump(2) << '\n';
            return;
        }
        for (const auto& p : out)
            std::cout << (p["selected"].get<bool>() ? "* " : "  ") << p["index"].get<std::size_t>() << "  "
                      << p["name"].get<std::string>() << '\n';
    });

    struct ShowOptions {
        std::string which;
        bool by_name = false;
        bool json = false;
    };
    auto show_opts = std::make_shared<ShowOptions>();
    auto* show = profile->add_subcommand("show", "Show one profile (default: the selected one)");
    show->add_option("PROFILE", show_opts->which, kProfileArgument);
    show->add_flag("--name", show_opts->by_name, "Take PROFILE as a name even when it is a number");
    show->add_flag("--json", show_opts->json, "Print JSON");
    show->callback([&global, show_opts] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        const auto index = choose_profile(*store, show_opts->which, show_opts->by_name, global);
        if (!index) return;
        const std::size_t i = *index;
        json p = profile_json(store->profiles()[i]);
        p["index"] = i;
        if (show_opts->json) std::cout << p.dump(2) << '\n';
        else print_profile_text(store->profiles()[i], p);
    });

    struct ExportOptions {
        std::string which;
        bool by_name = false;
        std::string file;
    };
    auto export_opts = std::make_shared<ExportOptions>();
    auto* exp = profile->add_subcommand("export", "Write one profile to a .pro file");
    exp->add_option("PROFILE", export_opts->which, kProfileArgument)->required();
    exp->add_option("FILE", export_opts->file, "The .pro file to write")->required();
    exp->add_flag("--name", export_opts->by_name, "Take PROFILE as a name even when it is a number");
    exp->callback([&global, export_opts] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        const auto index = choose_profile(*store, export_opts->which, export_opts->by_name, global);
        if (!index) return;
        export_record(*store, store->profiles()[*index], export_opts->file, export_profile, global);
    });

    auto import_file = std::make_shared<std::string>();
    auto* imp = profile->add_subcommand("import", "Add the profile of a .pro file to the library and select it");
    imp->add_option("file", *import_file, "The .pro file to read")->required();
    imp->callback([&global, import_file] {
        // Under the library lock, with a running desktop program holding.
        auto edit = LibraryEdit::open(global);
        if (!edit || !edit->may_write()) return void(global.exit_code = 1);
        ProfileStore* store = &edit->store();
        std::unique_lock<std::mutex> lock(store->mutex());
        ImportResult result = import_profile(*import_file, store->profiles(), store->macros());
        if (!result.index) return import_refused(result, global);
        if (!result.status) print_error(result.status.message());
        store->select(*result.index);
        if (const Status saved = store->save(); !saved) {
            undo_profile_import(result, store->profiles(), store->macros());
            return fail("the profile was not imported: " + saved.message(), global);
        }
        std::cout << "Imported \"" << to_utf8(store->current().profile_name()) << "\" as profile " << *result.index;
        if (result.macros_added) std::cout << " with " << counted(static_cast<std::size_t>(result.macros_added), "macro");
        std::cout << '\n';
        lock.unlock();
        // The desktop program shows it and sends it, as after its own import.
        edit->saved(ApplyNeed::Full);
        if (!result.status) global.exit_code = 1;
    });
}

void register_macro(CLI::App& app, GlobalOptions& global) {
    auto* macro = app.add_subcommand("macro", "List, show, add (from a text file), rename, delete, export and import macros");
    macro->require_subcommand(1);

    auto list_json = std::make_shared<bool>(false);
    auto* list = macro->add_subcommand("list", "List the macros of the library");
    list->add_flag("--json", *list_json, "Print JSON");
    list->callback([&global, list_json] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        json out = json::array();
        for (std::size_t i = 0; i < store->macros().size(); ++i) {
            json m = macro_json(store->macros()[i], false);
            m["index"] = i;
            out.push_back(m);
        }
        if (*list_json) {
            std::cout << out.dump(2) << '\n';
            return;
        }
        for (const auto& m : out)
            std::cout << m["index"].get<std::size_t>() << "  " << m["name"].get<std::string>() << "  "
                      << action_count_text(m) << '\n';
    });

    struct ShowOptions {
        std::string which;
        bool by_name = false;
        std::size_t index = 0;  // the macro `which` names
        bool json = false;
    };
    auto show_opts = std::make_shared<ShowOptions>();
    auto* show = macro->add_subcommand("show", "Show one macro with its actions");
    show->add_option("MACRO", show_opts->which, kMacroArgument)->required();
    show->add_flag("--name", show_opts->by_name, "Take MACRO as a name even when it is a number");
    show->add_flag("--json", show_opts->json, "Print JSON");
    show->callback([&global, show_opts] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        const auto index = choose_macro(*store, show_opts->which, show_opts->by_name, global);
        if (!index) return;
        show_opts->index = *index;
        json m = macro_json(store->macros()[show_opts->index], true);
        m["index"] = show_opts->index;
        if (show_opts->json) {
            std::cout << m.dump(2) << '\n';
            return;
        }
        // The text "macro new NAME --from FILE" reads, the name a comment.
        const MacroRecord& record = store->macros()[show_opts->index];
        std::vector<MacroAction> actions;
        for (std::size_t k = 0; k < record.valid_action_count(); ++k) actions.push_back(record.action(k));
        std::cout << "# " << m["name"].get<std::string>() << " " << action_count_text(m) << '\n'
                  << macro_text(actions);
    });

    struct ExportOptions {
        std::string which;
        bool by_name = false;
        std::string file;
    };
    auto export_opts = std::make_shared<ExportOptions>();
    auto* exp = macro->add_subcommand("export", "Write one macro to a .macro file");
    exp->add_option("MACRO", export_opts->which, kMacroArgument)->required();
    exp->add_option("FILE", export_opts->file, "The .macro file to write")->required();
    exp->add_flag("--name", export_opts->by_name, "Take MACRO as a name even when it is a number");
    exp->callback([&global, export_opts] {
        auto store = open_store(global, LoadMode::ReadOnly);
        if (!store) return void(global.exit_code = 1);
        const auto index = choose_macro(*store, export_opts->which, export_opts->by_name, global);
        if (!index) return;
        export_record(*store, store->macros()[*index], export_opts->file, export_macro, global);
    });

    auto import_file = std::make_shared<std::string>();
    auto* imp = macro->add_subcommand("import", "Add the macro of a .macro file to the library");
    imp->add_option("file", *import_file, "The .macro file to read")->required();
    imp->callback([&global, import_file] {
        auto edit = LibraryEdit::open(global);
        if (!edit || !edit->may_write()) return void(global.exit_code = 1);
        ProfileStore* store = &edit->store();
        ImportResult result = import_macro(*import_file, store->macros());
        if (!result.index) return import_refused(result, global);
        std::cout << "Imported \"" << to_utf8(store->macros()[*result.index].name()) << "\" as macro "
                  << *result.index << '\n';
        edit->saved(ApplyNeed::None);
    });
}

}  // namespace

void register_library_commands(CLI::App& app, GlobalOptions& global) {
    register_profile(app, global);
    register_macro(app, global);
}

}  // namespace vantorel::cli
