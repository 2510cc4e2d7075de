#include <filesystem>
#include <gtest/gtest.h>

#include "AsNobody.h"
#include "config/SettingsLocation.h"

namespace fs = std::filesystem;
using namespace tabulex;

TEST(SettingsLocation, BesideAWritableExecutableOtherwiseInTheUserFolder)
{
    const fs::path dir =
        fs::temp_directory_path() / ("tabulex_location_" + std::to_string(::getpid()));
    fs::create_directories(dir / "bin");
    const std::string beside = (dir / "bin" / "tabulex.ini").string();
    const std::string user = (dir / "home" / ".config" / "tabulex" / "tabulex.ini").string();
    EXPECT_EQ(choose_settings_path(beside, user), beside);

    fs::permissions(dir / "bin", fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    {
        tabulex::testing::AsNobodyForFiles asNobody;
        EXPECT_EQ(choose_settings_path(beside, user), user);
        EXPECT_EQ(choose_settings_path(beside, ""), beside);  // no user folder known: keep the rule
    }
    EXPECT_TRUE(make_settings_folder(user));
    EXPECT_TRUE(fs::is_directory(dir / "home" / ".config" / "tabulex"));
    fs::remove_all(dir);
}
