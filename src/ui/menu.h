// SPDX-License-Identifier: GPL-2.0-or-later
// Menus from menu skin files:
//
//   <Menu>
//     <MenuElement name="configuration" textKey="configuration_text" icon="images/open.svg"/>
//     <Separator/>
//     <MenuElement name="more" textKey="more_text">  <!-- a submenu -->
//       <MenuElement name="..." text="literal text" userData="..."/>
//     </MenuElement>
//   </Menu>
//
// Choosing an item posts a MenuCommand to the owner window, which handles it
// in OnMenuCommand once the menu has closed.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <memory>

#include "ui/messages.h"

class QXmlStreamReader;

namespace vantorel::ui {

class SkinWindow;

// Where the menu lies relative to its base point. The default puts the
// menu's top-left corner on the point; kMenuAlignLeft puts its right edge
// there and kMenuAlignTop its bottom edge.
enum MenuAlignment : unsigned {
    kMenuAlignLeft = 1u << 1,
    kMenuAlignTop = 1u << 2,
    kMenuAlignRight = 1u << 3,
    kMenuAlignBottom = 1u << 4,
};

class MenuWnd : public QObject {
    Q_OBJECT
public:
    MenuWnd();
    ~MenuWnd() override;

    // Builds the menu from its skin; returns false when the file is missing
    // or malformed (the menu is then empty).
    bool Load(const QString& skin_file, SkinWindow* owner);
    // Load, then show at `point` (screen coordinates) with the alignment.
    bool Init(SkinWindow* owner, const QString& skin_file, QPoint point, unsigned alignment = 0);

    QMenu* GetMenuUI() const { return menu_.get(); }
    int VisibleItemCount() const;
    void SetBasePoint(QPoint point) { base_ = point; }
    // Places the menu again at its base point with its alignment.
    void ResizeMenu();
    void Close();
    // The screen rectangle the menu takes for a base point and alignment.
    static QRect Placement(QPoint point, QSize size, unsigned alignment);
    // The items as the owner would receive them, in menu order; separators
    // and submenu titles are left out.
    QList<MenuCommand> Commands() const;
    // Re-reads the texts of items shown by language key.
    void RefreshTexts();

signals:
    void triggered(const vantorel::ui::MenuCommand& command);

private:
    void fill(QMenu* menu, QXmlStreamReader& xml, int depth);

    std::unique_ptr<QMenu> menu_;
    QPointer<SkinWindow> owner_;
    QPoint base_;
    unsigned alignment_ = 0;
};

}  // namespace vantorel::ui
