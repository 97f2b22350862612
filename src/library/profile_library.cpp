// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/profile_library.h"

#include <algorithm>

#include "core/text.h"
#include "core/trace.h"
#include "library/names.h"

namespace vantorel {
namespace fs = std::filesystem;

namespace {

std::u16string decimal(std::size_t n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

namespace {
constexpr std::size_t kHeaderKept = profile_file::kSelectedIndex + 4;
static_assert(kHeaderKept <= profile_file::kHeaderSize);
}  // namespace

ProfileLibrary::ProfileLibrary() : header_(kHeaderKept, 0) {}

std::int32_t ProfileLibrary::selected_profile_index() const {
    return load_i32(header_.data() + profile_file::kSelectedIndex);
}

void ProfileLibrary::set_selected_profile_index(std::int32_t index) {
    store_i32(header_.data() + profile_file::kSelectedIndex, index);
}

ProfileRecord& ProfileLibrary::append(const ProfileRecord& record) {
    return append(std::make_unique<ProfileRecord>(record));
}

ProfileRecord& ProfileLibrary::append(std::unique_ptr<ProfileRecord> record) {
    records_.push_back(std::move(record));
    return *records_.back();
}

bool ProfileLibrary::remove(std::size_t i) {
    if (i >= records_.size()) return false;
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

ProfileRecord& ProfileLibrary::create_profile(const TextLookup& texts) {
    std::u16string base = texts.text("add_profile_text") + decimal(records_.size() + 1);
    auto record = std::make_unique<ProfileRecord>();
    record->reset_to_defaults();
    record->set_profile_name(unique_name(*this, base));
    return append(std::move(record));
}

std::vector<Byte> ProfileLibrary::serialize() const {
    std::vector<Byte> out;
    out.reserve(profile_file::kHeaderSize + records_.size() * ProfileRecord::kSize);
    out.insert(out.end(), header_.begin(), header_.end());
    out.resize(profile_file::kHeaderSize, Byte{0});
    for (const auto& r : records_) out.insert(out.end(), r->bytes().begin(), r->bytes().end());
    return out;
}

Status ProfileLibrary::save(const fs::path& file) {
    if (records_.size() > profile_file::kMaxProfiles)
        return Status::InvalidArgument("not saving " + std::to_string(records_.size()) + " profiles: a library holds at most " +
                                       std::to_string(profile_file::kMaxProfiles));
    Status status = save_library_file(file, serialize(), protected_file_, "profile library");
    if (status) file_ = file;
    return status;
}

Status ProfileLibrary::save() {
    if (file_.empty()) return Status::InvalidArgument("the profile library has no file to save to");
    return save(file_);
}

void ProfileLibrary::start_fresh(const TextLookup& texts) {
    records_.clear();
    header_.assign(kHeaderKept, Byte{0});
    create_profile(texts);
}

LoadReport ProfileLibrary::load(const fs::path& file, const TextLookup& texts, const WallClock& clock,
                                 LoadMode mode) {
    LoadReport report;
    file_ = file;
    protected_file_.reset();
    const bool read_only = mode == LoadMode::ReadOnly;
    if (read_only) protected_file_ = file;
    else if (const std::size_t n = remove_stale_temporaries(file)) trace("profile library: removed %zu stale temporary file(s)", n);
    records_.clear();
    header_.assign(kHeaderKept, Byte{0});

    auto save_now = [&] {
        if (read_only) return;
        report.saved = true;
        report.save_status = save(file);
        if (!report.save_status) report.problems.push_back(report.save_status.message());
    };
    // Keeps the damaged file aside; when that fails the file must not be
    // overwritten by any later save.
    auto set_aside = [&] {
        if (read_only) return false;
        AsideResult aside = keep_aside(file, wall_now(clock));
        if (!aside.status) {
            protected_file_ = file;
            report.problems.push_back(aside.status.message() + "; the file is left as it is and will not be saved over");
            return false;
        }
        report.kept_aside = aside.path;
        report.problems.push_back("the damaged file was kept as " + aside.path.string());
        return true;
    };

    ReadResult read = read_file(file, profile_file::kMaxFileSize);
    if (read.missing) {
        report.file_missing = true;
        report.started_fresh = true;
        if (read_only) return report;  // an empty library; nothing is created
        start_fresh(texts);
        save_now();
        return report;
    }

    const std::vector<Byte>& bytes = read.bytes;
    std::string damage;
    if (read.too_long) {
        damage = read.status.message() + ": more than a library of " + std::to_string(profile_file::kMaxProfiles) +
                 " profiles, the most it holds";
    } else if (!read.status) {
        damage = read.status.message();
    } else if (bytes.size() < profile_file::kHeaderSize) {
        damage = file.string() + " is shorter than its header (" + std::to_string(bytes.size()) + " bytes)";
    } else if (bytes.size() - profile_file::kHeaderSize < ProfileRecord::kSize) {
        damage = file.string() + " holds no complete profile";
    }
    if (!damage.empty()) {
        report.problems.push_back(damage);
        report.started_fresh = true;
        if (read_only) return report;
        start_fresh(texts);
        if (set_aside()) save_now();
        trace("profile library: %s", damage.c_str());
        return report;
    }

    std::size_t kept = profile_file::kHeaderSize;
    while (kept > kHeaderKept && bytes[kept - 1] == Byte{0}) --kept;
    header_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
    header_.shrink_to_fit();
    const std::size_t body = bytes.size() - profile_file::kHeaderSize;
    const std::size_t count = body / ProfileRecord::kSize;
    for (std::size_t i = 0; i < count; ++i) {
        auto record = std::make_unique<ProfileRecord>();
        auto first = bytes.begin() + static_cast<std::ptrdiff_t>(profile_file::kHeaderSize + i * ProfileRecord::kSize);
        std::copy_n(first, ProfileRecord::kSize, record->bytes().begin());
        records_.push_back(std::move(record));
    }
    report.records_loaded = count;

    const std::int32_t selected = selected_profile_index();
    if (selected < 0 || static_cast<std::size_t>(selected) >= records_.size()) {
        report.selection_reset = true;
        report.problems.push_back("the stored selection " + std::to_string(selected) +
                                  " is outside the list of " + std::to_string(records_.size()) +
                                  " profiles; the first profile is selected");
        set_selected_profile_index(0);
    }

    if (const std::size_t rest = body % ProfileRecord::kSize) {
        report.dropped_bytes = rest;
        report.problems.push_back("the last profile of " + file.string() + " is cut short; its " +
                                  std::to_string(rest) + " bytes were dropped");
        if (set_aside()) save_now();
    }
    for (const auto& p : report.problems) trace("profile library: %s", p.c_str());
    return report;
}

bool name_exists(const ProfileLibrary& library, std::u16string_view name) {
    for (std::size_t i = 0; i < library.size(); ++i)
        if (equals_ignore_case(library[i].profile_name(), name)) return true;
    return false;
}

std::u16string unique_name(const ProfileLibrary& library, std::u16string_view base) {
    return unique_name(base, profile_file::kMaxNameLength,
                       [&](std::u16string_view n) { return name_exists(library, n); });
}

}  // namespace vantorel
