#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RpTypes.h"
#include "TPrinterSettings.h"
#include "TRpSurface.h"
#include "TRpTextMeasurer.h"

namespace tabulex {

class TRpCustomReport;

/// Page output of one report run: opens and closes pages, converts tenths of a millimetre to
/// device pixels and keeps the recorded pages. A job runs Ready -> Busy -> Finished once.
class TRpPrinter {
public:
    /// Makes the surface of page `pageNumber`, `widthPx` x `heightPx` device pixels.
    using PageFactory =
        std::function<std::unique_ptr<TRpSurface>(int pageNumber, int widthPx, int heightPx)>;

    explicit TRpPrinter(TRpDestination destination = TRpDestination::Metafile);
    ~TRpPrinter();
    TRpPrinter(const TRpPrinter&) = delete;
    TRpPrinter& operator=(const TRpPrinter&) = delete;

    TRpDestination Destination() const { return destination_; }
    TRpPrinterStatus Status() const { return status_; }
    /// Pages begun in the job.
    int PageCount() const { return pageCount_; }
    /// Pages completed.
    int AvailablePages() const { return availablePages_; }
    int PageNumber() const { return pageNumber_; }

    int FirstPage = 0;  ///< printer range, 0 = no limit
    int LastPage = 0;   ///< printer range, 0 = no limit
    double LeftWaste = 0;  ///< unprintable left offset (printer), tenths of a millimetre
    double TopWaste = 0;   ///< unprintable top offset (printer), tenths of a millimetre
    std::string Title;
    bool Compression = false;
    TPrinterSettings Settings;
    TRpCustomReport* Master = nullptr;
    bool ShowingPreview = false;
    bool ReportLoaded = false;
    /// Raised with the new AvailablePages each time a page is completed.
    std::function<void(int)> OnPageAvailable;

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

    /// Replaces how pages are recorded (QPicture pages by default).
    void SetPageFactory(PageFactory factory) { factory_ = std::move(factory); }
    /// Text metrics at this output's device resolution.
    TRpTextMeasurer& Measurer() { return measurer_; }

    void BeginJob();
    void NewPage();
    void EndJob();
    void AbortJob();

    /// The surface of the open page, or null between pages.
    TRpSurface* Surface() { return current_.get(); }
    /// Page n (1-based) while Busy or Finished, else null.
    const TRpSurface* GetPage(int n) const;
    const std::vector<std::unique_ptr<TRpSurface>>& Pages() const { return pages_; }

private:
    bool inPrinterRange() const;
    void closePage();
    void paperSize(double& width, double& length, bool oriented) const;

    TRpDestination destination_;
    TRpPrinterStatus status_ = TRpPrinterStatus::Ready;
    int pageCount_ = 0;
    int availablePages_ = 0;
    int pageNumber_ = 0;
    bool cancelled_ = false;
    double xFactor_;
    double yFactor_;
    TRpTextMeasurer measurer_;
    PageFactory factory_;
    std::unique_ptr<TRpSurface> current_;
    std::vector<std::unique_ptr<TRpSurface>> pages_;
};

}  // namespace tabulex
