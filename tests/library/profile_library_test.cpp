// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/profile_library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include "library/macro_record.h"
#include "library/profile_store.h"
#include <functional>

#include "library/data_folder.h"
#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

constexpr std::size_t kHeader = profile_file::kHeaderSize;

// A "pro.data" image: selected index, random reserved bytes, the records.
std::vector<Byte> library_image(std::int32_t selected, const std::vector<ProfileRecord>& records) {
    std::vector<Byte> bytes = random_bytes(kHeader, 42);
    store_i32(bytes.data(), selected);
    for (const auto& r : records) append_bytes(bytes, r.bytes());
    return bytes;
}

std::vector<ProfileRecord> three_profiles() {
    return {random_profile(u"One", 1), random_profile(u"Two", 2), random_profile(u"Three", 3)};
}

WallClock fixed_clock() {
    return [] { return WallTime{} + std::chrono::hours(24 * 365 * 50); };
}

class ProfileLibraryFile : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir.path() / "ms_1" / "pro.data";
    ProfileLibrary lib;

    // The folder holds pro.data and exactly one copy kept aside with the given bytes.
    void expect_kept_aside(const LoadReport& report, const std::vector<Byte>& original) {
        ASSERT_TRUE(report.kept_aside.has_value());
        EXPECT_EQ(report.kept_aside->parent_path(), file.parent_path());
        EXPECT_EQ(read_all(*report.kept_aside), original);
        EXPECT_EQ(names_in(file.parent_path()).size(), 2u);
    }
    void expect_one_default_profile_saved(const LoadReport& report) {
        ASSERT_EQ(lib.size(), 1u);
        EXPECT_EQ(lib[0].profile_name(), u"Profile1");
        EXPECT_EQ(lib.selected_profile_index(), 0);
        EXPECT_TRUE(report.started_fresh);
        EXPECT_TRUE(report.saved && report.save_status.ok());
        EXPECT_EQ(fs::file_size(file), kHeader + ProfileRecord::kSize);
    }
};

TEST_F(ProfileLibraryFile, FirstStartCreatesTheFoldersAndOneDefaultProfile) {
    DataFolderInputs in;
    in.override_dir = dir.path() / "Data";
    DataFolder data = DataFolder::locate(in);
    ASSERT_TRUE(data.status());
    MapTextLookup untranslated;
    LoadReport report = lib.load(data.profile_file(), untranslated);

    EXPECT_TRUE(report.file_missing);
    EXPECT_TRUE(report.clean());
    auto bytes = read_all(dir.path() / "Data" / "ms_1" / "pro.data");
    ASSERT_EQ(bytes.size(), 263620u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + kHeader, [](Byte b) { return b == 0; }));
    ProfileRecord expected;
    expected.reset_to_defaults();
    expected.set_profile_name(u"add_profile_text1");
    EXPECT_EQ(lib[0], expected);
    EXPECT_FALSE(fs::exists(data.macro_file()));
}

// The reserved part of the header is kept in memory without its trailing
// zeros: whatever it holds, the file saves back the same.
TEST_F(ProfileLibraryFile, EveryHeaderShapeSavesBackByteForByte) {
    const struct {
        const char* what;
        std::size_t first_set;  // reserved bytes set from here...
        std::size_t last_set;   // ...to here (exclusive); none when equal
    } shapes[] = {
        {"all zero", 4, 4},
        {"only the first reserved byte", 4, 5},
        {"only the last byte", kHeader - 1, kHeader},
        {"a run in the middle", 1000, 1010},
        {"all set", 4, kHeader},
    };
    for (const auto& shape : shapes) {
        std::vector<Byte> image(kHeader, Byte{0});
        store_i32(image.data(), 0);
        for (std::size_t i = shape.first_set; i < shape.last_set; ++i) image[i] = static_cast<Byte>(i % 251 + 1);
        append_bytes(image, random_profile(u"One", 1).bytes());
        write_all(file, image);
        ProfileLibrary fresh;
        ASSERT_TRUE(fresh.load(file, english()).clean()) << shape.what;
        EXPECT_EQ(fresh.serialize(), image) << shape.what;
        ASSERT_TRUE(fresh.save()) << shape.what;
        EXPECT_EQ(read_all(file), image) << shape.what;
    }
}

TEST_F(ProfileLibraryFile, ProfilesLoadInFileOrderAndSaveBackByteForByte) {
    const auto image = library_image(2, three_profiles());
    write_all(file, image);
    LoadReport report = lib.load(file, english());
    EXPECT_TRUE(report.clean());
    EXPECT_FALSE(report.saved);
    ASSERT_EQ(lib.size(), 3u);
    EXPECT_EQ(lib[0].profile_name(), u"One");
    EXPECT_EQ(lib[2], three_profiles()[2]);
    EXPECT_EQ(lib.selected_profile_index(), 2);

    EXPECT_EQ(lib.serialize(), image);  // reserved header bytes included
    lib.set_selected_profile_index(1);
    ASSERT_TRUE(lib.save());
    auto saved = read_all(file);
    EXPECT_EQ(load_i32(saved.data()), 1);
    EXPECT_TRUE(std::equal(saved.begin() + 4, saved.end(), image.begin() + 4));
}

