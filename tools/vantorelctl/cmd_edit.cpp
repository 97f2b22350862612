// SPDX-License-Identifier: GPL-2.0-or-later
// vantorelctl profile select|delete|reset PROFILE | new [NAME] | rename OLD NEW | duplicate SOURCE [NEW-NAME]
// vantorelctl button N FUNCTION [--mode 0|1|2] [--repeat 1..255] | --list
// vantorelctl macro new NAME [--from FILE] | delete MACRO | rename OLD NEW
//
// The profile buttons, the button menu and the macro editor of the mouse
// page, with their rules: names unique in any letter case, the last profile
// never deleted, one of buttons 1..16 always keeping the left click, the
// buttons' macro copies following the macro library. Every command saves
// the library and sends the mouse what it now lacks.
#include <iostream>
#include <memory>

#include "button_text.h"
#include "edit/function_codes.h"
#include "core/text.h"
#include "edit_support.h"
#include "library/file_io.h"
#include "library/transfer.h"
#include "macro/macro_model.h"
#include "edit/button_assign.h"
#include "edit/profile_list_edit.h"

namespace vantorel::cli {
namespace {

// A profile or macro name as typed: not empty, within the field, unique.
template <class Library>
bool check_name(const Library& library, const std::string& name, std::size_t max_units, const char* what,
                std::u16string* out) {
    if (!is_valid_utf8(name)) {
        print_error(std::string("the ") + what + " name is not valid UTF-8; names are kept as typed, so it was refused");
        return false;
    }
    const std::u16string n = to_utf16(name);
    if (n.empty()) {
        print_error(std::string("a ") + what + " name must not be empty");
        return false;
    }
    if (n.size() > max_units) {
        print_error(std::string("the ") + what + " name \"" + name + "\" is too long: at most " +
                    std::to_string(max_units) + " characters");
        return false;
    }
    if (name_exists(library, n)) {
        print_error(std::string("a ") + what + " named \"" + name + "\" exists already (names are compared without "
                    "regard to letter case)");
        return false;
    }
    *out = n;
    return true;
}

// ---------------------------------------------------------------------------
// profile

struct ProfileOptions {
    std::string profile;  // the profile acted on; empty: the selected one
    std::string name;
    std::string old_profile;  // rename, duplicate: --profile, the older spelling
    bool by_name = false;     // --name: PROFILE is a name even when it is a number
    std::string out;      // new --out: a .pro file written instead
    MouseOptions mouse;
};

enum class ProfileOp { Select, New, Rename, Delete, Reset, Duplicate };

// profile new --out FILE: a default profile written to a .pro file; the
// library is left alone.
int write_new_profile_file(const ProfileOptions& opts) {
    if (opts.name.empty()) {
        print_error("--out needs the profile's name");
        return kExitUsage;
    }
    if (!is_valid_utf8(opts.name)) {
        print_error("the profile name is not valid UTF-8; names are kept as typed, so it was refused");
        return kExitUsage;
    }
    const std::u16string name = to_utf16(opts.name);
    if (name.size() > profile_file::kMaxNameLength) {
        print_error("the profile name \"" + opts.name + "\" is too long: at most " +
                    std::to_string(profile_file::kMaxNameLength) + " characters");
        return kExitUsage;
    }
    ProfileRecord record;
    record.reset_to_defaults();
    record.set_profile_name(name);
    const Status status = export_profile(record, opts.out);
    if (!status) {
        print_error(status.message());
        return kExitUsage;  // a file that cannot be written, as everywhere
    }
    return kExitOk;
}

// rename OLD NEW and duplicate SOURCE [NEW-NAME]; the older spellings
// "rename NEW [--profile OLD]" and "duplicate [--profile SOURCE] [NEW-NAME]"
// still read the same.
ProfileOptions with_older_spellings(ProfileOp op, ProfileOptions opts) {
    if (!opts.old_profile.empty()) {
        if (opts.name.empty()) opts.name = opts.profile;
        opts.profile = opts.old_profile;
    } else if (op == ProfileOp::Rename && opts.name.empty()) {
        opts.name = opts.profile;  // a new name alone: the selected profile
        opts.profile.clear();
    }
    return opts;
}

ApplyNeed need_of(const edit::ListChange& change) {
    return change.need == edit::MouseNeed::Everything ? ApplyNeed::Full : ApplyNeed::None;
}

int run_profile_op(ProfileOp op, const ProfileOptions& typed, const GlobalOptions& global) {
    if (op == ProfileOp::New && !typed.out.empty()) return write_new_profile_file(typed);
    const ProfileOptions opts = with_older_spellings(op, typed);
    return change_library(global, opts.mouse, false, [&](LibraryEdit& edit, const ProfileRecord&, ApplyNeed& need) {
        ProfileStore& store = edit.store();
        ProfileLibrary& lib = store.profiles();
        std::optional<std::size_t> index;
        if (op != ProfileOp::New) {
            index = target_profile(store, opts.profile, opts.by_name);
            if (!index) return lib.empty() ? kExitFailed : kExitUsage;
        }
        std::u16string name;
        switch (op) {
            case ProfileOp::Select:
                need = need_of(edit::select_profile(store, *index));
                std::cout << "selected profile " << *index << " \"" << to_utf8(lib[*index].profile_name()) << "\"\n";
                break;
            case ProfileOp::New: {
                if (!opts.name.empty()) {
                    if (!check_name(lib, opts.name, profile_file::kMaxNameLength, "profile", &name)) return kExitUsage;
                    need = need_of(edit::add_profile(store, name));
                } else {
                    // A new profile becomes the selected one, as on the page.
                    lib.create_profile(builtin_texts());
                    need = need_of(edit::select_profile(store, lib.size() - 1));
                }
                std::cout << "added profile " << lib.size() - 1 << " \"" << to_utf8(lib.at(lib.size() - 1).profile_name())
                          << "\" and selected it\n";
                break;
            }
            case ProfileOp::Rename:
                if (!check_name(lib, opts.name, profile_file::kMaxNameLength, "profile", &name)) return kExitUsage;
                // Its application bindings go with it.
                if (!bindings_follow_profile(edit, lib[*index].profile_name(), &name)) return kExitFailed;
                need = need_of(edit::rename_profile(store, *index, name));
                break;
            case ProfileOp::Delete: {
                if (lib.size() <= 1) {
                    print_error("the last profile cannot be deleted");
                    return kExitFailed;
                }
                if (!bindings_follow_profile(edit, lib[*index].profile_name(), nullptr)) return kExitFailed;
                const std::optional<edit::ListChange> deleted = edit::delete_profile(store, *index);
                if (!deleted) return kExitFailed;
                need = need_of(*deleted);
                std::cout << "deleted profile \"" << to_utf8(deleted->old_name) << "\"; selected: " << store.selected() << " \""
                          << to_utf8(store.current().profile_name()) << "\"\n";
                break;
            }
            case ProfileOp::Reset:
                need = need_of(edit::reset_profile(store, *index));
                break;
            case ProfileOp::Duplicate: {
                if (!opts.name.empty() &&
                    !check_name(lib, opts.name, profile_file::kMaxNameLength, "profile", &name))
                    return kExitUsage;
                need = need_of(edit::duplicate_profile(store, *index, name));
                std::cout << "added profile " << lib.size() - 1 << " \"" << to_utf8(lib.at(lib.size() - 1).profile_name())
                          << "\" and selected it\n";
                break;
            }
        }
        return kExitOk;
    });
}

void register_profile_ops(CLI::App& app, GlobalOptions& global) {
    CLI::App* profile = app.get_subcommand("profile");
    struct Operation {
        const char* name;
        ProfileOp op;
        const char* help;
    };
    static const Operation operations[] = {
        {"select", ProfileOp::Select, "Make a profile the selected one and send all of it to the mouse"},
        {"new", ProfileOp::New, "Add a profile with the default settings and select it"},
        {"rename", ProfileOp::Rename, "Give a profile another name (unique in any letter case)"},
        {"delete", ProfileOp::Delete, "Delete a profile (never the last one)"},
        {"reset", ProfileOp::Reset, "Give a profile the default settings, keeping its name"},
        {"duplicate", ProfileOp::Duplicate, "Add a copy of a profile and select it"},
    };
    for (const Operation& operation : operations) {
        auto* cmd = profile->add_subcommand(operation.name, operation.help);
        auto opts = std::make_shared<ProfileOptions>();
        const char* which =
            "A whole number is an index (0-based, as profile list shows it), anything else a name; default: the "
            "selected profile";
        const char* older = "The profile, as the first argument names it (an older spelling)";
        if (operation.op != ProfileOp::New)
            cmd->add_flag("--name", opts->by_name, "Take the profile argument as a name even when it is a number");
        switch (operation.op) {
            case ProfileOp::Select: cmd->add_option("PROFILE", opts->profile, which)->required(); break;
            case ProfileOp::New:
                cmd->add_option("NAME,--name", opts->name, "Its name (default: \"Profile N\")");
                cmd->add_option("--out", opts->out,
                                "Write the new default profile to this .pro file instead of adding it to the library");
                break;
            case ProfileOp::Rename:
                cmd->add_option("OLD", opts->profile, which)->required();
                cmd->add_option("NEW", opts->name, "The new name (OLD alone is the new name of the selected profile)");
                cmd->add_option("--profile", opts->old_profile, older);
                break;
            case ProfileOp::Duplicate:
                cmd->add_option("SOURCE", opts->profile, which);
                cmd->add_option("NEW-NAME", opts->name, "The copy's name (default: the name made unique)");
                cmd->add_option("--profile", opts->old_profile, older);
                break;
            default: cmd->add_option("PROFILE", opts->profile, which); break;
        }
        add_mouse_options(cmd, opts->mouse);
        const ProfileOp op = operation.op;
        cmd->callback([op, opts, &global] { global.exit_code = run_profile_op(op, *opts, global); });
    }
}

// ---------------------------------------------------------------------------
// button

struct ButtonOptions {
    int button = 0;
    std::string function;
    std::string profile;
    int mode = 0;
    int repeat = 1;
    bool list = false;
    bool by_name = false;  // --name: --profile is a name even when it is a number
    MouseOptions mouse;
};

void print_function_list() {
    for (const FunctionWord& f : function_words()) std::cout << f.word << '\n';
    std::cout << "KEY+KEY...  (a key combination: ctrl, shift, alt, win and one key, e.g. ctrl+shift+a)\n"
              << "macro:NAME  (a macro of the library; --mode and --repeat say how it plays)\n";
}

int run_button(const ButtonOptions& opts, const GlobalOptions& global) {
    if (opts.list) {
        print_function_list();
        return kExitOk;
    }
    if (opts.button < 1 || opts.button > page::kMenuButtons) {
        print_error("button " + std::to_string(opts.button) + " cannot be assigned: buttons 1.." +
                    std::to_string(page::kMenuButtons) + " can");
        return kExitUsage;
    }
    if (opts.function.empty()) {
        print_error("a FUNCTION is needed (vantorelctl button --list prints them)");
        return kExitUsage;
    }
    // What the function is, before the library is opened.
    std::optional<std::uint8_t> code;
    std::optional<Shortcut> shortcut;
    std::string macro;
    if (opts.function.rfind("macro:", 0) == 0) {
        macro = opts.function.substr(6);
        code = kFunctionMacro;
    } else if ((code = function_code_of_word(opts.function))) {
    } else if (opts.function.find('+') != std::string::npos || key_code_of_name(opts.function)) {
        std::string error;
        shortcut = parse_shortcut(opts.function, &error);
        if (!shortcut) {
            print_error(error);
            return kExitUsage;
        }
        code = kFunctionShortcut;
    } else {
        print_error("unknown function \"" + opts.function + "\" (vantorelctl button --list prints them)");
        return kExitUsage;
    }

    return change_profile(global, opts.mouse, opts.profile, opts.by_name, [&](ProfileStore& store, ProfileRecord& record) {
        const int k = opts.button - 1;
        if (!page::KeepsLeftClick(record, k, *code)) {
            print_error("button " + std::to_string(opts.button) +
                        " has the only left click among buttons 1..16; give another of them left-click first");
            return kExitFailed;
        }
        SlotRef slot = record.slot(k);
        if (shortcut) {
            page::PrepareShortcut(slot);
            page::StoreShortcut(slot, shortcut->key, shortcut->modifiers);
        } else if (!macro.empty() || *code == kFunctionMacro) {
            const MacroLibrary& macros = store.macros();
            int found = -1;
            for (std::size_t i = 0; i < macros.size() && found < 0; ++i)
                if (equals_ignore_case(macros[i].name(), to_utf16(macro))) found = static_cast<int>(i);
            if (found < 0) {
                print_error("no macro \"" + macro + "\" (vantorelctl macro list shows them)");
                return kExitUsage;
            }
            page::AssignMacro(slot, macros, found, opts.mode, opts.repeat);
        } else {
            slot.set_function_code(*code);
        }
        return kExitOk;
    });
}

void register_button(CLI::App& app, GlobalOptions& global) {
    auto* cmd = app.add_subcommand("button", "Give a button (1..12) a function, a key combination or a macro");
    auto opts = std::make_shared<ButtonOptions>();
    cmd->add_option("N", opts->button, "The button, 1..12");
    cmd->add_option("FUNCTION", opts->function,
                    "A function (left-click, dpi-up, volume-up, off, ...), a key combination (ctrl+shift+a, alt+f4) "
                    "or macro:NAME");
    cmd->add_flag("--list", opts->list, "Print the functions and end");
    cmd->add_option("--mode", opts->mode,
                    "How a macro plays: 0 \"Play a number of times\" (--repeat times), 1 \"Play while the button is "
                    "held\", 2 \"Play until the button is pressed again\"")
        ->check(CLI::Range(0, 2));
    cmd->add_option("--repeat", opts->repeat, "How often a macro plays in mode 0, 1..255")->check(CLI::Range(1, 255));
    cmd->add_option("--profile", opts->profile, "The profile to change (index or name; default: the selected one)");
    cmd->add_flag("--name", opts->by_name, "Take --profile as a name even when it is a number");
    add_mouse_options(cmd, opts->mouse);
    cmd->footer("The left click stays on at least one of buttons 1..16: taking it from the last one is refused "
                "(exit status 1).");
    cmd->callback([opts, &global] { global.exit_code = run_button(*opts, global); });
}

// ---------------------------------------------------------------------------
// macro

struct MacroOptions {
    std::string macro;  // new: the name; delete, rename: the macro acted on
    std::string name;   // rename: the new name
    std::string file;   // new: --from
    bool by_name = false;  // --name: MACRO is a name even when it is a number
    MouseOptions mouse;
};

enum class MacroOp { New, Delete, Rename };

// 160 action lines with room for comments.
constexpr std::size_t kMaxMacroTextSize = 64 * 1024;

int run_macro_op(MacroOp op, const MacroOptions& opts, const GlobalOptions& global) {
    std::vector<MacroAction> actions;
    if (op == MacroOp::New && !opts.file.empty()) {
        // A regular file of a sensible size only: a FIFO would block, a
        // device or a huge file would be read without end.
        const ReadResult read = read_file(opts.file, kMaxMacroTextSize);
        if (!read.status) {
            print_error(read.status.message() + "; nothing changed");
            return kExitUsage;
        }
        std::string error;
        auto parsed = parse_macro_text(std::string(read.bytes.begin(), read.bytes.end()), &error);
        if (!parsed) {
            print_error(opts.file + ": " + error + "; nothing changed");
            return kExitUsage;
        }
        actions = std::move(*parsed);
    }

    return change_library(global, opts.mouse, true, [&](LibraryEdit& edit, const ProfileRecord& before, ApplyNeed& need) {
        ProfileStore& store = edit.store();
        MacroLibrary& macros = store.macros();
        std::u16string name;
        switch (op) {
            case MacroOp::New: {
                if (!check_name(macros, opts.macro, macro_layout::kMaxNameLength, "macro", &name)) return kExitUsage;
                auto record = std::make_unique<MacroRecord>();
                record->set_name(name);
                for (std::size_t i = 0; i < actions.size(); ++i) record->set_action(i, actions[i]);
                record->set_action_count(static_cast<std::int32_t>(actions.size()));
                macros.append(std::move(record));
                std::cout << "added macro " << macros.size() - 1 << " \"" << opts.macro << "\" ("
                          << counted(actions.size(), "action") << ", "
                          << counted(static_cast<std::size_t>(
                                         macro_unit_count(actions, static_cast<int>(actions.size()))),
                                     "unit")
                          << ")\n";
                break;
            }
            case MacroOp::Delete: {
                const auto index = find_macro(macros, opts.macro, opts.by_name);
                if (!index) return kExitUsage;
                std::cout << "deleted macro \"" << to_utf8(macros[*index].name()) << "\"\n";
                // The buttons that played it change with it, and the user
                // hears which.
                for (const page::MacroUse& use : page::ButtonsPlaying(store.profiles(), macros[*index].name()))
                    std::cout << "button " << use.button + 1 << " of profile \""
                              << to_utf8(store.profiles()[use.profile].profile_name())
                              << "\" goes back to its own function\n";
                macros.remove(*index);
                break;
            }
            case MacroOp::Rename: {
                const auto index = find_macro(macros, opts.macro, opts.by_name);
                if (!index) return kExitUsage;
                if (!check_name(macros, opts.name, macro_layout::kMaxNameLength, "macro", &name)) return kExitUsage;
                const std::u16string old_name = macros[*index].name();
                macros[*index].set_name(name);
                // The buttons that play it keep it under its new name.
                page::CarryMacroRename(store.profiles(), old_name, name);
                break;
            }
        }
        // The buttons' copies follow the library, as after the macro editor;
        // the buttons of a deleted macro go back to what they do out of the box.
        if (!store.profiles().empty()) {
            const page::ResyncResult resync = page::ResyncMacroCopies(store.profiles(), macros, store.selected());
            if (resync.current_involved && !(store.current() == before)) need = ApplyNeed::Changed;
        }
        return kExitOk;
    });
}

void register_macro_ops(CLI::App& app, GlobalOptions& global) {
    CLI::App* macro = app.get_subcommand("macro");
    auto add = [&](const char* name, MacroOp op, const char* help) {
        auto* cmd = macro->add_subcommand(name, help);
        auto opts = std::make_shared<MacroOptions>();
        const char* which = "A whole number is an index (0-based, as macro list shows it), anything else a name";
        if (op != MacroOp::New)
            cmd->add_flag("--name", opts->by_name, "Take the macro argument as a name even when it is a number");
        switch (op) {
            case MacroOp::New:
                cmd->add_option("NAME", opts->macro, "Its name (at most 23 characters, unique)")->required();
                cmd->add_option("--from", opts->file,
                                "A text file, one action a line: \"press KEY DELAY\" or \"release KEY DELAY\" (the "
                                "delay in ms after the action, 0..25000; KEY a key name or a code such as 0x64), e.g. \"press a 20\", \"press mouse-left 5\"");
                break;
            case MacroOp::Delete: cmd->add_option("MACRO", opts->macro, which)->required(); break;
            case MacroOp::Rename:
                cmd->add_option("OLD", opts->macro, which)->required();
                cmd->add_option("NEW", opts->name, "The new name")->required();
                break;
        }
        add_mouse_options(cmd, opts->mouse);
        cmd->callback([op, opts, &global] { global.exit_code = run_macro_op(op, *opts, global); });
    };
    add("new", MacroOp::New, "Add a macro, empty or from a text file");
    add("delete", MacroOp::Delete, "Delete a macro; the buttons that play it go back to their own function");
    add("rename", MacroOp::Rename, "Give a macro another name; the buttons that play it keep it");
}

}  // namespace

void register_edit_commands(CLI::App& app, GlobalOptions& global) {
    register_profile_ops(app, global);
    register_button(app, global);
    register_macro_ops(app, global);
}

}  // namespace vantorel::cli
