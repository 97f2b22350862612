// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: a line on the single-instance socket as the running program
// reads it (NUL bytes, no newline, over-long, any bytes after the verb).
// Checks: no crash; only hold, keep, reload, release, mouse and auto are
// accepted (the last four as bare words), reload
// only with none, changed or full; a hold's folder is absolute, within the
// path limit and free of NUL bytes, and its line holds no control byte; an
// accepted request writes back the very line it came from, and a written
// request reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "library/library_request.h"

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto request = parse_library_request(line);
    if (!request) return 0;
    if (format_library_request(*request) != line) std::abort();
    switch (request->verb) {
        case LibraryRequest::Verb::Hold:
            if (!line.starts_with("hold /") || request->folder.size() > kMaxRequestFolder ||
                request->folder.find('\0') != std::string::npos)
                std::abort();
            for (const char c : line)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) std::abort();
            break;
        case LibraryRequest::Verb::Keep:
            if (line != "keep") std::abort();
            break;
        case LibraryRequest::Verb::Reload:
            if (line != "reload none" && line != "reload changed" && line != "reload full") std::abort();
            break;
        case LibraryRequest::Verb::Release:
            if (line != "release") std::abort();
            break;
        case LibraryRequest::Verb::Mouse:
            if (line != "mouse") std::abort();
            break;
        case LibraryRequest::Verb::Auto:
            if (line != "auto") std::abort();
            break;
    }
    if (parse_library_request(format_library_request(*request)) != request) std::abort();
    return 0;
}
