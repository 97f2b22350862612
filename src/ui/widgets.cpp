// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/widgets.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QSvgRenderer>
#include <QTextDocument>
#include <QThreadPool>

#include <algorithm>
#include <memory>

#include "ui/resources.h"

namespace vantorel::ui {

SvgImage::SvgImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

namespace {

bool is_svg(const QString& file) { return file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive); }

QImage read_bitmap(const QString& file) {
    // The format by the name: guessing from the content would load every
    // image plugin there is.
    QImageReader reader(file, QFileInfo(file).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

}  // namespace

void SvgImage::setSource(const QString& source) {
    if (source == source_) return;
    source_ = source;
    rendered_ = false;
    decoded_ = {};
    if (isVisible()) decode_ahead();
    update();
}

void SvgImage::decode_ahead() {
    if (rendered_ || decoded_.valid() || source_.isEmpty()) return;
    const QString file = ResourceManager::instance().path(source_);
    if (is_svg(file)) return;
    auto promise = std::make_shared<std::promise<QImage>>();
    decoded_ = promise->get_future().share();
    QThreadPool::globalInstance()->start([promise, file] { promise->set_value(read_bitmap(file)); });
}

void SvgImage::showEvent(QShowEvent*) {
    // Shown: the window maps and its first paint follows, a few
    // milliseconds in which the picture is decoded beside it.
    decode_ahead();
}

void SvgImage::hideEvent(QHideEvent*) {
    // Not drawn after all: no bitmap is kept for it.
    decoded_ = {};
}

QSize SvgImage::sizeHint() const { return {64, 64}; }

void SvgImage::resizeEvent(QResizeEvent*) { rendered_ = false; }

void SvgImage::render() {
    rendered_ = true;
    picture_ = QImage();
    if (source_.isEmpty() || width() <= 0 || height() <= 0) return;
    const QString file = ResourceManager::instance().path(source_);
    const qreal dpr = devicePixelRatioF();
    const bool svg = is_svg(file);
    QSvgRenderer renderer;
    QImage bitmap;
    QSize natural;
    if (svg) {
        if (!renderer.load(file)) return;
        natural = renderer.defaultSize();
    } else {
        // The one decoded ahead, or (drawn again at another size) anew.
        if (decoded_.valid()) bitmap = decoded_.get();
        else bitmap = read_bitmap(file);
        decoded_ = {};
        natural = bitmap.size();
    }
    if (natural.isEmpty()) return;
    const QSizeF target = QSizeF(natural).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    placed_ = QRectF(QPointF((width() - target.width()) / 2.0, (height() - target.height()) / 2.0), target);
    const QSize pixels = (target * dpr).toSize();
    if (pixels.isEmpty()) return;
    picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
    QPainter p(&picture_);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF all(QPointF(0, 0), QSizeF(pixels));
    if (svg) {
        renderer.render(&p, all);
    } else {
        // Decoded once and drawn to size; the whole bitmap is not kept.
        p.drawImage(all, bitmap);
    }
    p.end();
    picture_.setDevicePixelRatio(dpr);
}

void SvgImage::paintEvent(QPaintEvent*) {
    if (!rendered_ || (!picture_.isNull() && !qFuzzyCompare(picture_.devicePixelRatio(), devicePixelRatioF()))) render();
    if (picture_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(placed_, picture_);
}

ColorPalette::ColorPalette(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setMinimumSize(80, 60);
}

QRect ColorPalette::field_rect() const { return QRect(0, 0, std::max(1, width() - 22), height()); }
QRect ColorPalette::strip_rect() const { return QRect(width() - 16, 0, 16, height()); }

void ColorPalette::resizeEvent(QResizeEvent*) { field_ = QImage(); }

quint32 ColorPalette::GetSelectColor() const {
    return QColor::fromHsv(hue_, saturation_, value_).rgb() | 0xFF000000u;
}

void ColorPalette::SetSelectColor(quint32 argb) {
    const QColor c = QColor::fromRgb(argb | 0xFF000000u);
    int h = c.hsvHue();
    // Grey has no hue: keep the one shown so the marker does not jump.
    if (h >= 0) hue_ = h;
    saturation_ = c.hsvSaturation();
    value_ = c.value();
    update();
}

void ColorPalette::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect field = field_rect();
    const qreal dpr = devicePixelRatioF();
    if (field_.isNull()) {
        const QSize px = (QSizeF(field.size()) * dpr).toSize();
        field_ = QImage(px, QImage::Format_RGB32);
        for (int y = 0; y < px.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(field_.scanLine(y));
            const int s = 255 - (y * 255) / std::max(1, px.height() - 1);
            for (int x = 0; x < px.width(); ++x) {
                const int h = (x * 359) / std::max(1, px.width() - 1);
                line[x] = QColor::fromHsv(h, s, 255).rgb();
            }
        }
        field_.setDevicePixelRatio(dpr);
    }
    p.drawImage(field.topLeft(), field_);
    // Darken the field by the chosen brightness so it previews the result.
    p.fillRect(field, QColor(0, 0, 0, 255 - value_));

    const QRect strip = strip_rect();
    QLinearGradient g(strip.topLeft(), strip.bottomLeft());
    g.setColorAt(0, QColor::fromHsv(hue_, saturation_, 255));
    g.setColorAt(1, Qt::black);
    p.fillRect(strip, g);

    p.setRenderHint(QPainter::Antialiasing);
    const qreal fx = field.left() + hue_ * (field.width() - 1) / 359.0;
    const qreal fy = field.top() + (255 - saturation_) * (field.height() - 1) / 255.0;
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(fx, fy), 5, 5);
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(QPointF(fx, fy), 7, 7);
    const qreal sy = strip.top() + (255 - value_) * (strip.height() - 1) / 255.0;
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(QRectF(strip.left() - 1, sy - 2, strip.width() + 2, 4));
}

void ColorPalette::pick(const QPoint& pos) {
    if (drag_ == Drag::Field) {
        const QRect f = field_rect();
        const int x = std::clamp(pos.x() - f.left(), 0, f.width() - 1);
        const int y = std::clamp(pos.y() - f.top(), 0, f.height() - 1);
        hue_ = (x * 359) / std::max(1, f.width() - 1);
        saturation_ = 255 - (y * 255) / std::max(1, f.height() - 1);
    } else if (drag_ == Drag::Strip) {
        const QRect s = strip_rect();
        const int y = std::clamp(pos.y() - s.top(), 0, s.height() - 1);
        value_ = 255 - (y * 255) / std::max(1, s.height() - 1);
    }
    update();
    emit colorChanged(GetSelectColor());
}

void ColorPalette::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    drag_ = strip_rect().adjusted(-3, 0, 0, 0).contains(pos) ? Drag::Strip : Drag::Field;
    pick(pos);
}

