// The model's writer: where the parts of a listing line stand and what each stretch is, and
// the line numbers and links of the lists, all taken from the model, never from the text.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "SourceLines.h"
#include "analysis/ListingWriter.h"

using namespace tabulex;
using tabulex::testing::source;

namespace {

std::shared_ptr<const TSourceAnalysis> analyse(const std::string& bytes)
{
    return std::make_shared<const TSourceAnalysis>(bytes);
}

using TClassed = std::vector<std::pair<std::string, TRunClass>>;

TClassed classes(const TListingWriter& writer, std::size_t index)
{
    std::string line;
    std::vector<TStyledRun> runs;
    writer.listing_runs(index, writer.append_listing_line(index, line), runs);
    TClassed out;
    for (const TStyledRun& run : runs)
        out.emplace_back(line.substr(run.start, run.length), run.kind);
    return out;
}

const std::string kRoutine = source({"unit U;", "implementation", "procedure P; { c }", "begin",
                                     "  X := 'a' + #13 + $1F + 2.5; {$R+} // d", "end;"});

}  // namespace

TEST(ListingWriter, ClassesEveryPartOfAListingLine)
{
    const TListingWriter writer(analyse(kRoutine), TListingSettings{});
    using C = TRunClass;
    EXPECT_EQ(classes(writer, 4), (TClassed{{"0005", C::LineNumber},
                                            {"|", C::Prefix},
                                            {"X", C::Identifier},
                                            {"'a'", C::String},
                                            {"#13", C::String},
                                            {"$1F", C::Number},
                                            {"2.5", C::Number},
                                            {"{$R+}", C::Directive},
                                            {"// d", C::Comment}}));
    EXPECT_EQ(classes(writer, 5), (TClassed{{"0006", C::LineNumber},
                                            {"{1}", C::Prefix},
                                            {"end", C::Keyword},
                                            {" ///-4-///", C::EndReference}}));
    std::string line;
    std::vector<TStyledRun> runs;
    writer.listing_runs(5, writer.append_listing_line(5, line), runs);
    EXPECT_EQ(runs.back().line, 4);

    // Without numbers the prefix starts the line, and a line of a class body holds the five
    // blanks in its prefix.
    TListingSettings plain;
    plain.Numeracao = false;
    const TListingWriter unnumbered(analyse(kRoutine), plain);
    EXPECT_EQ(classes(unnumbered, 0).front(), (std::pair<std::string, C>{"  ", C::Prefix}));
}

// The lists name their lines from the model's numbers: the declaration, each reference
// (once), the routine header; headings and blanks name none.
TEST(ListingWriter, ListRowsNameTheirLinesAndLinkEachNumber)
{
    std::string text =
        source({"unit U;", "interface", "var", "  Total: Integer;", "implementation",
                "procedure P;", "begin", "  Total := Total + 1;", "  Total := 2;", "end;", "end."});
    const TListingWriter writer(analyse(text), TListingSettings{});
    std::string scratch;
    ASSERT_EQ(writer.line(TSection::Xref, 4, scratch), "Total : Integer D(0004)");
    EXPECT_EQ(writer.line_numbers(TSection::Xref, 4), std::vector<int>{4});
    ASSERT_EQ(writer.line(TSection::Xref, 5, scratch), "=(0008)  .(0008)  =(0009)   ");
    EXPECT_EQ(writer.line_numbers(TSection::Xref, 5), (std::vector<int>{8, 9}));
    EXPECT_TRUE(writer.line_numbers(TSection::Xref, 1).empty());
    EXPECT_EQ(writer.line_numbers(TSection::Procs, 3), std::vector<int>{6});
    EXPECT_TRUE(writer.line_numbers(TSection::Procs, 4).empty());

    std::vector<TStyledRun> runs;
    const std::string row(writer.line(TSection::Xref, 5, scratch));
    writer.list_runs(TSection::Xref, 5, runs);
    ASSERT_EQ(runs.size(), 3u);
    for (const TStyledRun& run : runs)
        EXPECT_EQ(std::stoi(row.substr(run.start, run.length)), run.line);
}

// The uses list names each unit where it stands, with its line.
TEST(ListingWriter, UsesRowsCarryTheirUnits)
{
    std::string text =
        source({"unit U;", "interface", "uses A, System.B;", "implementation", "uses C;", "end."});
    const TListingWriter writer(analyse(text), TListingSettings{});
    std::vector<std::string> names;
    std::string scratch;
    std::vector<TStyledRun> runs;
    for (std::size_t row = 0; row < writer.size(TSection::Uses); ++row) {
        const std::string line(writer.line(TSection::Uses, row, scratch));
        writer.list_runs(TSection::Uses, row, runs);
        for (const TStyledRun& run : runs)
            names.push_back(line.substr(run.start, run.length) + "@" + std::to_string(run.line));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A@3", "System@3", "B@3", "C@5"}));
    EXPECT_TRUE(writer.analysis().uses()[2].after_dot);
}

// Past kMaxColumnMarkers the column part stops growing and the level number shows instead,
// so the listing of a hostile file stays proportional to it.
TEST(ListingWriter, ColumnPartIsCappedAndShowsTheLevel)
{
    std::string text = "implementation\n";
    for (int i = 0; i < 250; ++i)
        text += "begin\n";
    text += "x;\n";
    const TListingWriter writer(analyse(text), TListingSettings{});
    std::string line;
    writer.append_listing_line(251, line);
    EXPECT_EQ(line, "0252 " + std::string(kMaxColumnMarkers, '|') + "250x;");
    line.clear();
    writer.append_listing_line(250, line);
    EXPECT_EQ(line, "0251 " + std::string(kMaxColumnMarkers, '|') + "{250}begin");
}
