// SPDX-License-Identifier: GPL-2.0-or-later
// Controls of our own that skins can use besides the standard Qt widgets:
// an image that stays crisp at every scale, a colour palette, and the label
// every skin label is made as.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <array>
#include <future>
#include <optional>

namespace vantorel::ui {

// Shows an SVG (or any image) from the resource folder, scaled to fit and
// centred, drawn at the screen's pixel density. The picture is made once
// for each size, not decoded and scaled at every paint.
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
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void render();
    void decode_ahead();

    QString source_;
    // A bitmap source is decoded on a worker thread when the image is shown,
    // so that its paint finds it ready; taken by the render.
    std::shared_future<QImage> decoded_;
    QImage picture_;    // at the widget's size and pixel density
    QRectF placed_;     // where it goes, centred
    bool rendered_ = false;
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

// A push button whose width does not follow its text: a text longer than
// the button is shown cut with an ellipsis ("Browser bookm…"), and text()
// keeps it whole for the tooltip and screen readers. A row of them keeps
// its columns whatever is assigned.
class ElidingButton : public QPushButton {
    Q_OBJECT
public:
    explicit ElidingButton(QWidget* parent = nullptr) : QPushButton(parent) {}
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The text as it is drawn in the button's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A QLabel that remembers the heights it gave for the last widths asked.
// Layouts ask a wrapping label for its height at each width again and again
// while a window is set up, and every answer lays out its whole text anew.
// A label of one line of plain text is measured once for both its size
// hints, where QLabel lays its text out three times (at its preferred width,
// in one line and at no width), which for such a label are the same size.
// A skin makes its text selectable with the property "selectable" ("mouse"
// or "mouse+keyboard"), taken when the label is first shown: a selectable
// label keeps a text document, which labels never shown need not build.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr) : QLabel(parent) {}
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool selectable_taken_ = false;
    // What the height depends on besides the width.
    struct Shape {
        QString text;
        QFont font;
        QMargins margins;
        int margin = 0;
        int indent = 0;
        Qt::Alignment alignment;
        bool wrap = false;
        QSize minimum;
        int frame_width = 0;
        Qt::TextFormat format = Qt::AutoText;
        Qt::TextInteractionFlags interaction;
        bool buddy = false;
        // A font in points measures anew on a screen of another density.
        int dpi = 0;
        bool operator==(const Shape&) const = default;
    };
    Shape shape() const;
    // Forgets what was measured when anything the size depends on changed.
    void follow(Shape now) const;
    // The size of a single line of plain text, or nothing for any other
    // content, which QLabel measures itself.
    std::optional<QSize> lineSize() const;
    struct Entry {
        int width = -1;
        int height = 0;
    };
    mutable Shape cached_shape_;
    mutable std::array<Entry, 4> cache_{};
    mutable std::size_t next_ = 0;
    mutable bool line_measured_ = false;
    mutable std::optional<QSize> line_size_;
};

}  // namespace vantorel::ui
