// SPDX-License-Identifier: GPL-2.0-or-later
// Controls of our own: the skin label (the heights it remembers follow every
// change that moves its text; selectable text selects with the mouse once
// shown) and the picture (fitted, centred, made again for a new size or
// source).
#include <QApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "ui/resources.h"
#include "ui/widgets.h"

namespace vantorel::ui {
namespace {

// Each change is made to our label and to a plain QLabel alike; at every
// width both must give the same height, and both size hints the same, as
// the plain one, which remembers nothing and measures every text itself.
TEST(SkinLabel, RememberedMeasuresFollowEveryChange) {
    Label ours;
    QLabel plain;
    for (QLabel* l : {static_cast<QLabel*>(&ours), &plain}) {
        l->setWordWrap(true);
        l->setText(QStringLiteral("Connect the receiver"));
    }
    const struct {
        const char* what;
        std::function<void(QLabel&)> change;
    } steps[] = {
        {"nothing", [](QLabel&) {}},
        {"longer text",
         [](QLabel& l) { l.setText(QStringLiteral("Plug in the receiver or the cable, or switch the mouse on and pair it.")); }},
        {"bigger font",
         [](QLabel& l) {
             QFont f = l.font();
             f.setPixelSize(24);
             l.setFont(f);
         }},
        {"margins", [](QLabel& l) { l.setContentsMargins(10, 20, 10, 20); }},
        {"indent", [](QLabel& l) { l.setIndent(40); }},
        {"no wrapping", [](QLabel& l) { l.setWordWrap(false); }},
        {"one line", [](QLabel& l) { l.setText(QStringLiteral("Stage values (DPI)")); }},
        {"right", [](QLabel& l) { l.setAlignment(Qt::AlignRight | Qt::AlignBottom); }},
        {"centred", [](QLabel& l) { l.setAlignment(Qt::AlignCenter); }},
        {"left again, no indent", [](QLabel& l) {
             l.setAlignment(Qt::AlignLeft | Qt::AlignTop);
             l.setIndent(-1);
         }},
        {"a frame", [](QLabel& l) { l.setFrameStyle(QFrame::Box | QFrame::Plain); }},
        {"a margin", [](QLabel& l) { l.setMargin(3); }},
        // QLabel measures again only when its content changes.
        {"a minimum width", [](QLabel& l) {
             l.setMinimumWidth(300);
             l.setText(QStringLiteral("Lift-off distance"));
         }},
        {"a minimum height", [](QLabel& l) {
             l.setMinimumSize(0, 60);
             l.setText(QStringLiteral("Angle snap"));
         }},
        {"tabs and lines", [](QLabel& l) { l.setText(QStringLiteral("DPI\t800\nRate\t1000 Hz")); }},
        {"an ampersand", [](QLabel& l) { l.setText(QStringLiteral("Light && colour")); }},
        {"right to left", [](QLabel& l) { l.setText(QStringLiteral("\u05d4\u05d2\u05d3\u05e8\u05d5\u05ea")); }},
        {"other scripts", [](QLabel& l) { l.setText(QStringLiteral("\u8bbe\u7f6e DPI \u2014 \u00e9t\u00e9")); }},
        {"a buddy's mnemonic", [](QLabel& l) {
             l.setText(QStringLiteral("&Polling rate"));
             l.setBuddy(&l);
         }},
        {"rich text", [](QLabel& l) {
             l.setBuddy(nullptr);
             l.setText(QStringLiteral("<b>Battery</b> 76%"));
         }},
        {"plain format", [](QLabel& l) { l.setTextFormat(Qt::PlainText); }},
        {"selectable", [](QLabel& l) { l.setTextInteractionFlags(Qt::TextSelectableByMouse); }},
        {"not selectable", [](QLabel& l) { l.setTextInteractionFlags(Qt::NoTextInteraction); }},
        {"empty", [](QLabel& l) { l.setText(QString()); }},
        {"a picture", [](QLabel& l) {
             QPixmap picture(24, 16);
             picture.fill(Qt::red);
             l.setPixmap(picture);
         }},
        {"text again", [](QLabel& l) { l.setText(QStringLiteral("Send now")); }},
        {"wrapping again", [](QLabel& l) { l.setWordWrap(true); }},
        {"style sheet", [](QLabel& l) { l.setStyleSheet(QStringLiteral("QLabel { font-size: 9px; padding: 6px; }")); }},
    };
    for (const auto& step : steps) {
        step.change(ours);
        step.change(plain);
        for (int width : {80, 160, 320, 160, 80, 640}) {
            EXPECT_EQ(ours.heightForWidth(width), plain.heightForWidth(width)) << step.what << " at " << width;
        }
        EXPECT_EQ(ours.sizeHint(), plain.sizeHint()) << step.what;
        EXPECT_EQ(ours.minimumSizeHint(), plain.minimumSizeHint()) << step.what;
    }
}

TEST(SkinLabel, SelectableTextSelectsWithTheMouseOnceShown) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new Label;
    label->setText(QStringLiteral("sudo udevadm control --reload-rules"));
    label->setProperty("selectable", QStringLiteral("mouse+keyboard"));
    layout->addWidget(label);
    EXPECT_FALSE(label->textInteractionFlags() & Qt::TextSelectableByMouse) << "taken only when shown";

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(label->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    const QRect text = label->contentsRect();
    // From the text's left edge to just before the end of its first word:
    // each end goes to the nearest letter boundary.
    const QPoint from(text.left() + 1, text.center().y());
    const QPoint to(text.left() + label->fontMetrics().horizontalAdvance(QStringLiteral("sudo")) - 1, from.y());
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(label, to);
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(label->selectedText(), QStringLiteral("sudo"));
}

// The picture as it was drawn before it was kept: decoded whole at every
// paint and scaled into the centred fitting box by the painter.
QImage drawn_directly(const QString& source, QSize size) {
    const QString file = ResourceManager::instance().path(source);
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QSvgRenderer svg;
    QImage image;
    QSize natural;
    if (source.endsWith(QLatin1String(".svg"))) {
        svg.load(file);
        natural = svg.defaultSize();
    } else {
        image.load(file);
        natural = image.size();
    }
    const QSizeF target = QSizeF(natural).scaled(QSizeF(size), Qt::KeepAspectRatio);
    const QRectF box(QPointF((size.width() - target.width()) / 2.0, (size.height() - target.height()) / 2.0), target);
    if (image.isNull()) svg.render(&p, box);
    else p.drawImage(box, image);
    return out;
}

// Mean difference per channel of two pictures of one size, 0..255.
double difference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (x.size() != y.size()) return 255;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) +
                   std::abs(qAlpha(p) - qAlpha(q));
        }
    return sum / (4.0 * x.width() * x.height());
}

