// SPDX-License-Identifier: GPL-2.0-or-later
// CDpiColorWnd: the small colour picker of the DPI stage and light colour
// buttons. A palette, sixteen preset swatches, decimal edits for red, green
// and blue, a swatch showing the colour, and confirm (result 1) and cancel
// (result 0). The caller sets the colour and the position before Create and
// reads the colour back after a result of 1. Enter confirms (in the R, G
// and B fields too) unless Cancel has the focus; Escape cancels.
#pragma once

#include <QPoint>
#include <QString>

#include <array>
#include <optional>

#include "ui/skin_window.h"

namespace vantorel {

namespace ui {
class ColorPalette;
}

class CDpiColorWnd : public ui::SkinWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 200;
    static constexpr std::array<quint32, 16> kPresets = {
        0xFF00FFFF, 0xFF6CFF00, 0xFF7F00FF, 0xFF007FFF, 0xFF0000FF, 0xFF7FFF00, 0xFFFF5400, 0xFFFF7F00,
        0xFFFFB400, 0xFFFFFF00, 0xFFFF0000, 0xFFFF00FF, 0xFF1EB40A, 0xFF48B1FF, 0xFFFF48B0, 0xFFFFFFFF,
    };

    CDpiColorWnd() = default;
    QString GetWindowClassName() const override { return QStringLiteral("DpiColorWnd"); }
    QString GetSkinFile() const override { return QStringLiteral("DpiColorDialog.xml"); }

    // 0xAARRGGBB; opaque black until the caller sets it.
    void SetColor(quint32 argb) { color_ = argb; }
    quint32 Color() const { return color_; }
    // Screen position of the window's top-left corner.
    void SetPosition(QPoint position) { position_ = position; }
    QPoint Position() const { return position_; }

    // Creates the dialog above owner at its position and runs it modally;
    // the chosen colour on confirm, nothing otherwise.
    static std::optional<quint32> Choose(QWidget* owner, quint32 argb, QPoint position);

protected:
    void InitWindow() override;
    void Notify(const ui::Notification& msg) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void show_color();
    void on_edit_changed(QWidget* edit);

    QWidget* confirm_btn_ = nullptr;
    QWidget* cancel_btn_ = nullptr;
    QWidget* color_show_ = nullptr;
    std::array<QWidget*, 16> swatches_{};
    ui::ColorPalette* palette_ = nullptr;
    QWidget* r_edit_ = nullptr;
    QWidget* g_edit_ = nullptr;
    QWidget* b_edit_ = nullptr;
    quint32 color_ = 0xFF000000;
    QPoint position_;
};

}  // namespace vantorel
