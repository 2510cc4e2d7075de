#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "ProjectTestSupport.h"
#include "analysis/FileBytes.h"
#include "project/ProjectFiles.h"
#include "project/TextArena.h"

namespace tabulex::project {
namespace {

using testing::TTempDir;
namespace fs = std::filesystem;

// Every spelling of one file leads to one entry: through a linked folder, a `..`, or a link
// to the file itself.
TEST(ProjectFilesTest, SpellingsOfOneFileAreOneFile)
{
    TTempDir dir;
    fs::create_directories(dir.path() + "/real/sub");
    const std::string unit = dir.file("real/u.pas", "unit u; end.");
    fs::create_directory_symlink(dir.path() + "/real", dir.path() + "/linked");
    fs::create_symlink(unit, dir.path() + "/real/sub/alias.pas");

    TFileStore files;
    const std::uint32_t id = files.add(unit, TProjectFileKind::Unit);
    EXPECT_EQ(files.add(dir.path() + "/linked/u.pas", TProjectFileKind::Unit), id);
    EXPECT_EQ(files.add(dir.path() + "/real/sub/../u.pas", TProjectFileKind::Unit), id);
    EXPECT_EQ(files.add(dir.path() + "/real/sub/alias.pas", TProjectFileKind::Unit), id);
    EXPECT_NE(files.add(dir.path() + "/real/sub/u.pas", TProjectFileKind::Unit), id);
}

// Files read beside their user come out whole whichever thread reads them, and a missing one
// is kept, unreadable, with its reason.
TEST(ProjectFilesTest, FilesReadInTheBackgroundAreWhole)
{
    TTempDir dir;
    TFileStore files;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 200; ++i)
        ids.push_back(files.add(
            dir.file("f" + std::to_string(i) + ".pas", std::string(1000 + i, 'a') + "\nend.\n"),
            TProjectFileKind::Unit, false));
    const std::uint32_t missing =
        files.add(dir.path() + "/missing.pas", TProjectFileKind::Unit, false);
    files.read_in_background();
    for (std::size_t i = ids.size(); i-- > 0;) {
        const TProjectFile& f = files.read_file(ids[i]);
        EXPECT_EQ(f.bytes.size(), 1000 + i + 6);
        EXPECT_EQ(f.line_count, 2);
    }
    EXPECT_FALSE(files.read_file(missing).readable);
    EXPECT_EQ(files.read_file(missing).diagnostics.size(), 1u);
    files.finish_reading();
}

// Two threads adding the same files at once (more than a chunk of the store's table) get one
// id for each, and the file under it read whole.
TEST(ProjectFilesTest, FilesAddedFromTwoThreadsAreOneEach)
{
    TTempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 1500; ++i)
        paths.push_back(dir.file("i" + std::to_string(i) + ".inc", std::string(i % 50, 'x')));
    TFileStore files;
    std::vector<std::uint32_t> ids[2];
    auto add_all = [&](std::vector<std::uint32_t>& out, bool backwards) {
        for (std::size_t k = 0; k < paths.size(); ++k)
            out.push_back(
                files.add(paths[backwards ? paths.size() - 1 - k : k], TProjectFileKind::Include));
    };
    std::thread other(add_all, std::ref(ids[1]), true);
    add_all(ids[0], false);
    other.join();
    ASSERT_EQ(files.size(), paths.size());
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const std::uint32_t id = ids[0][k];
        EXPECT_EQ(ids[1][paths.size() - 1 - k], id);
        EXPECT_EQ(files[id].path, paths[k]);
        EXPECT_EQ(files.read_file(id).bytes, std::string(k % 50, 'x'));
    }
}

// The arena gives each file as read_file_bytes gives it, a NUL after it, whether it fits the
// current block, needs one of its own or comes converted from UTF-16; views stay valid as more
// files come.
TEST(ProjectFilesTest, ArenaTextsAreTheFilesBytes)
{
    TTempDir dir;
    const std::vector<std::string> paths = {
        dir.file("small.pas", "unit s; end.\n"),
        dir.file("large.pas", std::string(32 << 20, 'x')),
        dir.file("wide.pas", std::string("\xFF\xFEu\0n\0i\0t\0", 10)),
        dir.file("empty.pas", ""),
    };
    TTextArena arena;
    std::vector<std::string_view> texts;
    for (const std::string& path : paths)
        texts.push_back(arena.read(path));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(texts[i], read_file_bytes(paths[i])) << paths[i];
        EXPECT_EQ(texts[i].data()[texts[i].size()], '\0') << paths[i];
    }
    EXPECT_THROW(arena.read(dir.path() + "/missing.pas"), EFOpenError);
    EXPECT_THROW(arena.read(dir.path()), EFOpenError);
}

}  // namespace
}  // namespace tabulex::project
