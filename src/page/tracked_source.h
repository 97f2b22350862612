// SPDX-License-Identifier: GPL-2.0-or-later
// The profile store as the apply engine and the device events see it, with a
// note of whether memory holds edits the file does not have yet. Every edit
// of the page marks it; every save through it records whether the file now
// matches memory. Both happen under the store's mutex.
//
// While vantorelctl changes the library files, the source holds: saves write
// nothing and only note that memory holds edits; the page then reloads the
// files, which ends the hold.
#pragma once

#include <mutex>
#include <string>

#include "core/profile_source.h"
#include "library/profile_store.h"

namespace vantorel::page {

class TrackedProfileSource final : public ProfileSource {
public:
    explicit TrackedProfileSource(ProfileStore& store) : store_(store) {}

    std::mutex& mutex() override { return store_.mutex(); }
    ProfileRecord& current() override { return store_.current(); }
    // Call with mutex() held. A failed save leaves the edits marked unsaved.
    Status save() override {
        if (held_) {
            unsaved_ = true;
            return Status::OK();
        }
        Status status = store_.save();
        unsaved_ = !status.ok();
        return status;
    }

    // Call with mutex() held. The macro library's file, under the same
    // hold as the profiles'.
    bool save_macros(std::string* error) {
        if (held_) {
            macros_unsaved_ = true;
            return true;
        }
        const Status status = store_.macros().save(store_.folder().macro_file());
        macros_unsaved_ = !status.ok();
        if (!status.ok() && error) *error = status.message();
        return status.ok();
    }

    // Call with mutex() held.
    void mark_unsaved() { unsaved_ = true; }
    bool unsaved() const { return unsaved_ || macros_unsaved_; }

    // Takes the mutex: saves when memory holds edits the files lack. True
    // when there was nothing to save or the saves worked.
    bool save_unsaved(std::string* error) {
        std::lock_guard<std::mutex> lock(mutex());
        bool ok = true;
        if (macros_unsaved_) ok = save_macros(error);
        if (unsaved_) {
            const Status status = save();
            if (!status && error) *error = status.message();
            ok = status.ok() && ok;
        }
        return ok;
    }

    // Call with mutex() held. After end_hold() memory is taken to be what
    // the files hold (the caller reloads them); after release_hold() the
    // files are as they were and the edits made meanwhile are still to be
    // saved.
    void hold() { held_ = true; }
    void end_hold() {
        held_ = false;
        unsaved_ = false;
        macros_unsaved_ = false;
    }
    void release_hold() { held_ = false; }
    bool held() const { return held_; }

private:
    ProfileStore& store_;
    bool unsaved_ = false;
    bool macros_unsaved_ = false;
    bool held_ = false;
};

}  // namespace vantorel::page
