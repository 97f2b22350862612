// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/profile_store.h"

namespace vantorel {

ProfileStore::LoadResult ProfileStore::load(const TextLookup& texts, LoadMode mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    LoadResult result;
    result.profiles = profiles_.load(folder_.profile_file(), texts, {}, mode);
    result.macros = macros_.load(folder_.macro_file(), {}, mode);
    return result;
}

std::size_t ProfileStore::selected() const {
    const std::int32_t i = profiles_.selected_profile_index();
    return (i < 0 || static_cast<std::size_t>(i) >= profiles_.size()) ? 0 : static_cast<std::size_t>(i);
}

ProfileRecord& ProfileStore::current() { return profiles_.at(selected()); }

bool ProfileStore::select(std::size_t i) {
    if (i >= profiles_.size()) return false;
    profiles_.set_selected_profile_index(static_cast<std::int32_t>(i));
    return true;
}

Status ProfileStore::save() { return profiles_.save(folder_.profile_file()); }

const TextLookup& builtin_texts() {
    static const MapTextLookup texts({{"add_profile_text", u"Profile "}, {"add_macro_text", u"Macro "}});
    return texts;
}

}  // namespace vantorel