TEST_F(ProfileLibraryFile, StoredSelectionOutsideTheListSelectsTheFirstProfile) {
    for (std::int32_t selected : {3, -1, 1 << 30}) {
        write_all(file, library_image(selected, three_profiles()));
        LoadReport report = lib.load(file, english());
        EXPECT_TRUE(report.selection_reset);
        EXPECT_EQ(lib.selected_profile_index(), 0);
        EXPECT_EQ(lib.size(), 3u);
    }
}

TEST_F(ProfileLibraryFile, EmptyOrHeaderOnlyFileIsKeptAsideAndReplacedByADefaultProfile) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1000}, kHeader, kHeader + ProfileRecord::kSize - 1}) {
        TempDir fresh;
        file = fresh.path() / "pro.data";
        const auto original = random_bytes(size, 11);
        write_all(file, original);
        LoadReport report = lib.load(file, english());
        SCOPED_TRACE(size);
        EXPECT_FALSE(report.clean());
        expect_kept_aside(report, original);
        expect_one_default_profile_saved(report);
    }
}

TEST_F(ProfileLibraryFile, TruncatedLastRecordIsDroppedAndKeptAside) {
    auto image = library_image(1, three_profiles());
    image.resize(image.size() - 100);
    write_all(file, image);
    LoadReport report = lib.load(file, english());
    EXPECT_EQ(report.records_loaded, 2u);
    EXPECT_EQ(report.dropped_bytes, ProfileRecord::kSize - 100);
    expect_kept_aside(report, image);
    ASSERT_EQ(lib.size(), 2u);
    EXPECT_EQ(lib[1], three_profiles()[1]);
    EXPECT_EQ(read_all(file), std::vector<Byte>(image.begin(), image.begin() + kHeader + 2 * ProfileRecord::kSize));
}

TEST_F(ProfileLibraryFile, UnreadableFileIsKeptAsideAndNeverOverwritten) {
    const auto image = library_image(0, three_profiles());
    write_all(file, image);
    LoadReport report;
    {
        ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Read ? EACCES : 0; });
        report = lib.load(file, english(), fixed_clock());
    }
    expect_kept_aside(report, image);
    expect_one_default_profile_saved(report);
}

TEST_F(ProfileLibraryFile, FolderInPlaceOfTheFileIsMovedAside) {
    fs::create_directories(file);
    LoadReport report = lib.load(file, english());
    ASSERT_TRUE(report.kept_aside);
    EXPECT_TRUE(fs::is_directory(*report.kept_aside));
    expect_one_default_profile_saved(report);
}

TEST_F(ProfileLibraryFile, DamagedFileThatCannotBeKeptAsideIsNeverSavedOver) {
    const auto original = random_bytes(500, 12);
    write_all(file, original);
    ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Aside ? EROFS : 0; });
    LoadReport report = lib.load(file, english());
    EXPECT_FALSE(report.saved);
    EXPECT_EQ(lib.size(), 1u);  // the program still has a profile to show
    Status later = lib.save();
    EXPECT_FALSE(later);
    EXPECT_FALSE(later.message().empty());
    EXPECT_EQ(read_all(file), original);
}

TEST_F(ProfileLibraryFile, FailedSaveIsReportedAndKeepsTheOldFile) {
    const auto image = library_image(0, three_profiles());
    write_all(file, image);
    lib.load(file, english());
    lib.create_profile(english());
    ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Write ? ENOSPC : 0; });
    EXPECT_FALSE(lib.save());
    EXPECT_EQ(read_all(file), image);
}

// A FIFO (or a device) named like a library file once hung every start in
// open(); it is refused at once and kept aside like any damaged file.
TEST_F(ProfileLibraryFile, AFifoInPlaceOfTheLibraryIsKeptAsideNotWaitedOn) {
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    LoadReport report = lib.load(file, english());
    EXPECT_FALSE(report.clean());
    ASSERT_TRUE(report.kept_aside.has_value());
    EXPECT_TRUE(fs::is_fifo(*report.kept_aside));
    EXPECT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(lib.size(), 1u);

    MacroLibrary macros;
    const fs::path macro_file = file.parent_path() / "macro.data";
    ASSERT_EQ(::mkfifo(macro_file.c_str(), 0600), 0);
    EXPECT_FALSE(macros.load(macro_file).clean());
    EXPECT_FALSE(fs::is_fifo(macro_file));
}

