#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "CliSupport.h"
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/PdfRun.h"
#include "cli/ReportModule.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::testing::CliRun;
using tabulex::testing::runCli;
using tabulex::testing::slurp;

namespace {

const char* const kExample =
    "unit Exemplo;\r\ninterface\r\nimplementation\r\n"
    "Function Form1.IntPower (vlr,exp:integer):Integer;\r\n"
    "Var  F_int:integer;\r\nBegin\r\n    Result := 1;\r\n"
    "    For f_int := 1 To exp Do Begin\r\n        Result := Result * vlr;\r\n"
    "    End;\r\nEnd;\r\nend.\r\n";

const char* const kExampleListing = "0001   unit Exemplo;\r\n"
                                    "0002   interface\r\n"
                                    "0003   implementation\r\n"
                                    "0004 {1}Function Form1.IntPower (vlr,exp:integer):Integer;\r\n"
                                    "0005 |Var  F_int:integer;\r\n"
                                    "0006 >>>Begin\r\n"
                                    "0007 |    Result := 1;\r\n"
                                    "0008 |{2}    For f_int := 1 To exp Do Begin\r\n"
                                    "0009 ||        Result := Result * vlr;\r\n"
                                    "0010 |{2}    End; ///-8-///\r\n"
                                    "0011 {1}End; ///-6-///\r\n"
                                    "0012   end.\r\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_cli_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        std::ofstream(dir / "Exemplo.pas", std::ios::binary) << kExample;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

}  // namespace

TEST_F(CliTest, ListingOnlySettingsReproduceTheWorkedExampleByteForByte)
{
    std::ofstream(dir / "only-listing.ini", std::ios::binary)
        << "[Relatorio]\r\nxref=0\r\nproc_func=0\r\nunits=0\r\n";
    CliRun r = runCli({"--settings", path("only-listing.ini"), path("Exemplo.pas")});
    EXPECT_EQ(r.status, CliOk);
    EXPECT_EQ(r.out, kExampleListing);
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, DefaultsWriteAllFourSectionsToFileOrStdout)
{
    CliRun toStdout = runCli({path("Exemplo.pas")});
    EXPECT_EQ(toStdout.status, CliOk);
    EXPECT_EQ(toStdout.out.rfind(kExampleListing, 0), 0u);
    EXPECT_NE(toStdout.out.find("Procedures / Functions : 1\r\n"), std::string::npos);

    CliRun toFile = runCli({"--output", path("out.txt"), path("Exemplo.pas")});
    EXPECT_EQ(toFile.status, CliOk);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(slurp(dir / "out.txt"), toStdout.out);

    // Settings named on the command line must be there (unlike "Ler", which takes the defaults).
    CliRun missingSettings = runCli({"--settings", path("none.ini"), path("Exemplo.pas")});
    EXPECT_EQ(missingSettings.status, CliSourceFailed);
    EXPECT_EQ(missingSettings.out, "");
}

TEST_F(CliTest, SeveralSourcesNeedOutDirAndGetProposedNames)
{
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    std::ofstream(dir / "a" / "unit1.pas", std::ios::binary) << kExample;
    std::ofstream(dir / "b" / "unit1.pas", std::ios::binary) << "program P;\r\nbegin\r\nend.\r\n";
    fs::create_directories(dir / "out");

    CliRun r = runCli(
        {"--out-dir", path("out"), path("Exemplo.pas"), path("a/unit1.pas"), path("b/unit1.pas")});
    EXPECT_EQ(r.status, CliOk);
    EXPECT_TRUE(fs::exists(dir / "out" / "Exemplo.txt"));
    EXPECT_EQ(slurp(dir / "out" / "unit1.txt").rfind("0001   unit Exemplo;", 0), 0u);
    // Two sources of the same name: the second output does not overwrite the first.
    EXPECT_EQ(slurp(dir / "out" / "unit1~2.txt").rfind("0001   program P;", 0), 0u);
}

