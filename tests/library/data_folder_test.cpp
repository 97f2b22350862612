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

TEST_F(DataFolderChoice, EnvironmentOverrideWinsAndIsCreated) {
    in.override_dir = dir.path() / "custom" / "data";
    DataFolder d = DataFolder::locate(in);
    ASSERT_TRUE(d.status());
    EXPECT_EQ(d.path(), dir.path() / "custom" / "data");
    EXPECT_TRUE(fs::is_directory(d.path()));
    EXPECT_FALSE(fs::exists(*in.exe_dir / "Data"));
}

TEST_F(DataFolderChoice, PortableLayoutBesideAWritableExecutableFolder) {
    DataFolder d = DataFolder::locate(in);
    ASSERT_TRUE(d.status());
    EXPECT_TRUE(d.portable());
    EXPECT_EQ(d.path(), *in.exe_dir / "Data");
    EXPECT_EQ(d.profile_file(), *in.exe_dir / "Data" / "ms_1" / "pro.data");
    EXPECT_EQ(d.macro_file(), *in.exe_dir / "Data" / "ms_1" / "macro.data");
    EXPECT_EQ(d.config_file(), *in.exe_dir / "Data" / "CONFIG.ini");
}

TEST_F(DataFolderChoice, ReadOnlyInstallationUsesTheUserDataFolder) {
    in.writable = [](const fs::path&) { return false; };
    DataFolder d = DataFolder::locate(in);
    ASSERT_TRUE(d.status());
    EXPECT_FALSE(d.portable());
    EXPECT_EQ(d.path(), dir.path() / "home" / ".local" / "share" / "qv-vantorel" / "Data");
    EXPECT_FALSE(fs::exists(*in.exe_dir / "Data"));

    in.xdg_data_home = dir.path() / "xdg";
    EXPECT_EQ(DataFolder::locate(in).path(), dir.path() / "xdg" / "qv-vantorel" / "Data");
    in.xdg_data_home = "relative/xdg";  // not absolute: ignored
    EXPECT_EQ(DataFolder::locate(in).path(), dir.path() / "home" / ".local" / "share" / "qv-vantorel" / "Data");
}

TEST_F(DataFolderChoice, ExistingDataFolderBesideTheExecutableDecidesByItsOwnRights) {
    fs::create_directories(*in.exe_dir / "Data");
    in.writable = [&](const fs::path& p) { return p == *in.exe_dir / "Data"; };
    EXPECT_TRUE(DataFolder::locate(in).portable());
    in.writable = [&](const fs::path& p) { return p == *in.exe_dir; };
    EXPECT_FALSE(DataFolder::locate(in).portable());
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
