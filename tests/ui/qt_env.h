// SPDX-License-Identifier: GPL-2.0-or-later
// Shared set-up of the Qt test suites: one QApplication on the offscreen
// platform, the resource folder of the source tree, the English texts.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/qt_pump.h"
#include "ui/resources.h"

namespace vantorel::test {

inline QString source_res() { return QStringLiteral(VANTOREL_SOURCE_RES); }

// Undoes ResourceManager::apply_theme's style (the program's own base style
// stays) and any application sheet a test set.
inline void remove_theme() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    qApp->setStyleSheet(QString());
}

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "vantorel-tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        use_source_resources();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }
    static void use_source_resources() {
        ui::ResourceManager::instance().set_resource_path(source_res());
        ui::ResourceManager::instance().load_language(QLocale(QLocale::English));
    }

private:
    QApplication* app_ = nullptr;
};

// A resource folder of its own for a test: the source tree's files plus the
// ones the test writes. The previous folder comes back when it goes.
class ScratchResources {
public:
    ScratchResources() {
        copy_tree(source_res(), dir_.path());
        ui::ResourceManager::instance().set_resource_path(dir_.path());
        ui::ResourceManager::instance().load_language(QLocale(QLocale::English));
    }
    ~ScratchResources() { QtEnvironment::use_source_resources(); }
    QString path() const { return dir_.path(); }
    void write(const QString& relative, const QByteArray& content) {
        const QString file = dir_.filePath(relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    void reload_language(const QLocale& locale) { ui::ResourceManager::instance().load_language(locale); }

private:
    static void copy_tree(const QString& from, const QString& to) {
        QDir source(from);
        QDir().mkpath(to);
        for (const QFileInfo& info : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString target = to + QLatin1Char('/') + info.fileName();
            if (info.isDir()) copy_tree(info.filePath(), target);
            else QFile::copy(info.filePath(), target);
        }
    }
    QTemporaryDir dir_;
};

}  // namespace vantorel::test
