// SPDX-License-Identifier: GPL-2.0-or-later
// The page as a user drives it with pointer, wheel and keyboard: every event
// goes to the widget under its point, the way the window system delivers it.
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <set>

#include "core/reports.h"
#include "ui/resources.h"
#include "ui/widgets.h"

#include "page_harness.h"

namespace vantorel {
namespace {

using test::PageHarness;
using test::pump;
using test::pump_until;
using test::report_types;

// The theme, installed before the page is built, as the program does.
struct Theme {
    explicit Theme(bool on) : applied(on && ui::ResourceManager::instance().apply_theme(*qApp)) {}
    ~Theme() {
        if (applied) test::remove_theme();
    }
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;
    const bool applied;
};

class PageUsabilityTest : public ::testing::Test {
protected:
    explicit PageUsabilityTest(bool themed = false) : theme(themed) {}

    QScrollArea* column() { return h.ctl<QScrollArea>("ms_1_ver_setting"); }
    QScrollBar* bar() { return column()->verticalScrollBar(); }

    // A wheel turn at the middle of `control`, sent to the widget there.
    void wheel_over(QWidget* control, int delta) {
        const QPoint local = control->rect().center();
        QWidget* window = control->window();
        const QPoint at = control->mapTo(window, local);
        QWidget* target = window->childAt(at);
        ASSERT_NE(target, nullptr) << control->objectName().toStdString();
        const QPointF pos = target->mapFrom(window, at);
        QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        pump();
    }
    // Opens every section by clicking the right end of its header.
    void open_all_sections() {
        for (QAbstractButton* header : headers())
            if (!header->isChecked()) click_right_end(header);
    }
    void click_right_end(QAbstractButton* header) {
        column()->ensureWidgetVisible(header);
        QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(header->width() - 3, header->height() / 2));
        pump();
    }
    std::vector<QAbstractButton*> headers() {
        std::vector<QAbstractButton*> found;
        for (auto* b : column()->widget()->findChildren<QAbstractButton*>())
            if (b->property("skinClass").toString() == QLatin1String("section") && b->isVisibleTo(h.wnd.get()))
                found.push_back(b);
        return found;
    }

    Theme theme;
    PageHarness h;
};

class ThemedPageUsabilityTest : public PageUsabilityTest {
protected:
    ThemedPageUsabilityTest() : PageUsabilityTest(true) {}
};

TEST_F(PageUsabilityTest, TheWheelOverUnfocusedControlsScrollsTheColumnAndChangesNothing) {
    open_all_sections();
    const ProfileRecord before = h.profile();
    std::vector<QWidget*> controls;
    for (QWidget* w : column()->widget()->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(h.wnd.get())) continue;
        if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w))
            controls.push_back(w);
    }
    ASSERT_GE(controls.size(), 10u);
    ASSERT_GT(bar()->maximum(), 0);
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        column()->ensureWidgetVisible(control);
        const int value = bar()->value();
        const int delta = value > bar()->minimum() ? 120 : -120;
        wheel_over(control, delta);
        EXPECT_NE(bar()->value(), value);
        EXPECT_FALSE(control->hasFocus());
    }
    EXPECT_EQ(h.profile(), before);
    EXPECT_EQ(h.apply_requests, 0);
    EXPECT_EQ(h.exec.starts("apply delay"), 0);

    // With focus, the control takes the wheel as usual.
    auto* debounce = h.ctl<QAbstractSlider>("ms_1_slider_key_debounce");
    column()->ensureWidgetVisible(debounce);
    QApplication::setActiveWindow(h.wnd.get());
    debounce->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(debounce->hasFocus());
    const int level = debounce->value();
    const int scrolled = bar()->value();
    wheel_over(debounce, level > debounce->minimum() ? -120 : 120);
    EXPECT_NE(debounce->value(), level);
    EXPECT_EQ(bar()->value(), scrolled);
}

