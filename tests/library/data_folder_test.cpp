// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/data_folder.h"

#include <gtest/gtest.h>

#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

class DataFolderChoice : public ::testing::Test {
protected:
    TempDir dir;
    DataFolderInputs in;
    void SetUp() override {
        in.exe_dir = dir.path() / "bin";
        in.home = dir.path() / "home";
        fs::create_directories(*in.exe_dir);
    }
};

TEST_F(DataFolderChoice, OverrideWinsAndIsCreatedOnlyForWriters) {
    in.override_dir = dir.path() / "custom" / "data";
    DataFolder reading = DataFolder::locate(in, DataFolder::Create::Never);
    EXPECT_TRUE(reading.status());
    EXPECT_EQ(reading.path(), dir.path() / "custom" / "data");
    EXPECT_FALSE(fs::exists(reading.path()));

    DataFolder d = DataFolder::locate(in);
    ASSERT_TRUE(d.status());
    EXPECT_TRUE(fs::is_directory(d.path()));
    EXPECT_FALSE(fs::exists(*in.exe_dir / "Data"));
}

TEST_F(DataFolderChoice, NothingIsEverCreatedBesideTheExecutable) {
    const fs::path user = dir.path() / "home" / ".local" / "share" / "qv-vantorel" / "Data";
    // A writable executable folder (a build tree, or /usr/bin for root).
    DataFolder d = DataFolder::locate(in);
    ASSERT_TRUE(d.status());
    EXPECT_FALSE(d.portable());
    EXPECT_EQ(d.path(), user);
    EXPECT_EQ(d.profile_file(), user / "ms_1" / "pro.data");
    EXPECT_EQ(d.config_file(), user / "CONFIG.ini");
    EXPECT_FALSE(fs::exists(*in.exe_dir / "Data"));

    in.xdg_data_home = dir.path() / "xdg";
    EXPECT_EQ(DataFolder::locate(in).path(), dir.path() / "xdg" / "qv-vantorel" / "Data");
    in.xdg_data_home = "relative/xdg";  // not absolute: ignored
    EXPECT_EQ(DataFolder::locate(in).path(), user);
    EXPECT_FALSE(fs::exists(*in.exe_dir / "Data"));
}

TEST_F(DataFolderChoice, AnExistingPortableFolderBesideTheExecutableIsUsed) {
    fs::create_directories(*in.exe_dir / "Data");
    for (auto create : {DataFolder::Create::IfMissing, DataFolder::Create::Never}) {
        DataFolder d = DataFolder::locate(in, create);
        EXPECT_TRUE(d.portable());
        EXPECT_EQ(d.macro_file(), *in.exe_dir / "Data" / "ms_1" / "macro.data");
    }
    EXPECT_FALSE(fs::exists(dir.path() / "home" / ".local"));
}

TEST(DataFolderInputs, ComeFromTheEnvironmentAndTheRunningExecutable) {
    TempDir dir;
    ::setenv("QV_VANTOREL_DATA_DIR", dir.path().c_str(), 1);
    DataFolderInputs in = DataFolderInputs::from_process();
    ::unsetenv("QV_VANTOREL_DATA_DIR");
    EXPECT_EQ(in.override_dir, dir.path());
    ASSERT_TRUE(in.exe_dir.has_value());
    EXPECT_TRUE(fs::exists(*in.exe_dir / "library_tests"));
}

}  // namespace
}  // namespace vantorel
