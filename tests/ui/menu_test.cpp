// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAction>
#include <QMenu>

#include "ui/menu.h"
#include "ui/qt_env.h"
#include "ui/skin_window.h"

namespace vantorel::ui {
namespace {

using test::pump;
using test::ScratchResources;

class OwnerWindow : public SkinWindow {
public:
    QString GetWindowClassName() const override { return QStringLiteral("Owner"); }
    QString GetSkinFile() const override { return QStringLiteral("DPImsg.xml"); }
    QList<MenuCommand> commands;

protected:
    void OnMenuCommand(const MenuCommand& c) override { commands << c; }
};

TEST(MenuTest, ItemsCarryNamesTextsAndReachTheOwner) {
    ScratchResources res;
    res.write("menu.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Menu>
  <MenuElement name="ms_1_click" textKey="left_click_text" userData="1"/>
  <Separator/>
  <MenuElement name="more" text="More">
    <MenuElement name="ms_1_copy" textKey="copy_text"/>
    <MenuElement name="ms_1_hidden" text="Hidden" visible="false"/>
  </MenuElement>
  <MenuElement name="ms_1_off" textKey="button_off_text" visible="false"/>
</Menu>)");
    OwnerWindow owner;
    owner.Create(nullptr);
    MenuWnd menu;
    ASSERT_TRUE(menu.Load(QStringLiteral("menu.xml"), &owner));
    EXPECT_EQ(menu.VisibleItemCount(), 2);  // the item and the submenu
    const QList<MenuCommand> items = menu.Commands();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0].name, "ms_1_click");
    EXPECT_EQ(items[0].text, "Left click");
    EXPECT_EQ(items[1].name, "ms_1_copy");

    QAction* copy = menu.GetMenuUI()->findChild<QAction*>(QStringLiteral("ms_1_copy"));
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    EXPECT_TRUE(owner.commands.isEmpty());  // arrives after the menu has closed
    pump();
    ASSERT_EQ(owner.commands.size(), 1);
    EXPECT_EQ(owner.commands[0].name, "ms_1_copy");
    EXPECT_EQ(owner.commands[0].text, "Copy");
}

TEST(MenuTest, MissingOrBrokenMenuFileGivesAnEmptyMenu) {
    ScratchResources res;
    res.write("broken.xml", "<Menu><MenuElement name=\"a\" text=\"A\"/><MenuElement");
    MenuWnd missing;
    EXPECT_FALSE(missing.Load(QStringLiteral("nowhere.xml"), nullptr));
    EXPECT_EQ(missing.VisibleItemCount(), 0);
    MenuWnd broken;
    EXPECT_FALSE(broken.Load(QStringLiteral("broken.xml"), nullptr));
    EXPECT_EQ(broken.VisibleItemCount(), 0);
}

TEST(MenuTest, AlignmentPlacesTheMenuAroundItsPoint) {
    const QPoint p(500, 400);
    const QSize s(120, 90);
    EXPECT_EQ(MenuWnd::Placement(p, s, 0), QRect(500, 400, 120, 90));
    // Left | Top (6): the menu ends at the point, above and to the left.
    const QRect up_left = MenuWnd::Placement(p, s, kMenuAlignLeft | kMenuAlignTop);
    EXPECT_EQ(up_left.right(), 499);
    EXPECT_EQ(up_left.bottom(), 399);
    EXPECT_EQ(up_left.size(), s);
    EXPECT_EQ(kMenuAlignLeft | kMenuAlignTop, 6u);
}

}  // namespace
}  // namespace vantorel::ui
