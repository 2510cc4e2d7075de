#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "analysis/DeclarationScanner.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingExport.h"
#include "analysis/SourceEncoding.h"

using namespace tabulex;
namespace fs = std::filesystem;

namespace {

std::string read_back(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TListingSettings switches(bool listagem, bool xref, bool proc_func, bool units)
{
    TListingSettings s;
    s.listagem = listagem;
    s.xref = xref;
    s.proc_func = proc_func;
    s.units = units;
    return s;
}

struct ExportFixture : ::testing::Test {
    StringList listing{"0001   \tx := 1;", "0002   end."};
    StringList xref{" ", "X : Integer\tD(0001)"};
    StringList procs{"0003 : procedure\tP      "};
    StringList uses{"A  B  "};
    TListingSections sections{listing, xref, procs, uses};
};

}  // namespace

TEST_F(ExportFixture, SectionsInOrderEachItemEndedByCrLf)
{
    EXPECT_EQ(export_listing(sections, switches(true, true, true, true)),
              "0001   \tx := 1;\r\n0002   end.\r\n \r\nX : Integer D(0001)\r\n0003 : procedure\tP  "
              "    \r\nA  B  \r\n");
}

TEST_F(ExportFixture, SwitchesSelectSections)
{
    EXPECT_EQ(export_listing(sections, switches(false, true, false, false)),
              " \r\nX : Integer D(0001)\r\n");
    EXPECT_EQ(export_listing(sections, switches(true, false, false, false)),
              "0001   \tx := 1;\r\n0002   end.\r\n");
    EXPECT_EQ(export_listing(sections, switches(false, false, true, true)),
              "0003 : procedure\tP      \r\nA  B  \r\n");
    EXPECT_EQ(export_listing(sections, switches(false, false, false, false)), "");
}

TEST(ProposedExportName, ReplacesOrAppendsTheExtensionAndDropsTheFolder)
{
    EXPECT_EQ(proposed_export_name("/home/ana/src/unit1.pas"), "unit1.txt");
    EXPECT_EQ(proposed_export_name("unit1.pas"), "unit1.txt");
    EXPECT_EQ(proposed_export_name("/home/ana/Makefile"), "Makefile.txt");
    EXPECT_EQ(proposed_export_name("/home/ana/v1.2/projeto"), "projeto.txt");
    EXPECT_EQ(proposed_export_name("/tmp/a.b.dpr"), "a.b.txt");
    EXPECT_EQ(proposed_export_name(""), ".txt");
}

TEST(WriteExportFile, CreatesReplacesAndReportsFailure)
{
    fs::path dir = fs::temp_directory_path() / ("tabulex_export_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "out.txt";

    ASSERT_TRUE(write_export_file(file.string(), "a\r\nb\r\n"));
    EXPECT_EQ(read_back(file), "a\r\nb\r\n");
    ASSERT_TRUE(write_export_file(file.string(), "c\r\n"));  // replaced, not appended
    EXPECT_EQ(read_back(file), "c\r\n");
    ASSERT_TRUE(write_export_file(file.string(), ""));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);

    EXPECT_FALSE(write_export_file((dir / "missing" / "out.txt").string(), "x"));
    EXPECT_FALSE(write_export_file(dir.string(), "x"));  // a folder, not a file
    if (::geteuid() != 0) {
        fs::path locked = dir / "locked";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(write_export_file((locked / "out.txt").string(), "x"));
        fs::permissions(locked, fs::perms::owner_all);
    }
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(write_export_file("/dev/full", "x"));  // opens, but the write fails
    }
    fs::remove_all(dir);
}

namespace {

const char* const kVaried =
    "unit Varia;\r\ninterface\r\nuses SysUtils, Classes, A1, A2, A3, A4;\r\n"
    "type TForm1 = class(TForm)\r\n  Button1: TButton;\r\n  procedure P(x: Integer);\r\nend;\r\n"
    "var n\t: Integer;\r\nimplementation\r\nuses Forms;\r\n"
    "function TForm1.F(a, b: Integer): Integer;\r\nvar i: Integer;\r\nbegin\r\n"
    "  for i := 1 to 9 do begin n := n + i; n := n * 2; end;\r\n"
    "  repeat n := n - 1 until n < 0;\r\n  try n := 1 finally n := 2 end;\r\n"
    "  case n of 1: n := 3; end;\r\nend;\r\nend.";

}  // namespace

TEST(StreamExport, SameBytesAsTheListsInEveryStyleAndSwitch)
{
    const std::string source = kVaried;
    const TDeclarationLists lists = scan_declarations(source);
    for (int style = 0; style <= 2; ++style)
        for (int mask = 0; mask < 16; ++mask) {
            TListingSettings s = switches(mask & 1, mask & 2, mask & 4, mask & 8);
            s.Identacao = style;
            s.Numeracao = style != 1;
            const StringList listing = build_listing(source, s);
            std::string streamed;
            stream_export(source, s, [&](std::string_view piece) { streamed += piece; });
            EXPECT_EQ(streamed,
                      export_listing({listing, lists.listbox3, lists.ListBox4, lists.ListBox5}, s))
                << "style " << style << " switches " << mask;
        }
}

TEST(StreamExport, ProgramTextFollowsTheSourceEncoding)
{
    TListingSettings xrefOnly = switches(false, true, false, false);
    auto exported = [&](const std::string& source) {
        std::string out;
        stream_export(source, xrefOnly, [&](std::string_view piece) { out += piece; });
        return out;
    };
    const std::string utf8 = exported("var s: string; { fun\xC3\xA7\xC3\xA3o }\r\n");
    EXPECT_NE(utf8.find("Refer\xC3\xAA"
                        "ncia cruzada"),
              std::string::npos);
    EXPECT_TRUE(is_valid_utf8(utf8));
    EXPECT_EQ(scan_declarations("{ \xC3\xA7 }").listbox3[1], "         Refer\xC3\xAA"
                                                             "ncia cruzada");

    // Windows-1252 and plain ASCII sources keep the single byte.
    EXPECT_NE(exported("var s: string; { fun\xE7\xE3o }\r\n")
                  .find("Refer\xEA"
                        "ncia cruzada"),
              std::string::npos);
    EXPECT_NE(exported("var s: string;\r\n")
                  .find("Refer\xEA"
                        "ncia cruzada"),
              std::string::npos);
}
