// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/theme_style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStyleFactory>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "ui/controls.h"
#include "ui/qt_env.h"
#include "ui/resources.h"

namespace vantorel::ui {
namespace {

QString PageSheet() {
    QFile file(test::source_res() + QStringLiteral("/MS/MS_1/ms_1_page.qss"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

template <typename T>
T* Add(QLayout* layout, const char* skin_class = nullptr, const char* name = nullptr) {
    auto* w = new T;
    if (skin_class) w->setProperty("skinClass", QString::fromLatin1(skin_class));
    if (name) w->setObjectName(QString::fromLatin1(name));
    layout->addWidget(w);
    return w;
}

// A window with each thing the theme tells controls apart by: names, skin
// classes, a part of the window with a sheet of its own, a colour of a
// control's own, states that change after the first drawing, the parts Qt
// makes itself (a scroll area's bars, a combo box's list, a list's row
// widgets), and a colour on a list that its row widgets must not take.
struct Sample {
    std::unique_ptr<QWidget> window;
    QLineEdit* stage_value = nullptr;
    QPushButton* send = nullptr;
    QPushButton* swatch = nullptr;
    QComboBox* combo = nullptr;
    QLabel* caption = nullptr;

    explicit Sample(const std::function<void(QWidget*, const QString&)>& part_sheet) : window(new QWidget) {
        window->setObjectName(QStringLiteral("main_root"));
        window->setProperty("windowClass", QStringLiteral("QV Vantorel"));
        auto* root = new QVBoxLayout(window.get());
        auto* title = new QWidget;
        title->setObjectName(QStringLiteral("title_bar"));
        auto* title_row = new QHBoxLayout(title);
        Add<QLabel>(title_row, nullptr, "title_text")->setText(QStringLiteral("QV Vantorel"));
        Add<QLabel>(title_row, "badge")->setText(QStringLiteral("Demo"));
        Add<QPushButton>(title_row, "title_btn_close")->setText(QStringLiteral("x"));
        root->addWidget(title);

        auto* card = new QFrame;
        card->setProperty("skinClass", QStringLiteral("card"));
        auto* card_rows = new QVBoxLayout(card);
        Add<QLabel>(card_rows, "headline")->setText(QStringLiteral("Waiting for a mouse"));
        Add<QLabel>(card_rows, "code")->setText(QStringLiteral("udevadm trigger"));
        root->addWidget(card);

        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("ms_1_page"));
        part_sheet(page, PageSheet());
        auto* columns = new QHBoxLayout(page);
        auto* left = new QVBoxLayout;
        columns->addLayout(left);
        Add<QPushButton>(left, "key")->setText(QStringLiteral("Left click"));
        Add<QLabel>(left, "keynum")->setText(QStringLiteral("1"));
        auto* stage = Add<QPushButton>(left, "stage");
        stage->setText(QStringLiteral("2"));
        stage->setCheckable(true);
        stage->setChecked(true);
        swatch = Add<QPushButton>(left, "swatch");
        swatch->setFixedSize(24, 16);
        send = Add<QPushButton>(left, "accent");
        send->setText(QStringLiteral("Send now"));
        auto* profiles = Add<QListWidget>(left, nullptr, "ms_1_list_profile");
        profiles->addItem(QStringLiteral("Profile 1"));
        auto* row = new QListWidgetItem(profiles);
        auto* row_text = new QLabel(QStringLiteral("Left Shift"));
        profiles->setItemWidget(row, row_text);
        profiles->setCurrentRow(0);

        auto* area = new QScrollArea;
        area->setObjectName(QStringLiteral("ms_1_ver_setting"));
        area->setWidgetResizable(true);
        auto* content = new QWidget;
        content->setObjectName(QStringLiteral("ms_1_setting_content"));
        auto* settings = new QVBoxLayout(content);
        Add<QCheckBox>(settings, "section")->setText(QStringLiteral("DPI"));
        caption = Add<QLabel>(settings, "caption");
        caption->setText(QStringLiteral("Active stage"));
        Add<QCheckBox>(settings)->setChecked(true);
        Add<QSlider>(settings)->setOrientation(Qt::Horizontal);
        stage_value = Add<QLineEdit>(settings);
        stage_value->setText(QStringLiteral("800"));
        Add<QProgressBar>(settings)->setValue(76);
        combo = Add<QComboBox>(settings);
        combo->addItems({QStringLiteral("Steady"), QStringLiteral("Breathing")});
        settings->addSpacing(400);
        area->setWidget(content);
        columns->addWidget(area);
        root->addWidget(page);
        window->resize(520, 420);
    }
};

QImage Shot(QWidget* w) {
    QApplication::processEvents();
    return w->grab().toImage();
}

// The window built, drawn and changed as a user changes it, with the theme
// the test has set: what each step looks like, and where each control is.
struct Look {
    std::vector<QImage> shots;
    std::vector<QRect> places;
};

Look Render(const std::function<void(QWidget*, const QString&)>& part_sheet) {
    Sample s(part_sheet);
    s.window->show();
    Look look;
    look.shots.push_back(Shot(s.window.get()));
    // What changes after the first drawing: a colour of its own, a state the
    // sheet names ("waiting"), a state Qt's selectors name (read-only),
    // the focus.
    SetBkColor(s.swatch, 0xff00ff00);
    SetBkColor(s.swatch, 0xffff8000);
    s.send->setProperty("waiting", true);
    s.send->style()->unpolish(s.send);
    s.send->style()->polish(s.send);
    s.stage_value->setReadOnly(true);
    QApplication::setActiveWindow(s.window.get());
    s.combo->setFocus(Qt::TabFocusReason);
    look.shots.push_back(Shot(s.window.get()));
    s.combo->showPopup();
    QWidget* popup = s.combo->view()->window();
    look.shots.push_back(Shot(popup));
    s.combo->hidePopup();
    QMenu menu(s.window.get());
    menu.addAction(QStringLiteral("Left click"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Disabled"))->setEnabled(false);
    menu.popup(s.window->mapToGlobal(QPoint(20, 20)));
    look.shots.push_back(Shot(&menu));
    menu.hide();
    QToolTip::showText(s.caption->mapToGlobal(QPoint(4, 4)), QStringLiteral("Stages the DPI button steps through"),
                       s.caption);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible()) look.shots.push_back(Shot(w));
    }
    QToolTip::hideText();
    for (QWidget* w : s.window->findChildren<QWidget*>()) look.places.push_back(w->geometry());
    return look;
}

class ThemeStyleTest : public ::testing::Test {
protected:
    void TearDown() override {
        test::remove_theme();
        QApplication::setFont(font_);
        QApplication::setPalette(palette_);
    }
    const QFont font_ = QApplication::font();
    const QPalette palette_ = QApplication::palette();
};

// The theme drawn through stand-ins looks, sizes and places every control
// exactly as Qt's application-wide style sheet does, step by step.
TEST_F(ThemeStyleTest, DrawsEveryControlAsTheApplicationSheetWould) {
    ASSERT_TRUE(ResourceManager::instance().apply_theme(*qApp));
    auto* theme = qobject_cast<ThemeStyle*>(QApplication::style());
    ASSERT_NE(theme, nullptr);
    const QString sheet = theme->sheet();
    const Look themed = Render([](QWidget* w, const QString& text) { ThemeStyle::of(w)->setScopeSheet(w, text); });

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    qApp->setStyleSheet(sheet);
    ASSERT_EQ(qobject_cast<ThemeStyle*>(QApplication::style()), nullptr);
    const Look sheeted = Render([](QWidget* w, const QString& text) { w->setStyleSheet(text); });

    ASSERT_EQ(themed.shots.size(), 5u) << "window, changed window, combo list, menu, tooltip";
    ASSERT_EQ(sheeted.shots.size(), themed.shots.size());
    const char* steps[] = {"first drawing", "after the changes", "combo box list", "menu", "tooltip"};
    for (std::size_t i = 0; i < themed.shots.size(); ++i) {
        SCOPED_TRACE(steps[i]);
        const QImage& a = themed.shots[i];
        const QImage& b = sheeted.shots[i];
        EXPECT_EQ(a.size(), b.size());
        if (a.size() != b.size()) continue;
        int differ = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) differ += a.pixel(x, y) != b.pixel(x, y);
        EXPECT_EQ(differ, 0) << "pixels that differ";
    }
    EXPECT_EQ(themed.places, sheeted.places);
}

// A swatch given colour after colour keeps one stand-in, not one for each.
TEST_F(ThemeStyleTest, ARecolouredSwatchLeavesNoStandInBehind) {
    ASSERT_TRUE(ResourceManager::instance().apply_theme(*qApp));
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* swatch = Add<QPushButton>(layout, "swatch");
    window.show();
    QApplication::processEvents();
    SetBkColor(swatch, 0xff102030);
    const QPointer<const QWidget> first = ThemeStyle::of(swatch)->standInOf(swatch);
    ASSERT_FALSE(first.isNull());
    for (quint32 c = 0; c < 20; ++c) SetBkColor(swatch, 0xff000000 | (c * 0x010203));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_NE(ThemeStyle::of(swatch)->standInOf(swatch), nullptr);
}

}  // namespace
}  // namespace vantorel::ui
