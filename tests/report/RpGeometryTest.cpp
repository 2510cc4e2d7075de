// Units, page geometry, band layout, frames and the page output's job rules.
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/engine/ERpError.h"
#include "report/engine/TRpChildBand.h"
#include "report/engine/TRpEvEnvironment.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpUnitBase.h"
#include "report/output/TRpPrinter.h"
#include "report/output/TRpRecordingSurface.h"

using namespace tabulex;
using tabulex::test::ensureGui;

TEST(RpUnits, ConvertsEveryUnitAtTheScreenResolution)
{
    ensureGui();
    TRpUnitBase u;
    EXPECT_EQ(u.Resolution(), 96);
    u.SetUnits(TRpUnit::MM);
    EXPECT_DOUBLE_EQ(u.ToUnits(100, TRpAxis::Horizontal), 10.0);
    EXPECT_DOUBLE_EQ(u.FromUnits(22.75, TRpAxis::Vertical), 227.5);
    u.SetUnits(TRpUnit::Inches);
    EXPECT_DOUBLE_EQ(u.ToUnits(254, TRpAxis::Horizontal), 1.0);
    u.SetUnits(TRpUnit::Pixels);
    EXPECT_NEAR(u.ToUnits(933.98, TRpAxis::Horizontal), 353.0, 0.01);
    u.SetZoom(200);
    EXPECT_NEAR(u.ToUnits(933.98, TRpAxis::Horizontal), 706.0, 0.01);
    EXPECT_NEAR(u.FromUnits(706, TRpAxis::Horizontal), 933.98, 0.01);
    u.SetZoom(100);
    u.SetUnits(TRpUnit::Characters);
    u.SetFontSize(10);
    EXPECT_NEAR(u.ToUnits(100, TRpAxis::Horizontal), 100 / (80.0 / 10 / 2.54) / 10, 1e-9);
    EXPECT_NEAR(u.ToUnits(100, TRpAxis::Vertical), 100 / (145.3 / 10 / 2.54) / 10, 1e-9);
    EXPECT_NEAR(u.FromUnits(u.ToUnits(123, TRpAxis::Vertical), TRpAxis::Vertical), 123, 1e-9);
    u.SetUnits(TRpUnit::Native);
    EXPECT_DOUBLE_EQ(u.ToUnits(42.5, TRpAxis::Vertical), 42.5);
}

TEST(RpPage, PaperSizesOrientationAndCustomSize)
{
    ensureGui();
    TRpPage page;
    page.SetUnits(TRpUnit::Native);
    page.SetPaperSize(TRpPaperSize::A4);
    page.SetOrientation(TRpOrientation::poLandscape);
    EXPECT_DOUBLE_EQ(page.Width(), 2970);
    EXPECT_DOUBLE_EQ(page.Length(), 2100);
    page.SetWidth(1000);  // not Custom: ignored
    page.SetLength(1000);
    EXPECT_DOUBLE_EQ(page.Width(), 2970);
    page.SetOrientation(TRpOrientation::poPortrait);
    page.SetPaperSize(TRpPaperSize::Note);
    EXPECT_DOUBLE_EQ(page.Length(), 2790);
    page.SetPaperSize(TRpPaperSize::CSheet);
    EXPECT_DOUBLE_EQ(page.Width(), 1000);
    page.SetPaperSize(TRpPaperSize::Custom);
    page.SetWidth(1234);
    page.SetLength(567);
    EXPECT_DOUBLE_EQ(page.Width(), 1234);
    EXPECT_DOUBLE_EQ(page.Length(), 567);
    // Values keep their streamed order.
    EXPECT_DOUBLE_EQ(page.Values()[TRpPage::iLength], 567);
    EXPECT_DOUBLE_EQ(page.Values()[TRpPage::iWidth], 1234);
}

TEST(RpPage, ColumnsBelowOneAreIgnored)
{
    ensureGui();
    TRpPage page;
    EXPECT_EQ(page.Columns(), 1);
    page.SetColumns(3);
    page.SetColumns(0);
    page.SetColumns(-2);
    EXPECT_EQ(page.Columns(), 3);
}

TEST(RpLayout, ColumnsSetTheDetailBandWidthWithScreenRounding)
{
    auto sample = tabulex::test::makeSample(2);
    EXPECT_EQ(sample.detail->Size().PixelWidth(), 353);
    EXPECT_NEAR(sample.detail->Size().NativeWidth(), 933.98, 0.005);
    EXPECT_EQ(sample.header->Size().PixelWidth(), 718);
    EXPECT_NEAR(sample.header->Size().NativeWidth(), 1899.71, 0.005);
    EXPECT_EQ(sample.footer->Size().PixelWidth(), 718);
    sample.report->Page().SetColumns(1);
    EXPECT_EQ(sample.detail->Size().PixelWidth(), 718);
    // A child band takes the width rule of its parent.
    sample.header->SetHasChild(true);
    sample.report->Page().SetColumns(2);
    EXPECT_EQ(sample.header->Child()->Size().PixelWidth(), 718);
    sample.detail->SetHasChild(true);
    EXPECT_EQ(sample.detail->Child()->Size().PixelWidth(), 353);
}

