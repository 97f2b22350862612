// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/transfer.h"

#include <algorithm>
#include <memory>

#include "core/trace.h"
#include "library/file_io.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

// The whole file, refused unless it is exactly `size` bytes long.
ReadResult read_one_record(const fs::path& path, std::size_t size, const char* kind) {
    ReadResult r = read_file(path, size);
    if (r.status && r.bytes.size() != size) {
        r.status = IoStatus::failure(path.string() + " is not a " + kind + " file: it is " +
                                     std::to_string(r.bytes.size()) + " bytes long instead of " +
                                     std::to_string(size));
        r.bytes.clear();
    } else if (r.too_long) {
        r.status = IoStatus::failure(path.string() + " is not a " + kind + " file: it is longer than " +
                                     std::to_string(size) + " bytes");
    }
    if (!r.status) trace("import refused: %s", r.status.message.c_str());
    return r;
}

}  // namespace

IoStatus read_profile_file(const fs::path& path, ProfileRecord& out) {
    ReadResult read = read_one_record(path, ProfileRecord::kSize, "profile");
    if (read.status) out.assign(read.bytes);
    return read.status;
}

IoStatus export_profile(const ProfileRecord& record, const fs::path& path) {
    return write_file_atomic(path, record.bytes());
}

IoStatus export_macro(const MacroRecord& record, const fs::path& path) {
    return write_file_atomic(path, record.bytes());
}

ImportResult import_profile(const fs::path& path, ProfileLibrary& profiles, MacroLibrary& macros) {
    ImportResult result;
    ReadResult read = read_one_record(path, ProfileRecord::kSize, "profile");
    if (!read.status) {
        result.status = read.status;
        return result;
    }
    auto record = std::make_unique<ProfileRecord>();
    record->assign(read.bytes);
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
        IoStatus saved = macros.save();
        if (!saved) {
            undo_profile_import(result, profiles, macros);
            result.status = IoStatus::failure("the profile was not imported: its macros could not be saved: " +
                                              saved.message);
            result.index.reset();
            result.macros_added = 0;
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

IoStatus check_export_target(const fs::path& target, std::initializer_list<fs::path> library_files) {
    for (const fs::path& file : library_files) {
        std::error_code ec;
        if (fs::exists(target, ec) && fs::exists(file, ec) && fs::equivalent(target, file, ec) && !ec)
            return IoStatus::failure("not exporting onto " + target.string() + ": it is the library file " + file.string());
    }
    return IoStatus::success();
}

ImportResult import_macro(const fs::path& path, MacroLibrary& macros) {
    ImportResult result;
    ReadResult read = read_one_record(path, MacroRecord::kSize, "macro");
    if (!read.status) {
        result.status = read.status;
        return result;
    }
    auto record = std::make_unique<MacroRecord>();
    record->assign(read.bytes);
    record->set_name(unique_name(macros, record->name()));
    macros.append(std::move(record));
    result.index = macros.size() - 1;
    IoStatus saved = macros.save();
    if (!saved) result.status = IoStatus::failure("the macro was imported, but not saved: " + saved.message);
    return result;
}

}  // namespace vantorel
