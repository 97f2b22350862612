// SPDX-License-Identifier: GPL-2.0-or-later
#include "library/transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/text.h"
#include "library_test_util.h"

namespace vantorel {
namespace {
using namespace vantorel::testing;
namespace fs = std::filesystem;

// A macro the mouse can hold: up to 160 presses and releases of short delay.
void give_macro(SlotRef slot, std::u16string_view name, std::uint32_t seed) {
    slot.set_function_code(kFunctionMacro);
    slot.set_macro_name(name);
    slot.set_macro_repeat_count(static_cast<std::int32_t>(seed % 255 + 1));
    const std::uint16_t count = static_cast<std::uint16_t>(seed % 161);
    slot.set_macro_action_count(count);
    for (std::uint16_t i = 0; i < count; ++i)
        slot.set_macro_action(i, {static_cast<std::uint8_t>(0x04 + (seed + i) % 30), static_cast<std::uint8_t>(1 + i % 2),
                                  static_cast<std::uint16_t>(1 + (seed * 7 + i) % 127)});
    slot.set_macro_library_index(static_cast<std::int32_t>(seed));
}

// The imported record equals the original except for the profile name and,
// in each macro slot, the macro name and the library index.
void expect_same_apart_from_names(const ProfileRecord& original, const ProfileRecord& imported) {
    ProfileRecord a = original, b = imported;
    auto blank = [&](std::size_t offset, std::size_t n) {
        std::fill_n(a.bytes().begin() + static_cast<std::ptrdiff_t>(offset), n, Byte{0});
        std::fill_n(b.bytes().begin() + static_cast<std::ptrdiff_t>(offset), n, Byte{0});
    };
    blank(profile_layout::kProfileName, 2 * profile_layout::kProfileNameUnits);
    for (int k = 0; k < profile_layout::kButtonCount; ++k) {
        if (original.slot(k).function_code() != kFunctionMacro) continue;
        std::size_t base = profile_layout::kButtonSlots + slot_layout::kSize * static_cast<std::size_t>(k);
        blank(base + slot_layout::kMacroName, 2 * slot_layout::kMacroNameUnits);
        blank(base + slot_layout::kMacroLibraryIndex, 4);
    }
    auto diff = std::mismatch(a.bytes().begin(), a.bytes().end(), b.bytes().begin());
    EXPECT_TRUE(diff.first == a.bytes().end()) << "first difference at byte " << (diff.first - a.bytes().begin());
}

// The library macro of slot k carries the slot's name, counts and actions.
void expect_macro_of_slot(const MacroLibrary& macros, const ProfileRecord& imported, int k) {
    ConstSlotRef slot = imported.slot(k);
    const MacroRecord& m = macros.at(static_cast<std::size_t>(slot.macro_library_index()));
    EXPECT_EQ(m.name(), slot.macro_name());
    EXPECT_EQ(m.repeat_count(), slot.macro_repeat_count());
    EXPECT_EQ(m.action_count(), slot.macro_action_count());
    EXPECT_TRUE(std::equal(m.action_bytes().begin(), m.action_bytes().end(),
                           slot.bytes().begin() + slot_layout::kMacroActions));
}

class Transfer : public ::testing::Test {
protected:
    TempDir dir;
    ProfileLibrary profiles;
    MacroLibrary macros;
    void SetUp() override { macros.set_file(dir.path() / "ms_1" / "macro.data"); }
};

TEST_F(Transfer, ExportThenImportGivesANumberedCopyWithItsMacrosAddedAgain) {
    ProfileRecord& original = profiles.append(random_profile(u"Work", 1));
    give_macro(original.slot(3), u"Burst", 3);
    give_macro(original.slot(17), u"Spray", 4);
    macros.append(named_macro(u"Burst"));
    const fs::path pro = dir.path() / "work.pro";
    ASSERT_TRUE(export_profile(original, pro));
    EXPECT_EQ(fs::file_size(pro), ProfileRecord::kSize);

    ImportResult r = import_profile(pro, profiles, macros);
    ASSERT_TRUE(r.status) << r.status.message();
    ASSERT_EQ(r.index, std::optional<std::size_t>(1));
    EXPECT_EQ(r.macros_added, 2u);
    const ProfileRecord& imported = profiles[1];
    EXPECT_EQ(imported.profile_name(), u"Work_1");
    expect_same_apart_from_names(original, imported);
    EXPECT_EQ(imported.slot(3).macro_name(), u"Burst_1");
    EXPECT_EQ(imported.slot(17).macro_name(), u"Spray");
    expect_macro_of_slot(macros, imported, 3);
    expect_macro_of_slot(macros, imported, 17);
    EXPECT_EQ(fs::file_size(macros.file()), 3 * MacroRecord::kSize);
}

TEST_F(Transfer, TwoSlotsWithTheSameMacroEachGetTheirOwnNumberedEntry) {
    ProfileRecord record;
    record.reset_to_defaults();
    record.set_profile_name(u"Shooter");
    give_macro(record.slot(2), u"Fire", 10);
    give_macro(record.slot(5), u"Fire", 20);
    macros.append(named_macro(u"fire"));
    ASSERT_TRUE(export_profile(record, dir.path() / "s.pro"));

    ImportResult r = import_profile(dir.path() / "s.pro", profiles, macros);
    ASSERT_TRUE(r.status);
    const ProfileRecord& imported = profiles[*r.index];
    EXPECT_EQ(imported.profile_name(), u"Shooter");
    EXPECT_EQ(imported.slot(2).macro_name(), u"Fire_1");
    EXPECT_EQ(imported.slot(2).macro_library_index(), 1);
    EXPECT_EQ(imported.slot(5).macro_name(), u"Fire_2");
    EXPECT_EQ(imported.slot(5).macro_library_index(), 2);
    expect_macro_of_slot(macros, imported, 2);
    expect_macro_of_slot(macros, imported, 5);
}

TEST_F(Transfer, ProfileWithoutMacrosDoesNotTouchTheMacroFile) {
    ProfileRecord record;
    record.reset_to_defaults();
    ASSERT_TRUE(export_profile(record, dir.path() / "plain.pro"));
    ImportResult r = import_profile(dir.path() / "plain.pro", profiles, macros);
    EXPECT_TRUE(r.status);
    EXPECT_EQ(r.macros_added, 0u);
    EXPECT_FALSE(fs::exists(macros.file()));
}

TEST_F(Transfer, MacroImportedTwiceGetsANumberedName) {
    MacroRecord m = named_macro(u"Reload", 5);
    ASSERT_TRUE(export_macro(m, dir.path() / "r.macro"));
    ASSERT_TRUE(import_macro(dir.path() / "r.macro", macros).status);
    ImportResult second = import_macro(dir.path() / "r.macro", macros);
    ASSERT_TRUE(second.status);
    EXPECT_EQ(macros[0], m);
    EXPECT_EQ(macros[1].name(), u"Reload_1");
    EXPECT_TRUE(std::equal(m.bytes().begin() + 48, m.bytes().end(), macros[1].bytes().begin() + 48));
    EXPECT_EQ(read_all(macros.file()).size(), 2 * MacroRecord::kSize);

    macros.append(named_macro(u"Macro"));
    ASSERT_TRUE(export_macro(named_macro(u"macro"), dir.path() / "lower.macro"));
    ASSERT_TRUE(import_macro(dir.path() / "lower.macro", macros).status);
    EXPECT_EQ(macros.at(3).name(), u"macro_1");
}

TEST_F(Transfer, FileThatIsNotExactlyOneRecordIsRefusedAndChangesNothing) {
    ProfileRecord record = random_profile(u"P", 1);
    give_macro(record.slot(0), u"M", 1);
    auto pro = std::vector<Byte>(record.bytes().begin(), record.bytes().end());
    auto mac = random_bytes(MacroRecord::kSize, 2);
    const std::vector<std::pair<std::string, std::vector<Byte>>> profile_files = {
        {"short.pro", std::vector<Byte>(pro.begin(), pro.end() - 1)},
        {"long.pro", [&] { auto v = pro; v.push_back(0); return v; }()},
        {"empty.pro", {}}};
    for (const auto& [name, bytes] : profile_files) write_all(dir.path() / name, bytes);
    write_all(dir.path() / "short.macro", std::vector<Byte>(mac.begin(), mac.begin() + 695));
    write_all(dir.path() / "long.macro", random_bytes(MacroRecord::kSize * 2, 3));
    fs::create_directory(dir.path() / "folder.pro");

    // A missing file is told apart from a damaged one and from one that cannot be read.
    using Code = Status::Code;
    const std::pair<const char*, Code> cases[] = {
        {"short.pro", Code::Corruption}, {"long.pro", Code::Corruption},   {"empty.pro", Code::Corruption},
        {"missing.pro", Code::NotFound}, {"folder.pro", Code::IoError},    {"short.macro", Code::Corruption},
        {"long.macro", Code::Corruption}, {"missing.macro", Code::NotFound}};
    for (const auto& [name, code] : cases) {
        const bool is_macro = fs::path(name).extension() == ".macro";
        ImportResult r = is_macro ? import_macro(dir.path() / name, macros) : import_profile(dir.path() / name, profiles, macros);
        EXPECT_EQ(r.status.code(), code) << name << ": " << r.status.to_string();
        EXPECT_FALSE(r.status.message().empty()) << name;
        EXPECT_FALSE(r.index.has_value()) << name;
    }
    EXPECT_TRUE(profiles.empty());
    EXPECT_TRUE(macros.empty());
    EXPECT_FALSE(fs::exists(macros.file()));
}

TEST_F(Transfer, RandomProfilesRoundTripApartFromTheNameRules) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        ProfileRecord original = random_profile(u"Random" + to_utf16(std::to_string(seed)), seed);
        for (int k = 0; k < profile_layout::kButtonCount; ++k) {
            // Random function codes hit 17 rarely; make every third slot a macro.
            if (k % 3 == static_cast<int>(seed % 3))
                give_macro(original.slot(k), u"m" + to_utf16(std::to_string(k)), seed + static_cast<std::uint32_t>(k));
            else if (original.slot(k).function_code() == kFunctionMacro)
                original.slot(k).set_function_code(0);
        }
        const fs::path path = dir.path() / ("p" + std::to_string(seed) + ".pro");
        ASSERT_TRUE(export_profile(original, path));
        ASSERT_EQ(read_all(path), std::vector<Byte>(original.bytes().begin(), original.bytes().end()));

