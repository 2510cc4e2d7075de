// The generation run: band flow over columns and pages, checked through recorded pages.
#include <QDate>
#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <stdexcept>

#include "ReportTestSupport.h"
#include "report/engine/ERpError.h"
#include "report/engine/TRpChildBand.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"
#include "text/TextCodec.h"

using namespace tabulex;
using tabulex::test::makeSample;
using tabulex::test::numberedLines;
using tabulex::test::runRecorded;
using Call = TRpRecordingSurface::Call;

namespace {

constexpr double kLineHeight = 10 / (96 / 254.0);  // Arial 7 at 96 dpi, in tenths of a mm
constexpr double kDetailHeight = 14 * 254 / 96.0;

int px(double native)
{
    return static_cast<int>(std::lround(native * 96 / 254.0));
}

// Lines the memo places in one column starting at `top`: the first fits in the memo's own
// height, each further one while the band can still grow by it.
int linesPerColumn(int top)
{
    const int remaining = static_cast<int>(std::lround(2970 - 100 - 29 * 254 / 96.0 - top));
    int lines = 1;
    double expanded = 0;
    while (remaining >= std::lround(kLineHeight + kDetailHeight + expanded)) {
        expanded += kLineHeight;
        ++lines;
    }
    return lines;
}

std::vector<Call> memoCalls(const TRpRecordingSurface& page)
{
    std::vector<Call> calls;
    for (const Call& call : tabulex::test::textCalls(page))
        if (call.text.rfind("line ", 0) == 0 || call.text == "a" || call.text == "b")
            calls.push_back(call);
    return calls;
}

const Call* findText(const TRpRecordingSurface& page, const std::string& text)
{
    for (const Call& call : page.Calls())
        if (call.kind == TRpRecordingSurface::Kind::Text && call.text == text)
            return &call;
    return nullptr;
}

// A memo that logs each print: column number, first line and state afterwards.
class LoggingMemo : public TRpMemo {
public:
    struct Entry {
        std::string column;
        std::size_t startLine;
        std::size_t endLine;
        bool finished;
    };
    using TRpMemo::TRpMemo;
    void Print(double x, double y) override
    {
        const std::size_t start = PrintFinished() ? 0 : CurrentLine;
        TRpMemo::Print(x, y);
        log.push_back(
            {Report()->Functions().Value("COLUMNNUMBER"), start, CurrentLine, PrintFinished()});
    }
    std::vector<Entry> log;
};

LoggingMemo* replaceMemo(tabulex::test::SampleReport& s)
{
    s.memo->SetEnabled(false);
    auto* memo = s.detail->AddItem(std::make_unique<LoggingMemo>("logmemo"));
    memo->SetBounds(0, 0, 91.81, 3.44);
    memo->AutoStretch = true;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    memo->SetFont(font);
    memo->ClearLines();
    return memo;
}

}  // namespace

