// Wrapping of text items, text measurement and sizing rules.
#include <QFontMetrics>
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"
#include "text/TextCodec.h"

using namespace tabulex;
using tabulex::test::ensureGui;
using Lines = std::vector<std::string>;

namespace {

struct MemoFixture : ::testing::Test {
    void SetUp() override
    {
        sample = tabulex::test::makeSample(2);
        memo = sample.memo;
        memo->SetAlignToBand(false);
    }
    Lines wrap(const Lines& lines, int width)
    {
        memo->SetLines(lines);
        memo->SetPixelWidth(width);
        memo->WrapLines();
        return memo->FormattedLines();
    }
    tabulex::test::SampleReport sample;
    TRpMemo* memo = nullptr;
};

// The wrapping rules, written plainly over the font metrics, to compare the engine with.
struct ReferenceWrap {
    ReferenceWrap(const QFontMetrics& m, int w) : metrics(m), width(w) {}
    QFontMetrics metrics;
    int width;
    bool wordWrap = true;
    Lines out;

    int textWidth(const std::string& s) const
    {
        return metrics.horizontalAdvance(fromCp1252(s)) + 1;
    }
    void wrap(std::string text)
    {
        std::erase(text, '\n');
        std::size_t cr;
        while ((cr = text.find('\r')) != std::string::npos) {
            plain(text.substr(0, cr));
            text.erase(0, cr + 1);
        }
        plain(text);
    }
    void plain(const std::string& text)
    {
        std::string line;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find_first_of(" -", pos);
            end = end == std::string::npos ? text.size() : end + 1;
            std::string word = text.substr(pos, end - pos);
            pos = end;
            if (textWidth(line + word) <= width) {
                line += word;
                continue;
            }
            if (!line.empty()) {
                out.push_back(line);
                line.clear();
                if (!wordWrap)
                    return;
            }
            while (!word.empty() && textWidth(word) > width) {
                std::string piece;
                while (piece.size() < word.size() && textWidth(piece + word[piece.size()]) <= width)
                    piece += word[piece.size()];
                out.push_back(piece);
                if (!wordWrap)
                    return;
                if (piece.empty()) {
                    word.clear();
                    break;
                }
                word.erase(0, piece.size());
                if (word.find_first_not_of(' ') == std::string::npos)
                    word.clear();
            }
            line = word;
        }
        out.push_back(line);
    }
};

}  // namespace

TEST_F(MemoFixture, WordsEndAfterASpaceOrAHyphen)
{
    const int width = memo->TextWidthOf("a-");
    EXPECT_EQ(wrap({"a-b c"}, width), (Lines{"a-", "b ", "c"}));
}

TEST_F(MemoFixture, LineFeedsAreDeletedAndCarriageReturnsEndLines)
{
    EXPECT_EQ(wrap({"ab\ncd"}, 300), (Lines{"abcd"}));
    EXPECT_EQ(wrap({"ab\rcd", "x\r"}, 300), (Lines{"ab", "cd", "x", ""}));
}

TEST_F(MemoFixture, EmptyLinesAndTrailingSpacesAreKept)
{
    EXPECT_EQ(wrap({"", "ab  ", ""}, 300), (Lines{"", "ab  ", ""}));
    const int width = memo->TextWidthOf("ab  ");
    EXPECT_EQ(wrap({"ab  cd"}, width), (Lines{"ab  ", "cd"}));
}

