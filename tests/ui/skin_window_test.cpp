// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

#include "ui/controls.h"
#include "ui/qt_env.h"
#include "ui/skin_window.h"

namespace vantorel::ui {
namespace {

using test::pump;
using test::pump_until;
using test::ScratchResources;

const char kSkin[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="root">
 <property name="geometry"><rect><x>0</x><y>0</y><width>320</width><height>240</height></rect></property>
 <layout class="QVBoxLayout" name="l">
  <item><widget class="QPushButton" name="btn_plain"/></item>
  <item><widget class="QRadioButton" name="opt_1"/></item>
  <item><widget class="QRadioButton" name="opt_2"/></item>
  <item><widget class="QCheckBox" name="check"/></item>
  <item><widget class="QSlider" name="slider"><property name="orientation"><enum>Qt::Horizontal</enum></property></widget></item>
  <item><widget class="QComboBox" name="combo">
   <item><property name="text"><string>a</string></property></item>
   <item><property name="text"><string>b</string></property></item>
   <item><property name="text"><string>c</string></property></item></widget></item>
  <item><widget class="QLineEdit" name="edit"/></item>
  <item><widget class="QLabel" name="label"><property name="textKey" stdset="0"><string>ok_text</string></property></widget></item>
  <item><widget class="QWidget" name="page"><property name="virtualwnd" stdset="0"><string>Test_Page</string></property>
   <layout class="QVBoxLayout" name="pl"><item><widget class="QPushButton" name="page_btn"/></item></layout></widget></item>
  <item><widget class="QWidget" name="holder"><property name="include" stdset="0"><string>parts/sub.xml</string></property></widget></item>
 </layout></widget></ui>)";

const char kSubSkin[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="sub_root"><layout class="QVBoxLayout" name="sl">
 <item><widget class="QPushButton" name="sub_btn"><property name="textKey" stdset="0"><string>cancel_text</string></property></widget></item>
 <item><widget class="QWidget" name="again"><property name="include" stdset="0"><string>parts/sub.xml</string></property></widget></item>
</layout></widget></ui>)";

class TestWindow : public SkinWindow {
public:
    explicit TestWindow(QString skin = QStringLiteral("test.xml")) : skin_(std::move(skin)) {}
    QString GetWindowClassName() const override { return QStringLiteral("TestWnd"); }
    QString GetSkinFile() const override { return skin_; }

