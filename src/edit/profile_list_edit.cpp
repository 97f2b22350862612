// SPDX-License-Identifier: GPL-2.0-or-later
#include "edit/profile_list_edit.h"

#include <algorithm>
#include <memory>

namespace vantorel::edit {

namespace {

ListChange append_selected(ProfileStore& store, std::unique_ptr<ProfileRecord> record) {
    ProfileLibrary& list = store.profiles();
    list.append(std::move(record));
    const std::size_t index = list.size() - 1;
    store.select(index);
    return {index, MouseNeed::Everything, {}};
}

MouseNeed need_if_selected(const ProfileStore& store, std::size_t index) {
    return index == store.selected() ? MouseNeed::Everything : MouseNeed::Nothing;
}

}  // namespace

ListChange add_profile(ProfileStore& store, std::u16string name) {
    auto record = std::make_unique<ProfileRecord>();
    record->reset_to_defaults();
    record->set_profile_name(std::move(name));
    return append_selected(store, std::move(record));
}

ListChange duplicate_profile(ProfileStore& store, std::size_t index, std::u16string name) {
    auto copy = std::make_unique<ProfileRecord>(store.profiles().at(index));
    if (name.empty()) name = unique_name(store.profiles(), copy->profile_name());
    copy->set_profile_name(std::move(name));
    return append_selected(store, std::move(copy));
}

ListChange rename_profile(ProfileStore& store, std::size_t index, std::u16string name) {
    ProfileRecord& record = store.profiles().at(index);
    ListChange change{index, MouseNeed::Nothing, record.profile_name()};
    record.set_profile_name(std::move(name));
    return change;
}

std::optional<ListChange> delete_profile(ProfileStore& store, std::size_t index) {
    ProfileLibrary& list = store.profiles();
    if (list.size() <= 1 || index >= list.size()) return std::nullopt;
    const std::size_t selected = store.selected();
    ListChange change{0, need_if_selected(store, index), list[index].profile_name()};
    list.remove(index);
    if (index == selected) change.index = std::min(index, list.size() - 1);
    else change.index = selected > index ? selected - 1 : selected;
    store.select(change.index);
    return change;
}

ListChange reset_profile(ProfileStore& store, std::size_t index) {
    store.profiles().at(index).restore_defaults();
    return {index, need_if_selected(store, index), {}};
}

ListChange select_profile(ProfileStore& store, std::size_t index) {
    store.select(index);
    return {index, MouseNeed::Everything, {}};
}

}  // namespace vantorel::edit
