// SPDX-License-Identifier: GPL-2.0-or-later
#include <QAbstractItemView>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

#include "ui/file_dialog.h"
#include "ui/private_bus.h"
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
        // No desktop portal unless a test starts one.
        SetFileDialogPortalBus(QStringLiteral("no-bus"));
    }
    void TearDown() override {
        qputenv("HOME", old_home_);
        QDir::setCurrent(old_work_);
        SetFileDialogMemory(nullptr, nullptr);
        SetFileDialogPortalBus(QString());
        LoadQtTranslations(QLocale(QLocale::English));
        test::remove_theme();
    }

    // Opens the dialog; `act` gets it once it is up (after noting where it
    // opened) and ends it.
    QString choose(const std::function<void(QFileDialog&)>& act, bool save = false) {
        FileChoice choice;
        choice.save = save;
        choice.filter_name = QStringLiteral("Profile File");
        choice.suffix = QStringLiteral("pro");
        // Looks for the dialog until it is up (the portal is asked first).
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll.stop();
            opened_in_ = QDir(dialog->directory()).absolutePath();
            if (!QTest::qWaitForWindowExposed(dialog)) ADD_FAILURE() << "the dialog never showed";
            act(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        poll.start();
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

// The patterns of the portal's filters a(sa(us)), "name: p1 p2".
QStringList portal_filters(const QVariant& value) {
    QStringList out;
    const QDBusArgument arg = value.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString name;
        arg.beginStructure();
        arg >> name;
        QStringList patterns;
        arg.beginArray();
        while (!arg.atEnd()) {
            uint type = 0;
            QString pattern;
            arg.beginStructure();
            arg >> type >> pattern;
            arg.endStructure();
            patterns << QStringLiteral("%1%2").arg(type == 0 ? QString() : QStringLiteral("mime:"), pattern);
        }
        arg.endArray();
        arg.endStructure();
        out << name + QStringLiteral(": ") + patterns.join(QLatin1Char(' '));
    }
    arg.endArray();
    return out;
}

// A stand-in desktop portal on a private session bus: it answers each
// request at once with the response a case gives.
TEST_F(FileDialogTest, TheDesktopPortalChoosesWhereOneRunsElseQtsDialog) {
    uint code = 0;
    QString uri;
    test::StandInObject portal;  // outlives the bus it is on
    test::PrivateBus bus;
    if (!bus.start()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    bus.connect(QStringLiteral("program"));
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    SetFileDialogPortalBus(QStringLiteral("program"));
    portal.answer = [&](const QDBusMessage& call, const QDBusConnection& b) {
        if (call.member() == QLatin1String("Get")) {
            b.send(call.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(4u)))));
            return;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(call.arguments().value(2));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                   .arg(call.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_')),
                                        options.value(QStringLiteral("handle_token")).toString());
        b.send(call.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        QDBusMessage response =
            QDBusMessage::createSignal(handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        QVariantMap results;
        if (!uri.isEmpty()) results.insert(QStringLiteral("uris"), QStringList{uri});
        response << code << results;
        b.send(response);
    };
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    ASSERT_TRUE(desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal));

    const QString home = QDir(home_.path()).absolutePath();
    const QString other = QDir(elsewhere_.path()).absolutePath();
    const struct {
        const char* what;
        bool save;
        uint code;  // 0 chosen, 1 cancelled
        QString uri;
        QString expected;
        QString folder_asked;  // where the chooser is to open
    } cases[] = {
        {"a file opened", false, 0, QUrl::fromLocalFile(other + "/My Mouse.pro").toString(), other + "/My Mouse.pro", home},
        {"saved, the name typed without the suffix", true, 0, QUrl::fromLocalFile(home + "/out").toString(),
         home + "/out.pro", other},
        {"cancelled", false, 1, QString(), QString(), home},
        {"a chooser that answers with no file", false, 0, QString(), QString(), home},
    };
    FileChoice choice;
    choice.filter_name = QStringLiteral("Profile File");
    choice.suffix = QStringLiteral("pro");
    choice.suggested_name = QStringLiteral("Game.pro");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        code = c.code;
        uri = c.uri;
        choice.save = c.save;
        const int calls_before = static_cast<int>(portal.calls().size());
        EXPECT_EQ(ChooseFile(nullptr, choice), c.expected);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "Qt's dialog came too";

        const QList<QDBusMessage> calls = portal.calls().mid(calls_before);
        ASSERT_FALSE(calls.isEmpty());
        const QDBusMessage& request = calls.back();
        EXPECT_EQ(request.member(), c.save ? QStringLiteral("SaveFile") : QStringLiteral("OpenFile"));
        const QVariantMap options = qdbus_cast<QVariantMap>(request.arguments().value(2));
        EXPECT_EQ(portal_filters(options.value(QStringLiteral("filters"))), QStringList{"Profile File: *.pro *.PRO"});
        EXPECT_EQ(options.value(QStringLiteral("current_folder")).toByteArray(),
                  QFile::encodeName(c.folder_asked) + QByteArray(1, '\0'));
        EXPECT_EQ(options.value(QStringLiteral("current_name")).toString(),
                  c.save ? QStringLiteral("Game.pro") : QString());
    }

    // The portal without a file chooser (or gone): Qt's dialog.
    desktop.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    choose([](QFileDialog&) {});
    EXPECT_EQ(opened_in_, home) << "Qt's dialog did not open";
}

}  // namespace
}  // namespace vantorel::ui