TEST_F(PageUsabilityTest, SectionHeadersToggleOnTheirWholeRowAndFromTheKeyboard) {
    const auto all = headers();
    ASSERT_GE(all.size(), 8u);
    for (QAbstractButton* header : all) {
        SCOPED_TRACE(header->objectName().toStdString());
        const bool open = header->isChecked();
        click_right_end(header);
        EXPECT_NE(header->isChecked(), open);
        EXPECT_EQ(header->cursor().shape(), Qt::PointingHandCursor);
        header->setFocus(Qt::TabFocusReason);
        QTest::keyClick(header, Qt::Key_Return);
        pump();
        EXPECT_EQ(header->isChecked(), open);
    }
    // The body follows its header.
    auto* light = h.button("ms_1_check_light");
    click_right_end(light);
    EXPECT_EQ(ui::IsVisible(h.ctl("ms_1_ver_light")), light->isChecked());
}

// Counts how often a widget was shown.
class ShowCounter : public QObject {
public:
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) ++shows;
        return false;
    }
};

TEST_F(PageUsabilityTest, AnApplyShowsItsProgressAndThenItsResult) {
    QWidget* ring = h.ctl("apply_ring");
    ASSERT_NE(ring, nullptr);
    ShowCounter counter;
    ring->installEventFilter(&counter);
    QLabel* result = h.ctl<QLabel>("ms_1_label_apply_result");

    QAbstractButton* apply = h.button("ms_1_apply_btn");
    QTest::mouseClick(apply, Qt::LeftButton, Qt::NoModifier, apply->rect().center());
    h.settle();
    ASSERT_TRUE(pump_until([&] { return !result->text().isEmpty(); }));
    EXPECT_GE(counter.shows, 1);
    EXPECT_FALSE(ring->isVisible());
    EXPECT_EQ(result->text(), "Sent to the mouse");

    // A refused section: the result says so and the status bar names it.
    h.mouse->shared_wired_driver()->close_feature_device();
    h.edit([](ProfileRecord& r) { r.set_sleep_timer(r.sleep_timer() == 7 ? 8 : 7); });
    QTest::mouseClick(apply, Qt::LeftButton, Qt::NoModifier, apply->rect().center());
    h.settle();
    ASSERT_TRUE(pump_until([&] { return result->text() == "Not all taken"; }));
    EXPECT_TRUE(ui::IsVisible(h.ctl("ms_1_status_bar")));
    EXPECT_GE(counter.shows, 2);
}

// A dragged or typed DPI value waits for "Send DPI values" while the result
// still read "Sent to the mouse": the result and the button say that it
// waits, the library has it at once, and sending ends the wait.
TEST_F(PageUsabilityTest, PageShowsThatDpiValuesWaitForSending) {
    h.click(QStringLiteral("ms_1_check_dpi"));  // open the DPI section
    QLabel* result = h.ctl<QLabel>("ms_1_label_apply_result");
    QAbstractButton* send = h.button("ms_1_btn_apply_dpi");
    struct Case {
        const char* control;
        std::function<void(QWidget*)> act;
        int stage;
        int code;  // stored and saved at once
    };
    const Case cases[] = {
        {"ms_1_edit_dpi_1",
         [](QWidget* w) {
             QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(w, "1250");
             QTest::keyClick(w, Qt::Key_Return);
         },
         1, 25},
        {"ms_1_slider_dpi_3", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Right); }, 3, 49},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        h.mouse->clear_log();
        c.act(h.ctl(QString::fromLatin1(c.control)));
        h.settle();
        EXPECT_EQ(h.profile_on_disk().dpi_value(c.stage - 1), c.code);
        EXPECT_TRUE(h.mouse->reports().empty());
        EXPECT_EQ(result->text(), QString::fromUtf8("DPI values wait for “Send DPI values”"));
        EXPECT_EQ(send->text(), QString::fromUtf8("● Send DPI values"));
        EXPECT_EQ(send->accessibleDescription(), result->text());

        column()->ensureWidgetVisible(send);
        QTest::mouseClick(send, Qt::LeftButton, Qt::NoModifier, send->rect().center());
        h.settle();
        ASSERT_TRUE(pump_until([&] { return result->text() == "Sent to the mouse"; }));
        EXPECT_EQ(send->text(), "Send DPI values");
        EXPECT_TRUE(send->accessibleDescription().isEmpty());
        EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportDpi});
    }
}

// Every feature of the page has landed: no control is left greyed as
// "not available yet".
TEST_F(PageUsabilityTest, NoControlIsLeftMarkedAsNotReady) {
    for (QWidget* w : h.wnd->findChildren<QWidget*>()) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_FALSE(w->toolTip().endsWith("(not available yet)"));
    }
    for (const char* name : {"ms_1_btn_macro", "ms_1_profile_add_btn", "ms_1_profile_export_btn", "ms_1_btn_reset"})
        EXPECT_TRUE(h.ctl(name)->isEnabled()) << name;
}

