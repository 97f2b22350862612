// SPDX-License-Identifier: GPL-2.0-or-later
// The outcome of an operation below the user interface: success, or a code
// saying what kind of failure and a message saying what failed. Callers check
// it; nothing below the page fails silently.
#pragma once

#include <string>
#include <utility>

namespace vantorel {

class Status {
public:
    enum class Code {
        Ok,
        NotFound,         // the file, profile or entry asked for is not there
        Corruption,       // the data is there but unreadable or inconsistent
        IoError,          // reading, writing, renaming or removing failed
        InvalidArgument,  // the caller's input is refused
    };

    Status() = default;  // success

    static Status OK() { return {}; }
    static Status NotFound(std::string why) { return {Code::NotFound, std::move(why)}; }
    static Status Corruption(std::string why) { return {Code::Corruption, std::move(why)}; }
    static Status IoError(std::string why) { return {Code::IoError, std::move(why)}; }
    static Status InvalidArgument(std::string why) { return {Code::InvalidArgument, std::move(why)}; }

    bool ok() const { return code_ == Code::Ok; }
    explicit operator bool() const { return ok(); }
    Code code() const { return code_; }
    const std::string& message() const { return message_; }  // empty on success

    bool IsNotFound() const { return code_ == Code::NotFound; }
    bool IsCorruption() const { return code_ == Code::Corruption; }
    bool IsIoError() const { return code_ == Code::IoError; }
    bool IsInvalidArgument() const { return code_ == Code::InvalidArgument; }

    // "OK", or the kind of failure and its message, e.g. "corruption: bad header".
    std::string to_string() const;

private:
    Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}

    Code code_ = Code::Ok;
    std::string message_;
};

}  // namespace vantorel