        ProfileLibrary fresh_profiles;
        MacroLibrary fresh_macros;
        fresh_macros.set_file(dir.path() / ("m" + std::to_string(seed)));
        ImportResult r = import_profile(path, fresh_profiles, fresh_macros);
        ASSERT_TRUE(r.status);
        const ProfileRecord& imported = fresh_profiles[0];
        expect_same_apart_from_names(original, imported);
        EXPECT_EQ(imported.profile_name(), original.profile_name());
        for (int k = 0; k < profile_layout::kButtonCount; ++k) {
            if (original.slot(k).function_code() != kFunctionMacro) continue;
            EXPECT_EQ(imported.slot(k).macro_name(), original.slot(k).macro_name());
            expect_macro_of_slot(fresh_macros, imported, k);
        }
        // Importing the copy again numbers the names and nothing else.
        ImportResult again = import_profile(path, fresh_profiles, fresh_macros);
        ASSERT_TRUE(again.status);
        EXPECT_EQ(fresh_profiles[1].profile_name(), original.profile_name() + u"_1");
        expect_same_apart_from_names(original, fresh_profiles[1]);
    }
}

// An import changes two files: when either save fails, what it added goes
// again, so no profile is left whose macros are missing.
TEST_F(Transfer, AnImportWhoseSavesFailIsTakenBack) {
    ProfileRecord record = random_profile(u"P", 4);
    give_macro(record.slot(1), u"M", 4);
    ASSERT_TRUE(export_profile(record, dir.path() / "p.pro"));
    const std::size_t profiles_before = profiles.size();
    {
        ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Sync ? EIO : 0; });
        ImportResult r = import_profile(dir.path() / "p.pro", profiles, macros);
        EXPECT_FALSE(r.status);
        EXPECT_FALSE(r.index.has_value());
    }
    EXPECT_EQ(profiles.size(), profiles_before);
    EXPECT_TRUE(macros.empty());

    // The macros were saved, the profile library was not: the caller undoes it.
    ImportResult r = import_profile(dir.path() / "p.pro", profiles, macros);
    ASSERT_TRUE(r.index.has_value());
    EXPECT_EQ(macros.size(), 1u);
    undo_profile_import(r, profiles, macros);
    EXPECT_EQ(profiles.size(), profiles_before);
    EXPECT_TRUE(macros.empty());
    MacroLibrary on_disk;
    on_disk.load(macros.file());
    EXPECT_TRUE(on_disk.empty());

    // Exports onto the library's own files are refused, whatever the path.
    ASSERT_TRUE(macros.save());
    EXPECT_FALSE(check_export_target(dir.path() / "ms_1" / "." / "macro.data", {macros.file()}));
    EXPECT_TRUE(check_export_target(dir.path() / "other.macro", {macros.file()}));
}

