// Hostile and degenerate sources straight through the analysis layer: files that are not
// files, files too long for the lexer, and texts built to push the builders to their limits.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/DeclarationScanner.h"
#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingWriter.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

class ScratchDir {
public:
    ScratchDir()
        : path_(fs::temp_directory_path() / ("tabulex_badinput_" + std::to_string(::getpid())))
    {
        fs::create_directories(path_);
    }
    ~ScratchDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::string repeated(const std::string& piece, int count)
{
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

TEST(BadInputFile, FileLongerThanTheLexerCanWalkIsRefusedWithoutReadingIt)
{
    ScratchDir dir;
    const std::string path = dir.file("huge.pas");
    // A sparse file: its length costs no disk space, and reading it would cost 2 GiB of memory.
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, static_cast<off_t>(kMaxSourceBytes) + 1) == 0;
    ::close(fd);
    if (!sized)
        GTEST_SKIP() << "this file system cannot hold a sparse file of 2 GiB";
    try {
        read_file_bytes(path);
        FAIL() << "a 2 GiB file was read";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot open file " + path);
    }
}

// A named pipe without a writer would block the open forever; it is no source file.
TEST(BadInputFile, NamedPipeIsRefusedAtOnce)
{
    ScratchDir dir;
    const std::string path = dir.file("pipe.pas");
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    EXPECT_THROW(read_file_bytes(path), EFOpenError);
}

// A file that opens but fails on reading, whoever reads it (also root).
TEST(BadInputFile, ReadErrorIsAnOpenError)
{
    std::error_code ec;
    if (!fs::is_regular_file("/proc/self/mem", ec))
        GTEST_SKIP() << "no /proc/self/mem to read from here";
    EXPECT_THROW(read_file_bytes("/proc/self/mem"), EFOpenError);
}

TEST(BadInputFile, EmptyFileAndEmptyTextGiveNothing)
{
    ScratchDir dir;
    const std::string path = dir.file("empty.pas");
    std::ofstream(path).close();
    const std::string bytes = read_file_bytes(path);
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(build_listing(bytes, {}).empty());
    const TDeclarationLists lists = scan_declarations(bytes);
    EXPECT_TRUE(lists.uses.empty());
}

// 10,000 nested blocks, one per line, then their ends: every level is marked and every end
// names the line of its own begin.
TEST(BadInputText, TenThousandNestedBlocks)
{
    constexpr int kDepth = 10000;
    const std::string text =
        "implementation\n" + repeated("begin\n", kDepth) + repeated("end;\n", kDepth);
    TListingSettings settings;
    settings.Identacao = 1;  // "Só números": short lines, the level numbers alone
    const StringList listing = build_listing(text, settings);
    ASSERT_EQ(listing.size(), 1u + 2 * kDepth);
    EXPECT_EQ(listing[1], "0002  1 begin");
    EXPECT_EQ(listing[kDepth], "10001  10000 begin");
    EXPECT_EQ(listing[kDepth + 1], "10002  10000 end; ///-10001-///");
    EXPECT_EQ(listing[2 * kDepth], "20001  1 end; ///-2-///");

    // The column style writes one marker per open level up to kMaxColumnMarkers: the deepest
    // line carries that many, not 9,999, so the listing grows with the file, not its depth.
    const StringList columns = build_listing(text, TListingSettings{});
    ASSERT_EQ(columns.size(), 1u + 2 * kDepth);
    EXPECT_EQ(columns[kDepth], "10001 " + std::string(kMaxColumnMarkers, '|') + "{10000}begin");
    EXPECT_EQ(columns[2 * kDepth], "20001 {1}end; ///-2-///");

    const TDeclarationLists lists = scan_declarations(text);
    EXPECT_TRUE(lists.routines.size() <= 5u);
}

// 100,000 comment openers that never close: the first one swallows the rest of the text, and
// each of its lines is still listed on its own.
TEST(BadInputText, HundredThousandUnclosedComments)
{
    constexpr int kLines = 100000;
    const std::string text = "implementation\r\nbegin\r\n" + repeated("{ open (* open\r\n", kLines);
    TListingSettings settings;
    settings.Identacao = 2;
    const StringList listing = build_listing(text, settings);
    ASSERT_EQ(listing.size(), 2u + kLines);
    EXPECT_EQ(listing[2], "0003   { open (* open");
    EXPECT_EQ(listing.back(), "100002   { open (* open");

    const TDeclarationLists lists = scan_declarations(text);
    EXPECT_EQ(lists.xref.size(), 3u);  // headings only: nothing declared
}

}  // namespace