TEST_F(PageUsabilityTest, TheWindowFitsSmallWorkAreasAndEveryControlStaysReachable) {
    // Work areas in logical pixels: 1280 x 720 at 1x; a 1080p screen at 2x
    // (960 x 540); and 960 x 540 physical pixels at 2x (480 x 270).
    for (const QRect area : {QRect(0, 0, 1280, 720), QRect(0, 0, 960, 540), QRect(0, 0, 480, 270)}) {
        SCOPED_TRACE(area.width());
        h.wnd->FitToArea(area);
        pump();
        EXPECT_TRUE(area.contains(h.wnd->geometry())) << h.wnd->width() << "x" << h.wnd->height();
        const QSize least = h.wnd->minimumSizeHint().expandedTo(h.wnd->minimumSize());
        EXPECT_LE(least.width(), area.width());
        EXPECT_LE(least.height(), area.height());
    }
    // At its own size the page needs no sideways scrolling, in English and
    // in the longer German texts.
    h.wnd->FitToArea(QRect(0, 0, 1280, 720));
    pump();
    auto* area = h.wnd->findChild<QScrollArea*>("window_scroll");
    ASSERT_NE(area, nullptr);
    for (const char* language : {"de", "en"}) {
        SCOPED_TRACE(language);
        ui::ResourceManager::instance().load_language(QLocale(QString::fromLatin1(language)));
        h.settle();
        h.wnd->resize(800, 572);
        h.settle();
        EXPECT_LE(area->widget()->minimumSizeHint().width(), area->viewport()->width());
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
        open_all_sections();
        EXPECT_LE(column()->widget()->minimumSizeHint().width(), column()->viewport()->width());
    }

    // At the smaller size the window's content scrolls to its apply button.
    auto* scroll = h.wnd->findChild<QScrollArea*>("window_scroll");
    ASSERT_NE(scroll, nullptr);
    QAbstractButton* apply = h.button("ms_1_apply_btn");
    scroll->ensureWidgetVisible(apply);
    pump();
    const QPoint at = apply->mapTo(h.wnd.get(), apply->rect().center());
    EXPECT_EQ(h.wnd->childAt(at), apply);
}