TEST(RpRun, WorkedLayoutOfTheTwoColumnReport)
{
    auto s = makeSample(2);
    LoggingMemo* memo = replaceMemo(s);
    const int perColumn = linesPerColumn(328);
    const int total = perColumn * 5 + 3;  // two full pages and a part of a third
    memo->SetLines(numberedLines(total));
    std::vector<std::string> events;
    s.report->OnStartPage = [&](TRpCustomReport* r) {
        events.push_back("start " + r->Functions().Value("PAGENUMBER"));
    };
    s.report->OnEndPage = [&](TRpCustomReport* r) {
        events.push_back("end " + std::to_string(r->PageCount()));
    };
    s.header->AfterPrint = [&](TRpCustomBand*, bool) { events.push_back("header"); };
    s.footer->AfterPrint = [&](TRpCustomBand*, bool) { events.push_back("footer"); };

    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 3u);
    EXPECT_EQ(events, (std::vector<std::string>{"start 1", "header", "footer", "end 1", "start 2",
                                                "header", "footer", "end 2", "start 3", "header",
                                                "footer", "end 3"}));

    // Page 1: the header band from 100 to 328, then the detail band at (100, 328).
    const TRpRecordingSurface& page1 = *run.pages[0];
    const Call& headerFill = page1.Calls().front();
    EXPECT_EQ(headerFill.kind, TRpRecordingSurface::Kind::Rect);
    EXPECT_EQ(headerFill.rect.top(), px(100));
    EXPECT_EQ(headerFill.rect.bottom(), px(100 + 227.54) - 1);
    const auto lines1 = memoCalls(page1);
    ASSERT_EQ(lines1.size(), static_cast<std::size_t>(2 * perColumn));
    EXPECT_EQ(lines1[0].text, "line 1");
    EXPECT_EQ(lines1[0].x, px(100));
    EXPECT_EQ(lines1[0].y, px(328));
    EXPECT_EQ(lines1[1].y, px(328 + kLineHeight));
    // Column 2 starts at x = 100 + 30 + 934 and at the column top.
    const Call& column2 = lines1[static_cast<std::size_t>(perColumn)];
    EXPECT_EQ(column2.text, "line " + std::to_string(perColumn + 1));
    EXPECT_EQ(column2.x, px(1064));
    EXPECT_EQ(column2.y, px(328));
    // The footer at round(2970 - 100 - 76.73) = 2793 on every page.
    for (const auto* page : run.pages) {
        const Call* footer = findText(*page, "FOOTER");
        ASSERT_NE(footer, nullptr);
        EXPECT_EQ(footer->y,
                  px(2793 + s.footer->Items()[0]->Size().Native(TRpPrintableSize::iTop)));
        ASSERT_NE(findText(*page, "HEADER"), nullptr);
    }
    // Page numbers 1, 2, 3 from the system-data item.
    EXPECT_NE(findText(*run.pages[0], "1"), nullptr);
    EXPECT_NE(findText(*run.pages[1], "2"), nullptr);
    EXPECT_NE(findText(*run.pages[2], "3"), nullptr);
    EXPECT_EQ(memoCalls(*run.pages[2]).size(), static_cast<std::size_t>(perColumn + 3));

    // One print per column; columns alternate 1, 2; each print resumes where the last stopped.
    ASSERT_EQ(memo->log.size(), 6u);
    for (std::size_t i = 0; i < memo->log.size(); ++i) {
        EXPECT_EQ(memo->log[i].column, i % 2 == 0 ? "1" : "2");
        EXPECT_EQ(memo->log[i].startLine, i * static_cast<std::size_t>(perColumn));
        EXPECT_EQ(memo->log[i].finished, i == 5);
    }
    EXPECT_EQ(memo->log[0].endLine, static_cast<std::size_t>(perColumn));
    EXPECT_TRUE(memo->PrintFinished());
    EXPECT_EQ(s.report->Functions().Value("PAGENUMBER"), "3");
}

TEST(RpRun, DetailBandFrameRulesEveryColumn)
{
    auto s = makeSample(2);
    s.detail->Frame.DrawRight = true;
    s.memo->SetLines(numberedLines(linesPerColumn(328) + 1));
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 1u);
    std::vector<int> rules;
    for (const Call& call : run.pages[0]->Calls())
        if (call.kind == TRpRecordingSurface::Kind::Rect && call.rect.width() == 1)
            rules.push_back(call.rect.left());
    EXPECT_EQ(rules, (std::vector<int>{px(100 + 933.98) - 1, px(1064 + 933.98) - 1}));
}

TEST(RpRun, MemoThatExactlyFillsAColumnStartsNoOtherColumn)
{
    auto s = makeSample(2);
    LoggingMemo* memo = replaceMemo(s);
    memo->SetLines(numberedLines(linesPerColumn(328)));
    int footers = 0;
    s.footer->AfterPrint = [&](TRpCustomBand*, bool) { ++footers; };
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 1u);
    ASSERT_EQ(memo->log.size(), 1u);
    EXPECT_TRUE(memo->log[0].finished);
    EXPECT_EQ(footers, 1);
    for (const Call& call : memoCalls(*run.pages[0]))
        EXPECT_EQ(call.x, px(100));
    EXPECT_EQ(s.report->CurrentColumn(), 1);
}

