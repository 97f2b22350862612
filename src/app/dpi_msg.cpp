// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/dpi_msg.h"

#include <QGuiApplication>
#include <QScreen>

#include "device/device_events.h"
#include "ui/controls.h"
#include "ui/resources.h"

namespace vantorel {

QString DpiPopupText(std::int64_t dpi_code) {
    return ui::Tr(QStringLiteral("dpi_popup_text")).arg(static_cast<qlonglong>(dpi_for_code(dpi_code)));
}

QRect DpiPopupGeometry(const QRect& work_area) {
    return QRect(work_area.x() + work_area.width() - 210, work_area.y() + work_area.height() - 60, CDPIMsg::kWidth,
                 CDPIMsg::kHeight);
}

CDPIMsg::CDPIMsg(QString text) : text_(std::move(text)) { SetAutoDelete(true); }

bool CDPIMsg::CreatePopup(QWidget* owner) {
    // Shown over a game: it takes neither the keyboard nor a click meant for
    // the game's corner of the screen.
    const bool ok = Create(owner, ui::kStyleTool | ui::kStyleTopMost | ui::kStyleNoActivate | ui::kStyleClickThrough,
                           QSize(kWidth, kHeight));
    ShowWindow(true, false);
    return ok;
}

void CDPIMsg::InitWindow() {
    label_ = FindControl(QStringLiteral("dpi_label"));
    ui::SetText(label_, text_);
    // Placed even when the skin has no label, so a broken skin never leaves
    // an unplaced window in the middle of the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(DpiPopupGeometry(screen->availableGeometry()));
}

void CDPIMsg::SetText(const QString& text) {
    text_ = text;
    ui::SetText(label_, text_);
}

}  // namespace vantorel
