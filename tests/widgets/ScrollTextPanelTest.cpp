#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>
#include <stdexcept>

#include "TestApp.h"
#include "dialogs/TDialogs.h"
#include "widgets/TScrollTextPanel.h"

using namespace tabulex;
using tabulex::test::app;
using Panel = TScrollTextPanel;

namespace {

constexpr unsigned kNeverTicks = 3600 * 1000;  // the tests step the panel themselves

// Pixels of `region` whose colour is close to `colour`.
int countPixels(const QImage& image, const QRect& region, QColor colour)
{
    int count = 0;
    const QRect area = region.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 60 &&
                std::abs(pixel.green() - colour.green()) < 60 &&
                std::abs(pixel.blue() - colour.blue()) < 60)
                ++count;
        }
    }
    return count;
}

void stepTimes(Panel& panel, int steps)
{
    for (int i = 0; i < steps; ++i)
        panel.scrollStep();
}

class ScrollTextPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        QPalette colours = panel.palette();
        colours.setColor(QPalette::Window, Qt::white);
        colours.setColor(QPalette::WindowText, Qt::black);
        colours.setColor(QPalette::Light, Qt::red);
        panel.setPalette(colours);
        QFont font("Liberation Sans");
        font.setPixelSize(12);
        panel.setFont(font);
        panel.setInterval(kNeverTicks);
        panel.resize(200, 100);
    }

    // Steps until the first line stands fully inside the bottom edge of the text area.
    void bringFirstLineIn() { stepTimes(panel, panel.lineHeight()); }
    int dark(const QRect& region) { return countPixels(panel.frame(), region, Qt::black); }

    tabulex::test::AppFirst appFirst;
    Panel panel;
};

}  // namespace

TEST_F(ScrollTextPanelTest, Defaults)
{
    Panel fresh;
    EXPECT_FALSE(fresh.Active());
    EXPECT_TRUE(fresh.AsyncDrawing());
    EXPECT_EQ(fresh.Alignment(), Panel::taCenter);
    EXPECT_FALSE(fresh.Cycled());
    EXPECT_TRUE(fresh.Glyph().isNull());
    EXPECT_EQ(fresh.GlyphLayout(), Panel::glGlyphLeft);
    EXPECT_EQ(fresh.Interval(), 30u);
    EXPECT_TRUE(fresh.Lines().isEmpty());
    EXPECT_EQ(fresh.ScrollDirection(), Panel::sdVertical);
    EXPECT_EQ(fresh.TextStyle(), Panel::bvNone);
    EXPECT_EQ(fresh.BevelOuter(), Panel::bvLowered);
    EXPECT_TRUE(fresh.frame().isNull());
}

TEST_F(ScrollTextPanelTest, RecalculationSkipsLeadingBlankLinesAndSizesTheRectangles)
{
    panel.setLines({"", "   ", "First", "", "Second"});
    panel.setActive(true);
    const QFontMetrics metrics(panel.font());
    EXPECT_EQ(panel.firstDrawnLine(), 2);
    EXPECT_EQ(panel.lineHeight(), metrics.height() + std::max(0, metrics.leading()));
    EXPECT_EQ(panel.innerRect(), QRect(1, 1, 198, 98));  // less the lowered outer bevel
    EXPECT_EQ(panel.textRect(), QRect(4, 4, 192, 92));
    EXPECT_EQ(panel.maxOffset(), 92 + 3 * panel.lineHeight());
    EXPECT_EQ(panel.frame().size(), QSize(192, 92));

    // A text style adds a pixel to the line height, without restarting the run.
    stepTimes(panel, 5);
    panel.setTextStyle(Panel::bvRaised);
    EXPECT_EQ(panel.lineHeight(), metrics.height() + std::max(0, metrics.leading()) + 1);
    EXPECT_EQ(panel.offset(), 5);

    // New lines restart it.
    panel.setLines({"Only"});
    EXPECT_EQ(panel.offset(), 0);
    EXPECT_EQ(panel.firstDrawnLine(), 0);
}

TEST_F(ScrollTextPanelTest, BordersAndBevelsShrinkTheInnerRectangle)
{
    panel.setBevelInner(Panel::bvRaised);
    panel.setBevelWidth(2);
    panel.setBorderWidth(3);
    panel.setLines({"x"});
    panel.setActive(true);
    EXPECT_EQ(panel.innerRect(), QRect(7, 7, 186, 86));
    EXPECT_EQ(panel.textRect(), QRect(10, 10, 180, 80));
}

