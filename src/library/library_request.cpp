// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/library_request.h"

namespace vantorel {

namespace {

constexpr std::string_view kHold = "hold ";
constexpr std::string_view kReload = "reload ";
constexpr std::string_view kRelease = "release";

struct ApplyWord {
    LibraryRequest::Apply apply;
    std::string_view word;
};
constexpr ApplyWord kApplyWords[] = {
    {LibraryRequest::Apply::None, "none"},
    {LibraryRequest::Apply::Changed, "changed"},
    {LibraryRequest::Apply::Full, "full"},
};

}  // namespace

std::optional<LibraryRequest> parse_library_request(std::string_view line) {
    LibraryRequest request;
    if (line == kRelease) {
        request.verb = LibraryRequest::Verb::Release;
        return request;
    }
    if (line.starts_with(kReload)) {
        const std::string_view word = line.substr(kReload.size());
        for (const ApplyWord& w : kApplyWords) {
            if (word != w.word) continue;
            request.verb = LibraryRequest::Verb::Reload;
            request.apply = w.apply;
            return request;
        }
        return std::nullopt;
    }
    if (line.starts_with(kHold)) {
        const std::string_view folder = line.substr(kHold.size());
        if (folder.empty() || folder.front() != '/' || folder.size() > kMaxRequestFolder ||
            folder.find('\0') != std::string_view::npos)
            return std::nullopt;
        request.verb = LibraryRequest::Verb::Hold;
        request.folder = std::string(folder);
        return request;
    }
    return std::nullopt;
}

std::string format_library_request(const LibraryRequest& request) {
    switch (request.verb) {
        case LibraryRequest::Verb::Hold: return std::string(kHold) + request.folder;
        case LibraryRequest::Verb::Reload:
            for (const ApplyWord& w : kApplyWords)
                if (w.apply == request.apply) return std::string(kReload) + std::string(w.word);
            break;
        case LibraryRequest::Verb::Release: return std::string(kRelease);
    }
    return std::string(kRelease);
}

}  // namespace vantorel
