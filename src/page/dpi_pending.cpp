// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/dpi_pending.h"

#include <QStyle>
#include <QVariant>

#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel::page {

namespace {

// Kept on the button itself, where the theme can mark it too.
constexpr const char* kWaiting = "waiting";

void Mark(QWidget* button, bool waiting) {
    if (!button || button->property(kWaiting).toBool() == waiting) return;
    button->setProperty(kWaiting, waiting);
    // A mark on the text (the theme colours it too); screen readers hear
    // what the mark means.
    ui::SetResourceText(button, waiting ? QStringLiteral("apply_dpi_waiting_text") : QStringLiteral("apply_dpi_text"));
    button->setAccessibleDescription(waiting ? ui::Tr(QStringLiteral("dpi_waiting_text")) : QString());
    button->style()->unpolish(button);
    button->style()->polish(button);
}

}  // namespace

void ShowDpiWaiting(QWidget* send_button, QWidget* result_label) {
    Mark(send_button, true);
    ui::SetResourceText(result_label, QStringLiteral("dpi_waiting_text"));
}

void EndDpiWaiting(QWidget* send_button) { Mark(send_button, false); }

bool DpiWaiting(const QWidget* send_button) { return send_button && send_button->property(kWaiting).toBool(); }

}  // namespace vantorel::page
