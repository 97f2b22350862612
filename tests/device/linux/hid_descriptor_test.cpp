// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/hid_descriptor.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lengths = std::map<std::uint8_t, std::size_t>;

TEST(HidDescriptor, FeatureLengthsSurviveOddAndDamagedDescriptors) {
    struct Case {
        const char* what;
        Bytes descriptor;
        Lengths lengths;
    };
    const Case cases[] = {
        {"no report ids: nothing to pad by", {0x75, 0x08, 0x95, 0x10, 0xB1, 0x02}, {}},
        {"inputs do not count", {0x85, 0x03, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02}, {}},
        {"bits round up to bytes", {0x85, 0x07, 0x75, 0x01, 0x95, 0x09, 0xB1, 0x02}, {{7, 3}}},
        {"four-byte values and a long item skipped",
         {0x85, 0x02, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x77, 0x08, 0, 0, 0, 0x97, 0x20, 0, 0, 0, 0xB1, 0x02},
         {{2, 33}}},
        {"cut short inside an item", {0x85, 0x05, 0x75, 0x08, 0x95, 0x0E, 0xB1, 0x02, 0x85, 0x06, 0x95}, {{5, 15}}},
        {"a pop without a push is ignored", {0xB4, 0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}, {{1, 2}}},
        {"absurd sizes are capped", {0x85, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0x00, 0x97, 0xFF, 0xFF, 0, 0, 0xB1, 0x02},
         {{1, 4096}}},
        {"empty", {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(feature_report_lengths(c.descriptor), c.lengths) << c.what;
}

TEST(HidDescriptor, PaddingNeverCutsAReport) {
    const Lengths lengths = {{5, 8}};
    EXPECT_EQ(pad_feature_report(Bytes{5, 1, 2}, lengths), (Bytes{5, 1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pad_feature_report(Bytes(10, 5), lengths), Bytes(10, 5));
    EXPECT_EQ(pad_feature_report(Bytes{6, 1}, lengths), (Bytes{6, 1}));
    EXPECT_TRUE(pad_feature_report(Bytes{}, lengths).empty());
}

}  // namespace
}  // namespace vantorel
