#include "report/output/TRpReportPages.h"

#include "report/engine/TRpReport.h"

namespace tabulex {

std::unique_ptr<TRpPrinter> GeneratePages(TRpReport& report, TRpPrinter::PageFactory factory,
                                          bool pageStore, std::function<void()> betweenPages)
{
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Metafile);
    output->BetweenPages = std::move(betweenPages);
    if (factory)
        output->SetPageFactory(std::move(factory));
    output->UsePageStore(pageStore);
    TRpPageOutput* previous = report.Printer();
    report.SetPrinter(output.get());
    try {
        report.GenerateReport();
    } catch (...) {
        report.SetPrinter(previous);
        throw;
    }
    report.SetPrinter(previous);
    if (output->Status() == TRpPrinterStatus::Ready)
        return nullptr;
    return output;
}

}  // namespace tabulex
