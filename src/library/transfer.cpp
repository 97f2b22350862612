// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/transfer.h"

#include <algorithm>
#include <array>
#include <memory>

#include "core/reports.h"
#include "core/trace.h"
#include "library/file_io.h"
#include "macro/macro_model.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

// The whole file, refused unless it is exactly `size` bytes long.
ReadResult read_one_record(const fs::path& path, std::size_t size, const char* kind, ImportProblem& problem) {
    ReadResult r = read_file(path, size);
    problem = ImportProblem::None;
    if (r.status && r.bytes.size() != size) {
        r.status = Status::Corruption(path.string() + " is not a " + kind + " file: it is " +
                                      std::to_string(r.bytes.size()) + " bytes long instead of " +
                                      std::to_string(size));
        r.bytes.clear();
        problem = ImportProblem::NotARecord;
    } else if (r.too_long) {
        r.status = Status::Corruption(path.string() + " is not a " + kind + " file: it is longer than " +
                                      std::to_string(size) + " bytes");
        problem = ImportProblem::NotARecord;
    } else if (!r.status) {
        problem = ImportProblem::Unreadable;
    }
    if (!r.status) trace("import refused: %s", r.status.message().c_str());
    return r;
}

ImportResult refused(ImportProblem problem, std::string why) {
    trace("import refused: %s", why.c_str());
    ImportResult r;
    switch (problem) {
        case ImportProblem::MacroMisfit: r.status = Status::Corruption(std::move(why)); break;
        case ImportProblem::LibraryFull: r.status = Status::InvalidArgument(std::move(why)); break;
        default: r.status = Status::IoError(std::move(why)); break;
    }
    r.problem = problem;
    return r;
}

}  // namespace

const char* import_problem_text(ImportProblem problem, bool macro) {
    switch (problem) {
        case ImportProblem::None: return "";
        case ImportProblem::Unreadable: return "import_unreadable_text";
        case ImportProblem::NotARecord: return macro ? "import_macro_failed_text" : "import_failed_text";
        case ImportProblem::MacroMisfit: return macro ? "import_macro_misfit_text" : "import_profile_macro_misfit_text";
        case ImportProblem::LibraryFull: return "import_library_full_text";
        case ImportProblem::NotSaved: return "import_not_saved_text";
    }
    return "";
}

std::string macro_misfit(std::int64_t count, std::span<const Byte, macro_layout::kActionBytes> actions) {
    const auto max = static_cast<std::int64_t>(kMaxMacroActions);
    if (count < 0 || count > max)
        return "its action count " + std::to_string(count) + " is damaged (a macro holds 0.." + std::to_string(max) +
               " actions)";
    std::array<MacroAction, kMaxMacroActions> list{};
    for (std::size_t i = 0; i < list.size(); ++i) list[i] = MacroAction::decode(actions.data() + kMacroActionSize * i);
    int units = 0;
    for (std::int64_t i = 0; i < count; ++i) units += action_units(list[static_cast<std::size_t>(i)]);
    if (units >= kEditUnitLimit)
        return "its " + std::to_string(count) + " actions cost " + std::to_string(units) + " units on the mouse, at most " +
               std::to_string(kEditUnitLimit - 1) + " fit (an action with a delay of " +
               std::to_string(kLongDelayThreshold) + " ms or more costs two)";
    // The count and the cost are within bounds; actions of an unknown kind
    // take more room in the blocks than their cost says.
    std::array<Byte, slot_layout::kSize> slot_bytes{};
    SlotRef slot(slot_bytes.data());
    slot.set_macro_action_count(static_cast<std::uint16_t>(count));
    std::copy(actions.begin(), actions.end(), slot_bytes.begin() + slot_layout::kMacroActions);
    if (const std::size_t carried = macro_actions_carried(slot); carried < static_cast<std::size_t>(count))
        return "only " + std::to_string(carried) + " of its " + std::to_string(count) + " actions fit the mouse";
    return {};
}

Status read_profile_file(const fs::path& path, ProfileRecord& out) {
    ImportProblem problem;
    ReadResult read = read_one_record(path, ProfileRecord::kSize, "profile", problem);
    if (read.status) out.assign(read.bytes);
    return read.status;
}

Status export_profile(const ProfileRecord& record, const fs::path& path) {
    return write_file_atomic(path, record.bytes(), WriteKind::Export);
}

Status export_macro(const MacroRecord& record, const fs::path& path) {
    return write_file_atomic(path, record.bytes(), WriteKind::Export);
}

