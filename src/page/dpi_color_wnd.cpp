// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/dpi_color_wnd.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "page/page_logic.h"
#include "ui/controls.h"
#include "ui/widgets.h"

namespace vantorel {

void CDpiColorWnd::InitWindow() {
    move(position_);
    setFixedSize(kWidth, kHeight);

    confirm_btn_ = FindControl(QStringLiteral("confirm_btn"));
    cancel_btn_ = FindControl(QStringLiteral("cancel_btn"));
    color_show_ = FindControl(QStringLiteral("color_show_control"));
    for (int i = 0; i < static_cast<int>(swatches_.size()); ++i) {
        QWidget* swatch = FindControlIndexed("mouse_dpi_color_%d", i + 1);
        swatches_[static_cast<std::size_t>(i)] = swatch;
        ui::SetBkColor(swatch, kPresets[static_cast<std::size_t>(i)]);
    }
    palette_ = FindControl<ui::ColorPalette>(QStringLiteral("ColorPallet"));
    r_edit_ = FindControl(QStringLiteral("r_edit"));
    g_edit_ = FindControl(QStringLiteral("g_edit"));
    b_edit_ = FindControl(QStringLiteral("b_edit"));

    if (palette_) palette_->SetSelectColor(color_);
    show_color();
    if (confirm_btn_) confirm_btn_->setFocus();
}

void CDpiColorWnd::show_color() {
    ui::SetText(r_edit_, QString::number((color_ >> 16) & 0xFF));
    ui::SetText(g_edit_, QString::number((color_ >> 8) & 0xFF));
    ui::SetText(b_edit_, QString::number(color_ & 0xFF));
    ui::SetBkColor(color_show_, color_);
}

void CDpiColorWnd::Notify(const ui::Notification& msg) {
    if (msg.is(ui::notify::kClick)) {
        if (msg.from(confirm_btn_)) {
            Close(1);
            return;
        }
        if (msg.from(cancel_btn_)) {
            Close(0);
            return;
        }
        for (std::size_t i = 0; i < swatches_.size(); ++i) {
            if (!msg.from(swatches_[i])) continue;
            color_ = kPresets[i];
            if (palette_) palette_->SetSelectColor(color_);
            show_color();
            return;
        }
        return;
    }
    if (msg.is(ui::notify::kColorChanged) || msg.is(ui::notify::kColorChangedButtonUp)) {
        if (!palette_ || msg.sender != palette_) return;
        color_ = palette_->GetSelectColor() | 0xFF000000u;
        show_color();
        return;
    }
    if (msg.is(ui::notify::kTextChanged)) on_edit_changed(msg.sender);
}

void CDpiColorWnd::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        if (focused && focused != confirm_btn_) focused->click();  // Cancel or a swatch
        else Close(1);
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        Close(0);
        return;
    }
    ui::SkinWindow::keyPressEvent(e);
}

void CDpiColorWnd::on_edit_changed(QWidget* edit) {
    int shift = -1;
    if (edit && edit == r_edit_) shift = 16;
    else if (edit && edit == g_edit_) shift = 8;
    else if (edit && edit == b_edit_) shift = 0;
    if (shift >= 0) {
        int v = page::ReadInt(ui::GetText(edit));
        if (v > 255) {
            v = 255;
            ui::SetText(edit, QString::number(v));
        } else if (v < 0) {
            v = 0;
            ui::SetText(edit, QString::number(v));
        }
        color_ = (color_ & ~(0xFFu << shift)) | (static_cast<quint32>(v) << shift) | 0xFF000000u;
    }
    if (palette_) palette_->SetSelectColor(color_);
    ui::SetBkColor(color_show_, color_);
}

std::optional<quint32> CDpiColorWnd::Choose(QWidget* owner, quint32 argb, QPoint position) {
    // Near a screen edge the dialog would run off it; keep it on the screen
    // the point is on.
    if (QScreen* screen = QGuiApplication::screenAt(position) ? QGuiApplication::screenAt(position)
                                                               : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        position.setX(std::clamp(position.x(), area.left(), std::max(area.left(), area.right() + 1 - kWidth)));
        position.setY(std::clamp(position.y(), area.top(), std::max(area.top(), area.bottom() + 1 - kHeight)));
    }
    CDpiColorWnd dialog;
    dialog.SetColor(argb | 0xFF000000u);
    dialog.SetPosition(position);
    dialog.Create(owner, ui::kStyleDialog | ui::kStyleTool, QSize(kWidth, kHeight));
    if (dialog.ShowModal() != 1) return std::nullopt;
    return dialog.Color();
}

}  // namespace vantorel
