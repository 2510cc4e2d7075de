#include "ReportTestSupport.h"

#include <QGuiApplication>

#include "report/engine/TRpUnitBase.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"

namespace tabulex::test {

void ensureGui()
{
    rpSetScreenResolution(96);
    if (QGuiApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "report_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

RecordedRun runRecorded(TRpReport& report)
{
    ensureGui();
    RecordedRun run;
    TRpTextMeasurer* measurer = nullptr;
    auto output = std::make_unique<TRpPrinter>();
    measurer = &output->Measurer();
    output->SetPageFactory([measurer](int page, int, int) -> std::unique_ptr<TRpSurface> {
        return std::make_unique<TRpRecordingSurface>(page, *measurer);
    });
    report.SetPrinter(output.get());
    report.GenerateReport();
    report.SetPrinter(nullptr);
    for (const auto& page : output->Pages())
        run.pages.push_back(dynamic_cast<const TRpRecordingSurface*>(page.get()));
    run.output = std::move(output);
    return run;
}

std::vector<TRpRecordingSurface::Call> textCalls(const TRpRecordingSurface& page)
{
    std::vector<TRpRecordingSurface::Call> calls;
    for (const auto& call : page.Calls())
        if (call.kind == TRpRecordingSurface::Kind::Text)
            calls.push_back(call);
    return calls;
}

SampleReport makeSample(int columns, int headerPx, int detailPx, int footerPx)
{
    ensureGui();
    SampleReport s;
    s.report = std::make_unique<TRpReport>();
    TRpReport& r = *s.report;
    r.SetUnits(TRpUnit::MM);
    r.Page().SetValues({100.0, 2970.0, 100.0, 2100.0, 100.0, 100.0, 30.0});
    r.Page().SetColumns(columns);
    s.header = r.AddBand("header", TRpBandType::rbPageHeader);
    s.header->Size().SetPixelHeight(headerPx);
    s.detail = r.AddBand("detail", TRpBandType::rbDetail);
    s.detail->Size().SetPixelHeight(detailPx);
    s.footer = r.AddBand("footer", TRpBandType::rbPageFooter);
    s.footer->Size().SetPixelHeight(footerPx);

    auto* title = s.header->AddItem(std::make_unique<TRpLabel>("title"));
    title->SetBounds(10, 5, 40, 4);
    title->SetCaption("HEADER");
    s.pageNumber = s.header->AddItem(std::make_unique<TRpSysData>("page"));
    s.pageNumber->SetBounds(150, 5, 20, 4);
    s.pageNumber->SetData(TRpSysDataType::rpsPageNumber);
    auto* foot = s.footer->AddItem(std::make_unique<TRpLabel>("foot"));
    foot->SetBounds(10, 1, 40, 4);
    foot->SetCaption("FOOTER");

    s.memo = s.detail->AddItem(std::make_unique<TRpMemo>("memo"));
    s.memo->SetBounds(0, 0, 91.81, 3.44);
    s.memo->SetAlignToBand(true);
    s.memo->AutoStretch = true;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(7);
    s.memo->SetFont(font);
    s.memo->ClearLines();
    return s;
}

std::vector<std::string> numberedLines(int count)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

}  // namespace tabulex::test
