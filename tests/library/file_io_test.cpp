// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/file_io.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

TEST(AtomicWrite, ReplacesTheFileCreatesFoldersAndKeepsPermissions) {
    TempDir dir;
    const fs::path file = dir.path() / "a" / "b" / "pro.data";
    ASSERT_TRUE(write_file_atomic(file, random_bytes(1000, 1)));
    EXPECT_EQ(read_all(file), random_bytes(1000, 1));

    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(write_file_atomic(file, random_bytes(10, 2)));
    EXPECT_EQ(read_all(file), random_bytes(10, 2));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names_in(file.parent_path()), std::vector<std::string>{"pro.data"});
}

class FailedWrite : public ::testing::TestWithParam<FileStep> {};

TEST_P(FailedWrite, LeavesTheOldFileIntactAndNoTemporaryFile) {
    TempDir dir;
    const fs::path file = dir.path() / "macro.data";
    write_all(file, random_bytes(5000, 3));
    {
        ScopedFileFault fault([&](FileStep step, const fs::path&) { return step == GetParam() ? ENOSPC : 0; });
        Status s = write_file_atomic(file, random_bytes(9000, 4));
        EXPECT_FALSE(s);
        EXPECT_NE(s.message().find("macro.data"), std::string::npos) << s.message();
    }
    EXPECT_EQ(read_all(file), random_bytes(5000, 3));
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"macro.data"});
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FailedWrite,
                         ::testing::Values(FileStep::Open, FileStep::Write, FileStep::Sync, FileStep::Rename));

TEST(AtomicWrite, ConcurrentWritersLeaveOneCompleteVersion) {
    TempDir dir;
    const fs::path file = dir.path() / "pro.data";
    const auto a = random_bytes(300000, 5), b = random_bytes(300000, 6);
    auto writer = [&](const std::vector<Byte>& bytes) {
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(write_file_atomic(file, bytes));
    };
    std::thread t1(writer, std::cref(a)), t2(writer, std::cref(b));
    t1.join();
    t2.join();
    const auto result = read_all(file);
    EXPECT_TRUE(result == a || result == b);
    EXPECT_EQ(names_in(dir.path()).size(), 1u);
}

// A save killed after creating its temporary file left it behind; the next
// open for writing removes such files, never those of a live writer.
TEST(AtomicWrite, TemporariesOfKilledSavesAreRemovedNextTime) {
    TempDir dir;
    const fs::path file = dir.path() / "pro.data";
    write_all(file, random_bytes(10, 1));
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".pro.data.tmp-" + std::to_string(gone) + "-3";
    const std::string live = ".pro.data.tmp-" + std::to_string(getpid()) + "-9";
    for (const std::string& name : {stale, live, std::string(".macro.data.tmp-1-1"), std::string("pro.data.tmp-x")})
        write_all(dir.path() / name, random_bytes(4, 2));
    EXPECT_EQ(remove_stale_temporaries(file), 1u);
    EXPECT_FALSE(fs::exists(dir.path() / stale));
    EXPECT_TRUE(fs::exists(dir.path() / live));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(names_in(dir.path()).size(), 4u);
}

TEST(ReadFile, TellsMissingFoldersAndOversizedFilesApart) {
    TempDir dir;
    ReadResult missing = read_file(dir.path() / "none");
    EXPECT_FALSE(missing.status);
    EXPECT_TRUE(missing.missing);

    ReadResult folder = read_file(dir.path());
    EXPECT_FALSE(folder.status);
    EXPECT_FALSE(folder.missing);

    write_all(dir.path() / "f", random_bytes(697, 7));
    EXPECT_TRUE(read_file(dir.path() / "f", 697).status);
    ReadResult too_long = read_file(dir.path() / "f", 696);
    EXPECT_TRUE(too_long.too_long);
    EXPECT_TRUE(too_long.bytes.empty());
}

TEST(KeepAside, NamesTheCopyByTimeAndNeverOverwritesAnEarlierOne) {
    TempDir dir;
    const fs::path file = dir.path() / "pro.data";
    const WallTime when = std::chrono::system_clock::now();
    write_all(file, random_bytes(100, 8));
    AsideResult first = keep_aside(file, when);
    ASSERT_TRUE(first.status) << first.status.message();
    EXPECT_TRUE(std::regex_match(first.path.filename().string(), std::regex(R"(pro\.data\.broken-\d{8}-\d{6})")));
    EXPECT_FALSE(fs::exists(file));

    write_all(file, random_bytes(100, 9));  // a new file, damaged in the same second
    AsideResult second = keep_aside(file, when);
    ASSERT_TRUE(second.status);
    EXPECT_EQ(second.path.filename().string(), first.path.filename().string() + "-2");
    EXPECT_EQ(read_all(first.path), random_bytes(100, 8));
    EXPECT_EQ(read_all(second.path), random_bytes(100, 9));
}

TEST(KeepAside, MovesAFolderThatCannotBeLinked) {
    TempDir dir;
    fs::create_directory(dir.path() / "pro.data");
    AsideResult r = keep_aside(dir.path() / "pro.data", std::chrono::system_clock::now());
    ASSERT_TRUE(r.status) << r.status.message();
    EXPECT_FALSE(fs::exists(dir.path() / "pro.data"));
    EXPECT_TRUE(fs::is_directory(r.path));
}

}  // namespace
}  // namespace vantorel
