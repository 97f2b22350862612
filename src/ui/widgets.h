// SPDX-License-Identifier: GPL-2.0-or-later
// Controls of our own that skins can use besides the standard Qt widgets:
// an image that stays crisp at every scale, and a colour palette.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

namespace vantorel::ui {

// Shows an SVG (or any image) from the resource folder, scaled to fit and
// centred, drawn at the screen's pixel density.
class SvgImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource)
public:
    explicit SvgImage(QWidget* parent = nullptr);
    QString source() const { return source_; }
    void setSource(const QString& source);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString source_;
};

// Hue and saturation field with a brightness strip beside it. Dragging
// reports "colorchanged"; letting go reports "colorchangedbuttonup".
class ColorPalette : public QWidget {
    Q_OBJECT
public:
    explicit ColorPalette(QWidget* parent = nullptr);

    // 0xAARRGGBB, alpha always 0xFF.
    quint32 GetSelectColor() const;
    // Sets the colour without reporting a change.
    void SetSelectColor(quint32 argb);
    QSize sizeHint() const override { return {180, 120}; }

signals:
    void colorChanged(quint32 argb);
    void colorChangedButtonUp(quint32 argb);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    enum class Drag { None, Field, Strip };
    QRect field_rect() const;
    QRect strip_rect() const;
    void pick(const QPoint& pos);

    int hue_ = 0;          // 0..359
    int saturation_ = 255; // 0..255
    int value_ = 255;      // 0..255
    Drag drag_ = Drag::None;
    QImage field_;
};

}  // namespace vantorel::ui