TEST_F(ScrollTextPanelTest, GlyphLayoutsPlaceThePictureAndMoveTheTextEdge)
{
    QImage glyph(16, 10, QImage::Format_RGB32);
    glyph.fill(Qt::green);
    struct Case {
        Panel::TGlyphLayout layout;
        QPoint origin;
        QRect text;
    };
    // Text rectangle without a picture: 4,4 .. 196,96 (border amount 1).
    const Case cases[] = {
        {Panel::glGlyphLeft, QPoint(7, 45), QRect(27, 4, 169, 92)},
        {Panel::glGlyphRight, QPoint(177, 45), QRect(4, 4, 169, 92)},
        {Panel::glGlyphTop, QPoint(92, 7), QRect(4, 21, 192, 75)},
        {Panel::glGlyphBottom, QPoint(92, 83), QRect(4, 4, 192, 75)},
    };
    panel.setGlyph(glyph);
    panel.setLines({"x"});
    panel.setActive(true);
    for (const Case& c : cases) {
        panel.setGlyphLayout(c.layout);
        EXPECT_EQ(panel.glyphOrigin(), c.origin) << c.layout;
        EXPECT_EQ(panel.textRect(), c.text) << c.layout;
        EXPECT_EQ(panel.frame().size(), c.text.size()) << c.layout;
    }
}

TEST_F(ScrollTextPanelTest, TooSmallPanelGetsAZeroTextRectangleAndDrawsNothing)
{
    panel.resize(6, 6);
    panel.setLines({"x"});
    panel.setActive(true);
    EXPECT_EQ(panel.textRect(), QRect(0, 0, 0, 0));
    panel.scrollStep();
    EXPECT_TRUE(panel.frame().isNull());
}

TEST_F(ScrollTextPanelTest, AllEmptyLinesDrawNothing)
{
    panel.setLines({"", "  ", ""});
    panel.setActive(true);
    EXPECT_EQ(panel.firstDrawnLine(), 3);
    EXPECT_EQ(panel.maxOffset(), panel.textRect().height());
    stepTimes(panel, 50);
    const QImage frame = panel.frame();
    EXPECT_EQ(countPixels(frame, frame.rect(), Qt::white), frame.width() * frame.height());
}

TEST_F(ScrollTextPanelTest, TextEntersAtTheBottomAndMovesUpOnePixelPerStep)
{
    panel.setLines({"MMMM"});
    panel.setActive(true);
    const int height = panel.textRect().height();
    const int line = panel.lineHeight();

    bringFirstLineIn();
    EXPECT_GT(dark(QRect(0, height - line, 192, line)), 0);
    EXPECT_EQ(dark(QRect(0, 0, 192, height - line)), 0);

    stepTimes(panel, 10);  // ten pixels further up
    EXPECT_GT(dark(QRect(0, height - line - 10, 192, line)), 0);
    EXPECT_EQ(dark(QRect(0, height - 10, 192, 10)), 0);
    EXPECT_EQ(dark(QRect(0, 0, 192, height - line - 10)), 0);
}

TEST_F(ScrollTextPanelTest, AlignmentPlacesEachLine)
{
    panel.setLines({"MM"});
    panel.setActive(true);
    bringFirstLineIn();
    const QRect left(0, 0, 60, 92), middle(60, 0, 72, 92), right(132, 0, 60, 92);
    EXPECT_GT(dark(middle), 0);
    EXPECT_EQ(dark(left) + dark(right), 0);

    panel.setAlignment(Panel::taLeftJustify);
    panel.scrollStep();
    EXPECT_GT(dark(left), 0);
    EXPECT_EQ(dark(middle) + dark(right), 0);

    panel.setAlignment(Panel::taRightJustify);
    panel.scrollStep();
    EXPECT_GT(dark(right), 0);
    EXPECT_EQ(dark(left) + dark(middle), 0);
}

TEST_F(ScrollTextPanelTest, TextStylesDrawAHighlightCopy)
{
    panel.setLines({"MMMM"});
    panel.setActive(true);
    bringFirstLineIn();
    EXPECT_EQ(countPixels(panel.frame(), panel.frame().rect(), Qt::red), 0);

    for (Panel::TPanelBevel style : {Panel::bvLowered, Panel::bvRaised}) {
        panel.setTextStyle(style);
        panel.scrollStep();
        EXPECT_GT(countPixels(panel.frame(), panel.frame().rect(), Qt::red), 0) << style;
    }
    panel.setTextStyle(Panel::bvSpace);
    panel.scrollStep();
    EXPECT_EQ(countPixels(panel.frame(), panel.frame().rect(), Qt::red), 0);
}

TEST_F(ScrollTextPanelTest, OnlyTheFirst255CharactersAreDrawn)
{
    panel.setAlignment(Panel::taLeftJustify);
    panel.setScrollDirection(Panel::sdHorizontal);
    panel.setLines({QString(255, QLatin1Char(' ')) + "MMMM"});
    panel.setActive(true);
    // At the end of the run the line's first 255 characters have just left the left edge;
    // anything drawn after them would now stand at the left of the frame.
    stepTimes(panel, panel.maxOffset());
    EXPECT_EQ(panel.offset(), panel.maxOffset());
    EXPECT_EQ(dark(panel.frame().rect()), 0);
}

