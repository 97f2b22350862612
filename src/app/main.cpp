// SPDX-License-Identifier: GPL-2.0-or-later
// qv-vantorel: the desktop application.
#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/activation_token.h"
#include "app/app_options.h"
#include "app/exit_signals.h"
#include "app/hook_library.h"
#include "app/library_requests.h"
#include "app/desktop_focus.h"
#include "app/main_wnd.h"
#include "app/mouse_bus_wiring.h"
#include "app/memory_trim.h"
#include "app/screenshot.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "ui/window_messages.h"
#include "core/trace.h"
#include "library/program_mark.h"
#include "ui/file_dialog.h"
#include "ui/first_paint.h"
#include "ui/qt_translations.h"
#include "ui/resources.h"
#include "ui/startup_warmup.h"

using namespace vantorel;

namespace {

// BlueZ opens once the window is drawn, or this long after it was shown.
constexpr int kBluezLatestMs = 250;

// --help and --version are answered before the window system is touched, so
// they work without a display. Returns -1 when neither was asked for.
int AnswerWithoutDisplay(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    const auto options = ParseAppOptions(arguments, &error);
    if (!options) return -1;  // reported once the application is up
    if (options->help) {
        std::fputs(kAppUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("qv-vantorel %s\n", VANTOREL_VERSION);
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int answered = AnswerWithoutDisplay(argc, argv); answered >= 0) return answered;
    // A screenshot needs no desktop.
    if (WantsScreenshot(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    KeepOneHeap();
    // What the window's build needs and no window is needed for (fonts, the
    // skin files) starts now, on the other core, beside the rest of the start.
    std::optional<ui::StartupWarmup> warmup;
    std::error_code exe_error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", exe_error);
    if (!exe_error) {
        const QString skins_root =
            ui::ResourceManager::locate_root(QFile::decodeName(exe.parent_path().string().c_str()));
        if (!skins_root.isEmpty()) warmup.emplace(skins_root, QStringList{CMainWnd::SkinFile()});
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QV Vantorel"));
    QApplication::setApplicationVersion(QStringLiteral(VANTOREL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.qvvantorel.QVVantorel"));
    // The window hides to the tray; only "exit" ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QString error;
    const auto options = ParseAppOptions(QApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "qv-vantorel: %s\n\n%s", qPrintable(error), kAppUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(kAppUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("qv-vantorel %s\n", VANTOREL_VERSION);
        return 0;
    }
    if (options->verbose) set_trace_enabled(true);

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ui::ResourceManager& resources = ui::ResourceManager::instance();
    const QString exe_dir = QApplication::applicationDirPath();
    const QString root = ui::ResourceManager::locate_root(exe_dir);
    if (root.isEmpty()) {
        std::fprintf(stderr, "qv-vantorel: no skin folder found; looked in:\n");
        for (const QString& candidate : ui::ResourceManager::candidate_roots(exe_dir))
            std::fprintf(stderr, "  %s\n", qPrintable(candidate));
        return 3;
    }
    resources.set_resource_path(root);
    resources.load_language(LanguageLocale(*options));
    if (!options->language.isEmpty() && !options->language.startsWith(QLatin1String("en")) &&
        resources.language().active_name() == QLatin1String("en"))
        std::fprintf(stderr, "qv-vantorel: no language file for \"%s\" in %s/lan; the texts stay English\n",
                     qPrintable(options->language), qPrintable(root));
    // Qt's own dialogs (choosing a file) speak the language of the rest.
    ui::LoadQtTranslations(QLocale(resources.language().active_name()));
    resources.apply_theme(app);
    // The icon the window manager shows for every window: drawn at four
    // sizes, so it is set once the main window is on screen (below).
    const auto set_icon = [&resources] {
        QApplication::setWindowIcon(QIcon(resources.path(QStringLiteral("images/app.svg"))));
    };

    if (!options->screenshot.isEmpty()) {
        set_icon();
        return RenderScreenshot(options->screenshot, options->window);
    }

    SingleInstance instance;
    // A second start hands its activation token to the running copy, whose
    // window comes to the front; this start has done its work. Started from
    // a terminal or a script, it has none: on Wayland it asks the compositor
    // for one, which then decides whether the window takes the focus.
    const auto ask_compositor = [] {
        return QByteArray::fromStdString(RequestActivationToken(QGuiApplication::desktopFileName().toStdString()));
    };
    if (instance.start(SingleInstance::activation_token_from_environment(), ask_compositor) ==
        SingleInstance::Result::WokeOther)
        return 0;
    // Qt's list of the installed fonts is read beside the rest of the start.
    ui::QtFontListAhead font_list(warmup ? &*warmup : nullptr);

    // The virtual mouse stands in when no real one is there (or on --demo).
    const SessionChoice session = ChooseSession(options->demo, !options->no_demo);
    DataFolder data_folder =
        options->data_dir.isEmpty() ? DataFolder::locate() : DataFolder::at(options->data_dir.toStdString());
    // The data folder is marked as ours before anything in it is read, so a
    // vantorelctl command from now on asks this program to hold first.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(data_folder.path(), ec);
    const std::filesystem::path folder_path = ec ? data_folder.path() : absolute;
    std::unique_ptr<ProgramMark> mark;
    if (data_folder.status()) {
        std::string why;
        mark = ProgramMark::claim(folder_path,
                                  instance.listening() ? QFile::encodeName(instance.server_name()).toStdString() : "",
                                  &why);
        if (!mark) trace("data folder: not marked as in use: %s\n", why.c_str());
    }
    // Declared before the page, whose session holds it until its end.
    HeapTrimAfterApply heap_trim;
    // BlueZ is reached over the system bus: some milliseconds on a desktop,
    // and as long as the bus library waits when the bus is stuck. It opens
    // on a thread of its own once the window is drawn (below): the window
    // neither waits for it nor shares the processor with it (nor with the
    // bus daemon answering it) while it is built.
    const std::shared_ptr<BleGattAhead> bluez =
        session.forced ? nullptr : OpenBluezAhead(BleGattAhead::Start::OnBegin);
    const auto open_bluez = [bluez] {
        if (bluez) bluez->begin();
    };
    std::unique_ptr<CMS_1_Page> page = MakeMousePage(session, std::move(data_folder), bluez);
    CMS_1_Page& mouse_page = *page;
    mouse_page.session().add_observer(&heap_trim);
    // The window's size between runs; kept beside the desktop's other
    // per-user settings, apart from the profile data.
    QSettings window_settings(QStringLiteral("qv-vantorel"), QStringLiteral("window"));
    CMainWnd window(std::move(page));
    window.SetSizeMemory([&window_settings] { return window_settings.value(QStringLiteral("size")).toSize(); },
                         [&window_settings](QSize size) { window_settings.setValue(QStringLiteral("size"), size); });
    // The file dialogs open where the user last chose a file, also in a later run.
    ui::SetFileDialogMemory(
        [&window_settings] { return window_settings.value(QStringLiteral("file_folder")).toString(); },
        [&window_settings](const QString& folder) { window_settings.setValue(QStringLiteral("file_folder"), folder); });
    ConnectMousePage(window, mouse_page, session.nodes_at_start);
    // With no address for the session bus, asking for it makes the bus
    // library start one (dbus-launch, forked): the warm-up, the font list
    // and an open of BlueZ under way end first (a child forked while another
    // thread is inside the heap can begin with its lock held), BlueZ's within
    // two seconds. (BlueZ's open begins once the window is drawn.)
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        if (warmup) warmup->finish();
        font_list.finish();
        if (bluez && !bluez->wait_opened(std::chrono::seconds(2)))
            trace("bluez: the system bus has not answered in two seconds\n");
    }
    // Profiles that follow the focused application; the focus is followed
    // only while switching is on (by default: once something is bound).
    MouseBusPresence* bus_presence = nullptr;
    AutoProfiles auto_profiles(
        mouse_page,
        [&mouse_page] {
            return make_desktop_focus_detector(mouse_page.executor(), QDBusConnection::sessionBus()).detector;
        },
        {[&window](std::int64_t dpi_code) { window.ShowDpiPopup(dpi_code); },
         [&window, &bus_presence] {
             window.RefreshAutoSwitch();
             if (bus_presence) bus_presence->refresh();
         }});
    window.SetAutoProfiles(&auto_profiles);
    // Status bars and desktop scripts reach the mouse through the session bus.
    const std::unique_ptr<MouseBusPresence> bus =
        PublishMouseBus(window, mouse_page, auto_profiles, QDBusConnection::sessionBus());
    bus_presence = bus.get();
    // Log-out, shutdown, `kill` and Ctrl+C end the program as Quit does, and
    // so does the session manager asking it to quit: the edits are saved.
    ExitSignals exit_signals;
    QObject::connect(&exit_signals, &ExitSignals::exitRequested, &window, [&window] { window.DestroyWindow(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.DestroyWindow(); });
    window.SetHookSearchDirs(HookLibrary::search_dirs(exe_dir));
    // vantorelctl changes the library through the running program.
    LibraryRequests library_requests(mouse_page);
    library_requests.set_prepare([&window] { window.EnsurePage(); });
    library_requests.set_auto_status([&auto_profiles] { return auto_profiles.status(); });
    library_requests.attach(instance);
    QObject::connect(&instance, &SingleInstance::wakeRequested, &window, [&window](const QByteArray& token) {
        // On Wayland a window comes to the front only with a token from the
        // desktop: the later start's, which Qt takes from here when the
        // window asks to be activated.
        if (!token.isEmpty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            qputenv("XDG_ACTIVATION_TOKEN", token);
        window.post_message(kMsgWakeInstance);
    });
    QObject::connect(&window, &CMainWnd::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    // A data folder chosen at this start is the one the desktop starts it on.
    QStringList autostart_arguments;
    if (!options->data_dir.isEmpty() || !qEnvironmentVariableIsEmpty("QV_VANTOREL_DATA_DIR"))
        autostart_arguments = {QStringLiteral("--data-dir"),
                               QFile::decodeName(QByteArray::fromStdString(folder_path.string()))};
    window.SetAutostart(Autostart(), QApplication::applicationFilePath(), autostart_arguments);
    // With a mouse there, the window's first frame shows its page; without
    // one, the window first, with what it shows at once, and the page right
    // after.
    window.SetMouseAtStart(session.mouse_at_start);
    // Qt's first font would set fontconfig up a second time beside the warm-up.
    if (warmup) warmup->wait_for_fonts();
    window.CreateMain();
    // Started with the session: only the tray icon, unless there is no tray
    // to reach the window from.
    if (options->hidden && window.Tray().IsCreated()) {
        trace("main window: started hidden in the tray\n");
        set_icon();
        open_bluez();
    } else {
        window.ShowWindow();
        trace("main window: shown\n");
        ui::CallAfterFirstPaint(&window, [set_icon, open_bluez] {
            set_icon();
            open_bluez();
        });
        // Also when the desktop does not draw the window soon (another
        // workspace, a compositor that holds it back).
        QTimer::singleShot(kBluezLatestMs, &window, open_bluez);
    }
    ReturnFreedMemoryLater();
    return QApplication::exec();
}
