// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/macro_library.h"

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "core/trace.h"
#include "library/names.h"

namespace vantorel {
namespace fs = std::filesystem;

MacroRecord& MacroLibrary::append(const MacroRecord& record) { return append(std::make_unique<MacroRecord>(record)); }

MacroRecord& MacroLibrary::append(std::unique_ptr<MacroRecord> record) {
    records_.push_back(std::move(record));
    return *records_.back();
}

bool MacroLibrary::remove(std::size_t i) {
    if (i >= records_.size()) return false;
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

std::vector<Byte> MacroLibrary::serialize() const {
    std::vector<Byte> out;
    out.reserve(records_.size() * MacroRecord::kSize);
    for (const auto& r : records_) out.insert(out.end(), r->bytes().begin(), r->bytes().end());
    return out;
}

Status MacroLibrary::save(const fs::path& file) {
    if (records_.size() > macro_file::kMaxMacros)
        return Status::InvalidArgument("not saving " + std::to_string(records_.size()) + " macros: a library holds at most " +
                                       std::to_string(macro_file::kMaxMacros));
    Status status = save_library_file(file, serialize(), protected_file_, "macro library");
    if (status) file_ = file;
    return status;
}

Status MacroLibrary::save() {
    if (file_.empty()) return Status::InvalidArgument("the macro library has no file to save to");
    return save(file_);
}

Status MacroLibrary::create_macro(const TextLookup& texts) {
    std::string count = std::to_string(records_.size() + 1);
    std::u16string base = texts.text("add_macro_text") + std::u16string(count.begin(), count.end());
    auto record = std::make_unique<MacroRecord>();
    record->set_name(unique_name(*this, base));
    append(std::move(record));
    return save();
}

LoadReport MacroLibrary::load(const fs::path& file, const WallClock& clock, LoadMode mode) {
    LoadReport report;
    file_ = file;
    protected_file_.reset();
    if (mode == LoadMode::ReadOnly) protected_file_ = file;
    else if (const std::size_t n = remove_stale_temporaries(file)) trace("macro library: removed %zu stale temporary file(s)", n);
    records_.clear();

    ReadResult read = read_file(file, macro_file::kMaxFileSize);
    if (read.missing) {
        report.file_missing = true;
        report.started_fresh = true;
        return report;
    }
    if (read.status) {
        // A record is read even when the file ends inside it; what is
        // missing reads as zero. The next save writes it whole.
        const std::size_t count = (read.bytes.size() + MacroRecord::kSize - 1) / MacroRecord::kSize;
        for (std::size_t i = 0; i < count; ++i) {
            auto record = std::make_unique<MacroRecord>();
            const std::size_t at = i * MacroRecord::kSize;
            std::memcpy(record->bytes().data(), read.bytes.data() + at,
                        std::min(MacroRecord::kSize, read.bytes.size() - at));
            records_.push_back(std::move(record));
        }
        report.records_loaded = count;
        report.started_fresh = (count == 0);
        if (const std::size_t rest = read.bytes.size() % MacroRecord::kSize)
            trace("macro library: the last macro of %s is cut short (%zu of %zu bytes); the rest reads as zero",
                  file.c_str(), rest, MacroRecord::kSize);
        return report;
    }

    report.started_fresh = true;
    report.problems.push_back(read.too_long ? read.status.message() + ": more than a library of " +
                                                  std::to_string(macro_file::kMaxMacros) + " macros, the most it holds"
                                            : read.status.message());
    if (mode == LoadMode::ReadOnly) return report;
    AsideResult aside = keep_aside(file, wall_now(clock));
    if (aside.status) {
        report.kept_aside = aside.path;
        report.problems.push_back("the damaged file was kept as " + aside.path.string());
        report.saved = true;
        report.save_status = save(file);
        if (!report.save_status) report.problems.push_back(report.save_status.message());
    } else {
        protected_file_ = file;
        report.problems.push_back(aside.status.message() + "; the file is left as it is and will not be saved over");
    }
    for (const auto& p : report.problems) trace("macro library: %s", p.c_str());
    return report;
}

bool name_exists(const MacroLibrary& library, std::u16string_view name) {
    for (std::size_t i = 0; i < library.size(); ++i)
        if (equals_ignore_case(library[i].name(), name)) return true;
    return false;
}

std::u16string unique_name(const MacroLibrary& library, std::u16string_view base) {
    return unique_name(base, macro_layout::kMaxNameLength,
                       [&](std::u16string_view n) { return name_exists(library, n); });
}

SlotMacroMatch find_slot_macro(const MacroLibrary& library, ConstSlotRef slot) {
    SlotMacroMatch match;
    const std::u16string name = slot.macro_name();
    for (std::size_t i = 0; i < library.size(); ++i) {
        if (!equals_ignore_case(library[i].name(), name)) continue;
        const MacroRecord& macro = library[i];
        match.index = static_cast<int>(i);
        if (macro.action_count() == static_cast<std::int32_t>(slot.macro_action_count())) {
            // Both arrays hold 160 entries; a count beyond that compares them all.
            const std::size_t n = macro.valid_action_count();
            const Byte* a = macro.action_bytes().data();
            const Byte* b = slot.bytes().data() + slot_layout::kMacroActions;
            match.identical = std::memcmp(a, b, n * kMacroActionSize) == 0;
        }
        return match;
    }
    return match;
}

}  // namespace vantorel
