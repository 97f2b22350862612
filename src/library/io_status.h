// SPDX-License-Identifier: GPL-2.0-or-later
// The outcome of every operation that touches a file: success, or a message
// saying what failed. Callers check it; nothing here fails silently.
#pragma once

#include <string>
#include <utility>

namespace vantorel {

struct IoStatus {
    bool ok = true;
    std::string message;  // empty on success

    explicit operator bool() const { return ok; }

    static IoStatus success() { return {}; }
    static IoStatus failure(std::string why) { return {false, std::move(why)}; }
};

}  // namespace vantorel