// Stages not in use read "off" with their row greyed (the edit read-only);
// the check box beside each row switches a stage on (at 800 DPI when it had
// no value) and off, and the active stage cannot be switched off.
TEST_F(PageUsabilityTest, StagesAreSwitchedOnAndOffWithTheirCheckBox) {
    h.click(QStringLiteral("ms_1_check_dpi"));  // open the DPI section
    auto check = [&](int n) { return h.ctl<QCheckBox>(QStringLiteral("ms_1_check_dpi_enabled_%1").arg(n)); };
    auto caption = [&](int n) { return ui::GetText(h.ctl(QStringLiteral("ms_1_label_dpi_%1").arg(n))); };
    auto slider = [&](int n) { return h.ctl(QStringLiteral("ms_1_slider_dpi_%1").arg(n)); };
    auto click_box = [&](int n) {
        QCheckBox* box = check(n);
        column()->ensureWidgetVisible(box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
        h.settle();
    };
    // Defaults: stages 1..6 in use, 7 and 8 off; stage 2 is active.
    ASSERT_EQ(h.profile().dpi_stage_index(), 1);
    EXPECT_EQ(caption(7), "off");
    EXPECT_FALSE(slider(7)->isEnabled());
    EXPECT_FALSE(h.ctl(QStringLiteral("ms_1_option_dpi_step_7"))->isEnabled());
    EXPECT_TRUE(h.ctl<QLineEdit>(QStringLiteral("ms_1_edit_dpi_7"))->isReadOnly());

    h.mouse->clear_log();
    click_box(7);
    EXPECT_EQ(h.profile().dpi_stage_enabled(6), 1);
    EXPECT_EQ(h.profile().dpi_value(6), 16);
    EXPECT_EQ(caption(7), "800");
    EXPECT_TRUE(slider(7)->isEnabled());
    EXPECT_EQ(report_types(*h.mouse), std::vector<std::uint8_t>{kReportDpi});

    click_box(3);
    EXPECT_EQ(h.profile().dpi_stage_enabled(2), 0);
    EXPECT_EQ(caption(3), "off");
    EXPECT_TRUE(h.ctl<QLineEdit>(QStringLiteral("ms_1_edit_dpi_3"))->isReadOnly());

    const ProfileRecord before = h.profile();
    click_box(2);  // the active stage: its click is refused
    EXPECT_EQ(h.profile(), before);
    EXPECT_TRUE(check(2)->isChecked());
}

// Typing into the edit of a stage that is off, or unticking the active
// stage, changed nothing without a word: the status line says why, with real
// keys and clicks on the controls.
TEST_F(PageUsabilityTest, PageSaysWhyAnOffStageOrTheActiveStageTakesNoChange) {
    h.click(QStringLiteral("ms_1_check_dpi"));  // open the DPI section
    auto type = [](QWidget* w) {
        QTest::keyClicks(w, "1600");
        QTest::keyClick(w, Qt::Key_Return);
    };
    auto erase = [](QWidget* w) { QTest::keyClick(w, Qt::Key_Backspace); };
    auto click = [this](QWidget* w) {
        column()->ensureWidgetVisible(w);
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(8, w->height() / 2));
    };
    struct Case {
        const char* control;
        std::function<void(QWidget*)> act;
        const char* reason;
    };
    const Case cases[] = {
        {"ms_1_edit_dpi_7", type, "Stage 7 is off: tick its box to use it"},
        {"ms_1_edit_dpi_8", erase, "Stage 8 is off: tick its box to use it"},
        {"ms_1_check_dpi_enabled_2", click,
         "Stage 2 is the active stage and stays in use: make another stage active first"},
    };
    QWidget* status = h.ctl("ms_1_label_status");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        const ProfileRecord before = h.profile();
        QWidget* w = h.ctl(QString::fromLatin1(c.control));
        const QString text_before = ui::GetText(w);
        ui::SetText(status, QString());
        c.act(w);
        h.settle();
        EXPECT_EQ(h.profile(), before);
        EXPECT_EQ(ui::GetText(w), text_before);
        EXPECT_EQ(ui::GetText(status), QString::fromUtf8(c.reason));
        EXPECT_TRUE(ui::IsVisible(h.ctl("ms_1_status_bar")));
    }
    EXPECT_TRUE(h.ctl<QCheckBox>(QStringLiteral("ms_1_check_dpi_enabled_2"))->isChecked());
}

