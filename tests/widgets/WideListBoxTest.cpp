#include <QFontMetrics>
#include <QScrollBar>
#include <cmath>
#include <gtest/gtest.h>

#include "TestApp.h"
#include "text/TextCodec.h"
#include "widgets/TWideListBox.h"

using namespace tabulex;
using tabulex::test::app;

namespace {

QFont pixelFont(const char* family, int pixels)
{
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

// Exact font-metrics width of `text` as the list box measures it (unkerned, unshaped font).
int metricsWidth(const QFont& font, const QString& text)
{
    return QFontMetrics(TAdvanceTable::measuringFont(font)).horizontalAdvance(text);
}

class WideListBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        list.setFont(pixelFont("Courier New", 11));
        list.resize(200, 150);
        list.show();
    }
    int scrollRange() { return list.horizontalScrollBar()->maximum() + list.viewport()->width(); }

    tabulex::test::AppFirst appFirst;
    TWideListBox list;
};

}  // namespace

TEST(AdvanceTableTest, MatchesFontMetricsForAsciiAndLatin1)
{
    app();
    const QString samples[] = {
        QStringLiteral("procedure TForm1.Button1Click(Sender: TObject);"),
        QStringLiteral("AVAVAV To Wa fi fl ffi WAVE {x} [y] 0123456789 ~!@#$%^&*()"),
        QString::fromUtf8("Ação, coração, São Paulo: ÀÉÎõü çãõ ¡¿ «»ß ÿ ½ ° ±"),
        QString(),
    };
    for (const char* family : {"Courier New", "MS Sans Serif", "Arial"}) {
        for (int pixels : {11, 13, 17}) {
            const QFont font = pixelFont(family, pixels);
            const TAdvanceTable table(font);
            for (const QString& text : samples) {
                EXPECT_EQ(table.width(text), metricsWidth(font, text))
                    << family << " " << pixels << " " << text.toStdString();
                EXPECT_EQ(table.widthCp1252(toCp1252(text)), metricsWidth(font, text))
                    << family << " " << pixels;
            }
        }
    }
}

TEST_F(WideListBoxTest, RangeFollowsWidestItemThroughAddInsertAndDelete)
{
    EXPECT_EQ(list.widestWidth(), 0);
    list.Items().append("short");
    const int shortWidth = metricsWidth(list.font(), "shortx");
    EXPECT_EQ(list.widestWidth(), shortWidth);

    const std::string longest(80, 'W');
    const std::string middle(60, 'm');
    list.Items().append(middle);
    list.Items().insert(0, longest);
    const int longestWidth = metricsWidth(list.font(), QString::fromStdString(longest + "x"));
    const int middleWidth = metricsWidth(list.font(), QString::fromStdString(middle + "x"));
    EXPECT_EQ(list.widestWidth(), longestWidth);
    EXPECT_EQ(scrollRange(), longestWidth);

    // Scroll right, then delete a narrower item: the view stays where it is.
    list.horizontalScrollBar()->setValue(100);
    list.Items().remove(1);  // "short"
    EXPECT_EQ(list.widestWidth(), longestWidth);
    EXPECT_EQ(list.horizontalScrollBar()->value(), 100);

    // Deleting the widest shrinks the range to the next widest and scrolls to the left edge.
    list.Items().remove(0);
    EXPECT_EQ(list.widestWidth(), middleWidth);
    EXPECT_EQ(scrollRange(), middleWidth);
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0);
}

TEST_F(WideListBoxTest, ClearAndResetRestartFromTheLeftEdge)
{
    list.Items().setItems({std::string(100, 'a'), "b"});
    EXPECT_EQ(list.widestWidth(), metricsWidth(list.font(), QString(100, 'a') + "x"));
    list.horizontalScrollBar()->setValue(50);
    list.Items().clear();
    EXPECT_EQ(list.widestWidth(), 0);
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0);
}

TEST_F(WideListBoxTest, FontChangeRemeasuresEveryItem)
{
    list.Items().setItems({"begin", "procedure Longer;"});
    const QFont larger = pixelFont("Courier New", 20);
    list.setFont(larger);
    EXPECT_EQ(list.widestWidth(), metricsWidth(larger, "procedure Longer;x"));
}

