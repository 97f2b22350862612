// SPDX-License-Identifier: GPL-2.0-or-later
#include <dlfcn.h>

#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "app/hook_library.h"
#include "app/main_wnd.h"
#include "ui/window_messages.h"
#include "macro/keyboard_layout.h"
#include "macro/macro_editor_wnd.h"
#include "ui/qt_env.h"
#include "ui/resources.h"

namespace vantorel {
namespace {

using test::pump;

// Reads the fake library's call counters through a handle of its own, which
// keeps the library (and its counters) mapped while the program under test
// loads and frees it.
class FakeHook {
public:
    FakeHook() : handle_(dlopen(FAKE_HOOK_DIR "/libHook.so", RTLD_NOW)) {
        EXPECT_NE(handle_, nullptr) << dlerror();
        calls_ = reinterpret_cast<void (*)(int*, int*)>(dlsym(handle_, "fake_hook_calls"));
        fire_ = reinterpret_cast<int (*)(uintptr_t, intptr_t)>(dlsym(handle_, "fake_hook_fire"));
        installed_here_ = reinterpret_cast<int (*)()>(dlsym(handle_, "fake_hook_installed_here"));
        set_watching_ = reinterpret_cast<void (*)(int)>(dlsym(handle_, "fake_hook_set_watching"));
    }
    ~FakeHook() {
        if (set_watching_) set_watching_(1);
        if (handle_) dlclose(handle_);
    }
    // What installhook says: events will come, or nothing can be watched.
    void set_watching(bool watching) const { set_watching_(watching ? 1 : 0); }
    FakeHook(const FakeHook&) = delete;
    FakeHook& operator=(const FakeHook&) = delete;
    struct Counts {
        int install = 0, remove = 0, enable = 0, remove_mouse = 0, last_enable = -1;
    };
    Counts counts() const {
        int c[4] = {};
        Counts out;
        calls_(c, &out.last_enable);
        out.install = c[0];
        out.remove = c[1];
        out.enable = c[2];
        out.remove_mouse = c[3];
        return out;
    }
    int fire(uintptr_t w, intptr_t l) const { return fire_(w, l); }
    bool installed_here() const { return installed_here_() != 0; }

private:
    void* handle_;
    void (*calls_)(int*, int*) = nullptr;
    int (*fire_)(uintptr_t, intptr_t) = nullptr;
    int (*installed_here_)() = nullptr;
    void (*set_watching_)(int) = nullptr;
};

// Sets the session's variables for one test and puts them back; empty unsets.
class SessionEnv {
public:
    SessionEnv(const char* type, const char* wayland, const char* display) {
        set("XDG_SESSION_TYPE", type);
        set("WAYLAND_DISPLAY", wayland);
        set("DISPLAY", display);
    }
    ~SessionEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) qputenv(name, *value);
            else qunsetenv(name);
        }
    }
    SessionEnv(const SessionEnv&) = delete;
    SessionEnv& operator=(const SessionEnv&) = delete;

private:
    void set(const char* name, const char* value) {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                                  : std::nullopt);
        if (*value) qputenv(name, value);
        else qunsetenv(name);
    }
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

class HookTarget : public ui::SkinWindow {
public:
    QString GetWindowClassName() const override { return QStringLiteral("HookTarget"); }
    QString GetSkinFile() const override { return QStringLiteral("DPImsg.xml"); }
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> events;

protected:
    void HandleCustomMessage(std::uint32_t m, std::uintptr_t w, std::intptr_t l, bool& handled) override {
        if (m == kMsgHookEvent) events.emplace_back(w, l);
        handled = true;
    }
};

TEST(HookLibraryTest, MissingLibraryLeavesEveryEntryEmptyAndCallsAreSkipped) {
    HookLibrary hooks;
    EXPECT_FALSE(hooks.load({QStringLiteral("/nonexistent-folder")}));
    EXPECT_FALSE(hooks.loaded());
    const HookTable& t = hooks.table();
    EXPECT_EQ(t.bound_count(), 0);
    t.InstallMouseHook();
    t.RemoveMouseHook();
    t.EnableMouseHook(1);
    t.InstallHook(VantorelWindow{});
    t.RemoveHook();
    t.EnableHook(1);
    t.MouseWheelEnable(0);
}

