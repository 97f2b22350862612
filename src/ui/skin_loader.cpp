// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/skin_loader.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUiLoader>

#include "core/trace.h"
#include "ui/controls.h"
#include "ui/resources.h"
#include "ui/widgets.h"

namespace vantorel::ui {

namespace {

class Loader : public QUiLoader {
public:
    QWidget* createWidget(const QString& class_name, QWidget* parent, const QString& name) override {
        QWidget* w = nullptr;
        if (class_name == QLatin1String("SvgImage")) w = new SvgImage(parent);
        else if (class_name == QLatin1String("ColorPalette")) w = new ColorPalette(parent);
        else if (class_name == QLatin1String("QLabel")) w = new Label(parent);
        if (w) {
            w->setObjectName(name);
            return w;
        }
        return QUiLoader::createWidget(class_name, parent, name);
    }
};

// One loader for the UI thread. Our skins use Qt's own widgets and two of
// ours, so the Designer plugins (Qt Quick among them), which a loader scans
// as it is made, are kept out: they would cost start-up time and memory.
Loader& shared_loader() {
    static Loader* loader = [] {
        const QStringList paths = QCoreApplication::libraryPaths();
        QCoreApplication::setLibraryPaths({});
        auto* l = new Loader;
        QCoreApplication::setLibraryPaths(paths);
        l->clearPluginPaths();
        return l;
    }();
    return *loader;
}

QWidget* load_file(const QString& skin_file, QWidget* parent, int depth) {
    ResourceManager& rm = ResourceManager::instance();
    QFile file(rm.path(skin_file));
    if (!file.open(QIODevice::ReadOnly)) {
        trace("skin %s: cannot open %s\n", qPrintable(skin_file), qPrintable(file.fileName()));
        return nullptr;
    }
    Loader& loader = shared_loader();
    loader.setWorkingDirectory(QDir(rm.resource_path()));
    QWidget* root = loader.load(&file, parent);
    if (!root) {
        trace("skin %s: %s\n", qPrintable(skin_file), qPrintable(loader.errorString()));
        return nullptr;
    }
    // Containers that name another skin file get it built inside them. The
    // depth limit stops a skin that includes itself.
    QList<QWidget*> targets;
    if (!root->property("include").toString().isEmpty()) targets << root;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->property("include").toString().isEmpty()) targets << w;
    }
    for (QWidget* target : targets) {
        const QString sub = target->property("include").toString();
        target->setProperty("include", QVariant());
        if (depth >= 8) {
            trace("skin %s: include %s nested too deep\n", qPrintable(skin_file), qPrintable(sub));
            continue;
        }
        QWidget* child = load_file(sub, target, depth + 1);
        if (!child) continue;
        auto* layout = target->layout();
        if (!layout) {
            auto* box = new QVBoxLayout(target);
            box->setContentsMargins(0, 0, 0, 0);
            box->setSpacing(0);
            layout = box;
        }
        layout->addWidget(child);
    }
    // Designer does not store visibility; "hidden" asks for a control that
    // starts hidden.
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->property("hidden").toBool()) w->setVisible(false);
    }
    if (depth == 0) ApplyResourceTexts(root);
    return root;
}

}  // namespace

QWidget* SkinLoader::load(const QString& skin_file, QWidget* parent) { return load_file(skin_file, parent, 0); }

}  // namespace vantorel::ui
