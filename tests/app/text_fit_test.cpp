// SPDX-License-Identifier: GPL-2.0-or-later
// Every window, drawn offscreen in every language the program ships, must
// show each of its texts whole: a label, button, box entry or hint that
// needs more room than its control has is cut off for the user.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTemporaryDir>

#include "app/app_options.h"
#include "app/screenshot.h"
#include "ui/qt_env.h"
#include "ui/resources.h"
#include "ui/widgets.h"

namespace vantorel {
namespace {

// The room a control's text is drawn in and the width the text needs.
struct Fit {
    QString text;
    int needs = 0;
    int has = 0;
};

std::vector<Fit> misfits(QWidget& control) {
    std::vector<Fit> found;
    const QFontMetrics fm = control.fontMetrics();
    auto check = [&](const QString& text, int needs, int has) {
        if (!text.trimmed().isEmpty() && needs > has) found.push_back({text, needs, has});
    };
    if (auto* label = qobject_cast<QLabel*>(&control)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText) return found;
        if (label->wordWrap()) {
            // Wrapped text grows downwards: it must fit the height it is given.
            check(label->text(), label->heightForWidth(label->width()), label->height());
        } else {
            check(label->text(), label->minimumSizeHint().width(), label->width());
            check(label->text(), label->minimumSizeHint().height(), label->height());
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
        if (button->text().isEmpty()) return found;
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        opt.icon = button->icon();
        opt.iconSize = button->iconSize();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(button)) contents = QStyle::SE_CheckBoxContents;
        if (qobject_cast<QRadioButton*>(button)) contents = QStyle::SE_RadioButtonContents;
        const QRect room = button->style()->subElementRect(contents, &opt, button);
        // Measured as the button measures itself; the text may reach into
        // the padding vertically, not beyond the button.
        int needs = fm.size(Qt::TextShowMnemonic, button->text()).width();
        if (!button->icon().isNull()) needs += button->iconSize().width() + 4;
        // A button that elides shows the whole text in its tooltip instead.
        const bool elides = qobject_cast<ui::ElidingButton*>(button) && button->toolTip() == button->text();
        if (!elides) check(button->text(), needs, room.width());
        check(button->text(), fm.height(), button->height());
    } else if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.editable = combo->isEditable();
        opt.frame = combo->hasFrame();
        const QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
        // Any entry can be the one shown.
        for (int i = 0; i < combo->count(); ++i) check(combo->itemText(i), fm.horizontalAdvance(combo->itemText(i)), room.width());
    } else if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
        QStyleOptionFrame opt;
        opt.initFrom(edit);
        opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
        QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
        room = room.marginsRemoved(edit->textMargins());
        // QLineEdit keeps two pixels free on either side of its text.
        const int has = room.width() - 4;
        check(edit->placeholderText(), fm.horizontalAdvance(edit->placeholderText()), has);
        check(edit->text(), fm.horizontalAdvance(edit->text()), has);
    }
    return found;
}

class TextFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = QApplication::font();
        ASSERT_TRUE(ui::ResourceManager::instance().apply_theme(*qApp));
    }
    void TearDown() override {
        test::remove_theme();
        QApplication::setFont(before_);
        test::QtEnvironment::use_source_resources();
    }

private:
    QFont before_;
};

TEST_F(TextFitTest, NoTextOfAnyLanguageIsCutInAnyWindow) {
    QStringList languages{QStringLiteral("en")};
    for (const QFileInfo& file : QDir(test::source_res() + QStringLiteral("/lan")).entryInfoList({QStringLiteral("*.xml")}))
        languages << file.completeBaseName();
    ASSERT_GE(languages.size(), 12);
    QTemporaryDir out;
    QStringList cut;
    int controls = 0;
    for (const QString& code : languages) {
        ui::ResourceManager::instance().load_language(QLocale(code));
        ASSERT_EQ(ui::ResourceManager::instance().language().active_name(), code);
        for (const QString& window : kScreenshotWindows) {
            const auto inspect = [&](QWidget& top) {
                for (QWidget* control : top.findChildren<QWidget*>()) {
                    if (!control->isVisibleTo(&top) || control->width() <= 0) continue;
                    ++controls;
                    for (const Fit& fit : misfits(*control))
                        cut << QStringLiteral("%1, %2, %3 (%4): \"%5\" needs %6 px, has %7")
                                   .arg(code, window, control->objectName(),
                                        QString::fromLatin1(control->metaObject()->className()), fit.text)
                                   .arg(fit.needs)
                                   .arg(fit.has);
                }
            };
            ASSERT_EQ(RenderScreenshot(out.filePath(code + window + QStringLiteral(".png")), window, inspect), 0)
                << qPrintable(code) << " " << qPrintable(window);
        }
    }
    EXPECT_GT(controls, 1000);
    cut.removeDuplicates();
    EXPECT_TRUE(cut.isEmpty()) << cut.size() << " texts cut:\n" << qPrintable(cut.join(QLatin1Char('\n')));
}

}  // namespace
}  // namespace vantorel