TEST(HookLibraryTest, BindsTheEntriesThatExistByName) {
    FakeHook fake;
    HookLibrary hooks;
    ASSERT_TRUE(hooks.load({QStringLiteral("/nonexistent-folder"), QStringLiteral(FAKE_HOOK_DIR)}));
    const HookTable& t = hooks.table();
    EXPECT_EQ(t.bound_count(), 4);
    EXPECT_EQ(t.installmousehook, nullptr);
    EXPECT_EQ(t.enablemousehook, nullptr);
    EXPECT_EQ(t.mousewheelenable, nullptr);
    EXPECT_NE(t.installhook, nullptr);
    EXPECT_NE(t.removehook, nullptr);
    EXPECT_NE(t.enablehook, nullptr);
    EXPECT_NE(t.removemousehook, nullptr);

    // Key events reach the window given to installhook, as posted messages.
    HookTarget target;
    target.Create(nullptr);
    const auto before = fake.counts();
    t.InstallHook(target.PluginWindow());
    t.EnableHook(1);
    t.EnableMouseHook(1);   // missing: skipped
    t.MouseWheelEnable(0);  // missing: skipped
    t.Flush();              // made on the library's own thread
    EXPECT_EQ(fake.fire(0x41, 0), 1);
    EXPECT_EQ(fake.fire(0x41, 1), 1);
    pump();
    EXPECT_EQ(target.events, (std::vector<std::pair<std::uintptr_t, std::intptr_t>>{{0x41, 0}, {0x41, 1}}));
    t.EnableHook(0);
    t.RemoveHook();
    t.Flush();
    const auto after = fake.counts();
    EXPECT_EQ(after.install - before.install, 1);
    EXPECT_EQ(after.enable - before.enable, 2);
    EXPECT_EQ(after.last_enable, 0);
    EXPECT_EQ(after.remove - before.remove, 1);

    hooks.unload();
    EXPECT_EQ(hooks.table().bound_count(), 0);  // nobody can call into the freed library
}

TEST(HookLibraryTest, MainWindowRemovesTheHooksWhenTheProgramEnds) {
    FakeHook fake;
    const SessionEnv x11("x11", "", ":0");
    CMainWnd wnd;
    wnd.SetHookSearchDirs({QStringLiteral(FAKE_HOOK_DIR)});
    wnd.CreateMain();
    ASSERT_TRUE(wnd.Hooks().loaded());
    const auto before = fake.counts();
    wnd.DestroyWindow();
    const auto after = fake.counts();
    EXPECT_EQ(after.remove_mouse - before.remove_mouse, 1);
    EXPECT_EQ(after.remove - before.remove, 1);
    // Freed with the window, after any dialog that still holds its entries.
    EXPECT_TRUE(wnd.Hooks().loaded());
}


// Installing the hook may wait seconds for the X server: the window that
// asks for it goes on, and the library is called on a thread of its own.
TEST(HookLibraryTest, TheHookIsInstalledOffTheThreadThatAsks) {
    FakeHook fake;
    HookLibrary hooks;
    ASSERT_TRUE(hooks.load({QStringLiteral(FAKE_HOOK_DIR)}));
    HookTarget target;
    target.Create(nullptr);
    const auto before = fake.counts();
    hooks.table().InstallHook(target.PluginWindow());
    hooks.table().RemoveHook();
    hooks.unload();  // the calls queued are made first
    const auto after = fake.counts();
    EXPECT_EQ(after.install - before.install, 1);
    EXPECT_EQ(after.remove - before.remove, 1);
    EXPECT_FALSE(fake.installed_here());
}

