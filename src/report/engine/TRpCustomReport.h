#pragma once
#include <QFont>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report/engine/RpTypes.h"
#include "report/engine/TRpFrame.h"
#include "report/engine/TRpPageSource.h"
#include "report/engine/TRpReportPrinterSettings.h"

namespace tabulex {

class TRpBand;
class TRpCustomBand;
class TRpCustomReportPrivate;
class TRpEvEnvironment;
class TRpPage;
class TRpPageOutput;
class TRpPrintable;
class TRpTextMeasurer;

/// A band report: page geometry, bands in band order and the generation run that walks
/// them over columns and pages onto a page output. All run lengths are tenths of a millimetre.
///
/// Failures: the engine raises exceptions and never shows anything. A run that cannot go on
/// (ERpError from the engine or its page output, or any exception an event handler throws)
/// ends its page output's job, restores the report's units and propagates the exception out
/// of GenerateReport to the caller, which decides what the user sees.
class TRpCustomReport : public TRpPageSource {
public:
    using BeforePrintEvent = std::function<void(TRpCustomReport* sender, bool& printReport)>;
    using NotifyEvent = std::function<void(TRpCustomReport* sender)>;

    TRpCustomReport();
    ~TRpCustomReport() override;
    TRpCustomReport(const TRpCustomReport&) = delete;
    TRpCustomReport& operator=(const TRpCustomReport&) = delete;

    // --- definition -------------------------------------------------------------------
    TRpPage& Page();
    const TRpPage& Page() const;
    TRpUnit Units() const;
    /// Switches the report, its page, bands and items to `units`.
    virtual void SetUnits(TRpUnit units);
    int Zoom() const;
    /// Percent; values outside 1..300 are ignored.
    void SetZoom(int zoom);
    QFont Font{QStringLiteral("Arial"), 10};
    TRpOptions Options = FirstPageHeader | LastPageFooter;
    TRpReportPrinterSettings PrinterSettings;
    bool ShowProgress = true;
    std::string ReportTitle;
    TRpFrame Frame;
    TRpEvEnvironment& Functions();
    /// Screen-compatible surface on which text items measure text.
    TRpTextMeasurer& ReferenceSurface();

    /// Appends a band (band order is the order of adding); the report owns it.
    TRpBand* AddBand(std::string name, TRpBandType type);
    const std::vector<std::unique_ptr<TRpBand>>& Bands() const;
    /// The first band of a type in band order, or null.
    TRpBand* FindBand(TRpBandType type) const;
    /// Places an item directly on the report, outside any band; printed at every page end.
    TRpPrintable* AddItem(std::unique_ptr<TRpPrintable> item);
    /// Design-time layout: band widths from the page geometry and the columns.
    void AlignBands();

    // --- events -----------------------------------------------------------------------
    BeforePrintEvent BeforePrint;
    NotifyEvent AfterPrint;
    NotifyEvent AfterPreview;
    NotifyEvent OnStartPage;
    NotifyEvent OnEndPage;

    // --- run --------------------------------------------------------------------------
    /// The page output of the next run (not owned); without one the report runs onto a
    /// blank page output of its own (which keeps no pages), kept until the next run.
    void SetPrinter(TRpPageOutput* printer);
    TRpPageOutput* Printer() const;
    /// One full run onto the page output.
    virtual void GenerateReport();
    /// Cancels the running job: no final page end, the job is aborted.
    void Cancel() override;

    /// Space left in the current column above the page footer (what a growing item may take).
    int RemainingSpace() const;

    // The state of the current or last run.
    bool Generating() const;
    bool Cancelled() const;
    int CurrentColumn() const;
    int PageCount() const;
    double PageFooterHeight() const;

protected:
    /// Runs the detail driver.
    virtual void RunDetailDriver() = 0;
    virtual void PrepareDetailDriver() {}
    virtual void UnprepareDetailDriver() {}
    /// Band printed before the details (and whose height columns other than the first skip).
    virtual TRpCustomBand* TitleBand() const { return nullptr; }

private:
    // The detail driver prints its bands through OutputBand and MarkTitlePrinted.
    friend class TRpController;

    // The run's steps: bands onto the page output, columns and pages.
    void OutputBand(TRpCustomBand* band);
    /// Called by the detail driver right after it printed its title band.
    void MarkTitlePrinted();
    void AdvanceColumn();
    void BeginPage();
    void FinishPage();
    void BreakPage();
    void BreakColumn();
    void renderBand(TRpCustomBand& band);
    void ensureRoom(TRpCustomBand& band);
    double paperLength() const;
    bool isPageBand(const TRpCustomBand& band) const;
    void forEachItem(const std::function<void(TRpPrintable&)>& action);
    void checkMargins();
    void preparePrinter();
    double computePageFooterHeight() const;
    void cleanUp(TRpUnit savedUnits, bool jobStarted);

    std::unique_ptr<TRpCustomReportPrivate> d_;
};

}  // namespace tabulex
