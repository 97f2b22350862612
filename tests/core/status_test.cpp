// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/status.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(Status, EachFailureKeepsItsKindAndMessageAndNeverPassesForSuccess) {
    using Code = Status::Code;
    const struct {
        Status status;
        Code code;
        const char* words;
    } cases[] = {
        {Status::OK(), Code::Ok, "OK"},
        {Status(), Code::Ok, "OK"},
        {Status::NotFound("no profile Game"), Code::NotFound, "not found: no profile Game"},
        {Status::Corruption("bad header"), Code::Corruption, "corruption: bad header"},
        {Status::IoError("disk full"), Code::IoError, "I/O error: disk full"},
        {Status::InvalidArgument("empty name"), Code::InvalidArgument, "invalid argument: empty name"},
        {Status::IoError(""), Code::IoError, "I/O error: "},  // a failure without words is still a failure
    };
    for (const auto& c : cases) {
        const bool ok = c.code == Code::Ok;
        EXPECT_EQ(c.status.code(), c.code) << c.words;
        EXPECT_EQ(c.status.ok(), ok) << c.words;
        EXPECT_EQ(static_cast<bool>(c.status), ok) << c.words;
        EXPECT_EQ(c.status.to_string(), c.words);
        EXPECT_EQ(c.status.IsNotFound(), c.code == Code::NotFound) << c.words;
        EXPECT_EQ(c.status.IsCorruption(), c.code == Code::Corruption) << c.words;
        EXPECT_EQ(c.status.IsIoError(), c.code == Code::IoError) << c.words;
        EXPECT_EQ(c.status.IsInvalidArgument(), c.code == Code::InvalidArgument) << c.words;
        if (ok) EXPECT_TRUE(c.status.message().empty());
        else EXPECT_NE(c.status.to_string().find(c.status.message()), std::string::npos);
    }
}

}  // namespace
}  // namespace vantorel
