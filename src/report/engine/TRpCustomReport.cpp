#include "report/engine/TRpCustomReport.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "report/engine/TRpChildBand.h"
#include "report/engine/TRpPrintable.h"

namespace tabulex {

namespace {

int roundi(double value)
{
    return static_cast<int>(std::lround(value));
}

bool isFullWidth(TRpBandType type)
{
    switch (type) {
    case TRpBandType::rbTitle:
    case TRpBandType::rbPageHeader:
    case TRpBandType::rbPageFooter:
    case TRpBandType::rbSummary:
    case TRpBandType::rbOverlay:
        return true;
    default:
        return false;
    }
}

}  // namespace

TRpCustomReport::TRpCustomReport() : units_(rpDefaultUnits()), reference_(rpScreenResolution())
{
    page_.OnChange = [this] { AlignBands(); };
}

TRpCustomReport::~TRpCustomReport() = default;

void TRpCustomReport::SetUnits(TRpUnit units)
{
    units_ = units;
    page_.SetUnits(units);
    for (const auto& band : bands_)
        band->SetUnits(units);
    for (const auto& item : items_)
        item->Size().SetUnits(units);
}

void TRpCustomReport::SetZoom(int zoom)
{
    if (zoom < 1 || zoom > 300)
        return;
    zoom_ = zoom;
    page_.SetZoom(zoom);
    for (const auto& band : bands_)
        band->SetZoom(zoom);
    for (const auto& item : items_)
        item->Size().SetZoom(zoom);
    AlignBands();
}

TRpBand* TRpCustomReport::AddBand(std::string name, TRpBandType type)
{
    bands_.push_back(std::make_unique<TRpBand>(std::move(name), type));
    TRpBand* band = bands_.back().get();
    band->SetReport(this);
    AlignBands();
    return band;
}

void TRpCustomReport::RemoveBand(TRpCustomBand* band)
{
    std::erase_if(bands_, [band](const auto& owned) { return owned.get() == band; });
    AlignBands();
}

TRpBand* TRpCustomReport::FindBand(TRpBandType type) const
{
    for (const auto& band : bands_)
        if (band->BandType() == type)
            return band.get();
    return nullptr;
}

TRpPrintable* TRpCustomReport::AddItem(std::unique_ptr<TRpPrintable> item)
{
    items_.push_back(std::move(item));
    items_.back()->SetOwner(this, nullptr);
    return items_.back().get();
}

void TRpCustomReport::AlignBands()
{
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
        if (band.Child() != nullptr)
            layout(*band.Child(), rule);
    };
    for (const auto& band : bands_)
        layout(*band, band->BandType());
}

void TRpCustomReport::forEachItem(const std::function<void(TRpPrintable&)>& action)
{
    const std::function<void(TRpCustomBand&)> visit = [&](TRpCustomBand& band) {
        for (const auto& item : band.Items())
            action(*item);
        if (band.Child() != nullptr)
            visit(*band.Child());
    };
    for (const auto& band : bands_)
        visit(*band);
    for (const auto& item : items_)
        action(*item);
}