TEST(RpRun, OneColumnStartsANewPageForEveryColumn)
{
    auto s = makeSample(1);
    const int perColumn = linesPerColumn(328);
    s.memo->SetLines(numberedLines(perColumn * 2 + 1));
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 3u);
    EXPECT_EQ(memoCalls(*run.pages[0]).size(), static_cast<std::size_t>(perColumn));
    EXPECT_EQ(memoCalls(*run.pages[1]).front().y, px(328));
    EXPECT_EQ(memoCalls(*run.pages[1]).front().x, px(100));
    EXPECT_EQ(memoCalls(*run.pages[2]).size(), 1u);
}

TEST(RpRun, FirstPageHeaderAndLastPageFooterOptions)
{
    auto s = makeSample(2);
    s.report->Options = 0;
    const int perColumn = linesPerColumn(100);
    s.memo->SetLines(numberedLines(perColumn * 3));
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 2u);
    EXPECT_EQ(findText(*run.pages[0], "HEADER"), nullptr);
    EXPECT_NE(findText(*run.pages[1], "HEADER"), nullptr);
    EXPECT_NE(findText(*run.pages[0], "FOOTER"), nullptr);
    EXPECT_EQ(findText(*run.pages[1], "FOOTER"), nullptr);
    // Without a header the first page's columns start at the top margin.
    EXPECT_EQ(memoCalls(*run.pages[0]).front().y, px(100));
}

TEST(RpRun, PrintIfEmptyOffOrBeforePrintRefusingGivesNoPage)
{
    auto s = makeSample(2);
    s.report->SetPrintIfEmpty(false);
    s.memo->SetLines(numberedLines(10));
    int pageEnds = 0;
    s.report->OnEndPage = [&](TRpCustomReport*) { ++pageEnds; };
    auto run = runRecorded(*s.report);
    EXPECT_TRUE(run.pages.empty());
    EXPECT_EQ(pageEnds, 0);

    s.report->SetPrintIfEmpty(true);
    s.report->BeforePrint = [](TRpCustomReport*, bool& print) { print = false; };
    auto refused = runRecorded(*s.report);
    EXPECT_TRUE(refused.pages.empty());
    EXPECT_EQ(refused.output->Status(), TRpPrinterStatus::Ready);
    EXPECT_EQ(pageEnds, 0);
}

TEST(RpRun, EmptyDetailPrintsHeaderAndFooterOnOnePage)
{
    auto s = makeSample(2);
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_NE(findText(*run.pages[0], "HEADER"), nullptr);
    EXPECT_NE(findText(*run.pages[0], "FOOTER"), nullptr);
}

TEST(RpRun, EmptyMemoLinePrintsAsAFullLine)
{
    auto s = makeSample(2);
    s.memo->SetLines({"a", "", "b"});
    auto run = runRecorded(*s.report);
    const auto calls = memoCalls(*run.pages[0]);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].y, px(328 + 2 * kLineHeight));
}

TEST(RpRun, BandTallerThanThePageIsPrintedWhereItIs)
{
    auto s = makeSample(2, 86, 1200, 29);
    auto run = runRecorded(*s.report);
    ASSERT_EQ(run.pages.size(), 1u);
    EXPECT_EQ(s.report->CurrentColumn(), 1);
    // The band's fill starts right below the header.
    bool found = false;
    for (const Call& call : run.pages[0]->Calls())
        if (call.kind == TRpRecordingSurface::Kind::Rect && call.rect.top() == px(328) &&
            call.rect.height() >= 1100)
            found = true;
    EXPECT_TRUE(found);
}

TEST(RpRun, UnitsAreNativeDuringTheRunAndRestoredAfterAFailure)
{
    auto s = makeSample(2);
    s.memo->SetLines(numberedLines(linesPerColumn(328) * 3));
    std::vector<TRpUnit> seen;
    s.report->OnStartPage = [&](TRpCustomReport* r) {
        seen.push_back(r->Units());
        if (r->PageCount() == 2)
            throw std::runtime_error("stop");
    };
    auto output = std::make_unique<TRpPrinter>();
    s.report->SetPrinter(output.get());
    EXPECT_THROW(s.report->GenerateReport(), std::runtime_error);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), TRpUnit::Native);
    EXPECT_EQ(s.report->Units(), TRpUnit::MM);
    EXPECT_EQ(s.detail->Size().Units(), TRpUnit::MM);
    EXPECT_FALSE(s.report->Generating());
    EXPECT_EQ(output->Status(), TRpPrinterStatus::Finished);
    // A later run starts the memo from its first line again.
    s.report->OnStartPage = nullptr;
    s.report->SetPrinter(nullptr);
    auto run = runRecorded(*s.report);
    EXPECT_EQ(memoCalls(*run.pages[0]).front().text, "line 1");
}

