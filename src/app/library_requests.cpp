// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/library_requests.h"

#include <optional>
#include <string_view>
#include <system_error>

#include "app/single_instance.h"
#include "core/trace.h"
#include "library/library_request.h"
#include "page/ms_1_page.h"

namespace vantorel {

LibraryRequests::~LibraryRequests() {
    delete silence_;
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
    const std::optional<LibraryRequest> request =
        parse_library_request(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    if (!request) return "error";
    if (request->verb == LibraryRequest::Verb::Mouse) return QByteArray::fromStdString(format_mouse_reply(mouse_reply()));
    if (request->verb == LibraryRequest::Verb::Auto)
        return QByteArray::fromStdString(format_auto_reply(auto_status_ ? auto_status_() : "not following the focus"));
    if (prepare_) prepare_();
    if (request->verb == LibraryRequest::Verb::Hold) {
        // A second command waits for the first on the lock file; a hold
        // asked for while another is open is refused rather than nested.
        if (holder_ || !same_folder(std::filesystem::path(request->folder))) return "other";
        // A dialog of the page works on library records: the command waits
        // for the user to close it rather than pulling them away.
        if (page_.dialog_open()) return "busy";
        holder_ = connection;
        page_.HoldLibrary();
        if (!silence_) {
            silence_ = new QTimer();
            silence_->setSingleShot(true);
            QObject::connect(silence_, &QTimer::timeout, [this] { holder_silent(); });
        }
        silence_->start(kHoldSilenceMs);
        return "held";
    }
    if (request->verb == LibraryRequest::Verb::Keep) {
        if (connection != holder_) return "lost";
        silence_->start(kHoldSilenceMs);
        return "held";
    }
    if (connection != holder_) return "error";
    holder_ = nullptr;
    silence_->stop();
    if (request->verb == LibraryRequest::Verb::Release) {
        page_.ReleaseLibrary();
        return "done";
    }
    CMS_1_Page::ReloadApply apply = CMS_1_Page::ReloadApply::None;
    if (request->apply == LibraryRequest::Apply::Changed) apply = CMS_1_Page::ReloadApply::Changed;
    else if (request->apply == LibraryRequest::Apply::Full) apply = CMS_1_Page::ReloadApply::Full;
    page_.ReloadLibrary(apply);
    return "done";
}

MouseReply LibraryRequests::mouse_reply() {
    // The program owns the mouse: vantorelctl asks it instead of opening the
    // device. The virtual mouse is no mouse of the user's.
    MouseReply reply;
    const LinkState& links = page_.links();
    if (page_.demo_active() || !links.any()) return reply;
    reply.link = connection_mode_name(links.mode());
    reply.percent = links.battery_percent.load();
    reply.charging = links.battery_charging.load() != 0;
    return reply;
}

void LibraryRequests::closed(const void* connection) {
    if (connection != holder_) return;
    lose_holder("went away");
}

void LibraryRequests::holder_silent() {
    if (holder_) lose_holder("said nothing for too long");
}

void LibraryRequests::lose_holder(const char* why) {
    trace("library requests: the holding command %s\n", why);
    holder_ = nullptr;
    if (silence_) silence_->stop();
    // It may have written before it went: what the files hold now is shown,
    // and the mouse gets whatever differs from what it holds.
    page_.ReloadLibrary(CMS_1_Page::ReloadApply::Changed);
}

}  // namespace vantorel
