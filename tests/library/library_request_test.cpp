// SPDX-License-Identifier: GPL-2.0-or-later
// The request lines of the single-instance socket: what the running program
// accepts, what it refuses, and that both ends write and read the same bytes.
#include <gtest/gtest.h>

#include "library/library_request.h"

namespace vantorel {
namespace {

using Verb = LibraryRequest::Verb;
using Apply = LibraryRequest::Apply;

TEST(LibraryRequestLine, WellFormedRequestsAreReadAndWrittenBackByteForByte) {
    const struct {
        std::string line;
        Verb verb;
        std::string folder;
        Apply apply;
    } cases[] = {
        {"hold /home/u/.local/share/QV Vantorel", Verb::Hold, "/home/u/.local/share/QV Vantorel", Apply::None},
        {"hold /", Verb::Hold, "/", Apply::None},
        {"hold /a/../b/ x", Verb::Hold, "/a/../b/ x", Apply::None},
        {"hold /d\xff\xfe", Verb::Hold, "/d\xff\xfe", Apply::None},  // folder names need not be UTF-8
        // Bytes that could end or split the line travel escaped.
        {"hold /data%0A/%0Dx%25%7F%09", Verb::Hold, "/data\n/\rx%\x7f\t", Apply::None},
        {"keep", Verb::Keep, "", Apply::None},
        {"reload none", Verb::Reload, "", Apply::None},
        {"reload changed", Verb::Reload, "", Apply::Changed},
        {"reload full", Verb::Reload, "", Apply::Full},
        {"release", Verb::Release, "", Apply::None},
        {"mouse", Verb::Mouse, "", Apply::None},
        {"auto", Verb::Auto, "", Apply::None},
    };
    for (const auto& c : cases) {
        const auto r = parse_library_request(c.line);
        ASSERT_TRUE(r) << c.line;
        EXPECT_EQ(r->verb, c.verb) << c.line;
        EXPECT_EQ(r->folder, c.folder) << c.line;
        EXPECT_EQ(r->apply, c.apply) << c.line;
        EXPECT_EQ(format_library_request(*r), c.line);
    }
}

TEST(LibraryRequestLine, AnythingElseIsRefused) {
    const std::string cases[] = {
        "",
        "hold",
        "hold ",
        "hold data/QV Vantorel",      // relative: the program's working folder is another
        "hold ~/QV Vantorel",
        "hold  /two/spaces",
        std::string("hold /home/u\0/other", 19),
        "hold /" + std::string(kMaxRequestFolder, 'a'),
        "reload",
        "reload ",
        "reload all",
        "reload Full",
        "reload full ",
        "reload full\r",
        "release ",
        "Release",
        "wake",
        "hold\t/home",
        "hold /raw\nnewline",
        "hold /raw\ttab",
        "hold /%00nul",
        "hold /%0a",   // lower case: not how it is written
        "hold /%41",   // needs no escape: the same folder would have two lines
        "hold /%4",
        "hold /%",
        "hold /%G0",
        "keep ",
        "mouse ",
        "Mouse",
    };
    for (const std::string& line : cases) EXPECT_FALSE(parse_library_request(line)) << line;
    EXPECT_TRUE(parse_library_request("hold /" + std::string(kMaxRequestFolder - 1, 'a'))) << "the longest folder";
    std::string escaped;
    for (std::size_t i = 0; i + 1 < kMaxRequestFolder; ++i) escaped += "%0A";
    EXPECT_TRUE(parse_library_request("hold /" + escaped)) << "the longest folder, every byte escaped";
}

// The running program's answer about the mouse: read back as written, and
// nothing half-formed taken for an answer.
TEST(MouseReplyLine, AnswersRoundTripAndMalformedOnesAreRefused) {
    const MouseReply good[] = {{"wireless", 76, false}, {"wired", 100, true}, {"ble", -1, false}, {"none", -1, false},
                               {"wired", 0, true}};
    for (const MouseReply& r : good) EXPECT_EQ(parse_mouse_reply(format_mouse_reply(r)), r) << format_mouse_reply(r);
    EXPECT_EQ(format_mouse_reply({"wireless", 76, false}), "mouse wireless 76 0");
    const std::string bad[] = {"", "mouse", "mouse wireless 76", "mouse wireless 76 0 x", "mouse usb 76 0",
                               "mouse wireless 101 0", "mouse wireless 076 0", "mouse wireless -2 0",
                               "mouse wireless 76 2", "mouse  wireless 76 0", "mouse wireless 76 0 ", "held"};
    for (const std::string& line : bad) EXPECT_FALSE(parse_mouse_reply(line)) << line;
}

// The status travels as one line whatever the detector says; a line that is
// not an answer is not taken for one.
TEST(AutoReplyLine, AStatusStaysOneLineAndMalformedAnswersAreRefused) {
    EXPECT_EQ(parse_auto_reply(format_auto_reply("following the focused window through KWin")),
              "following the focused window through KWin");
    EXPECT_EQ(parse_auto_reply(format_auto_reply("line one\nline two")), "line one line two");
    EXPECT_TRUE(parse_auto_reply(format_auto_reply("")));
    for (const char* line : {"auto", "auto ", "autox text", "mouse none -1 0", "auto a\tb"})
        EXPECT_FALSE(parse_auto_reply(line)) << line;
}

}  // namespace
}  // namespace vantorel
