#pragma once
#include <memory>

#include "TRpController.h"
#include "TRpCustomReport.h"
#include "TRpPrinter.h"

namespace tabulex {

/// The report: a band report whose detail driver prints title, detail and summary bands.
/// Without a data set the detail band prints once when `PrintIfEmpty` is set.
class TRpReport : public TRpCustomReport {
public:
    TRpReport();

    bool PrintIfEmpty() const { return controller_.PrintIfEmpty; }
    void SetPrintIfEmpty(bool on) { controller_.PrintIfEmpty = on; }
    TRpController& Controller() { return controller_; }
    const TRpController& Controller() const { return controller_; }

    /// Which bands exist; turning one on adds a band of that type, off removes it.
    bool HasBand(TRpBandType type) const { return FindBand(type) != nullptr; }
    void SetHasBand(TRpBandType type, bool on);

    /// Runs the report into a new page output of recorded pages (QPicture pages unless a
    /// page factory is given) and returns it; null when BeforePrint refused the run.
    std::unique_ptr<TRpPrinter> GeneratePages(TRpPrinter::PageFactory factory = {});

protected:
    void RunDetailDriver() override { controller_.Run(*this); }
    void PrepareDetailDriver() override;
    void UnprepareDetailDriver() override { controller_.Unprepare(); }
    TRpCustomBand* TitleBand() const override { return FindBand(TRpBandType::rbTitle); }

private:
    TRpController controller_;
};

}  // namespace tabulex
