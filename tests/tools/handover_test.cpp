// SPDX-License-Identifier: GPL-2.0-or-later
// A changing command and the desktop program on one data folder, where the
// hand-over cannot be had: the program stands in here as its mark and a
// socket of the test's that answers as the case needs (or never, or as
// another user). Whatever goes wrong, the command changes nothing and says
// why; a command that only waits for another's lock gives up in time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "cli_run.h"
#include "library/profile_library.h"
#include "library/program_mark.h"
#include "test_util.h"

namespace vantorel {
namespace {

using testing::CliRun;

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int listen_on(const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The program's socket as a case wants it: each request line is answered
// from `answers` by its first word; a word missing there is never answered.
class FakeProgram {
public:
    FakeProgram(const std::filesystem::path& path, std::map<std::string, std::string> answers)
        : fd_(listen_on(path)), answers_(std::move(answers)) {
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeProgram() {
        stop_ = true;
        thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

private:
    void serve() {
        int client = -1;
        std::string pending;
        while (!stop_) {
            pollfd p{client >= 0 ? client : fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            if (client < 0) {
                client = ::accept(fd_, nullptr, nullptr);
                continue;
            }
            char buffer[256];
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(client);
                client = -1;
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                const auto it = answers_.find(line.substr(0, line.find(' ')));
                if (it == answers_.end()) continue;
                const std::string answer = it->second + '\n';
                if (::send(client, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) break;
            }
        }
        if (client >= 0) ::close(client);
    }

    int fd_;
    std::map<std::string, std::string> answers_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class HandOver : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(cli("profile new Work --simulate=wired").status, 0); }
    std::filesystem::path data() const { return dir_.path() / "Data"; }
    // `env` as env(1) takes it; by default a runtime folder of the test's.
    CliRun cli(const std::string& args, bool with_errors = false, std::string env = {}) const {
        if (env.empty()) env = runtime();
        return testing::run_cli("--data-dir " + data().string() + " " + args, with_errors, env);
    }
    std::string runtime() const { return "XDG_RUNTIME_DIR=" + dir_.path().string(); }
    // The library's files, to see that a refused command changed nothing.
    std::string library() const {
        return read_file(data() / "ms_1" / "pro.data") + read_file(data() / "ms_1" / "macro.data");
    }
    testing::TempDir dir_;
};

TEST_F(HandOver, CommandThatFindsTheProgramButCannotHaveTheHoldChangesNothing) {
    const std::filesystem::path socket = dir_.path() / "program.sock";
    const struct {
        const char* name;
        std::string listens_on;  // what the mark says
        std::map<std::string, std::string> answers;
        bool serve;
        const char* says;
    } cases[] = {
        {"its socket is gone", socket.string(), {}, false, "cannot be reached"},
        {"it listens nowhere", "", {}, false, "does not listen"},
        {"it has a dialog open", socket.string(), {{"hold", "busy"}}, true, "dialog open"},
        {"it ended the hold while the command was silent", socket.string(), {{"hold", "held"}, {"keep", "lost"}},
         true, "ended its hold"},
        {"it is stopped and never answers", socket.string(), {}, true, "did not answer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const auto mark = ProgramMark::claim(data(), c.listens_on, &why);
        ASSERT_NE(mark, nullptr) << why;
        std::filesystem::remove(socket);
        std::unique_ptr<FakeProgram> program;
        if (c.serve) {
            program = std::make_unique<FakeProgram>(socket, c.answers);
            ASSERT_TRUE(program->ok());
        }
        const std::string before = library();
        // Whatever the command's environment says of the runtime folder.
        for (const std::string& env : {runtime(), std::string("-u XDG_RUNTIME_DIR")}) {
            const CliRun r = cli("set brightness=9 --simulate=wired", true, env);
            EXPECT_EQ(r.status, 1) << env << '\n' << r.out;
            EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("nothing changed"), std::string::npos) << r.out;
            EXPECT_EQ(library(), before) << env;
            if (std::string(c.says) == "did not answer") break;  // one 10 s wait is enough
        }
    }
}

TEST_F(HandOver, ProgramOfAnotherUserIsNotTakenForAbsent) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a listener as another user";
    const std::filesystem::path shared = dir_.path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(shared.c_str(), 0777);
    const std::filesystem::path socket = shared / "other.sock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
        const int fd = listen_on(socket);
        ::chmod(socket.c_str(), 0777);
        if (::write(ready[1], "x", 1) != 1 || fd < 0) ::_exit(1);
        for (;;) {
            const int c = ::accept(fd, nullptr, nullptr);
            if (c >= 0) ::close(c);
        }
    }
    char x = 0;
    ASSERT_EQ(::read(ready[0], &x, 1), 1);
    std::string why;
    const auto mark = ProgramMark::claim(data(), socket.string(), &why);
    ASSERT_NE(mark, nullptr) << why;
    const std::string before = library();
    const CliRun r = cli("profile new Elsewhere --simulate=wired", true);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("another user"), std::string::npos) << r.out;
    EXPECT_EQ(library(), before);
}

TEST_F(HandOver, CommandWaitsForAnotherCommandsLockOnlySoLong) {
    // Another command, stopped while it holds the lock.
    const int fd = ::open((data() / "library.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ASSERT_EQ(::pwrite(fd, "4242\n", 5, 0), 5);
    const std::string before = library();
    const CliRun r = cli("set brightness=9 --simulate=wired", true, runtime() + " QV_VANTOREL_LOCK_WAIT=1");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("process 4242"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nothing changed"), std::string::npos) << r.out;
    EXPECT_EQ(library(), before);
    ::close(fd);  // the other command ends
    EXPECT_EQ(cli("set brightness=9 --simulate=wired", true, runtime() + " QV_VANTOREL_LOCK_WAIT=1").status, 0);
}

TEST_F(HandOver, PlantedLibraryLockIsNeverFollowed) {
    const std::filesystem::path planted = dir_.path() / "planted";
    std::filesystem::remove(data() / "library.lock");
    std::filesystem::create_symlink(planted, data() / "library.lock");
    const std::string before = library();
    const CliRun r = cli("set brightness=9 --simulate=wired", true);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("symbolic link"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(planted));
    EXPECT_EQ(library(), before);
}

// An apply takes seconds over the receiver; what the library gains
// meanwhile is still there when it ends.
TEST_F(HandOver, ApplyDoesNotWriteBackTheLibraryItStartedWith) {
    CliRun applied;
    std::thread apply([&] { applied = cli("apply --full --simulate=wireless", true); });
    ::usleep(300 * 1000);
    const CliRun added = cli("profile new Racer --simulate=wired", true);
    apply.join();
    EXPECT_EQ(added.status, 0) << added.out;
    EXPECT_EQ(applied.status, 0) << applied.out;
    ProfileLibrary lib;
    MapTextLookup texts;
    lib.load(data() / "ms_1" / "pro.data", texts, {}, LoadMode::ReadOnly);
    bool found = false;
    for (std::size_t i = 0; i < lib.size(); ++i) found = found || lib.at(i).profile_name() == u"Racer";
    EXPECT_TRUE(found) << "the profile made during the apply was lost";
}

}  // namespace
}  // namespace vantorel