ImportResult import_profile(const fs::path& path, ProfileLibrary& profiles, MacroLibrary& macros) {
    ImportResult result;
    ReadResult read = read_one_record(path, ProfileRecord::kSize, "profile", result.problem);
    if (!read.status) {
        result.status = read.status;
        return result;
    }
    auto record = std::make_unique<ProfileRecord>();
    record->assign(read.bytes);

    std::size_t macro_buttons = 0;
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        ConstSlotRef slot = std::as_const(*record).slot(k);
        if (slot.function_code() != kFunctionMacro) continue;
        ++macro_buttons;
        const auto actions = slot.bytes().subspan<slot_layout::kMacroActions, macro_layout::kActionBytes>();
        if (const std::string why = macro_misfit(slot.macro_action_count(), actions); !why.empty())
            return refused(ImportProblem::MacroMisfit, path.string() + ": the macro of button " + std::to_string(k + 1) +
                                                           " cannot go to the mouse: " + why);
    }
    if (profiles.size() >= profile_file::kMaxProfiles)
        return refused(ImportProblem::LibraryFull, "the profile library holds " + std::to_string(profiles.size()) +
                                                       " profiles, as many as it may");
    if (macros.size() + macro_buttons > macro_file::kMaxMacros)
        return refused(ImportProblem::LibraryFull, "the macro library has no room for the " +
                                                       std::to_string(macro_buttons) + " macros of this profile");

    record->set_profile_name(unique_name(profiles, record->profile_name()));
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        SlotRef slot = record->slot(k);
        if (slot.function_code() != kFunctionMacro) continue;
        auto macro = std::make_unique<MacroRecord>();
        const std::u16string name = unique_name(macros, slot.macro_name());
        macro->set_name(name);
        macro->set_repeat_count(slot.macro_repeat_count());
        macro->set_action_count(slot.macro_action_count());
        const Byte* actions = slot.bytes().data() + slot_layout::kMacroActions;
        std::copy_n(actions, macro_layout::kActionBytes, macro->action_bytes().begin());
        slot.set_macro_name(name);
        macros.append(std::move(macro));
        slot.set_macro_library_index(static_cast<std::int32_t>(macros.size() - 1));
        ++result.macros_added;
    }

    profiles.append(std::move(record));
    result.index = profiles.size() - 1;
    if (result.macros_added > 0) {
        // The macros reach their file before the profile reaches its own: a
        // crash in between leaves unused macros at worst, never a profile
        // whose macros are missing.
        Status saved = macros.save();
        if (!saved) {
            undo_profile_import(result, profiles, macros);
            result.status = Status::IoError("the profile was not imported: its macros could not be saved: " +
                                            saved.message());
            result.index.reset();
            result.macros_added = 0;
            result.problem = ImportProblem::NotSaved;
        }
    }
    return result;
}

void undo_profile_import(const ImportResult& result, ProfileLibrary& profiles, MacroLibrary& macros) {
    if (!result.index || *result.index >= profiles.size()) return;
    profiles.remove(*result.index);
    for (std::size_t i = 0; i < result.macros_added && !macros.empty(); ++i) macros.remove(macros.size() - 1);
    if (result.macros_added > 0) macros.save();
}

Status check_export_target(const fs::path& target, std::initializer_list<fs::path> library_files) {
    std::error_code ec;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec))
        return Status::InvalidArgument("not exporting to " + target.string() + ": the folder " + folder.string() +
                                       " does not exist");
    const fs::path where = fs::weakly_canonical(fs::absolute(target, ec), ec);
    for (const fs::path& file : library_files) {
        if (fs::exists(target, ec) && fs::exists(file, ec) && fs::equivalent(target, file, ec) && !ec)
            return Status::InvalidArgument("not exporting onto " + target.string() + ": it is the library file " + file.string());
        std::error_code fc;
        const fs::path library_folder = fs::weakly_canonical(fs::absolute(file.parent_path(), fc), fc);
        if (!fc && !where.empty() && where.parent_path() == library_folder)
            return Status::InvalidArgument("not exporting to " + target.string() + ": the folder " + library_folder.string() +
                                           " holds the library's own files");
    }
    return Status::OK();
}

ImportResult import_macro(const fs::path& path, MacroLibrary& macros) {
    ImportResult result;
    ReadResult read = read_one_record(path, MacroRecord::kSize, "macro", result.problem);
    if (!read.status) {
        result.status = read.status;
        return result;
    }
    auto record = std::make_unique<MacroRecord>();
    record->assign(read.bytes);
    if (const std::string why = macro_misfit(record->action_count(), std::as_const(*record).action_bytes()); !why.empty())
        return refused(ImportProblem::MacroMisfit, path.string() + ": the macro cannot go to the mouse: " + why);
    if (macros.size() >= macro_file::kMaxMacros)
        return refused(ImportProblem::LibraryFull, "the macro library holds " + std::to_string(macros.size()) +
                                                       " macros, as many as it may");
    record->set_name(unique_name(macros, record->name()));
    macros.append(std::move(record));
    Status saved = macros.save();
    if (!saved) {
        // Not in its file, so not imported: the list stays as the file has it.
        macros.remove(macros.size() - 1);
        return refused(ImportProblem::NotSaved, "the macro was not imported: the macro library could not be saved: " +
                                                    saved.message());
    }
    result.index = macros.size() - 1;
    return result;
}

}  // namespace vantorel