TEST(RpLayout, SizesHoldWholeScreenPixels)
{
    auto sample = tabulex::test::makeSample(2, 40, 40, 40);
    sample.header->SetHeight(22.75);
    EXPECT_NEAR(sample.header->Size().NativeHeight(), 227.54, 0.005);
    sample.detail->SetHeight(3.70);
    EXPECT_NEAR(sample.detail->Size().NativeHeight(), 37.04, 0.005);
    sample.footer->SetHeight(7.67);
    EXPECT_NEAR(sample.footer->Size().NativeHeight(), 76.73, 0.005);
}

TEST(RpFunctions, StartWithTheirInitialValues)
{
    TRpEvEnvironment functions;
    EXPECT_EQ(functions.Value("PAGENUMBER"), "0");
    EXPECT_EQ(functions.Value("COLUMNNUMBER"), "0");
    EXPECT_EQ(functions.Value("REPORTTITLE"), "''");
}

TEST(RpPrinter, JobRulesAndCoordinates)
{
    ensureGui();
    TRpPrinter out;
    EXPECT_THROW(out.NewPage(), ERpError);
    try {
        out.NewPage();
    } catch (const ERpError& e) {
        EXPECT_STREQ(e.what(), "Illegal call to NewPage");
    }
    out.BeginJob();
    EXPECT_EQ(out.Status(), TRpPrinterStatus::Busy);
    try {
        out.BeginJob();
        ADD_FAILURE() << "second BeginJob accepted";
    } catch (const ERpError& e) {
        EXPECT_STREQ(e.what(), "RpPrinter not ready");
    }
    EXPECT_EQ(out.XPos(2540), 960);
    EXPECT_EQ(out.YSize(254), 96);
    out.LeftWaste = 254;
    EXPECT_EQ(out.XPos(508), 96);
    out.LeftWaste = 0;
    out.NewPage();
    out.NewPage();
    EXPECT_EQ(out.PageCount(), 2);
    EXPECT_EQ(out.AvailablePages(), 1);
    ASSERT_NE(out.Surface(), nullptr);
    out.EndJob();
    EXPECT_EQ(out.Status(), TRpPrinterStatus::Finished);
    EXPECT_EQ(out.AvailablePages(), 2);
    ASSERT_NE(out.GetPage(2), nullptr);
    ASSERT_NE(out.GetPage(2)->Record(), nullptr);
    EXPECT_EQ(out.GetPage(2)->Record()->Width(), 794);
    EXPECT_EQ(out.GetPage(3), nullptr);
    EXPECT_EQ(out.GetPage(0), nullptr);
    EXPECT_THROW(out.NewPage(), ERpError);
}

TEST(RpFrame, ThinFramesAreOnePixelAndSidesSitOnTheEdges)
{
    ensureGui();
    rpSetScreenResolution(30);  // 0.118 pixels per tenth of a millimetre
    TRpPrinter out;
    rpSetScreenResolution(96);
    TRpTextMeasurer& measurer = out.Measurer();
    out.SetPageFactory([&measurer](int page, int, int) -> std::unique_ptr<TRpSurface> {
        return std::make_unique<TRpRecordingSurface>(page, measurer);
    });
    out.BeginJob();
    out.NewPage();
    TRpFrame frame;
    frame.DrawTop = frame.DrawBottom = frame.DrawLeft = frame.DrawRight = true;
    frame.Width = 1;
    frame.Draw(out, 0, 0, 1000, 500);
    const auto& calls = dynamic_cast<TRpRecordingSurface*>(out.Surface())->Calls();
    ASSERT_EQ(calls.size(), 4u);
    const int right = out.XPos(1000);
    const int bottom = out.YPos(500);
    EXPECT_EQ(calls[0].rect, QRect(QPoint(0, 0), QPoint(right - 1, 0)));  // top
    EXPECT_EQ(calls[1].rect, QRect(QPoint(0, bottom - 1), QPoint(right - 1, bottom - 1)));
    EXPECT_EQ(calls[2].rect, QRect(QPoint(0, 0), QPoint(0, bottom - 1)));  // left
    EXPECT_EQ(calls[3].rect, QRect(QPoint(right - 1, 0), QPoint(right - 1, bottom - 1)));
    out.EndJob();
}
