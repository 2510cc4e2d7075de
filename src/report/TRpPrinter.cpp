#include "TRpPrinter.h"

#include <cmath>
#include <utility>

#include "ERpError.h"
#include "TRpPage.h"
#include "TRpPictureSurface.h"
#include "TRpUnitBase.h"

namespace tabulex {

TRpPrinter::TRpPrinter(TRpDestination destination)
    : destination_(destination),
      xFactor_(rpScreenResolution() / kNativePerInch),
      yFactor_(rpScreenResolution() / kNativePerInch),
      measurer_(rpScreenResolution()) {}

TRpPrinter::~TRpPrinter() = default;

int TRpPrinter::XPos(double x) const { return static_cast<int>(std::lround((x - LeftWaste) * xFactor_)); }
int TRpPrinter::YPos(double y) const { return static_cast<int>(std::lround((y - TopWaste) * yFactor_)); }
int TRpPrinter::XSize(double w) const { return static_cast<int>(std::lround(w * xFactor_)); }
int TRpPrinter::YSize(double h) const { return static_cast<int>(std::lround(h * yFactor_)); }

void TRpPrinter::paperSize(double& width, double& length, bool oriented) const {
    double w = 0;
    double l = 0;
    if (rpPaperSizeMM(Settings.PaperSize, w, l)) {
        width = w * 10.0;
        length = l * 10.0;
    } else {
        width = Settings.CustomWidth;
        length = Settings.CustomLength;
    }
    if (oriented && Settings.Orientation == TRpOrientation::poLandscape &&
        Settings.PaperSize != TRpPaperSize::Custom && Settings.PaperSize != TRpPaperSize::Default)
        std::swap(width, length);
}

double TRpPrinter::PaperWidth() const {
    double width = 0;
    double length = 0;
    paperSize(width, length, false);
    return width;
}

double TRpPrinter::PaperLength() const {
    double width = 0;
    double length = 0;
    paperSize(width, length, false);
    return length;
}

double TRpPrinter::PageWidth() const {
    double width = 0;
    double length = 0;
    paperSize(width, length, true);
    return width;
}

double TRpPrinter::PageLength() const {
    double width = 0;
    double length = 0;
    paperSize(width, length, true);
    return length;
}

void TRpPrinter::BeginJob() {
    if (status_ != TRpPrinterStatus::Ready) throw ERpError("RpPrinter not ready");
    if (destination_ == TRpDestination::Printer && !factory_)
        throw ERpError("No printer page output available");
    if (!factory_) {
        factory_ = [this](int, int widthPx, int heightPx) -> std::unique_ptr<TRpSurface> {
            return std::make_unique<TRpPictureSurface>(widthPx, heightPx, measurer_);
        };
    }
    pageCount_ = 0;
    pageNumber_ = 0;
    status_ = TRpPrinterStatus::Busy;
}

bool TRpPrinter::inPrinterRange() const {
    return (FirstPage <= 0 || pageCount_ >= FirstPage) && (LastPage <= 0 || pageCount_ <= LastPage);
}

void TRpPrinter::closePage() {
    if (!current_) return;
    current_->EndPage();
    // Printer pages outside the range are made but not kept.
    if (destination_ == TRpDestination::Metafile || inPrinterRange())
        pages_.push_back(std::move(current_));
    current_.reset();
    ++availablePages_;
    if (OnPageAvailable) OnPageAvailable(availablePages_);
}

void TRpPrinter::NewPage() {
    if (status_ != TRpPrinterStatus::Busy) throw ERpError("Illegal call to NewPage");
    closePage();
    ++pageCount_;
    ++pageNumber_;
    current_ = factory_(pageNumber_, XSize(PageWidth()), YSize(PageLength()));
}

void TRpPrinter::EndJob() {
    if (status_ != TRpPrinterStatus::Busy) return;
    closePage();
    status_ = TRpPrinterStatus::Finished;
}

void TRpPrinter::AbortJob() {
    if (status_ == TRpPrinterStatus::Busy) closePage();
    status_ = TRpPrinterStatus::Finished;
}

const TRpSurface* TRpPrinter::GetPage(int n) const {
    if (status_ == TRpPrinterStatus::Ready) return nullptr;
    if (n < 1 || n > static_cast<int>(pages_.size())) return nullptr;
    return pages_[static_cast<std::size_t>(n - 1)].get();
}

}  // namespace tabulex
