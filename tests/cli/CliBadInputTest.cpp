// Bad input end to end through the batch command: sources that are no Pascal text or no file
// at all, texts built to stress the builders, outputs that cannot be written, settings files
// that are no settings files. Every case ends with a message or a result, and leaves what was
// already on disk as it was.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AsNobody.h"
#include "CliSupport.h"
#include "analysis/ListingWriter.h"
#include "cli/CliRunner.h"

namespace fs = std::filesystem;
using namespace tabulex;

using tabulex::testing::AsNobodyForFiles;
using tabulex::testing::CliRun;
using tabulex::testing::runCli;
using tabulex::testing::slurp;
using tabulex::testing::spit;

namespace {

std::size_t count(const std::string& text, const std::string& piece)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size()))
        ++n;
    return n;
}

// A tiny PNG: signature, header chunk, empty data chunk, end chunk (checksums not checked).
std::string tiny_png()
{
    using namespace std::string_literals;
    return "\x89PNG\r\n\x1a\n"s + "\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde"s +
           "\0\0\0\0IDAT\0\0\0\0"s + "\0\0\0\0IEND\xae\x42\x60\x82"s;
}

class CliBadInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_cli_bad_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        spit(dir / "ok.pas", "unit Ok;\r\ninterface\r\nimplementation\r\nend.\r\n");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(CliBadInputTest, FileWithoutReadPermissionIsReportedAndTheOthersProcessed)
{
    spit(dir / "secret.pas", "unit Secret;\r\n");
    fs::permissions(dir / "secret.pas", fs::perms::none);
    fs::create_directories(dir / "out");
    fs::permissions(dir / "out", fs::perms::all);
    CliRun r;
    {
        AsNobodyForFiles nobody;
        if (std::FILE* probe = std::fopen(path("secret.pas").c_str(), "rb")) {
            std::fclose(probe);
            GTEST_SKIP() << "permission bits do not stop this user and it cannot act as nobody";
        }
        r = runCli({"--out-dir", path("out"), path("secret.pas"), path("ok.pas")});
    }
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_EQ(r.err, "Cannot open file " + path("secret.pas") + "\n");
    EXPECT_TRUE(fs::exists(dir / "out" / "ok.txt"));
    EXPECT_EQ(slurp(dir / "secret.pas"), "unit Secret;\r\n");
}

TEST_F(CliBadInputTest, EmptyAndBinaryFilesGiveListingsUpToTheirFirstNul)
{
    spit(dir / "empty.pas", "");
    CliRun empty = runCli({path("empty.pas")});
    EXPECT_EQ(empty.status, CliOk);
    EXPECT_EQ(empty.err, "");
    EXPECT_EQ(empty.out.find("0001"), std::string::npos);

    // The signature's two line breaks complete two lines; the NUL of the first chunk ends the text,
    // which is reported: the output is written, and the run fails.
    spit(dir / "image.png", tiny_png());
    CliRun png = runCli({"--output", path("image.txt"), path("image.png")});
    EXPECT_EQ(png.status, CliSourceFailed);
    EXPECT_EQ(png.err, path("image.png") + ": NUL byte at offset 8 ends the listing\n");
    EXPECT_TRUE(slurp(dir / "image.txt").starts_with("0001   \x89PNG\r\n0002   \x1a\r\n "));
    EXPECT_EQ(count(slurp(dir / "image.txt"), "000"), 2u);

    // An executable: its header holds a NUL within the first eight bytes.
    const fs::path executable = "/bin/ls";
    if (fs::is_regular_file(executable)) {
        CliRun elf = runCli({executable.string()});
        EXPECT_EQ(elf.status, CliSourceFailed);
        EXPECT_TRUE(elf.err.starts_with("/bin/ls: NUL byte at offset ")) << elf.err;
        EXPECT_EQ(elf.out.find("0001"), std::string::npos);
    }

    // UTF-16 with its byte-order mark is read as UTF-8 text, the mark becoming UTF-8's.
    spit(dir / "wide.pas", std::string("\xff\xfeu\0n\0i\0t\0 \0U\0;\0\r\0\n\0", 20));
    CliRun wide = runCli({path("wide.pas")});
    EXPECT_EQ(wide.status, CliOk);
    EXPECT_EQ(wide.err, "");
    EXPECT_TRUE(wide.out.starts_with("0001   \xEF\xBB\xBFunit U;\r\n")) << wide.out;
}

