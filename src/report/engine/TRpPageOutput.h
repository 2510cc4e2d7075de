#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "analysis/SourceEncoding.h"
#include "report/engine/RpTypes.h"
#include "report/engine/TPrinterSettings.h"
#include "report/engine/TRpPageSource.h"
#include "report/engine/TRpSurface.h"

namespace tabulex {

/// What a report run writes its pages into: the job the run describes (settings, range,
/// title), the conversion from tenths of a millimetre to device pixels, and the job steps.
/// The run and its items know a page output only through this class; where the pages go
/// (memory, a page store, a printer) is the business of the class that implements the steps.
///
/// Failures: the job steps raise ERpError so that the run stops; nothing is shown.
class TRpPageOutput {
public:
    TRpPageOutput();
    virtual ~TRpPageOutput();
    TRpPageOutput(const TRpPageOutput&) = delete;
    TRpPageOutput& operator=(const TRpPageOutput&) = delete;

    int FirstPage = 0;     ///< printer range, 0 = no limit
    int LastPage = 0;      ///< printer range, 0 = no limit
    double LeftWaste = 0;  ///< unprintable left offset (printer), tenths of a millimetre
    double TopWaste = 0;   ///< unprintable top offset (printer), tenths of a millimetre
    std::string Title;
    /// Encoding of the title and of every text the pages draw.
    SourceEncoding TextEncoding = SourceEncoding::Windows1252;
    bool Compression = false;
    TPrinterSettings Settings;
    /// The run making these pages (the report), asked to stop when they are replaced.
    TRpPageSource* Master = nullptr;
    /// Called each time the run begins a page, once the page before it is complete: the
    /// window layer handles pending window messages here, so that pages show as they are
    /// made and the run can be cancelled. Cancel() from it stops the run before its next band.
    std::function<void()> BetweenPages;

    TRpPrinterStatus Status() const { return status_; }
    /// Pages begun in the job.
    int PageCount() const { return pageCount_; }
    bool Cancelled() const { return cancelled_; }
    void Cancel() { cancelled_ = true; }

    /// Device pixels per tenth of a millimetre.
    double XFactor() const { return xFactor_; }
    double YFactor() const { return yFactor_; }
    int XPos(double x) const;
    int YPos(double y) const;
    int XSize(double w) const;
    int YSize(double h) const;

    /// Portrait paper width and length of the printer settings in tenths of a millimetre:
    /// the table value, or the settings' own size for Default and Custom.
    double PaperWidth() const;
    double PaperLength() const;
    /// Size of a page image: the paper size, exchanged for landscape table sizes.
    double PageWidth() const;
    double PageLength() const;

    /// Starts the job (Ready -> Busy).
    virtual void BeginJob() = 0;
    /// Closes the open page, if any, and opens the next one.
    virtual void NewPage() = 0;
    /// Closes the last page and ends the job (Busy -> Finished).
    virtual void EndJob() = 0;
    /// Ends a cancelled or failed job.
    virtual void AbortJob() = 0;
    /// The surface of the open page, or null between pages.
    virtual TRpSurface* Surface() = 0;

protected:
    TRpPrinterStatus status_ = TRpPrinterStatus::Ready;
    int pageCount_ = 0;
    bool cancelled_ = false;
    double xFactor_;
    double yFactor_;

private:
    /// Width and length in tenths of a millimetre, exchanged for landscape when `oriented`.
    std::pair<double, double> paperSize(bool oriented) const;
};

}  // namespace tabulex