TEST(RpRun, PrinterThatIsNotReadyFailsTheRunAndLeavesItsJobAlone)
{
    auto s = makeSample(2);
    TRpPrinter busy;
    busy.BeginJob();
    s.report->SetPrinter(&busy);
    EXPECT_THROW(s.report->GenerateReport(), ERpError);
    EXPECT_EQ(busy.Status(), TRpPrinterStatus::Busy);
    EXPECT_FALSE(s.report->Generating());
    s.report->SetPrinter(nullptr);
}

TEST(RpRun, NegativePrintableSizeClearsTheMargins)
{
    auto s = makeSample(2);
    s.report->Page().SetNative(TRpPage::iLeftMargin, 1500);
    s.report->Page().SetNative(TRpPage::iRightMargin, 1500);
    runRecorded(*s.report);
    EXPECT_DOUBLE_EQ(s.report->Page().Native(TRpPage::iLeftMargin), 0);
    EXPECT_DOUBLE_EQ(s.report->Page().Native(TRpPage::iRightMargin), 0);
    EXPECT_DOUBLE_EQ(s.report->Page().Native(TRpPage::iTopMargin), 100);
}

TEST(RpRun, ChildBandPrintsAfterItsParent)
{
    auto s = makeSample(2);
    s.footer->SetHasChild(true);
    TRpChildBand* child = s.footer->Child();
    child->Size().SetPixelHeight(10);
    auto* label = child->AddItem(std::make_unique<TRpLabel>("childlabel"));
    label->SetCaption("CHILD");
    std::vector<TRpBandType> typeWhilePrinting;
    child->BeforePrint = [&](TRpCustomBand* b, bool&) {
        typeWhilePrinting.push_back(b->BandType());
    };
    auto run = runRecorded(*s.report);
    EXPECT_NEAR(s.report->PageFooterHeight(), (29 + 10) * 254 / 96.0, 1e-9);
    const Call* footer = findText(*run.pages[0], "FOOTER");
    const Call* childText = findText(*run.pages[0], "CHILD");
    ASSERT_NE(footer, nullptr);
    ASSERT_NE(childText, nullptr);
    EXPECT_GT(childText->y, footer->y);
    EXPECT_EQ(typeWhilePrinting, std::vector<TRpBandType>{TRpBandType::rbPageFooter});
    EXPECT_EQ(child->BandType(), TRpBandType::rbChild);
}

TEST(RpRun, SystemDataValues)
{
    auto s = makeSample(2);
    s.report->ReportTitle = "My title";
    auto* title = s.header->AddItem(std::make_unique<TRpSysData>("reporttitle"));
    title->SetBounds(60, 10, 30, 4);
    title->SetData(TRpSysDataType::rpsReportTitle);
    title->SetText("T: ");
    EXPECT_EQ(title->Caption(), "T: (Report title)");
    auto* date = s.header->AddItem(std::make_unique<TRpSysData>("date"));
    date->SetBounds(100, 10, 30, 4);
    date->SetData(TRpSysDataType::rpsDate);
    auto run = runRecorded(*s.report);
    EXPECT_NE(findText(*run.pages[0], "T: My title"), nullptr);
    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    EXPECT_NE(findText(*run.pages[0], toCp1252(today)), nullptr);
    EXPECT_EQ(s.report->Functions().Value("REPORTTITLE"), "My title");
}

TEST(RpRun, PageHeaderThatLeavesNoRoomDoesNotLoopForever)
{
    // Header and footer together are taller than the printable length.
    auto s = makeSample(2, 900, 14, 200);
    s.memo->SetLines(numberedLines(3));
    auto run = runRecorded(*s.report);
    EXPECT_GE(run.pages.size(), 1u);
    EXPECT_LE(run.pages.size(), 2u);
    EXPECT_FALSE(s.report->Generating());
}

