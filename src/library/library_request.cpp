// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/library_request.h"

#include <vector>

namespace vantorel {

namespace {

constexpr std::string_view kHold = "hold ";
constexpr std::string_view kReload = "reload ";
constexpr std::string_view kRelease = "release";
constexpr std::string_view kKeep = "keep";
constexpr std::string_view kMouse = "mouse";
constexpr std::string_view kAuto = "auto";

bool must_escape(unsigned char c) { return c < 0x20 || c == 0x7f || c == '%'; }

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is not how the writer writes
}

std::string escape_folder(std::string_view folder) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(folder.size());
    for (const char ch : folder) {
        const auto c = static_cast<unsigned char>(ch);
        if (!must_escape(c)) {
            out.push_back(ch);
            continue;
        }
        out.push_back('%');
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xf]);
    }
    return out;
}

std::optional<std::string> unescape_folder(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (must_escape(c) && c != '%') return std::nullopt;
        if (c != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (text.size() - i < 3) return std::nullopt;
        const int high = hex_digit(text[i + 1]);
        const int low = hex_digit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        const auto byte = static_cast<unsigned char>(high * 16 + low);
        if (!must_escape(byte) || byte == 0) return std::nullopt;
        out.push_back(static_cast<char>(byte));
        i += 2;
    }
    return out;
}

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
    if (line == kKeep) {
        request.verb = LibraryRequest::Verb::Keep;
        return request;
    }
    if (line == kRelease) {
        request.verb = LibraryRequest::Verb::Release;
        return request;
    }
    if (line == kMouse) {
        request.verb = LibraryRequest::Verb::Mouse;
        return request;
    }
    if (line == kAuto) {
        request.verb = LibraryRequest::Verb::Auto;
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
        const std::optional<std::string> folder = unescape_folder(line.substr(kHold.size()));
        if (!folder || folder->empty() || folder->front() != '/' || folder->size() > kMaxRequestFolder)
            return std::nullopt;
        request.verb = LibraryRequest::Verb::Hold;
        request.folder = *folder;
        return request;
    }
    return std::nullopt;
}

std::string format_library_request(const LibraryRequest& request) {
    switch (request.verb) {
        case LibraryRequest::Verb::Hold: return std::string(kHold) + escape_folder(request.folder);
        case LibraryRequest::Verb::Keep: return std::string(kKeep);
        case LibraryRequest::Verb::Reload:
            for (const ApplyWord& w : kApplyWords)
                if (w.apply == request.apply) return std::string(kReload) + std::string(w.word);
            break;
        case LibraryRequest::Verb::Release: return std::string(kRelease);
        case LibraryRequest::Verb::Mouse: return std::string(kMouse);
        case LibraryRequest::Verb::Auto: return std::string(kAuto);
    }
    return std::string(kRelease);
}

std::optional<MouseReply> parse_mouse_reply(std::string_view line) {
    // Exactly four words, one space apart.
    std::vector<std::string_view> words;
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        words.push_back(line.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    if (words.size() != 4) return std::nullopt;
    for (std::string_view word : words)
        if (word.empty()) return std::nullopt;
    if (words[0] != kMouse) return std::nullopt;
    MouseReply reply;
    if (words[1] != "wired" && words[1] != "wireless" && words[1] != "ble" && words[1] != "none") return std::nullopt;
    reply.link = std::string(words[1]);
    if (words[2] == "-1") {
        reply.percent = -1;
    } else {
        if (words[2].size() > 3 || (words[2].size() > 1 && words[2][0] == '0')) return std::nullopt;
        int percent = 0;
        for (char c : words[2]) {
            if (c < '0' || c > '9') return std::nullopt;
            percent = percent * 10 + (c - '0');
        }
        if (percent > 100) return std::nullopt;
        reply.percent = percent;
    }
    if (words[3] != "0" && words[3] != "1") return std::nullopt;
    reply.charging = words[3] == "1";
    return reply;
}

std::string format_mouse_reply(const MouseReply& reply) {
    return std::string(kMouse) + ' ' + reply.link + ' ' + std::to_string(reply.percent) + ' ' +
           (reply.charging ? "1" : "0");
}

std::optional<std::string> parse_auto_reply(std::string_view line) {
    if (!line.starts_with(kAuto) || line.size() <= kAuto.size() + 1 || line[kAuto.size()] != ' ') return std::nullopt;
    std::string status(line.substr(kAuto.size() + 1));
    for (char c : status)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    return status;
}

std::string format_auto_reply(std::string_view status) {
    std::string line = std::string(kAuto) + ' ';
    for (char c : status) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    if (status.empty()) line += '-';
    return line;
}

}  // namespace vantorel
