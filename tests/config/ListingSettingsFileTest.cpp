#include <gtest/gtest.h>

#include "TestFiles.h"
#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"

namespace tabulex {
namespace {

using test::read_bytes;
using test::TempDir;
using test::write_bytes;

const char* const kDefaultFile =
    "[Numeracao]\r\nLinhas=1\r\nFinal=1\r\n"
    "\r\n[Identacao]\r\nTipo=0\r\nprenivel={\r\nsufnivel=}\r\nprefnivel={\r\nsuffnivel=}\r\n"
    "preend=///-\r\nsufend=-///\r\nbegin=>>>\r\ncoluna=|\r\n"
    "\r\n[Relatorio]\r\ncolunas=1\r\nlistagem=1\r\nxref=1\r\nproc_func=1\r\nunits=1\r\n";

TListingSettings changed_settings()
{
    TListingSettings s;
    s.prenivel = "<";
    s.suffnivel = "]]";
    s.prefnivel = "";
    s.sufnivel = ">";
    s.begin = "BEGIN";
    s.sufend = "*";
    s.preend = "";
    s.Numeracao = false;
    s.Final = false;
    s.Identacao = 2;
    s.coluna = "!:";
    s.colunas = 0;
    s.listagem = false;
    s.xref = true;
    s.proc_func = false;
    s.units = false;
    return s;
}

class ListingSettingsFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("tabulex.ini");

    TListingSettings readFrom(const std::string& bytes)
    {
        write_bytes(path, bytes);
        TListingSettings s = changed_settings();
        read_listing_settings(path, s);
        return s;
    }
};

TEST_F(ListingSettingsFileTest, MissingFileReadsAsAllDefaults)
{
    TListingSettings s = changed_settings();
    read_listing_settings(path, s);
    EXPECT_EQ(s, TListingSettings{});
}

TEST_F(ListingSettingsFileTest, FreshFileGetsTheSixteenKeysInOrder)
{
    write_listing_settings(path, TListingSettings{});
    EXPECT_EQ(read_bytes(path), kDefaultFile);
}

TEST_F(ListingSettingsFileTest, SaveAndReadRoundTrip)
{
    write_listing_settings(path, changed_settings());
    TListingSettings s;
    read_listing_settings(path, s);
    EXPECT_EQ(s, changed_settings());

    write_listing_settings(path, TListingSettings{});  // every key replaced, nothing added
    EXPECT_EQ(read_bytes(path), kDefaultFile);
}

TEST_F(ListingSettingsFileTest, HandWrittenFileKeepsItsCommentsAndOtherSections)
{
    write_bytes(path, "; settings of my listings\n"
                      "[Printer]\n"
                      "name=draft\n"
                      "\n"
                      "[identacao]\n"
                      "; markers\n"
                      "TIPO=2\n"
                      "coluna=\"!\"\n"
                      "[Relatorio]\n"
                      "colunas=0\n"
                      "[Other]\n"
                      "x=1");
    write_listing_settings(path, TListingSettings{});
    EXPECT_EQ(read_bytes(path), "; settings of my listings\n"
                                "[Printer]\n"
                                "name=draft\n"
                                "\n"
                                "[identacao]\n"
                                "; markers\n"
                                "TIPO=0\r\n"
                                "coluna=|\r\n"
                                "prenivel={\r\nsufnivel=}\r\nprefnivel={\r\nsuffnivel=}\r\n"
                                "preend=///-\r\nsufend=-///\r\nbegin=>>>\r\n"
                                "[Relatorio]\n"
                                "colunas=1\r\n"
                                "listagem=1\r\nxref=1\r\nproc_func=1\r\nunits=1\r\n"
                                "[Other]\n"
                                "x=1\r\n"
                                "\r\n[Numeracao]\r\nLinhas=1\r\nFinal=1\r\n");
}

TEST_F(ListingSettingsFileTest, AbsentKeysTakeTheirDefaultsOneByOne)
{
    const TListingSettings s = readFrom("[Identacao]\nbegin=go\n[Relatorio]\nxref=0\n");
    TListingSettings expected;
    expected.begin = "go";
    expected.xref = false;
    EXPECT_EQ(s, expected);
}

TEST_F(ListingSettingsFileTest, HandEditedValues)
{
    const TListingSettings s = readFrom("[Numeracao]\nLinhas=yes\nFinal=2\n"
                                        "[Identacao]\nTipo=0x1\nprenivel=\nsufnivel=  ]  \n"
                                        "prefnivel=' ('\ncoluna=\"|\"\n"
                                        "[Relatorio]\ncolunas=-3\nlistagem=0\n");
    EXPECT_TRUE(s.Numeracao);   // "yes" is no number: the default
    EXPECT_TRUE(s.Final);       // any non-zero value
    EXPECT_EQ(s.Identacao, 1);  // hexadecimal
    EXPECT_EQ(s.prenivel, "");  // present but empty: not the default
    EXPECT_EQ(s.sufnivel, "]");
    EXPECT_EQ(s.prefnivel, " (");
    EXPECT_EQ(s.coluna, "|");
    EXPECT_EQ(s.colunas, -3);  // stored as read
    EXPECT_FALSE(s.listagem);
}

TEST_F(ListingSettingsFileTest, OutOfRangeStyleIsStoredAsRead)
{
    EXPECT_EQ(readFrom("[Identacao]\r\nTipo=7\r\n").Identacao, 7);
}

TEST_F(ListingSettingsFileTest, BlanksAroundAMarkerDoNotSurviveSaveAndRead)
{
    TListingSettings saved;
    saved.begin = " >> ";
    saved.coluna = "\t|";
    write_listing_settings(path, saved);
    TListingSettings read;
    read_listing_settings(path, read);
    EXPECT_EQ(read.begin, ">>");
    EXPECT_EQ(read.coluna, "|");
}

TEST_F(ListingSettingsFileTest, FailedSaveReportsTheFileName)
{
    const std::string nowhere = dir.file("missing") + "/tabulex.ini";
    try {
        write_listing_settings(nowhere, TListingSettings{});
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + nowhere);
    }
}

}  // namespace
}  // namespace tabulex

TEST(ReportFontText, FamilyWithOptionalSize)
{
    using namespace tabulex;
    EXPECT_EQ(parse_report_font("Liberation Mono,7"), (TReportFontSpec{"Liberation Mono", 7}));
    EXPECT_EQ(parse_report_font(" Courier New , 8.5 "), (TReportFontSpec{"Courier New", 8.5}));
    EXPECT_EQ(parse_report_font("DejaVu Sans"), (TReportFontSpec{"DejaVu Sans", 0}));
    EXPECT_EQ(parse_report_font("Foo, Bar"),
              (TReportFontSpec{"Foo, Bar", 0}));  // no size after the comma
    EXPECT_EQ(parse_report_font("Mono,0"), (TReportFontSpec{"Mono,0", 0}));
    EXPECT_FALSE(parse_report_font(""));
    EXPECT_FALSE(parse_report_font(" ,7"));
    EXPECT_EQ(format_report_font({"Liberation Mono", 7.5}), "Liberation Mono,7.5");
    EXPECT_EQ(format_report_font({"Liberation Mono", 8.25}), "Liberation Mono,8.25");
    EXPECT_EQ(format_report_font({"Arial", 0}), "Arial");
}