void ColorPalette::mouseMoveEvent(QMouseEvent* e) {
    if (drag_ != Drag::None) pick(e->position().toPoint());
}

void ColorPalette::mouseReleaseEvent(QMouseEvent* e) {
    if (drag_ == Drag::None || e->button() != Qt::LeftButton) return;
    pick(e->position().toPoint());
    drag_ = Drag::None;
    emit colorChangedButtonUp(GetSelectColor());
}

void Label::showEvent(QShowEvent* event) {
    if (!selectable_taken_) {
        selectable_taken_ = true;
        const QString how = property("selectable").toString();
        if (!how.isEmpty()) {
            Qt::TextInteractionFlags flags = Qt::TextSelectableByMouse;
            if (how.contains(QLatin1String("keyboard"))) flags |= Qt::TextSelectableByKeyboard;
            setTextInteractionFlags(flags);
        }
    }
    QLabel::showEvent(event);
}

Label::Shape Label::shape() const {
    return {text(),        font(),       contentsMargins(), margin(), indent(), alignment(), wordWrap(),
            minimumSize(), frameWidth(), textFormat(),      textInteractionFlags(), buddy() != nullptr,
            logicalDpiY()};
}

void Label::follow(Shape now) const {
    if (now == cached_shape_) return;
    cached_shape_ = std::move(now);
    cache_.fill(Entry{});
    line_measured_ = false;
    line_size_.reset();
}