// Tab walks the whole settings column, every control named for screen
// readers, and the focused control visibly outlined by the theme.
TEST_F(PageUsabilityTest, TabReachesEveryControlAndEachHasAName) {
    open_all_sections();
    QApplication::setActiveWindow(h.wnd.get());
    std::vector<QWidget*> wanted;
    for (QWidget* w : column()->widget()->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(h.wnd.get()) || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) ||
            qobject_cast<QScrollBar*>(w) || w->focusProxy() != nullptr)
            continue;
        wanted.push_back(w);
    }
    ASSERT_GE(wanted.size(), 30u);
    std::set<QWidget*> reached;
    wanted.front()->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 400 && reached.size() < wanted.size(); ++i) {
        reached.insert(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // A group of exclusive buttons is one Tab stop; the arrow keys move
    // within it.
    auto group_reached = [&](QWidget* w) {
        auto* b = qobject_cast<QAbstractButton*>(w);
        if (!b || !b->autoExclusive()) return false;
        for (auto* sibling : w->parentWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
            if (sibling->autoExclusive() && reached.count(sibling)) return true;
        return false;
    };
    for (QWidget* w : wanted) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(reached.count(w) || group_reached(w));
        QString name = w->accessibleName();
        if (name.isEmpty()) {
            if (auto* b = qobject_cast<QAbstractButton*>(w)) name = b->text();
        }
        EXPECT_FALSE(name.trimmed().isEmpty());
    }
}

// The light-effect list opens on the dark theme from edge to edge.
TEST_F(ThemedPageUsabilityTest, TheComboPopupIsDarkToItsEdges) {
    ASSERT_TRUE(theme.applied);
    h.click(QStringLiteral("ms_1_check_light"));
    auto* combo = h.ctl<QComboBox>("ms_1_combo_light");
    ASSERT_NE(combo, nullptr);
    column()->ensureWidgetVisible(combo);
    QTest::mouseClick(combo, Qt::LeftButton, Qt::NoModifier, combo->rect().center());
    pump();
    QWidget* popup = combo->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const QImage shot = popup->grab().toImage();
    for (const QPoint at : {QPoint(shot.width() / 2, 1), QPoint(shot.width() / 2, shot.height() - 2),
                            QPoint(2, shot.height() / 2)}) {
        EXPECT_LT(qGray(shot.pixel(at)), 80) << at.x() << "," << at.y();
    }
    QTest::keyClick(combo->view(), Qt::Key_Escape);
    pump();
}

// Keyboard users see where they are: each kind of focusable control of the
// page, drawn with the focus and without, differs along its border.
TEST_F(ThemedPageUsabilityTest, EveryFocusableControlShowsAFocusRing) {
    ASSERT_TRUE(theme.applied);
    open_all_sections();
    QApplication::setActiveWindow(h.wnd.get());
    auto* profiles = h.ctl<QListWidget>("ms_1_list_profile");
    for (const char* name : {"ms_1_btn_key_1", "ms_1_check_movemode", "ms_1_check_dpi", "ms_1_btn_dpi_color_1",
                             "ms_1_slider_sleep_timer", "ms_1_option_ripple_control_1", "ms_1_list_profile"}) {
        SCOPED_TRACE(name);
        QWidget* w = h.ctl(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr);
        column()->ensureWidgetVisible(w);
        h.button("ms_1_btn_macro")->setFocus(Qt::TabFocusReason);  // somewhere else
        pump();
        // A list shows focus on its current row.
        const bool list = w == profiles;
        QWidget* drawn = list ? profiles->viewport() : w;
        const QRect ring = list ? profiles->visualItemRect(profiles->currentItem()) : w->rect();
        const QImage without = drawn->grab().toImage();
        w->setFocus(Qt::TabFocusReason);
        pump();
        ASSERT_TRUE(w->hasFocus());
        const QImage with = drawn->grab().toImage();
        ASSERT_EQ(with.size(), without.size());
        const qreal scale = with.devicePixelRatio();
        int border = 0, changed = 0;
        for (int x = ring.left(); x <= ring.right(); ++x) {
            for (int y = ring.top(); y <= ring.bottom(); ++y) {
                if (x > ring.left() + 1 && x < ring.right() - 1 && y > ring.top() + 1 && y < ring.bottom() - 1) continue;
                const QPoint at(static_cast<int>(x * scale), static_cast<int>(y * scale));
                ++border;
                if (with.pixel(at) != without.pixel(at)) ++changed;
            }
        }
        EXPECT_GT(changed * 4, border) << changed << " of " << border << " border pixels change";
    }
}

// Long function names are cut with an ellipsis and shown whole in the
// tooltip; they neither widen the button grid nor move the mouse picture.
TEST_F(PageUsabilityTest, ALongButtonFunctionIsElidedAndMovesNothing) {
    QWidget* picture = h.ctl("ms_1_container_mouse_pic");
    QWidget* button = h.ctl("ms_1_btn_key_4");
    h.settle();
    const QRect picture_at(picture->mapTo(h.wnd.get(), QPoint()), picture->size());
    const QRect button_at(button->mapTo(h.wnd.get(), QPoint()), button->size());
    for (const std::uint8_t code : {81, 66}) {  // "Browser bookmarks", "Stop playback"
        h.edit([code](ProfileRecord& r) { r.slot(3).set_function_code(code); });
        h.page->Refresh();
        h.settle();
        auto* b = qobject_cast<QPushButton*>(button);
        SCOPED_TRACE(b->text().toStdString());
        EXPECT_EQ(QRect(picture->mapTo(h.wnd.get(), QPoint()), picture->size()), picture_at);
        EXPECT_EQ(QRect(button->mapTo(h.wnd.get(), QPoint()), button->size()), button_at);
        EXPECT_EQ(b->toolTip(), b->text());
        const QString shown = qobject_cast<ui::ElidingButton*>(button)->shownText();
        const bool fits = b->fontMetrics().horizontalAdvance(b->text()) <= b->width() - 18;
        EXPECT_EQ(shown, fits ? b->text() : shown);
        EXPECT_EQ(shown.endsWith(QChar(0x2026)), !fits);
    }
}

// "Sent to the mouse" is shown whole at the window's default size.
TEST_F(PageUsabilityTest, TheApplyResultGetsTheRoomItsTextNeeds) {
    h.click(QStringLiteral("ms_1_apply_btn"));
    h.settle();
    auto* result = h.ctl<QLabel>("ms_1_label_apply_result");
    ASSERT_EQ(result->text(), "Sent to the mouse");
    // On one line, or wrapped within the height it has.
    if (result->wordWrap()) {
        EXPECT_LE(result->heightForWidth(result->width()), result->height());
    } else {
        EXPECT_GE(result->width(), result->fontMetrics().horizontalAdvance(result->text()));
    }
}

// The picture choice is labelled; lift-off distance has its control; each
// setting kept only in the profile says that the mouse does not get it.
TEST_F(PageUsabilityTest, SettingsTheMouseDoesNotGetSaySoAndThePictureChoiceIsLabelled) {
    open_all_sections();
    EXPECT_TRUE(h.ctl("ms_1_label_mouse_pic")->isVisible());
    EXPECT_EQ(h.ctl<QLabel>("ms_1_label_mouse_pic")->text(), "Picture");
    for (const char* name : {"ms_1_check_lift_of_distance", "ms_1_option_lift_of_distance_2", "ms_1_check_movemode"}) {
        SCOPED_TRACE(name);
        QWidget* w = h.ctl(QString::fromLatin1(name));
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->toolTip().contains(QStringLiteral("not sent to the mouse")));
    }
    auto* two = h.button(QStringLiteral("ms_1_option_lift_of_distance_2"));
    column()->ensureWidgetVisible(two);
    QTest::mouseClick(two, Qt::LeftButton, Qt::NoModifier, two->rect().center());
    pump();
    EXPECT_EQ(h.profile().lift_off_distance(), 1);
    // The two reset controls say that they are one.
    EXPECT_TRUE(h.ctl("ms_1_profile_reset_btn")->toolTip().contains(QStringLiteral("Restore defaults")));
    EXPECT_TRUE(h.ctl("ms_1_btn_reset")->toolTip().contains(QStringLiteral("\u21ba")));
}

