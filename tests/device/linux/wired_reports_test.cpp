// SPDX-License-Identifier: GPL-2.0-or-later
// The wired driver library's reading of input reports and collections.
#include <gtest/gtest.h>

#include "wired_reports.h"

namespace hiddriver {
namespace {

std::optional<DeviceEvent> event_of(std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> v(bytes);
    return find_event(v.data(), v.size());
}

TEST(WiredEventTest, FindsTheEventAfterAReportIdOrAtTheStart) {
    auto numbered = event_of({0x03, 0x27, 0x41, 0x01, 0x32});
    ASSERT_TRUE(numbered);
    EXPECT_EQ(numbered->event_word, 0x4127);
    EXPECT_EQ(numbered->value_word, 0x3201);

    auto bare = event_of({0x27, 0x10, 0x02, 0x00});
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->event_word, 0x1027);
    EXPECT_EQ(bare->value_word, 0x0002);

    // Trailing bytes of a longer report are ignored.
    auto padded = event_of({0x03, 0x27, 0x50, 0x00, 0x00, 0xAA, 0xBB});
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->event_word, 0x5027);
}

TEST(WiredEventTest, ReportsWithoutMarkerOrTooShortCarryNone) {
    EXPECT_FALSE(event_of({0x03, 0x26, 0x41, 0x01, 0x32}));
    EXPECT_FALSE(event_of({0x01, 0x00, 0x27, 0x00, 0x00}));  // a mouse movement report
    // The marker is there but the value would lie past the end.
    EXPECT_FALSE(event_of({0x03, 0x27, 0x41, 0x01}));
    EXPECT_FALSE(event_of({0x27, 0x41, 0x01}));
    EXPECT_FALSE(find_event(nullptr, 0));
}

TEST(WiredCollectionsTest, CommandPageWinsOverVendorPage) {
    const std::vector<Collection> collections = {
        {"/dev/hidraw4", 0x0001, 0x02}, {"/dev/hidraw5", 0xFF00, 0x01}, {"/dev/hidraw6", 0x000B, 0x00}};
    auto feature = pick_feature_collection(collections);
    ASSERT_TRUE(feature);
    EXPECT_EQ(feature->path, "/dev/hidraw6");
}

TEST(WiredCollectionsTest, VendorPageIsTheFallbackAndOtherPagesNever) {
    auto vendor = pick_feature_collection({{"/dev/hidraw4", 0x0001, 0x02}, {"/dev/hidraw5", 0xFF01, 0x01}});
    ASSERT_TRUE(vendor);
    EXPECT_EQ(vendor->path, "/dev/hidraw5");

    EXPECT_FALSE(pick_feature_collection({{"/dev/hidraw4", 0x0001, 0x02}, {"/dev/hidraw4", 0x000C, 0x01}}));
    EXPECT_FALSE(pick_feature_collection({}));
}

TEST(WiredCollectionsTest, EventNodesAreReadOnceEach) {
    const std::vector<Collection> same_node = {
        {"/dev/hidraw5", 0x000B, 0x00}, {"/dev/hidraw5", 0x000A, 0x00}, {"/dev/hidraw5", 0x000A, 0x01}};
    EXPECT_EQ(event_paths(same_node, "/dev/hidraw5"), std::vector<std::string>{"/dev/hidraw5"});

    const std::vector<Collection> split_nodes = {{"/dev/hidraw5", 0x000B, 0x00}, {"/dev/hidraw6", 0x000A, 0x00}};
    EXPECT_EQ(event_paths(split_nodes, "/dev/hidraw5"), std::vector<std::string>{"/dev/hidraw6"});

    // Without an event collection the feature node carries the events.
    EXPECT_EQ(event_paths({{"/dev/hidraw7", 0xFF00, 0x01}}, "/dev/hidraw7"),
              std::vector<std::string>{"/dev/hidraw7"});
}

}  // namespace
}  // namespace hiddriver
