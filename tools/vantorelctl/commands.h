// SPDX-License-Identifier: GPL-2.0-or-later
// Sub-commands of vantorelctl. Each group registers its commands on the app;
// the callbacks set `exit_code` and print their results.
#pragma once

#include <CLI/CLI.hpp>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/profile_record.h"
#include "core/profile_source.h"
#include "device/link_state.h"

namespace vantorel::cli {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // the operation failed
inline constexpr int kExitUsage = 2;      // bad arguments, values or files
inline constexpr int kExitNoMouse = 3;    // the mouse is absent or not accessible

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
void register_settings_commands(CLI::App& app, GlobalOptions& global);
void register_edit_commands(CLI::App& app, GlobalOptions& global);  // after the library commands
void register_status_commands(CLI::App& app, GlobalOptions& global);
void register_auto_commands(CLI::App& app, GlobalOptions& global);

class LibraryEdit;
// A profile of `edit`'s library renamed (new_name) or deleted (null): its
// application bindings follow it, saved under the edit's lock and hold.
// False, with the message printed, when they could not be saved.
bool bindings_follow_profile(LibraryEdit& edit, std::u16string_view old_name, const std::u16string* new_name);

// One record that is only read: an apply's save has nothing to write
// (a .pro file, or a library a command has saved already).
class ReadOnlySource : public ProfileSource {
public:
    explicit ReadOnlySource(const ProfileRecord& r) : record_(r) {}
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override { return record_; }
    Status save() override { return Status::OK(); }

private:
    std::mutex mutex_;
    ProfileRecord record_;
};

// One apply of a profile source against the mouse, printed like `apply`
// prints it. `record` is what the source now holds, `last_applied` what the
// mouse is taken to hold (only the differences go out unless `full`).
struct ApplyJob {
    ApplyJob(ProfileSource& s, const ProfileRecord& r, const ProfileRecord& l) : source(s), record(r), last_applied(l) {}
    ProfileSource& source;
    const ProfileRecord& record;
    const ProfileRecord& last_applied;
    std::string label = "selected profile of the library";
    bool full = false;
    std::string simulate;
    bool trace = false;
    double wait = 8.0;
    // When no device of the mouse is present at the start, whether to wait
    // for one being plugged in (--wait given) or to give up at once.
    bool wait_for_plug = true;
    // Where what the mouse changes itself during the apply (a DPI stage
    // pressed, say) is kept: the profile of this index in the library of
    // `library`'s data folder, written under the library lock and the
    // running program's hold, and nothing else of the library with it. Null
    // for a profile that is only read.
    const GlobalOptions* library = nullptr;
    std::size_t profile_index = 0;
};
int run_apply_job(const ApplyJob& job);

// Options shared by the commands that talk to the mouse.
// --simulate[=wired|wireless|ble]: the virtual mouse on that link (wireless
// when no link is named); left empty, the real links are used.
CLI::Option* add_simulate_option(CLI::App* cmd, std::string& simulate);
// The link a --simulate value names; nullopt for the empty value.
std::optional<ConnectionMode> simulated_link(const std::string& name);
// --wait SECONDS: how long to wait for the mouse to show up.
CLI::Option* add_wait_option(CLI::App* cmd, double& seconds, const char* what);

}  // namespace vantorel::cli
