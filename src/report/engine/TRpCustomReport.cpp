#include "TRpCustomReport.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "TRpChildBand.h"
#include "TRpPrintable.h"
#include "TRpPrinter.h"

namespace tabulex {

namespace {

int roundi(double value) { return static_cast<int>(std::lround(value)); }

bool isFullWidth(TRpBandType type) {
    switch (type) {
    case TRpBandType::rbTitle:
    case TRpBandType::rbPageHeader:
    case TRpBandType::rbPageFooter:
    case TRpBandType::rbSummary:
    case TRpBandType::rbOverlay: return true;
    default: return false;
    }
}

}  // namespace

TRpCustomReport::TRpCustomReport()
    : units_(rpDefaultUnits()), reference_(rpScreenResolution()) {
    page_.OnChange = [this] { AlignBands(); };
}

TRpCustomReport::~TRpCustomReport() = default;

void TRpCustomReport::SetUnits(TRpUnit units) {
    units_ = units;
    page_.SetUnits(units);
    for (const auto& band : bands_) band->SetUnits(units);
    for (const auto& item : items_) item->Size().SetUnits(units);
}

void TRpCustomReport::SetZoom(int zoom) {
    if (zoom < 1 || zoom > 300) return;
    zoom_ = zoom;
    page_.SetZoom(zoom);
    for (const auto& band : bands_) band->SetZoom(zoom);
    for (const auto& item : items_) item->Size().SetZoom(zoom);
    AlignBands();
}

TRpBand* TRpCustomReport::AddBand(std::string name, TRpBandType type) {
    bands_.push_back(std::make_unique<TRpBand>(std::move(name), type));
    TRpBand* band = bands_.back().get();
    band->SetReport(this);
    AlignBands();
    return band;
}

void TRpCustomReport::RemoveBand(TRpCustomBand* band) {
    std::erase_if(bands_, [band](const auto& owned) { return owned.get() == band; });
    AlignBands();
}

TRpBand* TRpCustomReport::FindBand(TRpBandType type) const {
    for (const auto& band : bands_)
        if (band->BandType() == type) return band.get();
    return nullptr;
}

TRpPrintable* TRpCustomReport::AddItem(std::unique_ptr<TRpPrintable> item) {
    items_.push_back(std::move(item));
    items_.back()->SetOwner(this, nullptr);
    return items_.back().get();
}

void TRpCustomReport::AlignBands() {
    // Laid out in screen pixels, so the widths carry the screen rounding.
    const int reportWidth = roundi(page_.NativeToPixels(page_.Native(TRpPage::iWidth)));
    const int margins = roundi(page_.NativeToPixels(page_.Native(TRpPage::iLeftMargin) +
                                                    page_.Native(TRpPage::iRightMargin)));
    const int space = roundi(page_.NativeToPixels(page_.Native(TRpPage::iColumnSpace)));
    const int columns = page_.Columns();
    const int fullWidth = reportWidth - margins;
    const int columnWidth = (fullWidth - space * (columns - 1)) / columns;
    const std::function<void(TRpCustomBand&, TRpBandType)> layout = [&](TRpCustomBand& band,
                                                                         TRpBandType rule) {
        band.SetPixelWidth(isFullWidth(rule) ? fullWidth : columnWidth);
        if (band.Child() != nullptr) layout(*band.Child(), rule);
    };
    for (const auto& band : bands_) layout(*band, band->BandType());
}

void TRpCustomReport::forEachItem(const std::function<void(TRpPrintable&)>& action) {
    const std::function<void(TRpCustomBand&)> visit = [&](TRpCustomBand& band) {
        for (const auto& item : band.Items()) action(*item);
        if (band.Child() != nullptr) visit(*band.Child());
    };
    for (const auto& band : bands_) visit(*band);
    for (const auto& item : items_) action(*item);
}

void TRpCustomReport::checkMargins() {
    const auto& v = page_.Values();
    if (v[TRpPage::iWidth] - v[TRpPage::iLeftMargin] - v[TRpPage::iRightMargin] < 0) {
        page_.SetNative(TRpPage::iLeftMargin, 0);
        page_.SetNative(TRpPage::iRightMargin, 0);
    }
    if (v[TRpPage::iLength] - v[TRpPage::iTopMargin] - v[TRpPage::iBottomMargin] < 0) {
        page_.SetNative(TRpPage::iTopMargin, 0);
        page_.SetNative(TRpPage::iBottomMargin, 0);
    }
}

void TRpCustomReport::preparePrinter() {
    TPrinterSettings& settings = printer_->Settings;
    settings.PrinterIndex = PrinterSettings.PrinterIndex;
    settings.PaperSize = page_.PaperSize();
    settings.CustomWidth = page_.Native(TRpPage::iWidth);
    settings.CustomLength = page_.Native(TRpPage::iLength);
    settings.Orientation = page_.Orientation();
    settings.Copies = PrinterSettings.Copies;
    settings.OutputBin = PrinterSettings.OutputBin;
    settings.Duplex = PrinterSettings.Duplex;
    printer_->FirstPage = PrinterSettings.FirstPage;
    printer_->LastPage = PrinterSettings.LastPage;
    printer_->Title = ReportTitle;
    printer_->Compression = (Options & Compression) != 0;
    printer_->Master = this;
}

double TRpCustomReport::computePageFooterHeight() const {
    double height = 0;
    for (const auto& band : bands_) {
        if (!band->Enabled || band->BandType() != TRpBandType::rbPageFooter) continue;
        for (const TRpCustomBand* b = band.get(); b != nullptr; b = b->Child())
            if (b->Enabled) height += b->Size().NativeHeight();
    }
    return height;
}

void TRpCustomReport::GenerateReport() {
    if (generating_) return;
    checkMargins();
    generating_ = true;
    cancelled_ = false;
    lastPage_ = false;
    titleJustPrinted_ = false;
    forcedColumnBreak_ = false;
    bool printReport = true;
    if (BeforePrint) BeforePrint(this, printReport);
    if (!printReport) {
        generating_ = false;
        return;
    }
    const TRpUnit savedUnits = units_;
    bool jobStarted = false;
    try {
        SetUnits(TRpUnit::Native);
        // Without a page output of its own choosing the report makes a fresh one per run.
        if (printer_ == nullptr || printer_ == ownPrinter_.get()) {
            ownPrinter_ = std::make_unique<TRpPrinter>();
            printer_ = ownPrinter_.get();
        }
        preparePrinter();
        printer_->BeginJob();
        jobStarted = true;
        currentY_ = -1;
        pageCount_ = 0;
        currentColumn_ = page_.Columns();
        pageFooterHeight_ = computePageFooterHeight();
        for (const auto& band : bands_) band->SetReport(this);
        currentX_ = roundi(page_.Native(TRpPage::iLeftMargin));
        PrepareDetailDriver();
        functions_.Reset();
        functions_.SetValue("REPORTTITLE", ReportTitle);
        forEachItem([](TRpPrintable& item) { item.Prepare(); });
        RunDetailDriver();
        currentX_ = roundi(page_.Native(TRpPage::iLeftMargin));
        lastPage_ = true;
        if (!cancelled_) FinishPage();
    } catch (...) {
        cleanUp(savedUnits, jobStarted);
        throw;
    }
    cleanUp(savedUnits, jobStarted);
}

void TRpCustomReport::cleanUp(TRpUnit savedUnits, bool jobStarted) {
    SetUnits(savedUnits);
    forEachItem([](TRpPrintable& item) { item.Unprepare(); });
    UnprepareDetailDriver();
    // Only the job this run started is ended: a page output already busy is left alone.
    if (jobStarted) {
        if (cancelled_) printer_->AbortJob();
        else printer_->EndJob();
    }
    generating_ = false;
}

void TRpCustomReport::Cancel() {
    cancelled_ = true;
    if (printer_ != nullptr) printer_->Cancel();
}

double TRpCustomReport::paperLength() const {
    if (printer_ == nullptr) return page_.Native(TRpPage::iLength);
    const bool landscape = printer_->Settings.Orientation == TRpOrientation::poLandscape &&
                           printer_->Settings.PaperSize != TRpPaperSize::Custom;
    return landscape ? printer_->PaperWidth() : printer_->PaperLength();
}

int TRpCustomReport::RemainingSpace() const {
    if (!generating_ || currentY_ == -1) return 0;
    return roundi(paperLength() - page_.Native(TRpPage::iBottomMargin) - pageFooterHeight_ -
                  currentY_);
}

void TRpCustomReport::OutputBand(TRpCustomBand* band) {
    // A cancelled run prints nothing more; it ends at its next return.
    if (band == nullptr || cancelled_) return;
    if (band->AlignToBottom) {
        const int y = roundi(paperLength() - page_.Native(TRpPage::iBottomMargin) -
                             band->Size().NativeHeight() - pageFooterHeight_);
        if (currentY_ < y) currentY_ = y;
    }
    renderBand(*band);
}

bool TRpCustomReport::isPageBand(const TRpCustomBand& band) const {
    switch (band.BandType()) {
    case TRpBandType::rbTitle:
    case TRpBandType::rbPageHeader:
    case TRpBandType::rbPageFooter:
    case TRpBandType::rbOverlay: return true;
    default: return false;
    }
}

void TRpCustomReport::renderBand(TRpCustomBand& band) {
    bool printBand = band.Enabled;
    if (band.Enabled && band.BeforePrint) band.BeforePrint(&band, printBand);
    if (printBand) {
        if (band.ForceNewPage && !isPageBand(band) && pageCount_ > 0) BreakPage();
        else if (band.ForceNewColumn && !isPageBand(band) && pageCount_ >= 1) BreakColumn();
        else ensureRoom(band);
        if (band.BandType() != TRpBandType::rbTitle) titleJustPrinted_ = false;
    }
    if (printBand && band.Size().PixelHeight() != 0 && band.Enabled) {
        const double width = band.Size().NativeWidth();
        const double height = band.Size().NativeHeight();
        if (TRpSurface* surface = printer_->Surface()) {
            const int x1 = printer_->XPos(currentX_);
            const int y1 = printer_->YPos(currentY_);
            const int x2 = printer_->XPos(currentX_ + width);
            const int y2 = printer_->YPos(currentY_ + height);
            if (x2 > x1 && y2 > y1) surface->FillRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)), band.Color);
        }
        band.Expanded = 0;
        const TRpBandSize savedSize = band.Size();
        bool firstPass = true;
        for (;;) {
            bool allDone = true;
            bool progressed = false;
            for (const auto& item : band.Items()) {
                if (!item->Prints()) continue;
                if (firstPass || !item->PrintFinished()) {
                    const std::size_t before = item->PrintPosition();
                    item->Print(currentX_, currentY_);
                    progressed = progressed || item->PrintPosition() != before;
                }
                allDone = allDone && item->PrintFinished();
            }
            band.Frame.Draw(*printer_, currentX_, currentY_, currentX_ + width,
                            currentY_ + height + band.Expanded + 1);
            // A pass in a fresh column that places nothing would never place anything.
            if (allDone || (!firstPass && !progressed) || cancelled_) break;
            AdvanceColumn();
            if (cancelled_) break;
            band.Size() = savedSize;
            band.Expanded = 0;
            firstPass = false;
        }
        currentY_ += roundi(height + band.Expanded);
        band.Size() = savedSize;
    }
    if (band.AfterPrint) band.AfterPrint(&band, printBand);
    if (TRpChildBand* child = band.Child()) {
        const bool footer = band.BandType() == TRpBandType::rbPageFooter;
        if (footer) child->type_ = TRpBandType::rbPageFooter;
        OutputBand(child);
        child->type_ = TRpBandType::rbChild;
    }
}

