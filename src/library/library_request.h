// SPDX-License-Identifier: GPL-2.0-or-later
// The lines vantorelctl sends to the running program over its single-instance
// socket while it changes the library files (the program's side is
// LibraryRequests, which says what each one does):
//
//   hold <data folder>
//   keep
//   reload none|changed|full
//   release
//   mouse      (no hold needed: the program answers with a mouse line, below)
//   auto       (no hold needed: the program answers with an auto line, below)
//
// One request a line, without its newline; words are separated by one space
// and nothing else is accepted around them. The data folder is the command's
// absolute path: the two processes have different working folders, so a
// relative one would name another folder. Its bytes are taken as they are,
// except that control bytes (a newline among them), DEL and '%' are written
// as '%' and two upper-case hexadecimal digits, so no folder name can split
// or end a line; nothing else may be written that way, so each request has
// exactly one line. Parsing and writing live here so that both ends agree on
// every byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

struct LibraryRequest {
    enum class Verb { Hold, Keep, Reload, Release, Mouse, Auto };
    enum class Apply { None, Changed, Full };

    Verb verb = Verb::Release;
    std::string folder;         // Hold: the data folder
    Apply apply = Apply::None;  // Reload: what the program then applies

    bool operator==(const LibraryRequest&) const = default;
};

// The longest data folder a hold takes: the system's path limit, less its
// terminating NUL.
inline constexpr std::size_t kMaxRequestFolder = 4095;

// Null for anything but a well-formed request: an unknown verb or apply, a
// missing or extra word, a folder that is empty, relative, over-long, holds
// a NUL byte, a raw control byte or an escape that is malformed or not needed.
std::optional<LibraryRequest> parse_library_request(std::string_view line);
// The line of a request, without the newline.
std::string format_library_request(const LibraryRequest& request);

// The program's answer to "mouse": the link it reaches the mouse over and the
// battery as the mouse last reported it.
//   mouse <wired|wireless|ble|none> <percent, -1 when not reported> <charging 0|1>
struct MouseReply {
    std::string link = "none";
    int percent = -1;
    bool charging = false;

    bool operator==(const MouseReply&) const = default;
};
std::optional<MouseReply> parse_mouse_reply(std::string_view line);
std::string format_mouse_reply(const MouseReply& reply);

// The program's answer to "auto": how it follows the focused application,
// one line of text ("following the focused window through KWin", or why it
// follows nothing).
//   auto <text>
// Control bytes in the text are written as spaces; an empty text is refused.
std::optional<std::string> parse_auto_reply(std::string_view line);
std::string format_auto_reply(std::string_view status);

}  // namespace vantorel