TEST_F(MemoFixture, OverlongWordsAreBrokenOverLinesWithoutLosingCharacters)
{
    const int width = memo->TextWidthOf("abc");
    ASSERT_GT(memo->TextWidthOf("abcd"), width);
    // Alone on a line or after other words: as many pieces as it needs, the last one going on
    // with the words that follow; the blank that ended the word does not start a line.
    const Lines alone = wrap({"abcdefghij"}, width);
    EXPECT_EQ(alone.front(), "abc");
    std::string joined;
    for (const std::string& piece : alone) {
        EXPECT_LE(memo->TextWidthOf(piece), width) << piece;
        joined += piece;
    }
    EXPECT_EQ(joined, "abcdefghij");
    const Lines after = wrap({"x abcdefghij y"}, width);
    EXPECT_EQ(after.front(), "x ");
    EXPECT_EQ(after[1], "abc");
    EXPECT_EQ(after.back(), "y");
    // An item narrower than any character prints empty lines.
    EXPECT_EQ(wrap({"ab cd"}, 0), (Lines{"", "", ""}));
}

TEST_F(MemoFixture, Utf8WordsBreakBetweenCharactersNeverInsideOne)
{
    sample.report->ReferenceSurface().SetEncoding(SourceEncoding::Utf8);
    const std::string word =
        "\xCE\xB1\xCE\xB2\xCE\xB3\xD0\x96\xD0\xB8\xC3\xA7\xC3\xA3o";  // αβγЖиção
    const int width = memo->TextWidthOf("\xCE\xB1\xCE\xB2");
    ASSERT_EQ(memo->TextWidthOf("\xCE\xB1\xCE\xB2"),
              QFontMetrics(rpEngineFont(memo->Font())).horizontalAdvance(QStringLiteral("αβ")) + 1);
    const Lines pieces = wrap({word}, width);
    ASSERT_GT(pieces.size(), 2u);
    std::string joined;
    for (const std::string& piece : pieces) {
        EXPECT_TRUE(isValidUtf8(piece)) << piece;
        EXPECT_LE(memo->TextWidthOf(piece), width) << piece;
        joined += piece;
    }
    EXPECT_EQ(joined, word);
}

TEST_F(MemoFixture, WithoutWordWrapTheRestOfTheTextIsDropped)
{
    memo->SetWordWrap(false);
    const int width = memo->TextWidthOf("aaa bbb ");
    EXPECT_EQ(wrap({"aaa bbb ccc ddd", "e"}, width), (Lines{"aaa bbb ", "e"}));
}

TEST_F(MemoFixture, AutoSizeMemoTakesItsLinesUnchanged)
{
    memo->SetAutoSize(true);
    EXPECT_EQ(wrap({"a very long line that would wrap\nhere"}, 20),
              (Lines{"a very long line that would wrap\nhere"}));
}

TEST_F(MemoFixture, MatchesTheRulesOverTheFontMetricsAndAfterChanges)
{
    const Lines texts = {
        "procedure TForm1.Button1Click(Sender: TObject); var i: Integer; begin end;",
        "  { a comment with-hyphenated-words and  double  spaces }  ",
        "Supercalifragilisticexpialidocious-antidisestablishmentarianism word",
        "Servi\xE7os de Inform\xE1tica \x80 \x93quoted\x94 text - with dashes -- here",
        "",
        "x",
        "a\rb\nc-d e",
        "     ",
    };
    for (const int width : {0, 1, 7, 20, 55, 120, 348, 700}) {
        ReferenceWrap reference{
            QFontMetrics(rpEngineFont(memo->Font()), sample.report->ReferenceSurface().Device()),
            width};
        for (const std::string& text : texts)
            reference.wrap(text);
        EXPECT_EQ(wrap(texts, width), reference.out) << "width " << width;
    }
    // Wrapped once, then again after the font changes: equals a fresh wrap.
    const Lines before = wrap(texts, 120);
    QFont bigger = memo->Font();
    bigger.setPointSize(12);
    memo->SetFont(bigger);
    memo->WrapLines();
    const Lines after = memo->FormattedLines();
    EXPECT_NE(before, after);
    ReferenceWrap reference{
        QFontMetrics(rpEngineFont(bigger), sample.report->ReferenceSurface().Device()), 120};
    for (const std::string& text : texts)
        reference.wrap(text);
    EXPECT_EQ(after, reference.out);
}