void TRpCustomReport::checkMargins()
{
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

void TRpCustomReport::preparePrinter()
{
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
    printer_->TextEncoding = reference_.Encoding();
    printer_->Compression = (Options & Compression) != 0;
    printer_->Master = this;
}

double TRpCustomReport::computePageFooterHeight() const
{
    double height = 0;
    for (const auto& band : bands_) {
        if (!band->Enabled || band->BandType() != TRpBandType::rbPageFooter)
            continue;
        for (const TRpCustomBand* b = band.get(); b != nullptr; b = b->Child())
            if (b->Enabled)
                height += b->Size().NativeHeight();
    }
    return height;
}

void TRpCustomReport::GenerateReport()
{
    if (run_.Generating)
        return;
    checkMargins();
    run_.Generating = true;
    run_.Cancelled = false;
    run_.LastPage = false;
    run_.TitleJustPrinted = false;
    run_.ForcedColumnBreak = false;
    bool printReport = true;
    if (BeforePrint)
        BeforePrint(this, printReport);
    if (!printReport) {
        run_.Generating = false;
        return;
    }
    const TRpUnit savedUnits = units_;
    bool jobStarted = false;
    try {
        SetUnits(TRpUnit::Native);
        // Without a page output of its own choosing the report makes a fresh one per run.
        if (printer_ == nullptr || printer_ == ownPrinter_.get()) {
            ownPrinter_ = std::make_unique<TRpBlankPageOutput>(reference_);
            printer_ = ownPrinter_.get();
        }
        preparePrinter();
        printer_->BeginJob();
        jobStarted = true;
        run_.CurrentY = -1;
        run_.PageCount = 0;
        run_.CurrentColumn = page_.Columns();
        run_.PageFooterHeight = computePageFooterHeight();
        for (const auto& band : bands_)
            band->SetReport(this);
        run_.CurrentX = roundi(page_.Native(TRpPage::iLeftMargin));
        PrepareDetailDriver();
        functions_.Reset();
        functions_.SetValue("REPORTTITLE", ReportTitle);
        forEachItem([](TRpPrintable& item) { item.Prepare(); });
        RunDetailDriver();
        run_.CurrentX = roundi(page_.Native(TRpPage::iLeftMargin));
        run_.LastPage = true;
        if (!run_.Cancelled)
            FinishPage();
    } catch (...) {
        cleanUp(savedUnits, jobStarted);
        throw;
    }
    cleanUp(savedUnits, jobStarted);
}

void TRpCustomReport::cleanUp(TRpUnit savedUnits, bool jobStarted)
{
    SetUnits(savedUnits);
    forEachItem([](TRpPrintable& item) { item.Unprepare(); });
    UnprepareDetailDriver();
    // Only the job this run started is ended: a page output already busy is left alone.
    if (jobStarted) {
        if (run_.Cancelled)
            printer_->AbortJob();
        else
            printer_->EndJob();
    }
    run_.Generating = false;
}

void TRpCustomReport::Cancel()
{
    run_.Cancelled = true;
    if (printer_ != nullptr)
        printer_->Cancel();
}

double TRpCustomReport::paperLength() const
{
    if (printer_ == nullptr)
        return page_.Native(TRpPage::iLength);
    const bool landscape = printer_->Settings.Orientation == TRpOrientation::poLandscape &&
                           printer_->Settings.PaperSize != TRpPaperSize::Custom;
    return landscape ? printer_->PaperWidth() : printer_->PaperLength();
}

int TRpCustomReport::RemainingSpace() const
{
    if (!run_.Generating || run_.CurrentY == -1)
        return 0;
    return roundi(paperLength() - page_.Native(TRpPage::iBottomMargin) - run_.PageFooterHeight -
                  run_.CurrentY);
}

void TRpCustomReport::OutputBand(TRpCustomBand* band)
{
    // A cancelled run prints nothing more; it ends at its next return.
    if (band == nullptr || run_.Cancelled)
        return;
    if (band->AlignToBottom) {
        const int y = roundi(paperLength() - page_.Native(TRpPage::iBottomMargin) -
                             band->Size().NativeHeight() - run_.PageFooterHeight);
        if (run_.CurrentY < y)
            run_.CurrentY = y;
    }
    renderBand(*band);
}

bool TRpCustomReport::isPageBand(const TRpCustomBand& band) const
{
    switch (band.BandType()) {
    case TRpBandType::rbTitle:
    case TRpBandType::rbPageHeader:
    case TRpBandType::rbPageFooter:
    case TRpBandType::rbOverlay:
        return true;
    default:
        return false;
    }
}

void TRpCustomReport::renderBand(TRpCustomBand& band)
{
    bool printBand = band.Enabled;
    if (band.Enabled && band.BeforePrint)
        band.BeforePrint(&band, printBand);
    if (printBand) {
        if (band.ForceNewPage && !isPageBand(band) && run_.PageCount > 0)
            BreakPage();
        else if (band.ForceNewColumn && !isPageBand(band) && run_.PageCount >= 1)
            BreakColumn();
        else
            ensureRoom(band);
        if (band.BandType() != TRpBandType::rbTitle)
            run_.TitleJustPrinted = false;
    }
    if (printBand && band.Size().PixelHeight() != 0 && band.Enabled) {
        const double width = band.Size().NativeWidth();
        const double height = band.Size().NativeHeight();
        if (TRpSurface* surface = printer_->Surface()) {
            const int x1 = printer_->XPos(run_.CurrentX);
            const int y1 = printer_->YPos(run_.CurrentY);
            const int x2 = printer_->XPos(run_.CurrentX + width);
            const int y2 = printer_->YPos(run_.CurrentY + height);
            if (x2 > x1 && y2 > y1)
                surface->FillRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)), band.Color);
        }
        band.Expanded = 0;
        const TRpBandSize savedSize = band.Size();
        bool firstPass = true;
        for (;;) {
            bool allDone = true;
            bool progressed = false;
            for (const auto& item : band.Items()) {
                if (!item->Prints())
                    continue;
                if (firstPass || !item->PrintFinished()) {
                    const std::size_t before = item->PrintPosition();
                    item->Print(run_.CurrentX, run_.CurrentY);
                    progressed = progressed || item->PrintPosition() != before;
                }
                allDone = allDone && item->PrintFinished();
            }
            band.Frame.Draw(*printer_, run_.CurrentX, run_.CurrentY, run_.CurrentX + width,
                            run_.CurrentY + height + band.Expanded + 1);
            // A pass in a fresh column that places nothing would never place anything.
            if (allDone || (!firstPass && !progressed) || run_.Cancelled)
                break;
            AdvanceColumn();
            if (run_.Cancelled)
                break;
            band.Size() = savedSize;
            band.Expanded = 0;
            firstPass = false;
        }
        run_.CurrentY += roundi(height + band.Expanded);
        band.Size() = savedSize;
    }
    if (band.AfterPrint)
        band.AfterPrint(&band, printBand);
    if (TRpChildBand* child = band.Child()) {
        const bool footer = band.BandType() == TRpBandType::rbPageFooter;
        if (footer)
            child->type_ = TRpBandType::rbPageFooter;
        OutputBand(child);
        child->type_ = TRpBandType::rbChild;
    }
}