// A macro file or a profile's macro whose count is damaged, or that costs
// the mouse more than it holds, once imported and was sent cut short.
TEST_F(Transfer, MacrosTheMouseCannotHoldAreRefusedWithTheReason) {
    struct Case {
        std::int64_t count;  // the stored action count (a slot keeps its low 16 bits)
        int long_delays;     // actions of 200 ms (two units each); the rest take 20 ms
        std::uint8_t kind;   // of every action
        const char* reason;  // in the refusal; empty: imported
    };
    const Case cases[] = {
        {2147483647, 0, kActionPress, "is damaged"},
        {-5, 0, kActionPress, "is damaged"},
        {161, 0, kActionPress, "is damaged"},
        {160, 160, kActionPress, "cost 320 units"},
        {160, 2, kActionRelease, "cost 162 units"},
        {100, 0, 0, "only"},  // an action of no known kind takes three times the room of its cost
        {160, 1, kActionRelease, ""},
        {0, 0, kActionPress, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " actions, " + std::to_string(c.long_delays) + " long");
        MacroRecord m;
        m.set_name(u"M");
        m.set_action_count(static_cast<std::int32_t>(c.count));
        for (std::size_t i = 0; i < kMaxMacroActions; ++i)
            m.set_action(i, {0x04, c.kind, static_cast<std::uint16_t>(static_cast<int>(i) < c.long_delays ? 200 : 20)});
        ASSERT_TRUE(export_macro(m, dir.path() / "m.macro"));
        ProfileRecord p;
        p.reset_to_defaults();
        SlotRef slot = p.slot(4);
        slot.set_function_code(kFunctionMacro);
        slot.set_macro_name(u"M");
        slot.set_macro_action_count(static_cast<std::uint16_t>(c.count));
        std::copy(m.action_bytes().begin(), m.action_bytes().end(), slot.bytes().begin() + slot_layout::kMacroActions);
        ASSERT_TRUE(export_profile(p, dir.path() / "p.pro"));

        const std::size_t macros_before = macros.size(), profiles_before = profiles.size();
        const ImportResult as_macro = import_macro(dir.path() / "m.macro", macros);
        const ImportResult as_profile = import_profile(dir.path() / "p.pro", profiles, macros);
        if (*c.reason == '\0') {
            EXPECT_TRUE(as_macro.status && as_profile.status) << as_macro.status.message() << as_profile.status.message();
            EXPECT_EQ(macros.size(), macros_before + 2);
            continue;
        }
        for (const ImportResult* r : {&as_macro, &as_profile}) {
            EXPECT_FALSE(r->index.has_value());
            EXPECT_NE(r->status.message().find(c.reason), std::string::npos) << r->status.message();
        }
        EXPECT_NE(as_profile.status.message().find("button 5"), std::string::npos) << as_profile.status.message();
        EXPECT_EQ(macros.size(), macros_before);
        EXPECT_EQ(profiles.size(), profiles_before);
    }
}