// The hook library sees only X11 programs: in a Wayland session it would
// record next to nothing while the editor claims the whole session, also
// when Qt itself was put on XWayland.
TEST(HookLibraryTest, TheSessionNotQtsPlatformDecidesWhoRecords) {
    const struct {
        const char* how;
        const char* type;
        const char* wayland;
        const char* display;
        const char* platform;
        Recorder recorder;
    } cases[] = {
        {"an X11 session", "x11", "", ":0", "xcb", Recorder::SessionHook},
        {"X started without a login manager", "", "", ":0", "xcb", Recorder::SessionHook},
        {"a compositor nested in an X11 session", "x11", "wayland-1", ":0", "xcb", Recorder::SessionHook},
        {"Qt forced onto XWayland", "wayland", "wayland-0", ":0", "xcb", Recorder::EditorWindow},
        {"Qt on Wayland", "wayland", "wayland-0", ":0", "wayland", Recorder::EditorWindow},
        {"sway started from a console", "tty", "wayland-1", ":1", "xcb", Recorder::EditorWindow},
        {"a Wayland session not named", "", "wayland-1", ":1", "xcb", Recorder::EditorWindow},
        {"Qt given a Wayland socket", "", "", ":1", "wayland-egl", Recorder::EditorWindow},
        {"no X server to watch", "x11", "", "", "offscreen", Recorder::EditorWindow},
    };
    FakeHook fake;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const SessionFacts facts{QString::fromLatin1(c.type), QString::fromLatin1(c.wayland),
                                 QString::fromLatin1(c.display), QString::fromLatin1(c.platform)};
        EXPECT_EQ(choose_recorder(facts), c.recorder);
        if (QLatin1String(c.platform).startsWith(QLatin1String("wayland"))) continue;
        // The window decides the same from the environment (its offscreen
        // platform stands for xcb): the library is loaded or not at all.
        const SessionEnv env(c.type, c.wayland, c.display);
        CMainWnd wnd;
        wnd.SetHookSearchDirs({QStringLiteral(FAKE_HOOK_DIR)});
        wnd.CreateMain();
        EXPECT_EQ(wnd.Hooks().loaded(), c.recorder == Recorder::SessionHook);
        wnd.DestroyWindow();
    }
}

// A hook library that finds no way to watch (no display, no RECORD) says so:
// the editor records the keys typed in its own window and says that it does.
TEST(HookLibraryTest, AHookThatCannotWatchLeavesRecordingToTheEditorsWindow) {
    FakeHook fake;
    fake.set_watching(false);
    HookLibrary hooks;
    ASSERT_TRUE(hooks.load({QStringLiteral(FAKE_HOOK_DIR)}));
    MacroLibrary library;
    UsKeyboardLayout layout;
    CMS_1_Macro::Services services;
    services.save = [] { return true; };
    CMS_1_Macro editor(library, layout, hooks.table(), std::move(services));
    editor.Create(nullptr, ui::kStyleDialog | ui::kStyleTool);
    editor.ShowWindow(true, true);
    pump();
    EXPECT_TRUE(editor.session_wide());

    QWidget* record = editor.FindControl(QStringLiteral("ms_1_macro_record_btn"));
    ASSERT_NE(record, nullptr);
    const QPoint box(8, record->height() / 2);  // the check box's indicator
    QTest::mouseClick(record, Qt::LeftButton, {}, box);
    auto* note = qobject_cast<QLabel*>(editor.FindControl(QStringLiteral("ms_1_macro_recording_label")));
    ASSERT_NE(note, nullptr);
    const QString says = ui::Tr(QStringLiteral("macro_recording_no_hook_text"));
    EXPECT_TRUE(test::pump_until([&] { return note->text() == says; })) << qPrintable(note->text());
    EXPECT_TRUE(note->isVisible());
    EXPECT_FALSE(editor.session_wide());

    QWidget* list = editor.FindControl(QStringLiteral("ms_1_macro_action_list"));
    QTest::keyClick(list, Qt::Key_B);
    pump();
    QTest::mouseClick(record, Qt::LeftButton, {}, box);
    pump();
    ASSERT_EQ(library.size(), 1u);
    ASSERT_EQ(library[0].action_count(), 2);
    EXPECT_EQ(library[0].action(0).key_code, 0x05);  // B, pressed and released
    EXPECT_EQ(library[0].action(1).key_code, 0x05);
    editor.Close();
    pump();
}

}  // namespace
}  // namespace vantorel