void TRpCustomReport::ensureRoom(TRpCustomBand& band)
{
    double height = band.Size().NativeHeight();
    std::set<const TRpCustomBand*> seen{&band};
    for (const TRpCustomBand* link = band.LinkBand; link != nullptr && seen.insert(link).second;
         link = link->LinkBand)
        height += link->Size().NativeHeight();
    const int h = roundi(height);
    const double printable =
        page_.Native(TRpPage::iLength) -
        (page_.Native(TRpPage::iTopMargin) + page_.Native(TRpPage::iBottomMargin));
    if (run_.PageCount == 0) {
        AdvanceColumn();
        return;
    }
    // The page header printed at a page start never moves: it would not fit anywhere else.
    if (run_.PrintingPageStart)
        return;
    if (band.BandType() != TRpBandType::rbPageFooter && RemainingSpace() < h && h <= printable)
        AdvanceColumn();
}

void TRpCustomReport::AdvanceColumn()
{
    const int columns = page_.Columns();
    if (run_.CurrentColumn >= columns) {
        run_.CurrentColumn = 1;
        run_.CurrentX = roundi(page_.Native(TRpPage::iLeftMargin));
        BeginPage();
    } else {
        int width = 0;
        if (const TRpBand* detail = FindBand(TRpBandType::rbDetail)) {
            width = roundi(detail->Size().NativeWidth());
        } else {
            const int printable =
                roundi(page_.Native(TRpPage::iWidth) -
                       (page_.Native(TRpPage::iLeftMargin) + page_.Native(TRpPage::iRightMargin)));
            width =
                (printable - roundi(page_.Native(TRpPage::iColumnSpace)) * (columns - 1)) / columns;
        }
        run_.CurrentX += roundi(page_.Native(TRpPage::iColumnSpace)) + width;
        run_.CurrentY = run_.ColumnTop;
        ++run_.CurrentColumn;
    }
    functions_.SetValue("COLUMNNUMBER", std::to_string(run_.CurrentColumn));
    if (!(run_.CurrentColumn == 1 && run_.PageCount == 1))
        OutputBand(FindBand(TRpBandType::rbColumnHeader));
}

void TRpCustomReport::BeginPage()
{
    FinishPage();
    ++run_.PageCount;
    functions_.SetValue("PAGENUMBER", std::to_string(run_.PageCount));
    printer_->NewPage();
    // The page output's Cancel (the printing progress window's) stops the run as well.
    if (printer_->Cancelled())
        run_.Cancelled = true;
    run_.CurrentY = roundi(page_.Native(TRpPage::iTopMargin));
    if (OnStartPage)
        OnStartPage(this);
    if (run_.PageCount > 1 || (Options & FirstPageHeader) != 0) {
        run_.PrintingPageStart = true;
        try {
            OutputBand(FindBand(TRpBandType::rbPageHeader));
        } catch (...) {
            run_.PrintingPageStart = false;
            throw;
        }
        run_.PrintingPageStart = false;
    }
    run_.ColumnTop = run_.CurrentY;
    if (run_.PageCount == 1)
        if (const TRpCustomBand* title = TitleBand())
            run_.ColumnTop += roundi(title->Size().NativeHeight());
}

void TRpCustomReport::FinishPage()
{
    if (run_.PageCount == 0)
        return;
    run_.CurrentY = roundi(page_.Native(TRpPage::iLength) - page_.Native(TRpPage::iBottomMargin) -
                           run_.PageFooterHeight);
    run_.CurrentX = roundi(page_.Native(TRpPage::iLeftMargin));
    if (!(run_.LastPage && (Options & LastPageFooter) == 0))
        OutputBand(FindBand(TRpBandType::rbPageFooter));
    for (const auto& item : items_)
        if (item->Prints())
            item->Print(0, 0);
    Frame.Draw(*printer_, page_.Native(TRpPage::iLeftMargin), page_.Native(TRpPage::iTopMargin),
               page_.Native(TRpPage::iWidth) - page_.Native(TRpPage::iRightMargin),
               page_.Native(TRpPage::iLength) - page_.Native(TRpPage::iBottomMargin));
    if (OnEndPage)
        OnEndPage(this);
}

void TRpCustomReport::MarkTitlePrinted()
{
    run_.TitleJustPrinted = TitleBand() != nullptr;
}

void TRpCustomReport::BreakPage()
{
    if (run_.TitleJustPrinted) {
        run_.TitleJustPrinted = false;
        return;
    }
    do {
        AdvanceColumn();
    } while (run_.CurrentColumn != 1);
}

void TRpCustomReport::BreakColumn()
{
    if (run_.ForcedColumnBreak || run_.CurrentColumn > 1)
        AdvanceColumn();
    run_.ForcedColumnBreak = true;
}

}  // namespace tabulex
