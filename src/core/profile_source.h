// SPDX-License-Identifier: GPL-2.0-or-later
// Where the apply engine and the event dispatch find the edited profile.
// The one mutex guards the edited record, the library around it and the
// apply engine's last-applied copy: the apply worker snapshots and saves
// under it, the UI thread edits and commits under it.
#pragma once

#include <atomic>
#include <mutex>
#include "core/profile_record.h"
#include "core/status.h"

namespace vantorel {

class ProfileSource {
public:
    virtual ~ProfileSource() = default;
    virtual std::mutex& mutex() = 0;
    // The edited record (the selected profile). Call with mutex() held.
    virtual ProfileRecord& current() = 0;
    // Saves the profile library with its selected index. Call with mutex()
    // held.
    virtual Status save() = 0;
};

// A single record with a save counter: the source the tests and the
// command line use when no library is involved.
class MemoryProfileSource : public ProfileSource {
public:
    std::mutex& mutex() override { return mutex_; }
    ProfileRecord& current() override { return record_; }
    Status save() override {
        ++saves_;
        return fail_saves_ ? Status::IoError("simulated save failure") : Status::OK();
    }
    int saves() const { return saves_.load(); }
    void set_fail_saves(bool fail) { fail_saves_ = fail; }

private:
    std::mutex mutex_;
    ProfileRecord record_;
    std::atomic<int> saves_{0};
    bool fail_saves_ = false;
};

}  // namespace vantorel
