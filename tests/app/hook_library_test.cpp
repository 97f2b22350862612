// SPDX-License-Identifier: GPL-2.0-or-later
#include <dlfcn.h>

#include "app/hook_library.h"
#include "app/main_wnd.h"
#include "core/messages.h"
#include "ui/qt_env.h"

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
    }
    ~FakeHook() {
        if (handle_) dlclose(handle_);
    }
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

}  // namespace
}  // namespace vantorel
