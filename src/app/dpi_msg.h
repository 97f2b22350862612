// SPDX-License-Identifier: GPL-2.0-or-later
// The DPI popup: a small borderless window at the bottom-right corner of the
// work area that shows the DPI the mouse just switched to. It stays above
// other windows, takes no focus, has no task-bar entry, and deletes itself
// when closed.
#pragma once

#include <QRect>
#include <QString>

#include <cstdint>

#include "ui/skin_window.h"

namespace vantorel {

// "800 DPI" for DPI code 16 (the language file's "dpi_popup_text"): 50 per
// step up to code 200, 100 per step above; any stored code is safe.
QString DpiPopupText(std::int64_t dpi_code);
// 200 x 50, 210 pixels left of the work area's right edge and 60 above its
// bottom.
QRect DpiPopupGeometry(const QRect& work_area);

class CDPIMsg : public ui::SkinWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 50;

    explicit CDPIMsg(QString text);
    QString GetWindowClassName() const override { return QStringLiteral("DPIWnd"); }
    QString GetSkinFile() const override { return QStringLiteral("DPImsg.xml"); }

    // Creates and shows the popup above owner without taking the focus.
    bool CreatePopup(QWidget* owner);
    void SetText(const QString& text);
    QString Text() const { return text_; }

protected:
    void InitWindow() override;

private:
    QString text_;
    QWidget* label_ = nullptr;
};

}  // namespace vantorel