TEST_F(WideListBoxTest, TabWidthSetsTheTabStop)
{
    const int zero = QFontMetrics(TAdvanceTable::measuringFont(list.font())).horizontalAdvance('0');
    list.setTabWidth(8);
    const int stop = static_cast<int>(std::lround(8 * zero * 0.25));
    EXPECT_EQ(list.tabStopPixels(), stop);

    list.Items().setItems({"\tab", "a\t\tb"});
    const int abWidth = metricsWidth(list.font(), "abx");
    EXPECT_EQ(list.itemWidth(0), stop + abWidth);
    // "a" ends before the first stop, the second tab jumps one more stop.
    EXPECT_EQ(list.itemWidth(1), 2 * stop + metricsWidth(list.font(), "bx"));
    EXPECT_EQ(list.widestWidth(), 2 * stop + metricsWidth(list.font(), "bx"));
}

TEST_F(WideListBoxTest, Utf8DisplayedItemsAreMeasuredAsShown)
{
    const std::string utf8 = "coração";
    list.Items().setItems({utf8}, true);
    EXPECT_EQ(list.widestWidth(), metricsWidth(list.font(), QString::fromUtf8("coraçãox")));
}

TEST_F(WideListBoxTest, LineBreaksInsideAnItemShowAsOneMarkOnItsRow)
{
    const std::string header = "procedure Soma(A: Integer;\r\n  B: Integer;\rC: Byte\n)";
    list.Items().setItems({header, "x"});
    const QString mark(TStringListModel::kLineBreakMark);
    EXPECT_EQ(list.Items().displayText(0), "procedure Soma(A: Integer;" + mark + "  B: Integer;" +
                                               mark + "C: Byte" + mark + ")");
    EXPECT_EQ(list.Items().item(0), header);
    EXPECT_EQ(list.itemWidth(0),
              TAdvanceTable(list.font()).width(list.Items().displayText(0) + "x"));
    EXPECT_EQ(list.widestWidth(), list.itemWidth(0));
}

TEST(StringListModelDisplay, VeryLongItemsAreShownCutButKeepEveryByte)
{
    tabulex::TStringListModel model;
    std::string huge(1'000'000, 'a');
    huge[tabulex::TStringListModel::kMaxDisplayBytes - 1] = '\xC3';  // a UTF-8 lead byte at the cut
    huge[tabulex::TStringListModel::kMaxDisplayBytes] = '\xA7';
    model.setItems({huge, "short"}, true);
    EXPECT_EQ(model.item(0).size(), 1'000'000u);
    std::string scratch;
    EXPECT_EQ(model.displayBytes(0, scratch).size(),
              tabulex::TStringListModel::kMaxDisplayBytes - 1);
    EXPECT_EQ(model.displayText(0).size(),
              qsizetype(tabulex::TStringListModel::kMaxDisplayBytes - 1));
    EXPECT_EQ(model.displayText(1), "short");
}

// A click's x maps back to the byte drawn there, through tabs, UTF-8 sequences and a
// horizontal scroll; xOfByte is its inverse at character starts.
TEST_F(WideListBoxTest, PixelsAndBytesMapBothWays)
{
    list.setTabWidth(8);
    const std::string utf8 = "a\tcoração\t\tfim";
    const std::string cp1252 = "x\t\xE7\xE3o := 1; { Ação }";
    list.Items().setItems({utf8, std::string(120, 'w') + "\tend"}, true);
    const auto roundTrip = [&](int row, const std::string& bytes) {
        for (std::size_t b = 0; b < bytes.size(); ++b) {
            const bool continuation =
                (static_cast<unsigned char>(bytes[b]) & 0xC0) == 0x80 && list.Items().utf8Display();
            std::size_t start = b;
            while (continuation && start > 0 &&
                   (static_cast<unsigned char>(bytes[start]) & 0xC0) == 0x80)
                --start;
            EXPECT_EQ(list.byteAt(row, list.xOfByte(row, static_cast<int>(b)) + 1),
                      static_cast<int>(start))
                << "byte " << b << " of row " << row;
        }
        EXPECT_EQ(list.byteAt(row, -500), 0);
        EXPECT_EQ(list.byteAt(row, list.xOfByte(row, static_cast<int>(bytes.size())) + 50),
                  static_cast<int>(bytes.size()));
    };
    roundTrip(0, utf8);
    EXPECT_EQ(list.byteAt(2, 10), -1);

    // Scrolled to the right, the same bytes sit further left.
    const int before = list.xOfByte(1, 100);
    list.horizontalScrollBar()->setValue(60);
    EXPECT_EQ(list.xOfByte(1, 100), before - list.horizontalScrollBar()->value());
    EXPECT_EQ(list.byteAt(1, list.xOfByte(1, 100) + 1), 100);

    list.Items().setItems({cp1252}, false);
    roundTrip(0, cp1252);
}