// Lights off after the mouse sleeps never happens: the page says so, and the
// time is written as the language writes numbers.
TEST_F(PageUsabilityTest, ALightOffTimePastSleepSaysItNeverComesInTheLanguagesNumbers) {
    open_all_sections();
    const struct {
        const char* language;
        int light_off, sleep;  // half minutes, minutes
        const char* label;
        bool note;
    } cases[] = {
        {"en", 2, 10, "Lights off after 1.0 min", false},
        {"de", 3, 10, "1,5", false},
        {"en", 25, 12, "Lights off after 12.5 min", true},
        {"en", 24, 12, "Lights off after 12.0 min", false},
    };
    struct English {
        ~English() { ui::ResourceManager::instance().load_language(QLocale(QStringLiteral("en"))); }
    } english;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.light_off);
        ui::ResourceManager::instance().load_language(QLocale(QString::fromLatin1(c.language)));
        h.edit([&c](ProfileRecord& r) {
            r.set_light_off_timer(c.light_off);
            r.set_sleep_timer(c.sleep);
        });
        h.page->Refresh();
        pump();
        EXPECT_TRUE(h.ctl<QLabel>("ms_1_label_light_off")->text().contains(QString::fromLatin1(c.label)))
            << h.ctl<QLabel>("ms_1_label_light_off")->text().toStdString();
        EXPECT_EQ(h.ctl("ms_1_label_timer_note")->isVisible(), c.note);
    }
    // Moving the sleep slider below the light-off time brings the note.
    auto* sleep = h.ctl<QAbstractSlider>("ms_1_slider_sleep_timer");
    column()->ensureWidgetVisible(sleep);
    QApplication::setActiveWindow(h.wnd.get());
    sleep->setFocus(Qt::TabFocusReason);
    QTest::keyClick(sleep, Qt::Key_Left);
    pump();
    EXPECT_TRUE(h.ctl("ms_1_label_timer_note")->isVisible());
}

}  // namespace
}  // namespace vantorel