void TRpCustomReport::ensureRoom(TRpCustomBand& band) {
    double height = band.Size().NativeHeight();
    std::set<const TRpCustomBand*> seen{&band};
    for (const TRpCustomBand* link = band.LinkBand; link != nullptr && seen.insert(link).second;
         link = link->LinkBand)
        height += link->Size().NativeHeight();
    const int h = roundi(height);
    const double printable =
        page_.Native(TRpPage::iLength) -
        (page_.Native(TRpPage::iTopMargin) + page_.Native(TRpPage::iBottomMargin));
    if (pageCount_ == 0) {
        AdvanceColumn();
        return;
    }
    // The page header printed at a page start never moves: it would not fit anywhere else.
    if (printingPageStart_) return;
    if (band.BandType() != TRpBandType::rbPageFooter && RemainingSpace() < h && h <= printable)
        AdvanceColumn();
}

void TRpCustomReport::AdvanceColumn() {
    const int columns = page_.Columns();
    if (currentColumn_ >= columns) {
        currentColumn_ = 1;
        currentX_ = roundi(page_.Native(TRpPage::iLeftMargin));
        BeginPage();
    } else {
        int width = 0;
        if (const TRpBand* detail = FindBand(TRpBandType::rbDetail)) {
            width = roundi(detail->Size().NativeWidth());
        } else {
            const int printable = roundi(page_.Native(TRpPage::iWidth) -
                                         (page_.Native(TRpPage::iLeftMargin) +
                                          page_.Native(TRpPage::iRightMargin)));
            width = (printable - roundi(page_.Native(TRpPage::iColumnSpace)) * (columns - 1)) / columns;
        }
        currentX_ += roundi(page_.Native(TRpPage::iColumnSpace)) + width;
        currentY_ = columnTop_;
        ++currentColumn_;
    }
    functions_.SetValue("COLUMNNUMBER", std::to_string(currentColumn_));
    if (!(currentColumn_ == 1 && pageCount_ == 1))
        OutputBand(FindBand(TRpBandType::rbColumnHeader));
}