// A huge library file (a sparse one costs nothing to make) was read whole:
// gigabytes of memory and half a minute before anything showed. Beyond what
// a library holds it is kept aside unread, as a damaged file is.
TEST_F(ProfileLibraryFile, LibraryFilesLongerThanALibraryHoldsAreKeptAsideUnread) {
    const fs::path macro_file = file.parent_path() / "macro.data";
    const std::pair<fs::path, std::size_t> files[] = {
        {file, profile_file::kMaxFileSize + ProfileRecord::kSize},
        {macro_file, macro_file::kMaxFileSize + MacroRecord::kSize},
    };
    for (const auto& [path, size] : files) {
        fs::create_directories(path.parent_path());
        write_all(path, {});
        fs::resize_file(path, size);
    }
    const LoadReport profiles = lib.load(file, english(), fixed_clock());
    MacroLibrary macros;
    const LoadReport macro_report = macros.load(macro_file, fixed_clock());
    for (const LoadReport* report : {&profiles, &macro_report}) {
        ASSERT_TRUE(report->kept_aside.has_value());
        EXPECT_NE(report->problems.front().find("more than a library of"), std::string::npos) << report->problems.front();
    }
    EXPECT_EQ(fs::file_size(*profiles.kept_aside), files[0].second);
    EXPECT_EQ(fs::file_size(*macro_report.kept_aside), files[1].second);
    expect_one_default_profile_saved(profiles);
    EXPECT_TRUE(macros.empty());
}

// Commands that only look open the libraries read-only: whatever state the
// files are in, nothing is created, moved or written.
TEST_F(ProfileLibraryFile, ReadingOnlyNeverWritesWhateverTheFilesHold) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::size_t profiles;
    };
    const fs::path macros = file.parent_path() / "macro.data";
    auto full = library_image(1, three_profiles());
    const Case cases[] = {
        {"no library", [] {}, 0},
        {"header only", [&] { write_all(file, std::vector<Byte>(kHeader, 0)); }, 0},
        {"cut-short profile and macro", [&] {
             auto cut = full;
             cut.resize(cut.size() - 100);
             write_all(file, cut);
             write_all(macros, random_bytes(MacroRecord::kSize + 7, 3));
         }, 2},
        {"selection outside the list", [&] {
             auto bad = full;
             store_i32(bad.data(), 9);
             write_all(file, bad);
         }, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir.path() / "ms_1");
        c.prepare();
        const auto before = snapshot_tree(dir.path());
        ProfileStore store(DataFolder::at(dir.path(), DataFolder::Create::Never));
        store.load(english(), LoadMode::ReadOnly);
        EXPECT_EQ(store.profiles().size(), c.profiles);
        if (!store.profiles().empty()) {
            EXPECT_FALSE(store.save());
        }
        EXPECT_FALSE(store.macros().save());
        EXPECT_EQ(snapshot_tree(dir.path()), before);
    }
}

TEST(ProfileNames, CompareWithoutCaseAndNumberTheClash) {
    ProfileLibrary lib;
    EXPECT_FALSE(name_exists(lib, u""));
    lib.append(random_profile(u"Game", 1));
    lib.append(random_profile(u"game_1", 2));
    EXPECT_TRUE(name_exists(lib, u"GAME_1"));
    EXPECT_EQ(unique_name(lib, u"GAME"), u"GAME_2");
    EXPECT_EQ(unique_name(lib, u"Games"), u"Games");
}

TEST(ProfileNames, LongBaseIsCutSoTheNumberFits) {
    ProfileLibrary lib;
    const std::u16string long_name(99, u'a');
    lib.append(random_profile(long_name, 1));
    const std::u16string first = unique_name(lib, long_name);
    EXPECT_EQ(first, std::u16string(97, u'a') + u"_1");
    EXPECT_EQ(unique_name(lib, long_name + u"zzz"), first);  // over-long bases are cut first
    for (int n = 1; n <= 9; ++n) lib.append(random_profile(unique_name(lib, long_name), n));
    EXPECT_EQ(unique_name(lib, long_name), std::u16string(96, u'a') + u"_10");
}

TEST(ProfileNames, CreateProfileNumbersAfterTheCountAndStaysUnique) {
    ProfileLibrary lib;
    EXPECT_EQ(lib.create_profile(english()).profile_name(), u"Profile1");
    lib.append(random_profile(u"PROFILE3", 5));
    ProfileRecord& created = lib.create_profile(english());
    EXPECT_EQ(created.profile_name(), u"Profile3_1");
    EXPECT_EQ(created.dpi_stage_index(), 1);  // a default profile
    EXPECT_EQ(&created, &lib[2]);

    const ProfileRecord* first = &lib[0];
    for (int i = 0; i < 50; ++i) lib.create_profile(english());
    EXPECT_EQ(first, &lib[0]);  // records stay where they are as the list grows
    EXPECT_TRUE(lib.remove(1));
    EXPECT_FALSE(lib.remove(lib.size()));
}

}  // namespace
}  // namespace vantorel