TEST_F(ScrollTextPanelTest, OnPaintClientPaintsTheBackgroundSeenFromTheTextRectangle)
{
    QRect painted;
    panel.setOnPaintClient([&](Panel*, QPainter& canvas, const QRect& rect) {
        painted = rect;
        canvas.fillRect(rect, Qt::blue);
        canvas.fillRect(QRect(rect.topLeft(), QSize(13, 13)), Qt::green);  // corner mark
    });
    panel.setLines({"x"});
    panel.setActive(true);
    panel.scrollStep();
    EXPECT_EQ(painted, panel.innerRect());
    const QImage frame = panel.frame();
    // Inner rectangle starts at 1,1, the text rectangle at 4,4: the mark shows 10 × 10 pixels.
    EXPECT_EQ(countPixels(frame, QRect(0, 0, 20, 20), Qt::green), 100);
    EXPECT_EQ(frame.pixelColor(30, 5), QColor(Qt::blue));
}

TEST_F(ScrollTextPanelTest, HorizontalScrollShrinksTheRectangleToTheLineBlock)
{
    panel.setScrollDirection(Panel::sdHorizontal);
    panel.setLines({"", "One", "Two", ""});
    panel.setActive(true);
    const int block = 2 * panel.lineHeight();
    const QRect text = panel.textRect();
    EXPECT_EQ(text.height(), block);
    EXPECT_EQ(text.top(), 4 + (92 - block) / 2);
    const QFontMetrics metrics(panel.font());
    const int widest = std::max(metrics.horizontalAdvance("One"), metrics.horizontalAdvance("Two"));
    EXPECT_EQ(panel.maxOffset(), widest + text.width());

    // Left-to-right text enters at the right edge.
    stepTimes(panel, widest / 2);
    EXPECT_GT(dark(QRect(text.width() - widest / 2, 0, widest / 2, block)), 0);
    EXPECT_EQ(dark(QRect(0, 0, text.width() - widest / 2, block)), 0);
}

TEST_F(ScrollTextPanelTest, StopsByItselfOnTheUiThreadWhenNotCycled)
{
    int stops = 0;
    panel.setOnStopPlay([&](Panel*) { ++stops; });
    panel.setLines({"A"});
    panel.setActive(true);
    stepTimes(panel, panel.maxOffset());
    EXPECT_EQ(panel.offset(), panel.maxOffset());
    panel.scrollStep();  // past the end: the stop is handed to the event loop
    panel.scrollStep();
    EXPECT_TRUE(panel.Active());
    EXPECT_EQ(stops, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel.Active());
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(panel.frame().isNull());
}

TEST_F(ScrollTextPanelTest, CycledRunStartsAgain)
{
    panel.setCycled(true);
    panel.setLines({"A"});
    panel.setActive(true);
    stepTimes(panel, panel.maxOffset() + 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel.Active());
    EXPECT_EQ(panel.offset(), 0);
}

TEST_F(ScrollTextPanelTest, StaleStopDoesNotEndARestartedRun)
{
    panel.setLines({"A"});
    panel.setActive(true);
    stepTimes(panel, panel.maxOffset() + 1);  // queues the stop of this run
    panel.setLines({"B"});                    // restarts before the stop arrives
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel.Active());
}

TEST_F(ScrollTextPanelTest, StoppingAndStartingAgainRestartsBelowTheBottomEdge)
{
    int starts = 0;
    panel.setOnStartPlay([&](Panel*) { ++starts; });
    panel.setLines({"MMMM", "MMMM", "MMMM"});
    panel.setActive(true);
    stepTimes(panel, 60);
    panel.setActive(false);
    EXPECT_EQ(panel.offset(), 0);
    panel.setActive(true);
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(panel.offset(), 0);
    panel.scrollStep();
    const int height = panel.textRect().height();
    EXPECT_EQ(dark(QRect(0, 0, 192, height - 1)), 0);
}

TEST_F(ScrollTextPanelTest, ChildrenAreHiddenWhileScrolling)
{
    auto* shown = new QWidget(&panel);
    auto* hidden = new QWidget(&panel);
    hidden->hide();
    panel.setLines({"x"});
    panel.setActive(true);
    EXPECT_TRUE(shown->isHidden());
    panel.setActive(false);
    EXPECT_FALSE(shown->isHidden());
    EXPECT_TRUE(hidden->isHidden());
}

TEST_F(ScrollTextPanelTest, FailingStartLeavesThePanelStopped)
{
    panel.setOnStartPlay([](Panel*) { throw std::runtime_error("no start"); });
    panel.setLines({"x"});
    EXPECT_THROW(panel.setActive(true), std::runtime_error);
    EXPECT_FALSE(panel.Active());
    EXPECT_TRUE(panel.frame().isNull());
}