TEST_F(CliTest, UnreadableSourceIsReportedAndTheOthersStillProcessed)
{
    fs::create_directories(dir / "out");
    CliRun r = runCli({"--out-dir", path("out"), path("missing.pas"), path("Exemplo.pas")});
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_EQ(r.err, "Cannot open file " + path("missing.pas") + "\n");
    EXPECT_TRUE(fs::exists(dir / "out" / "Exemplo.txt"));

    // A folder stands for several sources, which need --out-dir.
    CliRun directory = runCli({dir.string()});
    EXPECT_EQ(directory.status, CliUsage);
    EXPECT_EQ(directory.err.rfind("tabulex-cli: several sources and folders need --out-dir\n", 0),
              0u);
}

TEST_F(CliTest, UnusableArgumentsGiveUsageAndStatusTwo)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--bogus", "x.pas"},
                                                 {"--output"},
                                                 {"a.pas", "b.pas"},
                                                 {"--output", "x", "--out-dir", "d", "a.pas"},
                                                 {"--pdf", "o.pdf", "a.pas", "b.pas"},
                                                 {"--font", "Liberation Mono,7", "a.pas"},
                                                 {"--font", ",7", "--pdf", "o.pdf", "a.pas"}}) {
        CliRun r = runCli(args);
        EXPECT_EQ(r.status, CliUsage);
        EXPECT_NE(r.err.find("usage: tabulex-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    CliRun help = runCli({"--help"});
    EXPECT_EQ(help.status, CliOk);
    EXPECT_EQ(help.out.rfind("usage: tabulex-cli", 0), 0u);
    CliRun version = runCli({"--version"});
    EXPECT_EQ(version.out, "tabulex-cli 0.4.0\n");
}

TEST_F(CliTest, PdfReportHoldsTheListingLinesInOrder)
{
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    CliRun r = runCli({"--pdf", path("out.pdf"), path("Exemplo.pas")});
    ASSERT_EQ(r.status, CliOk) << r.err;
    ASSERT_EQ(std::system(("pdftotext " + path("out.pdf") + " " + path("out.txt")).c_str()), 0);
    const std::string text = slurp(dir / "out.txt");
    std::size_t at = 0;
    for (const char* line : {"0001", "unit Exemplo;", "0004", "IntPower", "0012", "end.",
                             "Procedures / Functions : 1"}) {
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << line;
    }
    EXPECT_NE(text.find("Vorn Soft"), std::string::npos);

    CliRun missing = runCli({"--pdf", path("out2.pdf"), path("missing.pas")});
    EXPECT_EQ(missing.status, CliSourceFailed);
    EXPECT_EQ(missing.err, "Cannot open file " + path("missing.pas") + "\n");
}

TEST_F(CliTest, SavedReportFileHasTheReportHeaderAndItsPages)
{
    CliRun r = runCli({"--report", path("out.rpf"), path("Exemplo.pas")});
    ASSERT_EQ(r.status, CliOk) << r.err;
    const std::string bytes = slurp(dir / "out.rpf");
    ASSERT_GE(bytes.size(), 128u);
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    EXPECT_EQ(u16(0), 3u);
    EXPECT_EQ(u16(2), 305u);
    EXPECT_EQ(u16(8), 1u);    // one page for the 12-line example
    EXPECT_EQ(bytes[25], 0);  // not compressed
}

TEST_F(CliTest, NoOutputIsLostWhateverTheSourcesAreCalled)
{
    for (const char* name : {"a/unit1.pas", "b/unit1.pas", "c/unit1~2.pas"}) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << "unit " << name[0] << ";\r\n";
    }
    // The output folder does not exist yet, two levels deep.
    CliRun r = runCli({"--out-dir", path("new/out"), path("a/unit1.pas"), path("b/unit1.pas"),
                       path("c/unit1~2.pas")});
    EXPECT_EQ(r.status, CliOk) << r.err;
    std::set<std::string> firstLines;
    for (const auto& entry : fs::directory_iterator(dir / "new" / "out"))
        firstLines.insert(slurp(entry.path()).substr(0, 14));
    EXPECT_EQ(firstLines,
              (std::set<std::string>{"0001   unit a;", "0001   unit b;", "0001   unit c;"}));
}

TEST_F(CliTest, FolderSourcesAreMirroredAndJobsChangeNothing)
{
    fs::create_directories(dir / "proj" / "forms");
    fs::copy_file(dir / "Exemplo.pas", dir / "proj" / "forms" / "Unit1.pas");
    std::ofstream(dir / "proj" / "forms" / "Unit1.DFM", std::ios::binary)
        << "object Form1: TForm1\r\nend\r\n";
    std::ofstream(dir / "proj" / "notes.txt", std::ios::binary) << "not a source\r\n";
    fs::create_directories(dir / "proj" / "broken.pas");  // a folder with a source's name
    std::ofstream(dir / "proj" / "broken.pas" / "x.inc", std::ios::binary) << "{ include }\r\n";

    const std::string single = runCli({path("Exemplo.pas")}).out;
    std::string messages;
    for (const char* jobs : {"1", "3"}) {
        const fs::path out = dir / (std::string("out") + jobs);
        CliRun r = runCli({"--jobs", jobs, "--out-dir", out.string(), path("missing1.pas"),
                           path("proj"), path("missing2.pas"), path("Exemplo.pas")});
        EXPECT_EQ(r.status, CliSourceFailed);
        EXPECT_EQ(slurp(out / "forms" / "Unit1.pas.txt"), single);
        EXPECT_EQ(
            slurp(out / "forms" / "Unit1.DFM.txt").rfind("0001   object Form1: TForm1\r\n", 0), 0u);
        EXPECT_EQ(slurp(out / "Exemplo.txt"), single);
        EXPECT_FALSE(fs::exists(out / "notes.txt.txt"));
        // Messages in the order of the sources, whatever finished first.
        EXPECT_EQ(r.err, "Cannot open file " + path("missing1.pas") + "\nCannot open file " +
                             path("missing2.pas") + "\n");
        if (messages.empty())
            messages = r.err;
        EXPECT_EQ(r.err, messages);
    }
    // --ext chooses other extensions.
    CliRun inc = runCli({"--ext", "INC", "--out-dir", path("inc"), path("proj")});
    EXPECT_EQ(inc.status, CliOk) << inc.err;
    EXPECT_TRUE(fs::exists(dir / "inc" / "broken.pas" / "x.inc.txt"));
    EXPECT_EQ(runCli({"--jobs", "0", "x.pas"}).status, CliUsage);
}

TEST_F(CliTest, OutputThroughALinkToASourceIsRefused)
{
    fs::create_symlink(dir / "Exemplo.pas", dir / "link.txt");
    const std::string before = slurp(dir / "Exemplo.pas");
    CliRun r = runCli({"--output", path("link.txt"), path("Exemplo.pas")});
    EXPECT_EQ(r.status, CliSourceFailed);
    EXPECT_EQ(r.err, "Cannot create file " + path("link.txt") + ": it is a source of this run\n");
    EXPECT_EQ(slurp(dir / "Exemplo.pas"), before);
    // A device is written as it is.
    EXPECT_EQ(runCli({"--output", "/dev/null", path("Exemplo.pas")}).status, CliOk);
}

TEST_F(CliTest, ReportModuleOfAnotherBuildIsRefused)
{
    TRenderJob job;
    job.outPath = path("stale.pdf");
    job.sourcePath = path("Exemplo.pas");
    job.bytes = kExample;
    std::string message;
    EXPECT_FALSE(render_report_with_module(STALE_RENDER_MODULE, job, message));
    EXPECT_NE(message.find("out of date"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(dir / "stale.pdf"));

    // The current module refuses a caller of another interface (an older tabulex-cli passes
    // the format where the version now stands).
    void* handle = dlopen(RENDER_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto entry =
        reinterpret_cast<decltype(&tabulex_render_report)>(dlsym(handle, "tabulex_render_report"));
    ASSERT_NE(entry, nullptr);
    char text[256] = {};
    const std::string out = path("old.pdf");
    job.outPath = out;
    EXPECT_EQ(entry(3, &job, text, sizeof text), 2);
    EXPECT_NE(std::string(text).find("reinstall"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CliTest, FontOptionAndSettingsFileChooseTheReportFont)
{
    if (std::system("command -v pdffonts >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdffonts is not installed";
    const auto fonts = [&](const std::string& pdf) {
        EXPECT_EQ(std::system(("pdffonts " + pdf + " > " + path("fonts.txt")).c_str()), 0);
        return slurp(dir / "fonts.txt");
    };
    CliRun plain = runCli({"--pdf", path("plain.pdf"), path("Exemplo.pas")});
    ASSERT_EQ(plain.status, CliOk) << plain.err;
    EXPECT_EQ(fonts(path("plain.pdf")).find("Courier"), std::string::npos);

    CliRun mono =
        runCli({"--font", "Liberation Mono,7", "--pdf", path("mono.pdf"), path("Exemplo.pas")});
    ASSERT_EQ(mono.status, CliOk) << mono.err;
    EXPECT_NE(fonts(path("mono.pdf")).find("Courier"), std::string::npos);

    std::ofstream(dir / "s.ini", std::ios::binary) << "[Relatorio]\r\nfonte=Courier New\r\n";
    CliRun fromSettings =
        runCli({"--settings", path("s.ini"), "--pdf", path("ini.pdf"), path("Exemplo.pas")});
    ASSERT_EQ(fromSettings.status, CliOk) << fromSettings.err;
    EXPECT_NE(fonts(path("ini.pdf")).find("Courier"), std::string::npos);
}

TEST_F(CliTest, Utf8SourceGivesItsTextBackFromThePdf)
{
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    std::ofstream(dir / "Grego.pas", std::ios::binary)
        << "unit Grego;\n{ fun\xC3\xA7\xC3\xA3o \xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 "
           "\xD0\xBC\xD0\xB8\xD1\x80 }\nend.\n";
    CliRun r = runCli({"--pdf", path("g.pdf"), path("Grego.pas")});
    ASSERT_EQ(r.status, CliOk) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(std::system(("pdftotext " + path("g.pdf") + " " + path("g.txt")).c_str()), 0);
    EXPECT_NE(slurp(dir / "g.txt")
                  .find("{ fun\xC3\xA7\xC3\xA3o \xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 "
                        "\xD0\xBC\xD0\xB8\xD1\x80 }"),
              std::string::npos);
}

namespace {

// Text of a PDF as pdftotext gives it.
std::string pdfText(const std::string& pdf)
{
    const std::string txt = pdf + ".txt";
    if (std::system(("pdftotext " + pdf + " " + txt).c_str()) != 0)
        return {};
    return slurp(txt);
}

bool havePdfTools()
{
    return std::system("command -v pdftotext >/dev/null 2>&1 && command -v qpdf >/dev/null 2>&1") ==
           0;
}

}  // namespace

TEST_F(CliTest, LinesAndRoutinePrintThatPartOfTheListing)
{
    if (!havePdfTools())
        GTEST_SKIP() << "pdftotext/qpdf are not installed";
    ASSERT_EQ(runCli({"--lines", "8-10", "--pdf", path("part.pdf"), path("Exemplo.pas")}).status,
              CliOk);
    const std::string part = pdfText(path("part.pdf"));
    EXPECT_NE(part.find("0008 |{2}"), std::string::npos) << part;
    EXPECT_NE(part.find("///-8-///"), std::string::npos);
    EXPECT_EQ(part.find("0007"), std::string::npos);
    EXPECT_EQ(part.find("0011"), std::string::npos);
    EXPECT_EQ(part.find("Procedures"), std::string::npos);

    // A routine's whole body, found by its last name part, here with the lists.
    ASSERT_EQ(runCli({"--routine", "intpower", "--lists", "--theme", "cinza", "--pdf",
                      path("routine.pdf"), path("Exemplo.pas")})
                  .status,
              CliOk);
    const std::string routine = pdfText(path("routine.pdf"));
    EXPECT_NE(routine.find("0004"), std::string::npos);
    EXPECT_NE(routine.find("0011"), std::string::npos);
    EXPECT_EQ(routine.find("0012"), std::string::npos);
    EXPECT_NE(routine.find("Procedures"), std::string::npos);
    EXPECT_EQ(std::system(("qpdf --check " + path("routine.pdf") + " >/dev/null").c_str()), 0);

    CliRun missing = runCli({"--routine", "Nada", "--pdf", path("x.pdf"), path("Exemplo.pas")});
    EXPECT_EQ(missing.status, CliSourceFailed);
    EXPECT_NE(missing.err.find("no routine Nada"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(dir / "x.pdf"));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--lines", "9-3", "--pdf", "o.pdf", "a.pas"},
             {"--lines", "1-2", "--routine", "A", "--pdf", "o.pdf", "a.pas"},
             {"--lists", "--pdf", "o.pdf", "a.pas"},
             {"--theme", "azul", "--pdf", "o.pdf", "a.pas"},
             {"--lines", "1-2", "--pdf-dir", "d", "a.pas"}})
        EXPECT_EQ(runCli(args).status, CliUsage) << args[0] << " " << args[1];
}

TEST_F(CliTest, PdfDirLinksUnitsToThePdfsOfTheRun)
{
    if (!havePdfTools())
        GTEST_SKIP() << "pdftotext/qpdf are not installed";
    fs::create_directories(dir / "src" / "sub");
    std::ofstream(dir / "src" / "Principal.pas", std::ios::binary)
        << "unit Principal;\ninterface\nuses Ajuda, SysUtils;\nimplementation\nend.\n";
    std::ofstream(dir / "src" / "sub" / "AJUDA.pas", std::ios::binary)
        << "unit Ajuda;\ninterface\nimplementation\nend.\n";
    CliRun r = runCli({"--theme", "cores", "--pdf-dir", path("pdfs"), path("src")});
    ASSERT_EQ(r.status, CliOk) << r.err;
    ASSERT_TRUE(fs::exists(dir / "pdfs" / "Principal.pas.pdf"));
    ASSERT_TRUE(fs::exists(dir / "pdfs" / "sub" / "AJUDA.pas.pdf"));
    const std::string json = path("links.json");
    ASSERT_EQ(std::system(("qpdf --check " + path("pdfs/Principal.pas.pdf") + " >/dev/null && " +
                           "qpdf --json " + path("pdfs/Principal.pas.pdf") + " > " + json)
                              .c_str()),
              0);
    // "Ajuda" opens the other PDF; "SysUtils", not in the run, links nowhere.
    const std::string objects = slurp(json);
    EXPECT_NE(objects.find("\"/F\": \"u:sub/AJUDA.pas.pdf\""), std::string::npos) << objects;
    EXPECT_EQ(objects.find("SysUtils.pas.pdf"), std::string::npos);
}

TEST(PdfRunTest, UnitsAreFoundByFileNameInTheirFolderFirst)
{
    const std::vector<TRunPdf> run = {{"a/Main.pas", "out/a/Main.pdf"},
                                      {"b/Util.pas", "out/b/Util.pdf"},
                                      {"a/UTIL.pp", "out/a/UTIL.pdf"},
                                      {"c/Other.pas", "out/Other.pdf"}};
    EXPECT_EQ(unit_pdf_link(run, run[0], "util"), "UTIL.pdf");
    EXPECT_EQ(unit_pdf_link(run, run[1], "Other"), "../Other.pdf");
    EXPECT_EQ(unit_pdf_link(run, run[3], "Util"), "b/Util.pdf");
    EXPECT_EQ(unit_pdf_link(run, run[0], "SysUtils"), "");
    EXPECT_EQ(unit_pdf_link(run, run[0], "Main"), "");
}
