// Outputs of every kind (text, PDF, saved report, HTML) never destroy what is on disk: not a
// source of the run, not a file a planted link leads to, not the old output when writing fails.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "CliSupport.h"
#include "cli/CliRunner.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::testing::CliRun;
using tabulex::testing::runCli;
using tabulex::testing::runCliProcess;
using tabulex::testing::slurp;
using tabulex::testing::spit;

namespace {

const std::string kUnit = "unit U;\r\ninterface\r\nimplementation\r\nend.\r\n";

class CliOutputSafetyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_cli_safety_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        spit(dir / "U.pas", kUnit);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Names of the files left in `folder`, to see that no temporary file stays behind.
    static std::vector<std::string> names(const fs::path& folder)
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path dir;
};

}  // namespace

// The source given as the output, the arguments swapped, a link to the source, a source in the
// HTML folder under the name of the edition's own script.
TEST_F(CliOutputSafetyTest, NoOutputReplacesASource)
{
    CliRun same = runCli({"--pdf", path("U.pas"), path("U.pas")});
    EXPECT_EQ(same.status, CliSourceFailed);
    EXPECT_EQ(same.err, "Cannot create file " + path("U.pas") + ": it is a source of this run\n");

    ASSERT_EQ(runCli({"--pdf", path("U.pdf"), path("U.pas")}).status, CliOk);
    CliRun swapped = runCli({"--pdf", path("U.pas"), path("U.pdf")});
    EXPECT_EQ(swapped.status, CliSourceFailed);
    EXPECT_NE(swapped.err.find("Cannot create file " + path("U.pas") +
                               ": it has the name of a source file\n"),
              std::string::npos)
        << swapped.err;
    CliRun text = runCli({"--output", path("U.pas"), path("U.pdf")});
    EXPECT_EQ(text.status, CliSourceFailed);

    fs::create_symlink("U.pas", dir / "link.rpf");
    CliRun linked = runCli({"--report", path("link.rpf"), path("U.pas")});
    EXPECT_EQ(linked.status, CliSourceFailed);
    EXPECT_EQ(linked.err,
              "Cannot create file " + path("link.rpf") + ": it is a source of this run\n");
    EXPECT_EQ(slurp(dir / "U.pas"), kUnit);

    fs::create_directory(dir / "site");
    spit(dir / "site" / "tabulex.js", kUnit);
    CliRun html = runCli({"--html", path("site"), path("site/tabulex.js")});
    EXPECT_EQ(html.status, CliSourceFailed);
    EXPECT_EQ(html.err,
              "Cannot create file " + path("site/tabulex.js") + ": it is a source of this run\n");
    EXPECT_EQ(slurp(dir / "site" / "tabulex.js"), kUnit);
    EXPECT_TRUE(fs::exists(dir / "site" / "index.html"));
}

// Below an output folder a link is never followed: neither as an output's name nor as one of
// the mirrored folders. A link named as a single output leads to the file it names, which is
// replaced while the link stays.
TEST_F(CliOutputSafetyTest, LinksPlantedInAnOutputFolderAreRefused)
{
    spit(dir / "precious.txt", "precious\n");
    fs::create_directories(dir / "out");
    fs::create_symlink("../precious.txt", dir / "out" / "U.txt");
    CliRun text = runCli({"--out-dir", path("out"), path("U.pas")});
    EXPECT_EQ(text.status, CliSourceFailed);
    EXPECT_EQ(text.err, "Cannot create file " + path("out") + "/U.txt: it is a link\n");

    fs::create_directories(dir / "tree" / "sub");
    spit(dir / "tree" / "sub" / "V.pas", kUnit);
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink("../elsewhere", dir / "out" / "sub");
    CliRun mirrored = runCli({"--out-dir", path("out"), path("tree")});
    EXPECT_EQ(mirrored.status, CliSourceFailed);
    EXPECT_EQ(mirrored.err, "Cannot create file " + path("out") + "/sub/V.pas.txt: " + path("out") +
                                "/sub is a link\n");
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    fs::create_directories(dir / "site");
    fs::create_symlink("../precious.txt", dir / "site" / "tabulex.css");
    CliRun html = runCli({"--html", path("site"), path("U.pas")});
    EXPECT_EQ(html.status, CliSourceFailed);
    EXPECT_EQ(html.err, "Cannot create file " + path("site/tabulex.css") + ": it is a link\n");
    EXPECT_EQ(slurp(dir / "precious.txt"), "precious\n");

    fs::create_symlink("precious.txt", dir / "named.txt");
    EXPECT_EQ(runCli({"--output", path("named.txt"), path("U.pas")}).status, CliOk);
    EXPECT_TRUE(fs::is_symlink(dir / "named.txt"));
    EXPECT_TRUE(slurp(dir / "precious.txt").starts_with("0001   unit U;"));
}

