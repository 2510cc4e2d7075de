#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AsNobody.h"
#include "files/OutputFile.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_output_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    void put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
    }

    fs::path dir;
};

}  // namespace

// An editor saving a source by rename gives up the file the run recorded: that file, still
// alive under another name (here a hard link; in a run, the inode taken by a new output), is no
// source any more. The file now under the source's name is, once recorded again.
TEST_F(OutputFileTest, AnIdentityASourceGaveUpNoLongerCounts)
{
    put("U.pas", "old text");
    TSourceIds sources;
    sources.add(path("U.pas"));
    fs::create_hard_link(dir / "U.pas", dir / "kept.txt");
    put("U.pas.new", "new text");
    fs::rename(dir / "U.pas.new", dir / "U.pas");

    TOutputFile out;
    ASSERT_TRUE(out.open(path("kept.txt"), &sources)) << out.reason();
    out.write("listing");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(slurp(dir / "kept.txt"), "listing");

    sources.add(path("U.pas"));
    EXPECT_FALSE(out.open(path("U.pas"), &sources));
    EXPECT_EQ(out.message(),
              "Cannot create file " + path("U.pas") + ": it is a source of this run");
    EXPECT_EQ(slurp(dir / "U.pas"), "new text");
}

// Until it is closed the old file stays as it was; a closed output replaces it with its
// permissions kept; nothing but the output is left in the folder.
TEST_F(OutputFileTest, AnOutputReplacesTheOldOneWholeOrNotAtAll)
{
    put("out.txt", "old");
    fs::permissions(dir / "out.txt",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        TOutputFile out;
        ASSERT_TRUE(out.openIn(dir.string(), "out.txt"));
        out.write("half of it");
        EXPECT_EQ(slurp(dir / "out.txt"), "old");
    }  // dropped unclosed
    EXPECT_EQ(slurp(dir / "out.txt"), "old");

    TOutputFile out;
    ASSERT_TRUE(out.openIn(dir.string(), "sub/deeper/new.txt"));
    out.write("made with its folders");
    ASSERT_TRUE(out.close());
    ASSERT_TRUE(out.openIn(dir.string(), "out.txt"));
    out.write("first try");
    ASSERT_TRUE(out.rewind());
    out.write("new");
    ASSERT_TRUE(out.close());
    EXPECT_EQ(slurp(dir / "out.txt"), "new");
    EXPECT_EQ(fs::status(dir / "out.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(slurp(dir / "sub" / "deeper" / "new.txt"), "made with its folders");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2);

    EXPECT_FALSE(out.openIn(dir.string(), "../escaped.txt"));
    EXPECT_FALSE(out.openIn(dir.string(), "sub"));
    EXPECT_EQ(out.reason(), "Is a directory");
}

// A folder that takes no new file, holding a file that may be written: that file is written in
// place, as it always could be.
TEST_F(OutputFileTest, AWritableFileInAFolderThatTakesNoNewOneIsWrittenInPlace)
{
    put("out.txt", "old");
    fs::permissions(dir / "out.txt", fs::perms::all);
    {
        tabulex::testing::AsNobodyForFiles nobody;
        TOutputFile out;
        ASSERT_TRUE(out.open(path("out.txt"))) << out.reason();
        out.write("first");
        ASSERT_TRUE(out.rewind());
        out.write("new");
        ASSERT_TRUE(out.close());
        EXPECT_FALSE(out.open(path("other.txt")));
        EXPECT_EQ(out.reason(), "Permission denied");
    }
    EXPECT_EQ(slurp(dir / "out.txt"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

// A device cannot be replaced: it is written as it is, and what it took cannot be taken back.
TEST_F(OutputFileTest, DevicesAreWrittenAsTheyAre)
{
    TOutputFile out;
    ASSERT_TRUE(out.open("/dev/null"));
    out.write("gone");
    EXPECT_FALSE(out.rewind());
    EXPECT_EQ(out.reason(), "Illegal seek");
    EXPECT_TRUE(out.open("/dev/null"));
    EXPECT_TRUE(out.close());
}