    QStringList notes;  // "type:sender"
    QStringList clicks;
    std::vector<int> timers;
    std::vector<std::pair<std::uint32_t, std::uintptr_t>> messages;
    int inits = 0;

protected:
    void InitWindow() override { ++inits; }
    void Notify(const Notification& msg) override {
        if (msg.type != notify::kMouseEnter && msg.type != notify::kMouseLeave && msg.type != notify::kSetFocus &&
            msg.type != notify::kKillFocus)
            notes << msg.type + QLatin1Char(':') + msg.sender_name;
        DefaultNotify(msg);
    }
    void OnClick(const Notification& msg) override { clicks << msg.sender_name; }
    void OnTimer(int id) override { timers.push_back(id); }
    void HandleCustomMessage(std::uint32_t m, std::uintptr_t w, std::intptr_t, bool& handled) override {
        messages.emplace_back(m, w);
        handled = true;
    }

private:
    QString skin_;
};

class RecordingPump : public NotifyPump {
public:
    QStringList clicks;
    QStringList checks;

protected:
    void OnClick(const Notification& msg) override { clicks << msg.sender_name; }
    void OnCheckClick(const Notification& msg) override { checks << msg.sender_name; }
};

class SkinWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        res_.write("test.xml", kSkin);
        res_.write("parts/sub.xml", kSubSkin);
        ASSERT_TRUE(win_.Create(nullptr));
        win_.notes.clear();
    }
    template <class T>
    T* control(const char* name) {
        T* c = win_.FindControl<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    ScratchResources res_;
    TestWindow win_;
};

TEST_F(SkinWindowTest, BuildsFromSkinWithSizeIncludesAndTexts) {
    EXPECT_EQ(win_.inits, 1);
    EXPECT_EQ(win_.size(), QSize(320, 240));
    EXPECT_EQ(control<QLabel>("label")->text(), "OK");
    // The included skin is built in place, once per level, and stops where
    // it would include itself forever.
    auto* sub = control<QAbstractButton>("sub_btn");
    EXPECT_EQ(sub->text(), "Cancel");
    sub->click();
    EXPECT_EQ(win_.clicks, QStringList{"sub_btn"});
    EXPECT_LE(win_.SkinRoot()->findChildren<QWidget*>(QStringLiteral("sub_btn")).size(), 9);
    // A control of the wrong kind is refused like a missing one.
    EXPECT_EQ(win_.FindControl<QSlider>(QStringLiteral("label")), nullptr);
    EXPECT_EQ(win_.FindControlIndexed("opt_%d", 2), win_.FindControl(QStringLiteral("opt_2")));
}

// Lookups by name stay right as controls come, go and are renamed after the
// first one, and give the control a search of the tree would.
TEST_F(SkinWindowTest, ControlsAreFoundAsTheyComeGoAndAreRenamed) {
    QWidget* root = win_.SkinRoot();
    EXPECT_EQ(win_.FindControl(QStringLiteral("sub_btn")), root->findChild<QWidget*>(QStringLiteral("sub_btn")));
    delete win_.FindControl(QStringLiteral("label"));
    EXPECT_EQ(win_.FindControl(QStringLiteral("label")), root->findChild<QWidget*>(QStringLiteral("label")));
    QWidget* renamed = win_.FindControl(QStringLiteral("opt_2"));
    ASSERT_NE(renamed, nullptr);
    renamed->setObjectName(QStringLiteral("opt_two"));
    EXPECT_EQ(win_.FindControl(QStringLiteral("opt_2")), nullptr);
    EXPECT_EQ(win_.FindControl(QStringLiteral("opt_two")), renamed);
    auto* late = new QWidget(renamed->parentWidget());
    late->setObjectName(QStringLiteral("opt_2"));
    EXPECT_EQ(win_.FindControl(QStringLiteral("opt_2")), late);
    late->setParent(nullptr);
    EXPECT_EQ(win_.FindControl(QStringLiteral("opt_2")), nullptr);
    delete late;
}

TEST_F(SkinWindowTest, MissingControlsAreSkippedWithoutCrashing) {
    QWidget* missing = win_.FindControl(QStringLiteral("ms_1_apply_btn"));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(win_.FindControl(QStringLiteral("ms_1_apply_btn")), nullptr);  // logged once, still null
    SetText(missing, QStringLiteral("x"));
    SetResourceText(missing, QStringLiteral("ok_text"));
    SetValue(missing, 3);
    SetCheck(missing, true);
    SelectItem(missing, 1);
    SetVisible(missing, false);
    SetBkColor(missing, 0xFFFF0000);
    ScrollToEnd(missing);
    EXPECT_EQ(GetText(missing), QString());
    EXPECT_FALSE(GetCheck(missing));
    EXPECT_EQ(GetCurSel(missing), -1);
    win_.SendNotify(missing, notify::kClick);  // a notification without a sender
    EXPECT_EQ(win_.clicks, QStringList{""});

    // A skin file that is not there leaves an empty window that still works.
    TestWindow empty(QStringLiteral("no/such/skin.xml"));
    EXPECT_FALSE(empty.Create(nullptr));
    EXPECT_EQ(empty.inits, 1);
    EXPECT_EQ(empty.FindControl(QStringLiteral("btn_ok")), nullptr);
}

TEST_F(SkinWindowTest, VirtualWindowGetsItsControlsNotifications) {
    RecordingPump page;
    win_.AddVirtualWnd(QStringLiteral("Test_Page"), &page);
    control<QAbstractButton>("page_btn")->click();
    control<QAbstractButton>("btn_plain")->click();
    EXPECT_EQ(page.clicks, QStringList{"page_btn"});
    EXPECT_EQ(win_.clicks, QStringList{"btn_plain"});
    EXPECT_EQ(SkinWindow::VirtualWndOf(win_.FindControl(QStringLiteral("page_btn"))), "Test_Page");

    // Without the virtual window its controls fall back to the window.
    win_.RemoveVirtualWnd(QStringLiteral("Test_Page"));
    control<QAbstractButton>("page_btn")->click();
    EXPECT_EQ(page.clicks.size(), 1);
    EXPECT_EQ(win_.clicks, (QStringList{"btn_plain", "page_btn"}));
}

TEST_F(SkinWindowTest, UserActionsNotifyAndCodeChangesDoNot) {
    control<QAbstractButton>("opt_1")->click();
    control<QAbstractButton>("check")->click();
    auto* slider = control<QSlider>("slider");
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    control<QComboBox>("combo")->setCurrentIndex(2);
    auto* edit = control<QLineEdit>("edit");
    edit->setFocus();
    QTest::keyClicks(edit, "7");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(win_.notes, (QStringList{"click:opt_1", "selectchanged:opt_1", "click:check", "selectchanged:check",
                                       "checkclick:check", "valuechanged:slider", "itemselect:combo",
                                       "textchanged:edit", "return:edit"}));

    win_.notes.clear();
    SetValue(slider, 40);
    SelectItem(control<QComboBox>("combo"), 0);
    SetCheck(control<QAbstractButton>("opt_2"), true);
    SetCheck(control<QAbstractButton>("check"), false);
    SetText(edit, QStringLiteral("123"));
    EXPECT_TRUE(win_.notes.isEmpty()) << qPrintable(win_.notes.join(' '));
    EXPECT_EQ(GetValue(slider), 40);
    EXPECT_EQ(GetCurSel(control<QComboBox>("combo")), 0);
    EXPECT_TRUE(GetCheck(control<QAbstractButton>("opt_2")));
    EXPECT_FALSE(GetCheck(control<QAbstractButton>("opt_1")));  // one option of the group

    // An exclusive option can be cleared from code as well.
    SetCheck(control<QAbstractButton>("opt_2"), false);
    EXPECT_FALSE(GetCheck(control<QAbstractButton>("opt_2")));
    EXPECT_TRUE(win_.notes.isEmpty());
}

TEST_F(SkinWindowTest, ResourceTextFollowsLanguageUntilLiteralTextIsSet) {
    res_.write("lan/de.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Language code="de"><Text key="ok_text">Ja</Text><Text key="cancel_text">Abbrechen</Text></Language>)");
    auto* label = control<QLabel>("label");
    auto* sub = control<QAbstractButton>("sub_btn");
    SetResourceText(label, QStringLiteral("cancel_text"));
    EXPECT_EQ(label->text(), "Cancel");
    QLabel* literal = win_.SkinRoot()->findChild<QLabel*>();
    ASSERT_EQ(literal, label);

    res_.reload_language(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(label->text(), "Abbrechen");
    EXPECT_EQ(sub->text(), "Abbrechen");

    SetText(label, QStringLiteral("800"));
    EXPECT_EQ(ResourceKey(label), QString());
    res_.reload_language(QLocale(QLocale::English));
    EXPECT_EQ(label->text(), "800");
    EXPECT_EQ(sub->text(), "Cancel");
}

TEST_F(SkinWindowTest, TimersByIdRestartAndStop) {
    auto timers = std::make_unique<ManualTimerService>();
    ManualTimerService* manual = timers.get();
    win_.SetTimerService(std::move(timers));
    win_.SetTimer(903, 500);
    win_.SetTimer(903, 200);  // restarts with the new period
    EXPECT_TRUE(win_.IsTimerActive(903));
    EXPECT_EQ(manual->interval(903), 200);
    EXPECT_TRUE(manual->fire(903));
    EXPECT_TRUE(manual->fire(903));  // periodic until killed
    win_.KillTimer(903);
    EXPECT_FALSE(manual->fire(903));
    EXPECT_EQ(win_.timers, (std::vector<int>{903, 903}));
}

TEST_F(SkinWindowTest, ControlTimerNotifiesItsControl) {
    QWidget* btn = win_.FindControl(QStringLiteral("btn_plain"));
    win_.SetControlTimer(btn, 3, 1);
    EXPECT_TRUE(pump_until([&] { return win_.notes.contains(QStringLiteral("timer:btn_plain")); }));
    win_.KillControlTimer(btn, 3);
}

TEST_F(SkinWindowTest, MessagesPostedFromOtherThreadsArriveInOrder) {
    constexpr int kCount = 200;
    std::thread poster([this] {
        for (int i = 0; i < kCount; ++i) win_.PostMessage(1901, static_cast<std::uintptr_t>(i));
    });
    poster.join();
    ASSERT_TRUE(pump_until([&] { return win_.messages.size() == kCount; }));
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(win_.messages[i].second, static_cast<std::uintptr_t>(i));

    // The plugin form reaches the same handler; after the window is gone a
    // post is refused instead of touching freed memory.
    auto* other = new TestWindow;
    const VantorelWindow target = other->PluginWindow();
    EXPECT_EQ(target.post(target.target, 1034, 0x41, 0), 1);
    pump();
    EXPECT_EQ(other->messages.size(), 1u);
    delete other;
    EXPECT_EQ(target.post(target.target, 1034, 0x41, 0), 0);
}

TEST_F(SkinWindowTest, ModalRunReturnsTheCloseCode) {
    QTimer::singleShot(0, &win_, [this] { win_.Close(7); });
    EXPECT_EQ(win_.ShowModal(), 7);
    EXPECT_FALSE(win_.isVisible());

    QTimer::singleShot(0, &win_, [this] { QTest::keyClick(&win_, Qt::Key_Escape); });
    EXPECT_EQ(win_.ShowModal(), 0);

    QTimer::singleShot(0, &win_, [this] { win_.close(); });  // closed by the desktop
    EXPECT_EQ(win_.ShowModal(), 0);
}

}  // namespace
}  // namespace vantorel::ui
