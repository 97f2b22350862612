// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/status.h"

namespace vantorel {

std::string Status::to_string() const {
    const char* kind = "";
    switch (code_) {
        case Code::Ok: return "OK";
        case Code::NotFound: kind = "not found: "; break;
        case Code::Corruption: kind = "corruption: "; break;
        case Code::IoError: kind = "I/O error: "; break;
        case Code::InvalidArgument: kind = "invalid argument: "; break;
    }
    return kind + message_;
}

}  // namespace vantorel
