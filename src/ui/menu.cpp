// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/menu.h"

#include <QFile>
#include <QIcon>
#include <QScreen>
#include <QXmlStreamReader>

#include <functional>

#include "core/trace.h"
#include "ui/resources.h"
#include "ui/skin_window.h"

namespace vantorel::ui {

MenuWnd::MenuWnd() = default;
MenuWnd::~MenuWnd() = default;

bool MenuWnd::Load(const QString& skin_file, SkinWindow* owner) {
    owner_ = owner;
    menu_ = std::make_unique<QMenu>();
    menu_->setObjectName(QStringLiteral("menu"));
    QFile file(ResourceManager::instance().path(skin_file));
    if (!file.open(QIODevice::ReadOnly)) {
        trace("menu %s: cannot open\n", qPrintable(skin_file));
        return false;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"Menu") {
            fill(menu_.get(), xml, 0);
            break;
        }
    }
    if (xml.hasError()) {
        trace("menu %s: %s\n", qPrintable(skin_file), qPrintable(xml.errorString()));
        menu_->clear();
        return false;
    }
    return true;
}

void MenuWnd::fill(QMenu* menu, QXmlStreamReader& xml, int depth) {
    while (xml.readNextStartElement()) {
        if (xml.name() == u"Separator") {
            menu->addSeparator();
            xml.skipCurrentElement();
            continue;
        }
        if (xml.name() != u"MenuElement") {
            xml.skipCurrentElement();
            continue;
        }
        const auto a = xml.attributes();
        MenuCommand command;
        command.name = a.value(QLatin1String("name")).toString();
        command.user_data = a.value(QLatin1String("userData")).toString();
        const QString key = a.value(QLatin1String("textKey")).toString();
        command.text = key.isEmpty() ? a.value(QLatin1String("text")).toString() : Tr(key);
        const QString icon = a.value(QLatin1String("icon")).toString();
        const bool visible = a.value(QLatin1String("visible")) != u"false";
        const bool enabled = a.value(QLatin1String("enabled")) != u"false";

        // An element with elements inside is a submenu.
        auto* sub = new QMenu(command.text, menu);
        fill(sub, xml, depth + 1);
        QAction* action = nullptr;
        if (!sub->actions().isEmpty() && depth < 8) {
            action = menu->addMenu(sub);
        } else {
            delete sub;
            action = menu->addAction(command.text);
            action->setObjectName(command.name);
            connect(action, &QAction::triggered, this, [this, command] {
                emit triggered(command);
                if (owner_) owner_->PostMenuCommand(command);
            });
        }
        action->setProperty("textKey", key);
        if (!icon.isEmpty()) action->setIcon(QIcon(ResourceManager::instance().path(icon)));
        action->setVisible(visible);
        action->setEnabled(enabled);
    }
}

bool MenuWnd::Init(SkinWindow* owner, const QString& skin_file, QPoint point, unsigned alignment) {
    const bool ok = Load(skin_file, owner);
    base_ = point;
    alignment_ = alignment;
    ResizeMenu();
    return ok;
}

int MenuWnd::VisibleItemCount() const {
    if (!menu_) return 0;
    int count = 0;
    for (const QAction* a : menu_->actions()) {
        if (a->isVisible() && !a->isSeparator()) ++count;
    }
    return count;
}

QRect MenuWnd::Placement(QPoint point, QSize size, unsigned alignment) {
    QRect r(point, size);
    if (alignment & kMenuAlignLeft) r.moveRight(point.x() - 1);
    if (alignment & kMenuAlignTop) r.moveBottom(point.y() - 1);
    return r;
}

void MenuWnd::ResizeMenu() {
    if (!menu_) return;
    const QRect r = Placement(base_, menu_->sizeHint(), alignment_);
    if (menu_->isVisible()) menu_->move(r.topLeft());
    else menu_->popup(r.topLeft());
}

void MenuWnd::Close() {
    if (menu_) menu_->close();
}

QList<MenuCommand> MenuWnd::Commands() const {
    QList<MenuCommand> out;
    if (!menu_) return out;
    std::function<void(const QMenu*)> walk = [&](const QMenu* m) {
        for (const QAction* a : m->actions()) {
            if (a->isSeparator()) continue;
            if (a->menu()) {
                walk(a->menu());
                continue;
            }
            out.append(MenuCommand{a->objectName(), QString(), a->text()});
        }
    };
    walk(menu_.get());
    return out;
}

void MenuWnd::RefreshTexts() {
    if (!menu_) return;
    std::function<void(QMenu*)> walk = [&](QMenu* m) {
        for (QAction* a : m->actions()) {
            const QString key = a->property("textKey").toString();
            if (!key.isEmpty()) a->setText(Tr(key));
            if (a->menu()) walk(a->menu());
        }
    };
    walk(menu_.get());
}

}  // namespace vantorel::ui
