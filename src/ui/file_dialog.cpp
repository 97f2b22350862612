// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/file_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

#include <optional>

#include "ui/theme_style.h"

namespace vantorel::ui::portal {

// A file filter as the desktop portal takes it: a name and its glob
// patterns (rule type 0).
struct FilterRule {
    uint type = 0;
    QString pattern;
};
struct Filter {
    QString name;
    QList<FilterRule> rules;
};

QDBusArgument& operator<<(QDBusArgument& arg, const FilterRule& rule) {
    arg.beginStructure();
    arg << rule.type << rule.pattern;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, FilterRule& rule) {
    arg.beginStructure();
    arg >> rule.type >> rule.pattern;
    arg.endStructure();
    return arg;
}
QDBusArgument& operator<<(QDBusArgument& arg, const Filter& filter) {
    arg.beginStructure();
    arg << filter.name << filter.rules;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, Filter& filter) {
    arg.beginStructure();
    arg >> filter.name >> filter.rules;
    arg.endStructure();
    return arg;
}

}  // namespace vantorel::ui::portal

Q_DECLARE_METATYPE(vantorel::ui::portal::FilterRule)
Q_DECLARE_METATYPE(vantorel::ui::portal::Filter)

namespace vantorel::ui {

namespace portal {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kFileChooser = QStringLiteral("org.freedesktop.portal.FileChooser");

// Waits for the portal's answer to one request, keeping the user's input
// away from the program's windows meanwhile, as a modal dialog would.
class Request : public QObject {
    Q_OBJECT
public:
    QEventLoop loop;
    bool answered = false;
    uint code = 2;
    QVariantMap results;

    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
            return watched->isWidgetType();
        default:
            return false;
        }
    }

public slots:
    void response(uint response_code, const QVariantMap& response_results) {
        answered = true;
        code = response_code;
        results = response_results;
        loop.quit();
    }
};

}  // namespace portal

namespace {

struct FolderMemory {
    QString last;  // absolute; empty: none chosen yet
    std::function<void(const QString&)> save;
    QString portal_bus;  // a named connection; empty: the session bus
};

FolderMemory& memory() {
    static FolderMemory m;
    return m;
}

void remember(const QString& chosen_file) {
    const QString folder = QFileInfo(chosen_file).absolutePath();
    if (folder.isEmpty() || folder == memory().last) return;
    memory().last = folder;
    if (memory().save) memory().save(folder);
}

// Runs the event loop until the call is answered; the answer.
QDBusMessage wait_for(const QDBusConnection& bus, const QDBusMessage& call) {
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, 10000));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return watcher.reply();
}