TEST(RpRun, LineThatFitsNoColumnEndsTheBand)
{
    auto s = makeSample(2);
    QFont huge(QStringLiteral("Arial"));
    huge.setPointSize(800);  // one line is taller than a whole column
    s.memo->SetFont(huge);
    s.memo->SetLines({"x", "y"});
    auto run = runRecorded(*s.report);
    EXPECT_LE(run.pages.size(), 2u);
    EXPECT_FALSE(s.memo->PrintFinished());
    EXPECT_FALSE(s.report->Generating());
}

TEST(RpRun, OnPrintChangesTheTextForOnePrintOnly)
{
    auto s = makeSample(2);
    auto* label = dynamic_cast<TRpLabel*>(s.footer->Items()[0].get());
    ASSERT_NE(label, nullptr);
    int calls = 0;
    label->OnPrint = [&](TRpCustomLabel*, std::string& value) {
        ++calls;
        value = "PRINTED " + value;
    };
    auto run = runRecorded(*s.report);
    EXPECT_EQ(calls, 1);
    EXPECT_NE(findText(*run.pages[0], "PRINTED FOOTER"), nullptr);
    EXPECT_EQ(label->PrintCaption(), "FOOTER");
    EXPECT_EQ(label->Caption(), "FOOTER");
}

TEST(RpRun, ReportWithoutAPageOutputMakesAFreshOneForEveryRun)
{
    auto s = makeSample(2);
    s.report->GenerateReport();
    ASSERT_NE(s.report->Printer(), nullptr);
    EXPECT_EQ(s.report->Printer()->PageCount(), 1);
    EXPECT_NO_THROW(s.report->GenerateReport());
    EXPECT_EQ(s.report->Printer()->Status(), TRpPrinterStatus::Finished);
    EXPECT_EQ(s.report->Printer()->PageCount(), 1);
}

TEST(RpRun, ReportWithoutAPageOutputPaginatesAsARecordedRun)
{
    // The report's own page output draws nothing; its pages must still measure text as
    // recorded pages do, or a long memo would break over a different number of pages.
    auto s = makeSample(2);
    s.memo->SetLines(numberedLines(linesPerColumn(328) * 5 + 3));
    const std::size_t recorded = runRecorded(*s.report).pages.size();
    s.report->GenerateReport();
    EXPECT_EQ(recorded, 3u);
    EXPECT_EQ(s.report->Printer()->PageCount(), static_cast<int>(recorded));
}

// The memo wraps its lines as the run reaches them and forgets what it has printed: every
// formatted line still comes out once, in order, over many columns, and again in a second run.
TEST(RpRun, MemoPrintsEachFormattedLineOnceOverColumnsAndRuns)
{
    auto s = makeSample(2);
    std::vector<std::string> lines;
    for (int i = 1; i <= 900; ++i) {
        std::string line = "w" + std::to_string(i) + " begin x := y-z; ";
        if (i % 7 == 0)
            line += "split\nword ";
        if (i % 5 == 0)
            line += "before\rafter ";
        if (i % 11 == 0)
            line += std::string(400, 'Q') + " tail";
        if (i % 13 == 0)
            line.clear();
        for (int k = 0; k < i % 4; ++k)
            line += "and some more words to wrap ";
        lines.push_back(line);
    }
    s.memo->SetLines(lines);
    std::vector<std::string> expected;
    for (const std::string& line : s.memo->FormattedLines())
        if (!line.empty())
            expected.push_back(line);
    ASSERT_GT(expected.size(), lines.size());
    for (int run = 0; run < 2; ++run) {
        const auto recorded = runRecorded(*s.report);
        ASSERT_GE(recorded.pages.size(), 3u);
        std::vector<std::string> printed;
        for (const auto* page : recorded.pages)
            for (const Call& call : tabulex::test::textCalls(*page))
                if (call.text != "HEADER" && call.text != "FOOTER" &&
                    call.text.find_first_not_of("0123456789") != std::string::npos)
                    printed.push_back(call.text);
        EXPECT_EQ(printed, expected) << "run " << run + 1;
    }
}