// A macro import whose save failed stayed in the editor's list as imported.
TEST_F(Transfer, AMacroImportThatCannotBeSavedIsNotKept) {
    ASSERT_TRUE(export_macro(named_macro(u"Burst"), dir.path() / "b.macro"));
    ScopedFileFault fault([](FileStep step, const fs::path&) { return step == FileStep::Write ? ENOSPC : 0; });
    const ImportResult r = import_macro(dir.path() / "b.macro", macros);
    EXPECT_FALSE(r.index.has_value());
    EXPECT_NE(r.status.message().find("not imported"), std::string::npos) << r.status.message();
    EXPECT_TRUE(macros.empty());
}

// Exports went through a missing folder (creating it), onto a library file
// that did not exist yet, and kept the mode of the file they replaced.
TEST_F(Transfer, ExportsCreateNoFolderCopyNoModeAndNeverNameALibraryFile) {
    const MacroRecord m = named_macro(u"Burst");
    EXPECT_FALSE(export_macro(m, dir.path() / "none" / "r.macro"));
    EXPECT_FALSE(check_export_target(dir.path() / "none" / "r.macro", {macros.file()}));
    EXPECT_FALSE(fs::exists(dir.path() / "none"));

    fs::create_directories(macros.file().parent_path());  // the library folder, without its files yet
    for (const char* name : {"macro.data", "pro.data", "other.pro"})
        EXPECT_TRUE(check_export_target(macros.file().parent_path() / name, {macros.file()}).IsInvalidArgument()) << name;
    EXPECT_TRUE(check_export_target(dir.path() / "r.macro", {macros.file()}));

    const mode_t old_mask = ::umask(022);
    const fs::path shared = dir.path() / "shared.macro";
    write_all(shared, {1, 2, 3});
    fs::permissions(shared, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    EXPECT_TRUE(export_macro(m, shared));
    ::umask(old_mask);
    EXPECT_EQ(fs::status(shared).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

    // A link at the destination is replaced, and what it pointed at kept.
    write_all(dir.path() / "victim", {7});
    fs::create_symlink(dir.path() / "victim", dir.path() / "link.macro");
    EXPECT_TRUE(export_macro(m, dir.path() / "link.macro"));
    EXPECT_EQ(read_all(dir.path() / "victim"), std::vector<Byte>{7});
    EXPECT_FALSE(fs::is_symlink(dir.path() / "link.macro"));
}

}  // namespace
}  // namespace vantorel