TEST_F(CliBadInputTest, DeepNestingAndUnclosedCommentsAreListedInFull)
{
    std::string deep = "implementation\r\nprocedure P;\r\n";
    for (int i = 0; i < 10000; ++i)
        deep += "begin ";
    deep += "\r\n";
    for (int i = 0; i < 10000; ++i)
        deep += "end; ";
    deep += "\r\n";
    spit(dir / "deep.pas", deep);
    CliRun nested = runCli({"--output", path("deep.txt"), path("deep.pas")});
    EXPECT_EQ(nested.status, CliOk);
    const std::string listing = slurp(dir / "deep.txt");
    // The routine's begin and 9,999 more on line 3, its columns capped; all their ends on
    // line 4.
    EXPECT_NE(
        listing.find("\r\n0003 " + std::string(kMaxColumnMarkers, '|') + "{10000}begin begin "),
        std::string::npos);
    EXPECT_NE(listing.find("\r\n0004 {1}end; end; "), std::string::npos);
    EXPECT_NE(listing.find("end;  ///-3-///\r\n"), std::string::npos);

    std::string comments = "implementation\r\n";
    for (int i = 0; i < 100000; ++i)
        comments += "(* never closed { either\r\n";
    spit(dir / "comments.pas", comments);
    CliRun open = runCli({"--output", path("comments.txt"), path("comments.pas")});
    EXPECT_EQ(open.status, CliOk);
    const std::string text = slurp(dir / "comments.txt");
    EXPECT_EQ(count(text, "(* never closed { either\r\n"), 100000u);
    EXPECT_NE(text.find("100001   (* never closed { either\r\n"), std::string::npos);
}

TEST_F(CliBadInputTest, ExportToAFullDeviceFailsWithAMessage)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    CliRun r = runCli({"--output", "/dev/full", path("ok.pas")});
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_EQ(r.err, "Cannot create file /dev/full: No space left on device\n");
    EXPECT_EQ(slurp(dir / "ok.pas"), "unit Ok;\r\ninterface\r\nimplementation\r\nend.\r\n");
}

// On a small file system of its own that fills up: the export fails with the system's reason,
// and the files already there (the old output, another export, the source) keep their bytes;
// nothing else is left behind. Needs a mount, so it runs in a child with a private mount
// namespace; where mounting is refused it is skipped.
TEST_F(CliBadInputTest, ExportToAFullFileSystemKeepsWhatWasThere)
{
    const fs::path small = dir / "small";
    fs::create_directories(small);
    std::string big = "implementation\r\n";
    for (int i = 0; i < 20000; ++i)
        big += "begin X := 1; end;\r\n";
    spit(dir / "big.pas", big);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        spit(small / "earlier.txt", "an earlier export\r\n");
        spit(small / "big.txt", "the old listing\r\n");
        CliRun r = runCli({"--output", (small / "big.txt").string(), (dir / "big.pas").string()});
        const bool ok = r.status == CliSourceFailed &&
                        r.err == "Cannot create file " + (small / "big.txt").string() +
                                     ": No space left on device\n" &&
                        slurp(small / "earlier.txt") == "an earlier export\r\n" &&
                        slurp(small / "big.txt") == "the old listing\r\n" &&
                        slurp(dir / "big.pas") == big &&
                        std::distance(fs::directory_iterator(small), {}) == 2;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP()
            << "mounting a small tmpfs is refused here; the full disk is covered by /dev/full only";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "export to the full file system misbehaved";
}

TEST_F(CliBadInputTest, SettingsThatAreNoSettingsFileGiveTheDefaults)
{
    const CliRun plain = runCli({path("ok.pas")});
    for (const std::string& settings : {std::string("/bin/ls"), path("ok.pas")}) {
        CliRun r = runCli({"--settings", settings, path("ok.pas")});
        EXPECT_EQ(r.status, CliOk) << settings;
        EXPECT_EQ(r.out, plain.out) << settings;
    }
}

