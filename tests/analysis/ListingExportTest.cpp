#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "analysis/DeclarationScanner.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingExport.h"
#include "analysis/SourceAnalysis.h"
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

// The export expected from the lists built apart: the selected ones in section order, each
// line ended by CR LF, tabs gone from the cross reference only.
std::string joined(const std::string& source, const TListingSettings& s)
{
    const TDeclarationLists lists = scan_declarations(source);
    std::string out;
    const auto add = [&](const StringList& list, bool untab) {
        for (std::string line : list) {
            if (untab)
                std::replace(line.begin(), line.end(), '\t', ' ');
            out += line + "\r\n";
        }
    };
    if (s.listagem)
        add(build_listing(source, s), false);
    if (s.xref)
        add(lists.xref, true);
    if (s.proc_func)
        add(lists.routines, false);
    if (s.units)
        add(lists.uses, false);
    return out;
}

std::string exported(const std::string& source, const TListingSettings& s)
{
    std::string out;
    stream_export(source, s, [&](std::string_view piece) { out += piece; });
    return out;
}

const std::string kTabbed =
    "unit U;\r\ninterface\r\nuses A;\r\nimplementation\r\nvar X: // a\tb\r\n"
    "procedure\tP;\r\nbegin\r\n\tX := 1;\r\nend;\r\nend.\r\n";

}  // namespace

TEST(StreamExport, SectionsInOrderTabsGoneFromTheCrossReferenceOnly)
{
    const std::string all = exported(kTabbed, switches(true, true, true, true));
    EXPECT_EQ(all, joined(kTabbed, switches(true, true, true, true)));
    EXPECT_NE(all.find("0008 |\tX := 1;\r\n"), std::string::npos);
    EXPECT_NE(all.find("X : // a b D(0005)\r\n"), std::string::npos);
    EXPECT_NE(all.find("0006 : procedure\tP      \r\n"), std::string::npos);
    EXPECT_LT(all.find("0001 "), all.find("Refer"));
    EXPECT_LT(all.find("Refer"), all.find("Procedures"));
    EXPECT_LT(all.find("Procedures"), all.find("Globais"));
    EXPECT_EQ(exported(kTabbed, switches(false, false, false, false)), "");
}

TEST(StreamExport, LargeSourceTheSameWithTwoThreadsAndAcrossPieces)
{
    // Past the size from which a second thread scans the declarations, and many pieces long.
    std::string unit = "unit Big;\r\ninterface\r\nuses A, B.C;\r\nvar G: Integer;\r\n"
                       "implementation\r\nuses D;\r\n";
    for (int i = 0; unit.size() < (std::size_t{3} << 19); ++i) {
        const std::string n = std::to_string(i);
        unit += "procedure P" + n + "(X: Integer);\r\nvar L" + n + ": // \xC3\xA9\tb\r\n" +
                "begin\r\n  if X > 0 then begin\r\n    G := L" + n + ";\r\n  end; { open\r\n" +
                " closed } L" + n + " := G\r\nend;\r\n";
    }
    std::string with_nul = unit;
    with_nul[with_nul.size() / 2] = '\0';
    const std::string open_comment = unit + "(* never closed\r\nG := 1;\r\n";
    for (const std::string& source : {unit, with_nul, open_comment}) {
        for (const TListingSettings& s :
             {switches(true, true, true, true), switches(false, true, false, true)}) {
            std::string two;
            stream_export(
                source, s, [&](std::string_view piece) { two += piece; }, TAnalysisThreads::Two);
            EXPECT_EQ(two, exported(source, s));
            EXPECT_EQ(two, joined(source, s));
        }
    }
}

TEST(SourceAnalysisLineSink, TakesTheLinesTheAnalysisWouldKeep)
{
    const std::string source = kTabbed + "var Y: Integer;\r\nY\0 := 2;\r\n";
    const TSourceAnalysis kept(TSourceAnalysis::TBorrowed{source}, false);
    std::vector<std::pair<std::size_t, std::uint32_t>> taken;
    const TSourceAnalysis streamed(TSourceAnalysis::TBorrowed{source}, false, TAnalysisThreads::One,
                                   [&](const TListingLine& line, std::size_t index) {
                                       taken.emplace_back(index, line.text_offset);
                                   });
    ASSERT_EQ(taken.size(), kept.lines().size());
    for (std::size_t i = 0; i < taken.size(); ++i)
        EXPECT_EQ(taken[i], std::make_pair(i, kept.lines()[i].text_offset));
    EXPECT_TRUE(streamed.lines().empty());
    EXPECT_EQ(streamed.declarations().size(), kept.declarations().size());
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
    for (int style = 0; style <= 2; ++style)
        for (int mask = 0; mask < 16; ++mask) {
            TListingSettings s = switches(mask & 1, mask & 2, mask & 4, mask & 8);
            s.Identacao = style;
            s.Numeracao = style != 1;
            EXPECT_EQ(exported(kVaried, s), joined(kVaried, s))
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
    EXPECT_EQ(scan_declarations("{ \xC3\xA7 }").xref[1], "         Refer\xC3\xAA"
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
