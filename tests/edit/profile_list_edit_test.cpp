// SPDX-License-Identifier: GPL-2.0-or-later
// The changes of the profile list the page and the command line share: where
// the selection goes and what the mouse needs afterwards.
#include "edit/profile_list_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantorel::edit {
namespace {

class ProfileListEdit : public ::testing::Test {
protected:
    // Profiles "A" "B" "C" "D", `selected` chosen.
    void make(std::size_t selected) {
        for (const char16_t* name : {u"A", u"B", u"C", u"D"}) {
            ProfileRecord r;
            r.reset_to_defaults();
            r.set_profile_name(name);
            store.profiles().append(r);
        }
        store.select(selected);
    }
    std::u16string selected_name() { return store.current().profile_name(); }
    ProfileStore store{DataFolder::at("unused-folder", DataFolder::Create::Never)};
};

TEST_F(ProfileListEdit, DeletingKeepsTheSelectionOnItsProfileOrItsNeighbour) {
    struct Case {
        const char* what;
        std::size_t selected, deleted;
        const char16_t* selected_after;
        MouseNeed need;
    };
    const Case cases[] = {
        {"one before the selected", 2, 0, u"C", MouseNeed::Nothing},
        {"one after the selected", 1, 3, u"B", MouseNeed::Nothing},
        {"the selected, in the middle: the one in its place", 1, 1, u"C", MouseNeed::Everything},
        {"the selected, the last: the one before", 3, 3, u"C", MouseNeed::Everything},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.profiles() = ProfileLibrary();
        make(c.selected);
        const auto change = delete_profile(store, c.deleted);
        ASSERT_TRUE(change.has_value());
        EXPECT_EQ(selected_name(), c.selected_after);
        EXPECT_EQ(change->index, store.selected());
        EXPECT_EQ(change->need, c.need);
    }
    // A library keeps one profile.
    while (store.profiles().size() > 1) ASSERT_TRUE(delete_profile(store, 0));
    EXPECT_FALSE(delete_profile(store, 0).has_value());
    EXPECT_EQ(store.profiles().size(), 1u);
}

TEST_F(ProfileListEdit, AddedAndDuplicatedProfilesAreSelectedUnderANameOfTheirOwn) {
    make(1);
    ListChange copy = duplicate_profile(store, 1);
    EXPECT_EQ(copy.need, MouseNeed::Everything);
    EXPECT_EQ(copy.index, 4u);
    EXPECT_EQ(store.selected(), 4u);
    EXPECT_NE(selected_name(), u"B") << "the copy took its source's name";
    EXPECT_EQ(duplicate_profile(store, 0, u"Mine").index, 5u);
    EXPECT_EQ(selected_name(), u"Mine");
    EXPECT_EQ(add_profile(store, u"New").index, 6u);
    EXPECT_EQ(selected_name(), u"New");

    // A rename and a reset of another profile send nothing.
    EXPECT_EQ(rename_profile(store, 0, u"Z").old_name, u"A");
    EXPECT_EQ(rename_profile(store, 0, u"Z").need, MouseNeed::Nothing);
    store.profiles().at(0).set_dpi_value(0, 99);
    EXPECT_EQ(reset_profile(store, 0).need, MouseNeed::Nothing);
    EXPECT_NE(store.profiles().at(0).dpi_value(0), 99);
    EXPECT_EQ(store.profiles().at(0).profile_name(), u"Z") << "a reset lost the name";
    EXPECT_EQ(reset_profile(store, store.selected()).need, MouseNeed::Everything);
}

}  // namespace
}  // namespace vantorel::edit