// Settings named on the command line that cannot be read stop the run before any output.
TEST_F(CliBadInputTest, SettingsThatCannotBeReadAreAnError)
{
    for (const auto& [settings, reason] :
         {std::pair{path("missing.ini"), std::string("No such file or directory")},
          std::pair{dir.string(), std::string("Is a directory")}}) {
        CliRun r = runCli({"--settings", settings, "--output", path("ok.txt"), path("ok.pas")});
        EXPECT_EQ(r.status, CliSourceFailed);
        EXPECT_EQ(r.err, "Cannot read settings file " + settings + ": " + reason + "\n");
        EXPECT_FALSE(fs::exists(dir / "ok.txt"));
    }
}

// The report takes one or two columns: a column count beyond them is taken as the window's
// radio group shows it (the last choice, or none), never computed past the end of an int.
TEST_F(CliBadInputTest, ColumnCountsBeyondTheReportsChoicesAreClamped)
{
    std::string lines = "implementation\r\n";
    for (int i = 0; i < 400; ++i)
        lines += "begin X := 1; end;\r\n";
    spit(dir / "long.pas", lines);
    const auto pages = [&](const std::string& colunas) {
        spit(dir / "columns.ini", "[Relatorio]\r\ncolunas=" + colunas + "\r\n");
        const CliRun r = runCli(
            {"--settings", path("columns.ini"), "--report", path("long.rpf"), path("long.pas")});
        EXPECT_EQ(r.status, CliOk) << colunas << r.err;
        const std::string header = slurp(dir / "long.rpf").substr(8, 4);
        return header.size() == 4 ? static_cast<unsigned char>(header[0]) : -1;
    };
    const int two = pages("1");
    EXPECT_LT(two, pages("0"));
    EXPECT_EQ(pages("2147483647"), two);
    EXPECT_EQ(pages("-2147483648"), two);  // no choice: the report keeps its two columns
}

// The settings file sits beside the executable, which is read-only: reading and using it works,
// and the executable keeps its bytes.
TEST_F(CliBadInputTest, SettingsBesideAReadOnlyExecutable)
{
    const fs::path exe = dir / "tabulex-cli";
    fs::copy_file("/bin/true", exe);
    fs::permissions(exe, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    const std::string exeBytes = slurp(exe);
    spit(dir / "tabulex-cli.ini", "[Identacao]\r\nTipo=2\r\n[Numeracao]\r\nLinhas=0\r\n[Relatorio]"
                                  "\r\nxref=0\r\nproc_func=0\r\nunits=0\r\n");

    CliRun r = runCli({"--settings", path("tabulex-cli.ini"), path("ok.pas")});
    EXPECT_EQ(r.status, CliOk);
    EXPECT_EQ(r.out, "  unit Ok;\r\n  interface\r\n  implementation\r\n  end.\r\n");
    EXPECT_EQ(slurp(exe), exeBytes);
}

}  // namespace

namespace {

// An output that names a source of the run would replace that source with its own listing.
TEST_F(CliBadInputTest, OutputNeverReplacesASource)
{
    const std::string source = slurp(dir / "ok.pas");
    CliRun same = runCli({"--output", path("ok.pas"), path("ok.pas")});
    EXPECT_EQ(same.status, CliSourceFailed);
    EXPECT_EQ(same.err, "Cannot create file " + path("ok.pas") + ": it is a source of this run\n");
    EXPECT_EQ(slurp(dir / "ok.pas"), source);

    // Under --out-dir the first source's output name is the second source, still to be read.
    spit(dir / "ok.txt", "notes that are a source too\r\n");
    CliRun clash = runCli({"--out-dir", dir.string(), path("ok.pas"), path("ok.txt")});
    EXPECT_EQ(clash.status, CliSourceFailed);
    EXPECT_EQ(slurp(dir / "ok.txt"), "notes that are a source too\r\n");
    EXPECT_EQ(slurp(dir / "ok.pas"), source);
}

}  // namespace
