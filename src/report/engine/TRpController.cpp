#include "report/engine/TRpController.h"

#include "report/engine/TRpCustomReport.h"

namespace tabulex {

void TRpController::Run(TRpCustomReport& report)
{
    if (OnNeedData) {
        bool moreData = false;
        OnNeedData(this, moreData);
        if (!moreData && !PrintIfEmpty)
            return;
        report.OutputBand(HeaderBand);
        report.MarkTitlePrinted();
        while (moreData && !report.Cancelled()) {
            report.OutputBand(DetailBand);
            ++DetailCount;
            OnNeedData(this, moreData);
        }
        report.OutputBand(FooterBand);
        return;
    }
    if (!PrintIfEmpty)
        return;
    report.OutputBand(HeaderBand);
    report.MarkTitlePrinted();
    report.OutputBand(DetailBand);
    ++DetailCount;
    report.OutputBand(FooterBand);
}

}  // namespace tabulex