// Every write past 256 KB fails ("File too large", as a full disk fails it): each kind of
// output reports the system's reason, keeps the old file whole and leaves no temporary file.
// (The reason with the path is checked for the text in CliBadInputTest.)
TEST_F(CliOutputSafetyTest, AFailedOutputKeepsTheOldOne)
{
    std::string big = "implementation\r\n";
    for (int i = 0; i < 30000; ++i)
        big += "begin X := 1; end;\r\n";
    spit(dir / "big.pas", big);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "site");
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {"out/big.txt", {"--output", path("out/big.txt"), path("big.pas")}},
        {"out/big.pdf", {"--pdf", path("out/big.pdf"), path("big.pas")}},
        {"out/big.rpf", {"--report", path("out/big.rpf"), path("big.pas")}},
        {"site/big.pas.html", {"--html", path("site"), path("big.pas")}}};
    for (const auto& [output, args] : runs) {
        spit(dir / output, "the old output\n");
        const CliRun r = runCliProcess(args, RLIMIT_FSIZE, 256 * 1024);
        EXPECT_EQ(r.status, CliSourceFailed) << output;
        // The saved report's pages fill their own store first, which fails the same way.
        EXPECT_NE(r.err.find(": File too large\n"), std::string::npos) << r.err;
        EXPECT_EQ(slurp(dir / output), "the old output\n");
    }
    EXPECT_EQ(names(dir / "out"), (std::vector<std::string>{"big.pdf", "big.rpf", "big.txt"}));
    EXPECT_EQ(names(dir / "site"),
              (std::vector<std::string>{"big.pas.html", "index.html", "tabulex-dados",
                                        "tabulex.css", "tabulex.js"}));
}

// The HTML edition of a source whose page needs more memory than there is: that page fails
// with the reason, and the other pages and the index are still written. The address space is
// bounded with RLIMIT_AS, which the sanitizers' own reservations do not fit in.
TEST_F(CliOutputSafetyTest, AnHtmlPageTooLargeForTheMemoryFailsAlone)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit leaves AddressSanitizer no room";
#endif
    std::string big = "implementation\r\n";
    for (int i = 0; i < 400000; ++i)
        big += "begin X := 1; end;\r\n";
    spit(dir / "big.pas", big);
    const CliRun r =
        runCliProcess({"--jobs", "1", "--html", path("site"), path("U.pas"), path("big.pas")},
                      RLIMIT_AS, 48 * 1024 * 1024);
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_EQ(r.err,
              "Cannot create file " + path("site") + "/big.pas.html: Cannot allocate memory\n");
    EXPECT_EQ(names(dir / "site"),
              (std::vector<std::string>{"U.pas.html", "index.html", "tabulex-dados", "tabulex.css",
                                        "tabulex.js"}));
    EXPECT_NE(slurp(dir / "site" / "index.html").find("U.pas.html"), std::string::npos);
}

// A source that cannot even be read for lack of memory is reported, not written as an empty
// page of a run that says it succeeded.
TEST_F(CliOutputSafetyTest, ASourceTooLargeToReadIsReported)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit leaves AddressSanitizer no room";
#endif
    spit(dir / "big.pas", "implementation\r\n" + std::string(16 << 20, ' ') + "end.\r\n");
    const CliRun r = runCliProcess({"--jobs", "1", "--html", path("site"), path("big.pas")},
                                   RLIMIT_AS, 12 * 1024 * 1024);
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_NE(r.err.find("Cannot open file " + path("big.pas") + "\n"), std::string::npos) << r.err;
}

// A NUL byte ends the listing early: every kind of output is still written, and the source is
// reported with the offset of the NUL.
TEST_F(CliOutputSafetyTest, ANulByteInASourceIsReported)
{
    spit(dir / "nul.pas", std::string("unit U;\r\n\0end.\r\n", 16));
    const std::string message = path("nul.pas") + ": NUL byte at offset 9 ends the listing\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--output", path("nul.txt"), path("nul.pas")},
          std::vector<std::string>{"--pdf", path("nul.pdf"), path("nul.pas")},
          std::vector<std::string>{"--html", path("site"), path("nul.pas")}}) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, CliSourceFailed) << args[0];
        EXPECT_EQ(r.err, message) << args[0];
    }
    EXPECT_TRUE(slurp(dir / "nul.txt").starts_with("0001   unit U;\r\n"));
    EXPECT_TRUE(fs::exists(dir / "nul.pdf"));
    EXPECT_TRUE(fs::exists(dir / "site" / "nul.pas.html"));
}