TEST(RpMeasure, AdvanceTableGivesTheFontMetricsWidths)
{
    ensureGui();
    TRpTextMeasurer measurer(96);
    std::string all;
    for (int c = 32; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    const std::string samples[] = {all, "AVAVA To Wa fi fl", "MERCHANTABILITY or FITNESS",
                                   "x := y + 1; // \xE7\xE3o \x80\x85"};
    for (const char* family : {"Arial", "Courier New"}) {
        for (const int points : {6, 7, 8, 14}) {
            for (const bool bold : {false, true}) {
                QFont font(QString::fromLatin1(family));
                font.setPointSize(points);
                font.setBold(bold);
                const QFontMetrics reference(rpEngineFont(font), measurer.Device());
                const TRpFontMetrics& table = measurer.Metrics(font);
                for (const std::string& s : samples)
                    EXPECT_EQ(table.Extent(s), reference.horizontalAdvance(fromCp1252(s)))
                        << family << " " << points << (bold ? " bold" : "");
                EXPECT_EQ(table.Height(), reference.height());
            }
        }
    }
}

TEST(RpLabelSizing, AutoSizeKeepsTheRightEdgeOrTheCentre)
{
    auto sample = tabulex::test::makeSample(2);
    auto* right = sample.header->AddItem(std::make_unique<TRpLabel>("right"));
    right->SetAlignment(TRpAlignment::taRightJustify);
    right->SetBounds(100, 1, 20, 4);
    right->SetCaption("ab");
    const int rightEdge = right->PixelLeft() + right->PixelWidth();
    right->SetCaption("a much longer caption");
    EXPECT_EQ(right->PixelLeft() + right->PixelWidth(), rightEdge);
    EXPECT_EQ(right->PixelWidth(), right->TextWidthOf("a much longer caption"));

    auto* centre = sample.header->AddItem(std::make_unique<TRpLabel>("centre"));
    centre->SetAlignment(TRpAlignment::taCenter);
    centre->SetBounds(50, 1, 40, 4);
    centre->SetCaption("abcd");
    const int middle = centre->PixelLeft() + centre->PixelWidth() / 2;
    centre->SetCaption("abcd efgh ijkl mnop");
    EXPECT_NEAR(centre->PixelLeft() + centre->PixelWidth() / 2, middle, 1);

    // Labels are at least as high as the font's text height plus one pixel.
    auto* low = sample.header->AddItem(std::make_unique<TRpLabel>("low"));
    low->SetAutoSize(false);
    low->SetBounds(0, 0, 20, 0.5);
    low->SetCaption("x");
    EXPECT_EQ(low->PixelHeight(),
              sample.report->ReferenceSurface().Metrics(low->Font()).Height() + 1);
}

TEST(RpLabelSizing, CarriageReturnGivesTwoLinesEvenWithAutoSize)
{
    auto sample = tabulex::test::makeSample(2);
    auto* label = sample.header->AddItem(std::make_unique<TRpLabel>("cr"));
    label->SetCaption("first\rsecond");
    EXPECT_EQ(label->FormattedLines(), (Lines{"first", "second"}));
}

TEST(RpLabelSizing, AlignToBandFollowsTheBandWidth)
{
    auto sample = tabulex::test::makeSample(2);
    TRpMemo* memo = sample.memo;
    memo->SetPixelWidth(100);
    memo->SetAlignment(TRpAlignment::taRightJustify);
    EXPECT_EQ(memo->PixelLeft(), 353 - 100);
    memo->SetAlignment(TRpAlignment::taCenter);
    EXPECT_EQ(memo->PixelLeft(), (353 - 100) / 2);
    sample.report->Page().SetColumns(1);
    EXPECT_EQ(memo->PixelLeft(), (718 - 100) / 2);
    memo->SetAlignment(TRpAlignment::taLeftJustify);
    EXPECT_EQ(memo->PixelLeft(), 0);
}
