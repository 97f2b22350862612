// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

#include "ui/file_dialog.h"
#include "ui/qt_env.h"
#include "ui/qt_translations.h"

namespace vantorel::ui {
namespace {

double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A home folder and a working folder of the test's own; the file dialog
// helpers are driven through real dialogs with typed input.
class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid() && work_.isValid() && elsewhere_.isValid());
        old_home_ = qgetenv("HOME");
        old_work_ = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(home_.path()));
        QDir::setCurrent(work_.path());
        SetFileDialogMemory(nullptr, nullptr);
    }
    void TearDown() override {
        qputenv("HOME", old_home_);
        QDir::setCurrent(old_work_);
        SetFileDialogMemory(nullptr, nullptr);
        LoadQtTranslations(QLocale(QLocale::English));
        qApp->setStyleSheet(QString());
    }

    // Opens the dialog; `act` gets it once it is up (after noting where it
    // opened) and ends it.
    QString choose(const std::function<void(QFileDialog&)>& act, bool save = false) {
        FileChoice choice;
        choice.save = save;
        choice.filter_name = QStringLiteral("Profile File");
        choice.suffix = QStringLiteral("pro");
        QTimer::singleShot(0, [&] {
            test::pump_until([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); });
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            opened_in_ = QDir(dialog->directory()).absolutePath();
            if (!QTest::qWaitForWindowExposed(dialog)) ADD_FAILURE() << "the dialog never showed";
            act(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        return ChooseFile(nullptr, choice);
    }
    // Types the path into the name field and clicks Open (or Save).
    static std::function<void(QFileDialog&)> type(const QString& path) {
        return [path](QFileDialog& dialog) {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            ASSERT_TRUE(edit && buttons);
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, path);
            QPushButton* accept = buttons->button(QDialogButtonBox::Open);
            if (!accept) accept = buttons->button(QDialogButtonBox::Save);
            ASSERT_NE(accept, nullptr);
            // The name completion's list, open over the dialog, would take the click.
            if (QWidget* completion = QApplication::activePopupWidget()) QTest::keyClick(completion, Qt::Key_Escape);
            QTest::mouseClick(accept, Qt::LeftButton, {}, accept->rect().center());
        };
    }
    QString make_file(const QTemporaryDir& dir, const char* name) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return QDir(dir.path()).absoluteFilePath(QString::fromLatin1(name));
    }

    QTemporaryDir home_, work_, elsewhere_;
    QByteArray old_home_;
    QString old_work_;
    QString opened_in_;
};

TEST_F(FileDialogTest, OpensInTheLastFolderUsedElseHomeNeverTheWorkingFolder) {
    const QString home = QDir(home_.path()).absolutePath();
    const QString other = QDir(elsewhere_.path()).absolutePath();
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, home) << "first dialog of the run";

    const QString chosen = make_file(elsewhere_, "chosen.pro");
    EXPECT_EQ(choose(type(chosen)), chosen);
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, other) << "after a file was chosen there";

    // A cancelled dialog changes nothing; a folder gone sends it home.
    choose([](QFileDialog& d) { d.setDirectory(QDir::rootPath()); });
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, other);
    QTemporaryDir gone;
    const QString in_gone = make_file(gone, "x.pro");
    ASSERT_EQ(choose(type(in_gone)), in_gone);
    gone.remove();
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, home) << "the last folder no longer exists";
}

TEST_F(FileDialogTest, RemembersTheFolderBetweenRuns) {
    QString kept = QDir(elsewhere_.path()).absolutePath();
    QStringList saved;
    SetFileDialogMemory([&kept] { return kept; }, [&saved](const QString& folder) { saved << folder; });
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, kept) << "the folder an earlier run kept";

    const QString written = QDir(home_.path()).absoluteFilePath(QStringLiteral("out.pro"));
    EXPECT_EQ(choose(type(written), /*save=*/true), written);
    EXPECT_EQ(saved, QStringList{QDir(home_.path()).absolutePath()});
}

TEST_F(FileDialogTest, TextStaysLegibleUnderOurDarkTheme) {
    ASSERT_TRUE(ResourceManager::instance().apply_theme(*qApp));
    make_file(home_, "profile.pro");
    choose([](QFileDialog& dialog) {
        test::pump();
        int checked = 0;
        for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
            if (!view->isVisible()) continue;
            const QPalette& p = view->palette();
            EXPECT_GE(contrast(p.color(QPalette::Text), p.color(QPalette::Base)), 4.5) << qPrintable(view->objectName());
            ++checked;
        }
        const QColor window = dialog.palette().color(QPalette::Window);
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty()) continue;
            EXPECT_GE(contrast(label->palette().color(QPalette::WindowText), window), 4.5)
                << qPrintable(label->objectName());
            ++checked;
        }
        EXPECT_GE(checked, 4);
    });
}

TEST_F(FileDialogTest, SpeaksTheProgramsLanguage) {
    const QString qt_dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(qt_dir + QStringLiteral("/qtbase_de.qm")))
        GTEST_SKIP() << "Qt's German translation is not installed (qt6-translations-l10n)";
    const struct {
        QLocale locale;
        const char* look_in;
        const char* cancel;
    } cases[] = {
        {QLocale(QLocale::German), "Suchen in:", "Abbrechen"},
        {QLocale(QLocale::English), "Look in:", "Cancel"},
    };
    for (const auto& c : cases) {
        LoadQtTranslations(c.locale);
        choose([&c](QFileDialog& dialog) {
            auto* look_in = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
            auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            ASSERT_TRUE(look_in && buttons);
            EXPECT_EQ(look_in->text(), QString::fromUtf8(c.look_in));
            QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
            ASSERT_NE(cancel, nullptr);
            EXPECT_EQ(cancel->text().remove(QLatin1Char('&')), QString::fromUtf8(c.cancel));
        });
    }
}

}  // namespace
}  // namespace vantorel::ui