// The desktop's file chooser through the desktop portal. Qt 6.4 routes its
// own dialog there only under the xdgdesktopportal platform theme (inside
// Flatpak or Snap, or when asked for); the request is made here instead of
// through QFileDialog, so each choice goes through the portal once, under
// any theme. Nothing: no portal with a file chooser (the Qt dialog is used);
// empty: the user cancelled, or the portal failed after it was asked.
std::optional<QString> choose_through_portal(QWidget* owner, const FileChoice& choice) {
    static bool busy = false;
    if (busy) return QString();  // one dialog at a time, as with a modal one
    QDBusConnection bus = memory().portal_bus.isEmpty() ? QDBusConnection::sessionBus()
                                                        : QDBusConnection(memory().portal_bus);
    if (!bus.isConnected()) return std::nullopt;

    QDBusMessage version = QDBusMessage::createMethodCall(portal::kService, portal::kPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    version << portal::kFileChooser << QStringLiteral("version");
    if (wait_for(bus, version).type() != QDBusMessage::ReplyMessage) return std::nullopt;

    qDBusRegisterMetaType<portal::FilterRule>();
    qDBusRegisterMetaType<QList<portal::FilterRule>>();
    qDBusRegisterMetaType<portal::Filter>();
    qDBusRegisterMetaType<QList<portal::Filter>>();

    static int requests = 0;
    const QString token = QStringLiteral("qv_vantorel_%1").arg(++requests);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected_handle = portal::kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;

    const portal::Filter filter{
        choice.filter_name,
        {{0, QStringLiteral("*.") + choice.suffix.toLower()}, {0, QStringLiteral("*.") + choice.suffix.toUpper()}}};
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("modal"), true);
    options.insert(QStringLiteral("filters"), QVariant::fromValue(QList<portal::Filter>{filter}));
    options.insert(QStringLiteral("current_filter"), QVariant::fromValue(filter));
    options.insert(QStringLiteral("current_folder"), QFile::encodeName(FileDialogFolder()).append('\0'));
    if (choice.save && !choice.suggested_name.isEmpty())
        options.insert(QStringLiteral("current_name"), choice.suggested_name);

    QString parent;
    if (owner && QGuiApplication::platformName() == QLatin1String("xcb"))
        parent = QStringLiteral("x11:%1").arg(owner->window()->winId(), 0, 16);
    const QString title = choice.save ? QCoreApplication::translate("QFileDialog", "Save As")
                                      : QCoreApplication::translate("QFileDialog", "Open");
    QDBusMessage call = QDBusMessage::createMethodCall(portal::kService, portal::kPath, portal::kFileChooser,
                                                       choice.save ? QStringLiteral("SaveFile")
                                                                   : QStringLiteral("OpenFile"));
    call << parent << title << options;

    portal::Request request;
    const QString request_interface = QStringLiteral("org.freedesktop.portal.Request");
    const char* slot = SLOT(response(uint, QVariantMap));
    bus.connect(portal::kService, expected_handle, request_interface, QStringLiteral("Response"), &request, slot);
    busy = true;
    qApp->installEventFilter(&request);
    const QDBusMessage reply = wait_for(bus, call);
    std::optional<QString> chosen = QString();
    QString handle = expected_handle;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        chosen = std::nullopt;  // refused: the Qt dialog instead
    } else {
        handle = qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
        // An older portal names the request its own way.
        if (handle != expected_handle)
            bus.connect(portal::kService, handle, request_interface, QStringLiteral("Response"), &request, slot);
        // A portal that goes away answers nothing.
        QDBusServiceWatcher gone(portal::kService, bus, QDBusServiceWatcher::WatchForUnregistration);
        QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, &request.loop, &QEventLoop::quit);
        if (!request.answered) request.loop.exec();
        const QStringList uris = request.results.value(QStringLiteral("uris")).toStringList();
        if (request.answered && request.code == 0 && !uris.isEmpty()) {
            const QUrl url(uris.constFirst());
            if (url.isLocalFile()) chosen = url.toLocalFile();
        }
    }
    qApp->removeEventFilter(&request);
    busy = false;
    bus.disconnect(portal::kService, expected_handle, request_interface, QStringLiteral("Response"), &request, slot);
    if (handle != expected_handle)
        bus.disconnect(portal::kService, handle, request_interface, QStringLiteral("Response"), &request, slot);
    // A name typed without the suffix gets it, as in Qt's dialog.
    if (chosen && choice.save && !chosen->isEmpty() && QFileInfo(*chosen).suffix().isEmpty())
        *chosen += QLatin1Char('.') + choice.suffix;
    return chosen;
}

}  // namespace

QString FileDialogFolder() {
    const QString& last = memory().last;
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    return QDir::homePath();
}

void SetFileDialogMemory(std::function<QString()> load, std::function<void(const QString&)> save) {
    const QString kept = load ? load() : QString();
    memory().last = kept.isEmpty() ? QString() : QDir(kept).absolutePath();
    memory().save = std::move(save);
}

void SetFileDialogPortalBus(const QString& connection_name) { memory().portal_bus = connection_name; }

QString ChooseFile(QWidget* owner, const FileChoice& choice) {
    if (std::optional<QString> chosen = choose_through_portal(owner, choice)) {
        if (!chosen->isEmpty()) remember(*chosen);
        return *chosen;
    }
    QFileDialog dialog(owner);
    // Our theme styles the dialog's views and header too (see the theme's
    // file dialog section); its object name lets a theme find it.
    dialog.setObjectName(QStringLiteral("file_dialog"));
    // Qt's own dialog is styled by the sheet itself, as it was written for
    // (rules for its views go through what holds them).
    if (ThemeStyle* theme = ThemeStyle::of(&dialog)) dialog.setStyleSheet(theme->sheetFor(&dialog));
    dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("%1 (*.%2 *.%3)").arg(choice.filter_name, choice.suffix.toLower(),
                                                                choice.suffix.toUpper()));
    dialog.setDefaultSuffix(choice.suffix);
    dialog.setDirectory(FileDialogFolder());
    if (choice.save && !choice.suggested_name.isEmpty()) dialog.selectFile(choice.suggested_name);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().constFirst();
    remember(path);
    return path;
}

}  // namespace vantorel::ui

#include "file_dialog.moc"
