// The settings file sits beside the executable. A read-only executable must neither stop the
// settings from being saved nor be touched by it; a folder that refuses writes gives the
// message and leaves the settings file and the executable as they were.
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include "AsNobody.h"
#include "TestFiles.h"
#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"

namespace fs = std::filesystem;
using namespace tabulex;

using tabulex::testing::AsNobodyForFiles;

namespace {

constexpr fs::perms kReadAndExecute = fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec;

class SettingsBesideExecutable : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = dir.path() / "tabulex";
        ini = dir.file("tabulex.ini");
        fs::copy_file("/bin/true", exe);
        fs::permissions(exe, kReadAndExecute);
        exeBytes = test::read_bytes(exe.string());
        fs::permissions(dir.path(), fs::perms::all);
    }

    test::TempDir dir;
    fs::path exe;
    std::string ini;
    std::string exeBytes;
};

TEST_F(SettingsBesideExecutable, SavingBesideAReadOnlyExecutableWorksAndLeavesItAlone)
{
    TListingSettings saved;
    saved.Identacao = 2;
    saved.coluna = "! ";
    write_listing_settings(ini, saved);
    TListingSettings read;
    read_listing_settings(ini, read);
    EXPECT_EQ(read.Identacao, 2);
    EXPECT_EQ(read.coluna, "!");  // trailing blank dropped on reading
    EXPECT_EQ(test::read_bytes(exe.string()), exeBytes);
    EXPECT_EQ(fs::status(exe).permissions(), kReadAndExecute);
}

TEST_F(SettingsBesideExecutable, ReadOnlyFolderGivesTheMessageAndKeepsBothFiles)
{
    const std::string earlier = "[Identacao]\r\nTipo=1\r\n";
    test::write_bytes(ini, earlier);
    fs::permissions(dir.path(), kReadAndExecute);
    {
        AsNobodyForFiles nobody;
        if (std::FILE* probe = std::fopen(ini.c_str(), "r+b")) {
            std::fclose(probe);
            GTEST_SKIP() << "permission bits do not stop this user and it cannot act as nobody";
        }
        TListingSettings settings;
        settings.Identacao = 2;
        try {
            write_listing_settings(ini, settings);
            ADD_FAILURE() << "saving into a read-only folder succeeded";
        } catch (const EIniFileError& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + ini);
        }
        TListingSettings read;
        read_listing_settings(ini, read);
        EXPECT_EQ(read.Identacao, 1);
    }
    fs::permissions(dir.path(), fs::perms::all);
    EXPECT_EQ(test::read_bytes(ini), earlier);
    EXPECT_EQ(test::read_bytes(exe.string()), exeBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}),
              2);  // no temporary left
}

TEST_F(SettingsBesideExecutable, ExecutableReadAsSettingsGivesTheDefaults)
{
    // A settings path that names the executable itself (a hand-made mistake) reads as defaults.
    TListingSettings read;
    read.Identacao = 5;
    read_listing_settings(exe.string(), read);
    EXPECT_EQ(read, TListingSettings{});
    EXPECT_EQ(test::read_bytes(exe.string()), exeBytes);
}

}  // namespace
