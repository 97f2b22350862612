// SPDX-License-Identifier: GPL-2.0-or-later
// Saves killed at random moments: the library on disk is always the old or
// the new one, complete, and the next start is clean (no temporary left).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "library/macro_library.h"
#include "library/profile_library.h"
#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

TEST(CrashSafeSave, KilledWritersLeaveTheOldOrTheNewLibraryAndNoTemporary) {
    TempDir dir;
    const fs::path file = dir.path() / "ms_1" / "pro.data";
    ProfileLibrary a, b;
    for (int i = 0; i < 3; ++i) a.append(random_profile(u"A", static_cast<std::uint32_t>(i + 1)));
    for (int i = 0; i < 5; ++i) b.append(random_profile(u"B", static_cast<std::uint32_t>(i + 10)));
    ASSERT_TRUE(a.save(file));
    const auto image_a = a.serialize();
    const auto image_b = b.serialize();

    std::mt19937 random(7);
    for (int round = 0; round < 100; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            // Saves the two versions in turn until it is killed.
            for (int n = 0;; ++n) (n % 2 ? a : b).save(file);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 8000));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);

        const auto on_disk = read_all(file);
        ASSERT_TRUE(on_disk == image_a || on_disk == image_b) << "round " << round << ": " << on_disk.size() << " bytes";
        ProfileLibrary next;
        EXPECT_TRUE(next.load(file, english()).clean()) << "round " << round;
        EXPECT_EQ(names_in(file.parent_path()), std::vector<std::string>{"pro.data"}) << "round " << round;
    }
}

}  // namespace
}  // namespace vantorel
