// SPDX-License-Identifier: GPL-2.0-or-later
// Cuts the bytes a peer sends on a stream socket into lines. A request of
// ours is one short line; bytes that grow past the limit without a line end
// are no request of ours, and the connection is dropped then.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

class LineSplitter {
public:
    explicit LineSplitter(std::size_t max_line) : max_line_(max_line) {}

    // Takes received bytes; false once the unfinished line is longer than the
    // limit (the splitter then stays failed).
    bool feed(std::string_view bytes) {
        if (failed_) return false;
        pending_.append(bytes);
        check();
        return !failed_;
    }

    // The next whole line without its '\n'; nothing until one is complete.
    // A line of more than the limit fails the splitter and gives nothing.
    std::optional<std::string> next() {
        if (failed_) return std::nullopt;
        const std::size_t end = pending_.find('\n', start_);
        if (end == std::string::npos) {
            compact();
            check();
            return std::nullopt;
        }
        if (end - start_ > max_line_) {
            failed_ = true;
            return std::nullopt;
        }
        std::string line = pending_.substr(start_, end - start_);
        start_ = end + 1;
        return line;
    }

    bool failed() const { return failed_; }

private:
    void compact() {
        pending_.erase(0, start_);
        start_ = 0;
    }
    // Only the unfinished tail counts against the limit; whole lines wait to
    // be taken by next().
    void check() {
        const std::size_t last_end = pending_.rfind('\n');
        const std::size_t tail_start = last_end == std::string::npos || last_end < start_ ? start_ : last_end + 1;
        if (pending_.size() - tail_start > max_line_) failed_ = true;
    }

    std::size_t max_line_;
    std::string pending_;
    std::size_t start_ = 0;
    bool failed_ = false;
};

}  // namespace vantorel
