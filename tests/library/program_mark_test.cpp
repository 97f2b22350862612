// SPDX-License-Identifier: GPL-2.0-or-later
// How a command finds the running program: the mark on the data folder, the
// lock files no one can plant, and the socket path every start agrees on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "library/program_mark.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::TempDir;
using State = ProgramProbe::State;

TEST(ProgramMark, CommandSeesTheProgramExactlyWhileItRuns) {
    TempDir folder;
    EXPECT_EQ(probe_program(folder.path()).state, State::None) << "never marked";
    std::string why;
    {
        auto mark = ProgramMark::claim(folder.path(), "/run/user/1000/QV Vantorel", &why);
        ASSERT_NE(mark, nullptr) << why;
        const ProgramProbe probe = probe_program(folder.path());
        EXPECT_EQ(probe.state, State::Running);
        EXPECT_EQ(probe.socket, "/run/user/1000/QV Vantorel");
        // A program that does not listen is still there: a command must not
        // take its absence for "no program".
        auto quiet = ProgramMark::claim(folder.path(), "", &why);
        ASSERT_NE(quiet, nullptr) << why;
        EXPECT_EQ(probe_program(folder.path()).state, State::Running);
    }
    // Gone, however it ended: the file stays, the lock does not.
    EXPECT_TRUE(std::filesystem::exists(folder.path() / ProgramMark::kFileName));
    EXPECT_EQ(probe_program(folder.path()).state, State::None);
}

TEST(ProgramMark, PlantedLockFilesAreNeitherFollowedNorUsed) {
    struct Case {
        const char* name;
        void (*plant)(const std::filesystem::path& file, const std::filesystem::path& elsewhere);
    };
    const Case cases[] = {
        {"symbolic link to a file that does not exist yet",
         [](const auto& file, const auto& elsewhere) { std::filesystem::create_symlink(elsewhere, file); }},
        {"fifo", [](const auto& file, const auto&) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"folder", [](const auto& file, const auto&) { std::filesystem::create_directory(file); }},
    };
    for (const Case& c : cases) {
        for (const char* name : {"library.lock", ProgramMark::kFileName}) {
            SCOPED_TRACE(std::string(c.name) + ", " + name);
            TempDir folder;
            const auto file = folder.path() / name;
            const auto elsewhere = folder.path() / "elsewhere";
            c.plant(file, elsewhere);
            std::string why;
            EXPECT_EQ(open_lock_file(file, &why), -1);
            EXPECT_FALSE(why.empty());
            if (name == std::string(ProgramMark::kFileName)) {
                EXPECT_EQ(ProgramMark::claim(folder.path(), "/s", &why), nullptr);
                const ProgramProbe probe = probe_program(folder.path());
                EXPECT_EQ(probe.state, State::Unknown) << "a command must not go on as if no program ran";
                EXPECT_FALSE(probe.error.empty());
            }
            EXPECT_FALSE(std::filesystem::exists(elsewhere)) << "created through the link";
        }
    }
}

class Env {
public:
    Env(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    ~Env() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ProgramSocketPath, EveryStartFindsTheSameSocketWhateverItsRuntimeVariable) {
    TempDir runtime, tmp;
    ::chmod(runtime.path().c_str(), 0700);
    const std::filesystem::path run_user = "/run/user/" + std::to_string(::geteuid());
    std::error_code ec;
    const bool has_run_user = std::filesystem::is_directory(run_user, ec);
    const std::filesystem::path fallback =
        has_run_user ? run_user : tmp.path() / ("qv-vantorel-" + std::to_string(::geteuid()));
    const struct {
        const char* name;
        std::optional<std::string> xdg;
        std::filesystem::path expected;
    } cases[] = {
        {"the runtime folder named", runtime.path().string(), runtime.path() / "QV Vantorel"},
        {"unset (su, sudo, ssh, cron)", std::nullopt, fallback / "QV Vantorel"},
        {"empty", std::string(), fallback / "QV Vantorel"},
        {"relative", std::string("run"), fallback / "QV Vantorel"},
        {"a folder that does not exist", (tmp.path() / "none").string(), fallback / "QV Vantorel"},
    };
    const Env tmpdir("TMPDIR", tmp.path().string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Env xdg("XDG_RUNTIME_DIR", c.xdg);
        EXPECT_EQ(program_socket_path(), c.expected);
        EXPECT_EQ(program_socket_path(), c.expected) << "a second start";
    }
    if (has_run_user) return;
    struct stat st {};
    ASSERT_EQ(::lstat(fallback.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the fallback folder is the user's alone";
    // One that others may write to is not used.
    ::chmod(fallback.c_str(), 0770);
    const Env xdg("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(program_socket_path(), std::filesystem::path());
}

}  // namespace
}  // namespace vantorel