void TRpCustomReport::BeginPage() {
    FinishPage();
    ++pageCount_;
    functions_.SetValue("PAGENUMBER", std::to_string(pageCount_));
    printer_->NewPage();
    // The page output's Cancel (the printing progress window's) stops the run as well.
    if (printer_->Cancelled()) cancelled_ = true;
    currentY_ = roundi(page_.Native(TRpPage::iTopMargin));
    if (OnStartPage) OnStartPage(this);
    if (pageCount_ > 1 || (Options & FirstPageHeader) != 0) {
        printingPageStart_ = true;
        try {
            OutputBand(FindBand(TRpBandType::rbPageHeader));
        } catch (...) {
            printingPageStart_ = false;
            throw;
        }
        printingPageStart_ = false;
    }
    columnTop_ = currentY_;
    if (pageCount_ == 1)
        if (const TRpCustomBand* title = TitleBand()) columnTop_ += roundi(title->Size().NativeHeight());
}

void TRpCustomReport::FinishPage() {
    if (pageCount_ == 0) return;
    currentY_ = roundi(page_.Native(TRpPage::iLength) - page_.Native(TRpPage::iBottomMargin) -
                       pageFooterHeight_);
    currentX_ = roundi(page_.Native(TRpPage::iLeftMargin));
    if (!(lastPage_ && (Options & LastPageFooter) == 0))
        OutputBand(FindBand(TRpBandType::rbPageFooter));
    for (const auto& item : items_)
        if (item->Prints()) item->Print(0, 0);
    Frame.Draw(*printer_, page_.Native(TRpPage::iLeftMargin), page_.Native(TRpPage::iTopMargin),
               page_.Native(TRpPage::iWidth) - page_.Native(TRpPage::iRightMargin),
               page_.Native(TRpPage::iLength) - page_.Native(TRpPage::iBottomMargin));
    if (OnEndPage) OnEndPage(this);
}

void TRpCustomReport::MarkTitlePrinted() { titleJustPrinted_ = TitleBand() != nullptr; }

void TRpCustomReport::BreakPage() {
    if (titleJustPrinted_) {
        titleJustPrinted_ = false;
        return;
    }
    do {
        AdvanceColumn();
    } while (currentColumn_ != 1);
}

void TRpCustomReport::BreakColumn() {
    if (forcedColumnBreak_ || currentColumn_ > 1) AdvanceColumn();
    forcedColumnBreak_ = true;
}

}  // namespace tabulex
