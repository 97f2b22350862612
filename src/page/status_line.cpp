// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/status_line.h"

#include <QStringList>

#include <utility>
#include <vector>

#include "page/page_context.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel::page {

void StatusLine::init(PageContext& page) {
    bar_ = page.control(QStringLiteral("ms_1_status_bar"));
    label_ = page.control(QStringLiteral("ms_1_label_status"));
    close_ = page.control(QStringLiteral("ms_1_btn_status_close"));
    result_ = page.control(QStringLiteral("ms_1_label_apply_result"));
    ring_ = page.control(QStringLiteral("apply_ring"));
}

void StatusLine::say(const QString& text) {
    showing_not_taken_ = false;
    ui::SetText(label_, text);
    ui::SetVisible(bar_, true);
}

void StatusLine::record_save_error(const std::string& error) {
    std::lock_guard<std::mutex> lock(error_mutex_);
    save_error_ = error.empty() ? std::string("the profile library could not be saved") : error;
}

QString StatusLine::save_error() const {
    std::lock_guard<std::mutex> lock(error_mutex_);
    return QString::fromStdString(save_error_);
}

void StatusLine::show_save_failure() {
    const QString error = save_error();
    if (!error.isEmpty()) say(ui::Tr(QStringLiteral("save_failed_text")).arg(error));
}

void StatusLine::show_library_held(bool held) {
    if (held) {
        say(ui::Tr(QStringLiteral("library_busy_text")));
        showing_held_ = true;
        return;
    }
    if (showing_held_) ui::SetVisible(bar_, false);
    showing_held_ = false;
}

void StatusLine::apply_requested() {
    // The result of the apply before no longer stands.
    ui::SetText(result_, QString());
}

void StatusLine::apply_started() { ui::SetVisible(ring_, true); }

bool StatusLine::apply_finished(const ApplySummary& summary) {
    ui::SetVisible(ring_, false);
    if (!summary.ran) return true;  // no link: nothing was sent
    // Language keys (with an argument) of the sections the mouse did not take.
    std::vector<std::pair<QString, int>> sections;
    if (summary.start_not_taken) sections.emplace_back(QStringLiteral("not_taken_start_text"), 0);
    const ChangeSet& n = summary.not_taken;
    if (n.dpi) sections.emplace_back(QStringLiteral("not_taken_dpi_text"), 0);
    if (n.light) sections.emplace_back(QStringLiteral("not_taken_light_text"), 0);
    if (n.polling) sections.emplace_back(QStringLiteral("not_taken_polling_text"), 0);
    if (n.buttons) sections.emplace_back(QStringLiteral("not_taken_buttons_text"), 0);
    for (std::size_t k = 0; k < n.macros.size(); ++k)
        if (n.macros[k]) sections.emplace_back(QStringLiteral("not_taken_macro_text"), static_cast<int>(k) + 1);
    if (sections.empty()) {
        // A later apply brought everything over: the earlier warning is done.
        if (showing_not_taken_) ui::SetVisible(bar_, false);
        showing_not_taken_ = false;
        ui::SetResourceText(result_, QStringLiteral("apply_done_text"));
        return true;
    }
    ui::SetResourceText(result_, QStringLiteral("apply_partial_text"));
    QStringList names;
    for (const auto& [key, arg] : sections) {
        QString name = ui::Tr(key);
        if (arg > 0) name = name.arg(arg);
        names << name;
    }
    say(ui::Tr(QStringLiteral("apply_not_taken_text")).arg(names.join(QStringLiteral(", "))));
    showing_not_taken_ = true;
    return !n.dpi;
}

bool StatusLine::on_click(const QWidget* sender) {
    if (!sender || sender != close_) return false;
    ui::SetVisible(bar_, false);
    return true;
}

}  // namespace vantorel::page
