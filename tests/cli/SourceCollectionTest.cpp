#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "AsNobody.h"
#include "cli/OutputNames.h"
#include "cli/SourceCollection.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

class SourceCollectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_sources_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void touch(const std::string& relative)
    {
        fs::create_directories((dir / relative).parent_path());
        std::ofstream(dir / relative) << "unit x;\n";
    }

    std::vector<TSourceFile>
    collect(const std::vector<std::string>& args,
            const TSourceExtensions& extensions = default_source_extensions())
    {
        messages.clear();
        return collect_sources(args, extensions,
                               [this](const std::string& m) { messages.push_back(m); });
    }

    static std::vector<std::string> relatives(const std::vector<TSourceFile>& sources)
    {
        std::vector<std::string> result;
        for (const TSourceFile& source : sources)
            result.push_back(source.relative);
        return result;
    }

    fs::path dir;
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(SourceCollectionTest, FolderGivesItsSourcesInByteOrderOfPathsWithoutLooping)
{
    for (const char* name : {"a/Unit1.pas", "a/Unit1.DFM", "a/notes.txt", "a-b/x.pp",
                             "sub/deeper/y.lpr", "sub/z.P", ".pas", "b/readme"})
        touch(name);
    fs::create_directory_symlink("../..", dir / "sub" / "deeper" / "back");  // would loop
    fs::create_symlink("missing.pas", dir / "broken.pas");

    const std::string root = dir.string() + "/";
    const auto sources = collect({root});
    EXPECT_TRUE(messages.empty());
    // "a-b/" sorts before "a/" since '-' is below '/'; upper case before lower case.
    EXPECT_EQ(relatives(sources),
              (std::vector<std::string>{"a-b/x.pp", "a/Unit1.DFM", "a/Unit1.pas", "broken.pas",
                                        "sub/deeper/y.lpr", "sub/z.P"}));
    EXPECT_EQ(sources[1].path, root + "a/Unit1.DFM");

    // Only the chosen extensions; file arguments are taken whatever their name, missing or not,
    // and keep their place among the arguments.
    const auto chosen = collect(
        {(dir / "b" / "readme").string(), (dir / "a").string(), "nothing.here"}, {".dfm", ".txt"});
    ASSERT_EQ(chosen.size(), 4u);
    EXPECT_FALSE(chosen[0].fromFolder());
    EXPECT_EQ(relatives(chosen), (std::vector<std::string>{"", "Unit1.DFM", "notes.txt", ""}));
    EXPECT_EQ(chosen[1].path, (dir / "a").string() + "/Unit1.DFM");
    EXPECT_EQ(chosen[3].path, "nothing.here");
}

// Twenty-five folders, each holding two links to the next: 2^24 paths, but each folder is read
// once, under the first of its paths in byte order.
TEST_F(SourceCollectionTest, EachFolderIsReadOnceWhateverTheLinks)
{
    constexpr int kFolders = 25;
    for (int i = 0; i < kFolders; ++i) {
        const std::string folder = "f" + std::string(i < 10 ? "0" : "") + std::to_string(i);
        touch(folder + "/U.pas");
        if (i + 1 == kFolders)
            continue;
        const std::string next =
            "../f" + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1);
        fs::create_directory_symlink(next, dir / folder / "a");
        fs::create_directory_symlink(next, dir / folder / "b");
    }
    const auto sources = collect({dir.string()});
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(sources.size(), static_cast<std::size_t>(kFolders));
    EXPECT_EQ(sources[0].relative, "f00/U.pas");
    // "f00/a" comes before "f01", so every later folder is read through the first links.
    std::string last = "f00";
    for (int i = 1; i < kFolders; ++i)
        last += "/a";
    EXPECT_EQ(sources.back().relative, last + "/U.pas");
}

TEST_F(SourceCollectionTest, FoldersWithoutSourcesOrUnreadableAreReported)
{
    touch("empty/readme.txt");
    EXPECT_TRUE(collect({(dir / "empty").string()}).empty());
    EXPECT_EQ(messages,
              std::vector<std::string>{"No source file in folder " + (dir / "empty").string()});

    touch("locked/inner/a.pas");
    touch("locked/b.pas");
    fs::permissions(dir / "locked" / "inner", fs::perms::none);
    std::vector<TSourceFile> sources;
    {
        tabulex::testing::AsNobodyForFiles nobody;
        sources = collect({(dir / "locked").string()});
    }
    fs::permissions(dir / "locked" / "inner", fs::perms::owner_all);
    EXPECT_EQ(relatives(sources), std::vector<std::string>{"b.pas"});
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot read folder " +
                                                 (dir / "locked" / "inner").string()});
}

TEST(SourceExtensionsTest, ListIsReadWithoutRegardToCaseOrDots)
{
    std::string error;
    EXPECT_EQ(parse_source_extensions("PAS,.inc,pas", error), (TSourceExtensions{".pas", ".inc"}));
    for (const char* bad : {"", "pas,", ",pas", "pas,,inc", ".", "a/b"}) {
        EXPECT_FALSE(parse_source_extensions(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(has_source_extension("dir.pas/Unit1.PaS", {".pas"}));
    EXPECT_FALSE(has_source_extension("dir.pas/Unit1", {".pas"}));
    EXPECT_FALSE(has_source_extension("x.pass", {".pas"}));
}

TEST(OutputNamesTest, EverySourceKeepsAnOutputOfItsOwn)
{
    TOutputNames names("out", ".txt");
    // File arguments: the name "Gravar" proposes; a clash gets a number, also with a source
    // whose own name looks like a numbered one.
    EXPECT_EQ(names.next({"a/unit1.pas", ""}), "out/unit1.txt");
    EXPECT_EQ(names.next({"b/unit1.pas", ""}), "out/unit1~2.txt");
    EXPECT_EQ(names.next({"c/unit1~2.pas", ""}), "out/unit1~2~2.txt");
    EXPECT_EQ(names.next({"d/UNIT1.dpr", ""}), "out/UNIT1~3.txt");
    // Sources from folders mirror their folders and keep their whole name: a unit and its form.
    EXPECT_EQ(names.next({"src/sub/Unit1.pas", "sub/Unit1.pas"}), "out/sub/Unit1.pas.txt");
    EXPECT_EQ(names.next({"src/sub/Unit1.dfm", "sub/Unit1.dfm"}), "out/sub/Unit1.dfm.txt");
    EXPECT_EQ(names.next({"other/sub/Unit1.pas", "sub/Unit1.pas"}), "out/sub/Unit1.pas~2.txt");
}