TEST(SkinPicture, ShowsItsPictureFittedAtEachSize) {
    for (const char* source : {"skins/ms_1/mouse_1.png", "images/app.svg"}) {
        SvgImage image;
        image.setAttribute(Qt::WA_DontShowOnScreen);
        image.setSource(QString::fromLatin1(source));
        for (const QSize size : {QSize(200, 120), QSize(90, 300), QSize(200, 120)}) {
            image.resize(size);
            const QImage shown = image.grab().toImage();
            EXPECT_LT(difference(shown, drawn_directly(QString::fromLatin1(source), size)), 3.0)
                << source << " at " << size.width() << "x" << size.height();
        }
    }

}

// Another source replaces the picture; none clears it. Shown, a picture is
// decoded ahead of its paint: one replaced before it was drawn never shows.
TEST(SkinPicture, AnotherSourceReplacesThePicture) {
    for (const bool shown : {false, true}) {
        SvgImage image;
        image.setAttribute(Qt::WA_DontShowOnScreen);
        image.resize(120, 120);
        if (shown) image.show();
        image.setSource(QStringLiteral("skins/ms_1/mouse_1.png"));
        EXPECT_LT(difference(image.grab().toImage(), drawn_directly(QStringLiteral("skins/ms_1/mouse_1.png"), {120, 120})), 3.0)
            << shown;
        image.setSource(QStringLiteral("skins/ms_1/mouse_1.png"));
        image.setSource(QStringLiteral("skins/ms_1/mouse_2.png"));
        EXPECT_LT(difference(image.grab().toImage(), drawn_directly(QStringLiteral("skins/ms_1/mouse_2.png"), {120, 120})), 3.0)
            << shown;
        image.setSource(QStringLiteral("images/app.svg"));
        EXPECT_LT(difference(image.grab().toImage(), drawn_directly(QStringLiteral("images/app.svg"), {120, 120})), 3.0)
            << shown;
        image.setSource(QString());
        QImage clear(120, 120, QImage::Format_ARGB32_Premultiplied);
        clear.fill(Qt::transparent);
        EXPECT_EQ(difference(image.grab().toImage(), clear), 0.0) << shown;
    }
}

// A column of buttons is as wide as its font makes it, also after the font
// changed and for every button in that font.
TEST(SkinButton, TheColumnWidthFollowsTheFont) {
    ElidingButton a, b;
    QFont small = a.font(), large = a.font();
    small.setPixelSize(10);
    large.setPixelSize(18);
    a.setFont(small);
    const QSize narrow = a.sizeHint(), narrow_minimum = a.minimumSizeHint();
    a.setFont(large);
    EXPECT_GT(a.sizeHint().width(), narrow.width());
    EXPECT_GT(a.minimumSizeHint().width(), narrow_minimum.width());
    b.setFont(small);
    EXPECT_EQ(b.sizeHint().width(), narrow.width());
    EXPECT_EQ(b.minimumSizeHint().width(), narrow_minimum.width());
    a.setFont(small);
    EXPECT_EQ(a.sizeHint(), narrow);
}

}  // namespace
}  // namespace vantorel::ui