std::optional<QSize> Label::lineSize() const {
    ensurePolished();
    follow(shape());
    if (line_measured_) return line_size_;
    line_measured_ = true;
    const Shape& s = cached_shape_;
    // Rich or selectable text is laid out by a text document, a mnemonic
    // is measured without its '&', and a label that never had text is as
    // big as one character: QLabel knows those best.
    const bool plain =
        s.format == Qt::PlainText || (s.format == Qt::AutoText && !Qt::mightBeRichText(s.text));
    const bool selectable = s.interaction & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (s.wrap || !plain || selectable || s.buddy || s.text.isEmpty() || !pixmap().isNull() ||
        !picture().isNull() || movie())
        return std::nullopt;
    const QFontMetrics metrics = fontMetrics();
    const Qt::Alignment align =
        QStyle::visualAlignment(s.text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight, s.alignment);
    int horizontal = 2 * s.margin;
    int vertical = horizontal;
    int indent = s.indent;
    if (indent < 0 && s.frame_width) indent = metrics.horizontalAdvance(u'x') - 2 * s.margin;
    if (indent > 0) {
        if (align & (Qt::AlignLeft | Qt::AlignRight)) horizontal += indent;
        if (align & (Qt::AlignTop | Qt::AlignBottom)) vertical += indent;
    }
    // One line is as wide at any width; QLabel's own widths, so that the
    // same text is laid out the same.
    const int width = (s.minimum.width() > 0 ? s.minimum.width() : 2000) - horizontal -
                      s.margins.left() - s.margins.right();
    const int flags = int(align & ~(Qt::AlignVCenter | Qt::AlignHCenter)) | Qt::TextExpandTabs;
    const QRect bounds = metrics.boundingRect(0, 0, width, 2000, flags, s.text);
    const QSize contents(bounds.width() + horizontal, bounds.height() + vertical);
    line_size_ = (contents + QSize(s.margins.left() + s.margins.right(), s.margins.top() + s.margins.bottom()))
                     .expandedTo(s.minimum);
    return line_size_;
}

QSize Label::sizeHint() const {
    if (const auto size = lineSize()) return *size;
    return QLabel::sizeHint();
}

QSize Label::minimumSizeHint() const {
    if (const auto size = lineSize()) return *size;
    return QLabel::minimumSizeHint();
}

int Label::heightForWidth(int width) const {
    // Only text can be measured this way; pictures and movies ask Qt.
    if (!pixmap().isNull() || movie()) return QLabel::heightForWidth(width);
    follow(shape());
    for (const Entry& e : cache_)
        if (e.width == width) return e.height;
    const int height = QLabel::heightForWidth(width);
    cache_[next_] = {width, height};
    next_ = (next_ + 1) % cache_.size();
    return height;
}

// ---------------------------------------------------------------------------
// ElidingButton

namespace {

// The widths a column of buttons is given, measured once per font: each
// measure shapes its text anew, and a page has a column of these buttons in
// one font.
struct ButtonWidths {
    int hint = 0;
    int minimum = 0;
};

ButtonWidths button_widths(const QFont& font) {
    static QHash<QFont, ButtonWidths> measured;
    if (const auto it = measured.constFind(font); it != measured.cend()) return *it;
    const QFontMetrics metrics(font);
    const ButtonWidths widths{metrics.horizontalAdvance(QString(14, QLatin1Char('x'))) + 2 * 12,
                              metrics.horizontalAdvance(QStringLiteral("Www…")) + 2 * 12};
    if (measured.size() >= 16) measured.clear();
    measured.insert(font, widths);
    return widths;
}

}  // namespace

QSize ElidingButton::sizeHint() const {
    // As high as the text wants; the width is the same for every text, so
    // the layout gives a column of these buttons one width.
    return {button_widths(font()).hint, QPushButton::sizeHint().height()};
}

QSize ElidingButton::minimumSizeHint() const {
    return {button_widths(font()).minimum, QPushButton::minimumSizeHint().height()};
}

QString ElidingButton::shownText() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    if (!icon().isNull()) room -= iconSize().width() + 4;
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(room, 0));
}

void ElidingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_PushButton, option);
}

}  // namespace vantorel::ui
