// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/library_requests.h"

#include <system_error>

#include "app/single_instance.h"
#include "core/trace.h"
#include "page/ms_1_page.h"

namespace vantorel {

LibraryRequests::~LibraryRequests() {
    if (!instance_) return;
    instance_->set_request_handler(nullptr);
    instance_->set_closed_handler(nullptr);
}

void LibraryRequests::attach(SingleInstance& instance) {
    instance_ = &instance;
    instance.set_request_handler([this](const void* c, const QByteArray& line) { return handle(c, line); });
    instance.set_closed_handler([this](const void* c) { closed(c); });
}

bool LibraryRequests::same_folder(const std::filesystem::path& folder) const {
    std::error_code ec;
    const auto mine = std::filesystem::weakly_canonical(page_.store().folder().path(), ec);
    if (ec) return false;
    const auto theirs = std::filesystem::weakly_canonical(folder, ec);
    return !ec && mine == theirs;
}

QByteArray LibraryRequests::handle(const void* connection, const QByteArray& line) {
    if (line.startsWith("hold ")) {
        const std::filesystem::path folder = std::filesystem::u8path(line.mid(5).toStdString());
        // A second command waits for the first on the lock file; a hold
        // asked for while another is open is refused rather than nested.
        if (holder_ || !same_folder(folder)) return "other";
        // A dialog of the page works on library records: the command waits
        // for the user to close it rather than pulling them away.
        if (page_.dialog_open()) return "busy";
        holder_ = connection;
        page_.HoldLibrary();
        return "held";
    }
    if (connection != holder_) return "error";
    if (line == "release") {
        holder_ = nullptr;
        page_.ReleaseLibrary();
        return "done";
    }
    if (line.startsWith("reload ")) {
        const QByteArray what = line.mid(7);
        CMS_1_Page::ReloadApply apply = CMS_1_Page::ReloadApply::None;
        if (what == "changed") apply = CMS_1_Page::ReloadApply::Changed;
        else if (what == "full") apply = CMS_1_Page::ReloadApply::Full;
        holder_ = nullptr;
        page_.ReloadLibrary(apply);
        return "done";
    }
    return "error";
}

void LibraryRequests::closed(const void* connection) {
    if (connection != holder_) return;
    trace("library requests: the holding command went away\n");
    holder_ = nullptr;
    page_.ReloadLibrary(CMS_1_Page::ReloadApply::None);
}

}  // namespace vantorel
