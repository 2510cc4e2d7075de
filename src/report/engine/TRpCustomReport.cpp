#include "report/engine/TRpCustomReport.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "report/engine/TRpBlankPageOutput.h"
#include "report/engine/TRpChildBand.h"
#include "report/engine/TRpCustomReport_p.h"
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

TRpCustomReport::TRpCustomReport() : d_(std::make_unique<TRpCustomReportPrivate>())
{
    d_->page.OnChange = [this] { AlignBands(); };
}

TRpCustomReport::~TRpCustomReport() = default;

TRpPage& TRpCustomReport::Page()
{
    return d_->page;
}

const TRpPage& TRpCustomReport::Page() const
{
    return d_->page;
}

TRpUnit TRpCustomReport::Units() const
{
    return d_->units;
}

int TRpCustomReport::Zoom() const
{
    return d_->zoom;
}

TRpEvEnvironment& TRpCustomReport::Functions()
{
    return d_->functions;
}

TRpTextMeasurer& TRpCustomReport::ReferenceSurface()
{
    return d_->reference;
}

const std::vector<std::unique_ptr<TRpBand>>& TRpCustomReport::Bands() const
{
    return d_->bands;
}

void TRpCustomReport::SetPrinter(TRpPageOutput* printer)
{
    d_->printer = printer;
}

TRpPageOutput* TRpCustomReport::Printer() const
{
    return d_->printer;
}

bool TRpCustomReport::Generating() const
{
    return d_->run.Generating;
}

bool TRpCustomReport::Cancelled() const
{
    return d_->run.Cancelled;
}

int TRpCustomReport::CurrentColumn() const
{
    return d_->run.CurrentColumn;
}

int TRpCustomReport::PageCount() const
{
    return d_->run.PageCount;
}

double TRpCustomReport::PageFooterHeight() const
{
    return d_->run.PageFooterHeight;
}

void TRpCustomReport::SetUnits(TRpUnit units)
{
    d_->units = units;
    d_->page.SetUnits(units);
    for (const auto& band : d_->bands)
        band->SetUnits(units);
    for (const auto& item : d_->items)
        item->Size().SetUnits(units);
}

void TRpCustomReport::SetZoom(int zoom)
{
    if (zoom < 1 || zoom > 300)
        return;
    d_->zoom = zoom;
    d_->page.SetZoom(zoom);
    for (const auto& band : d_->bands)
        band->SetZoom(zoom);
    for (const auto& item : d_->items)
        item->Size().SetZoom(zoom);
    AlignBands();
}

TRpBand* TRpCustomReport::AddBand(std::string name, TRpBandType type)
{
    d_->bands.push_back(std::make_unique<TRpBand>(std::move(name), type));
    TRpBand* band = d_->bands.back().get();
    band->SetReport(this);
    AlignBands();
    return band;
}

TRpBand* TRpCustomReport::FindBand(TRpBandType type) const
{
    for (const auto& band : d_->bands)
        if (band->BandType() == type)
            return band.get();
    return nullptr;
}

TRpPrintable* TRpCustomReport::AddItem(std::unique_ptr<TRpPrintable> item)
{
    d_->items.push_back(std::move(item));
    d_->items.back()->SetOwner(this, nullptr);
    return d_->items.back().get();
}

void TRpCustomReport::AlignBands()
{
    // Laid out in screen pixels, so the widths carry the screen rounding.
    const int reportWidth = roundi(d_->page.NativeToPixels(d_->page.Native(TRpPage::iWidth)));
    const int margins = roundi(d_->page.NativeToPixels(d_->page.Native(TRpPage::iLeftMargin) +
                                                       d_->page.Native(TRpPage::iRightMargin)));
    const int space = roundi(d_->page.NativeToPixels(d_->page.Native(TRpPage::iColumnSpace)));
    const int columns = d_->page.Columns();
    const int fullWidth = reportWidth - margins;
    const int columnWidth = (fullWidth - space * (columns - 1)) / columns;
    const std::function<void(TRpCustomBand&, TRpBandType)> layout = [&](TRpCustomBand& band,
                                                                        TRpBandType rule) {
        band.SetPixelWidth(isFullWidth(rule) ? fullWidth : columnWidth);
        if (band.Child() != nullptr)
            layout(*band.Child(), rule);
    };
    for (const auto& band : d_->bands)
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
    for (const auto& band : d_->bands)
        visit(*band);
    for (const auto& item : d_->items)
        action(*item);
}

void TRpCustomReport::checkMargins()
{
    const auto& v = d_->page.Values();
    if (v[TRpPage::iWidth] - v[TRpPage::iLeftMargin] - v[TRpPage::iRightMargin] < 0) {
        d_->page.SetNative(TRpPage::iLeftMargin, 0);
        d_->page.SetNative(TRpPage::iRightMargin, 0);
    }
    if (v[TRpPage::iLength] - v[TRpPage::iTopMargin] - v[TRpPage::iBottomMargin] < 0) {
        d_->page.SetNative(TRpPage::iTopMargin, 0);
        d_->page.SetNative(TRpPage::iBottomMargin, 0);
    }
}

void TRpCustomReport::preparePrinter()
{
    TPrinterSettings& settings = d_->printer->Settings;
    settings.PrinterIndex = PrinterSettings.PrinterIndex;
    settings.PaperSize = d_->page.PaperSize();
    settings.CustomWidth = d_->page.Native(TRpPage::iWidth);
    settings.CustomLength = d_->page.Native(TRpPage::iLength);
    settings.Orientation = d_->page.Orientation();
    settings.Copies = PrinterSettings.Copies;
    settings.OutputBin = PrinterSettings.OutputBin;
    settings.Duplex = PrinterSettings.Duplex;
    d_->printer->FirstPage = PrinterSettings.FirstPage;
    d_->printer->LastPage = PrinterSettings.LastPage;
    d_->printer->Title = ReportTitle;
    d_->printer->TextEncoding = d_->reference.Encoding();
    d_->printer->Compression = (Options & Compression) != 0;
    d_->printer->Master = this;
}

double TRpCustomReport::computePageFooterHeight() const
{
    double height = 0;
    for (const auto& band : d_->bands) {
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
    if (d_->run.Generating)
        return;
    checkMargins();
    d_->run.Generating = true;
    d_->run.Cancelled = false;
    d_->run.LastPage = false;
    d_->run.TitleJustPrinted = false;
    d_->run.ForcedColumnBreak = false;
    bool printReport = true;
    if (BeforePrint)
        BeforePrint(this, printReport);
    if (!printReport) {
        d_->run.Generating = false;
        return;
    }
    const TRpUnit savedUnits = d_->units;
    bool jobStarted = false;
    try {
        SetUnits(TRpUnit::Native);
        // Without a page output of its own choosing the report makes a fresh one per run.
        if (d_->printer == nullptr || d_->printer == d_->ownPrinter.get()) {
            d_->ownPrinter = std::make_unique<TRpBlankPageOutput>(d_->reference);
            d_->printer = d_->ownPrinter.get();
        }
        preparePrinter();
        d_->printer->BeginJob();
        jobStarted = true;
        d_->run.CurrentY = -1;
        d_->run.PageCount = 0;
        d_->run.CurrentColumn = d_->page.Columns();
        d_->run.PageFooterHeight = computePageFooterHeight();
        for (const auto& band : d_->bands)
            band->SetReport(this);
        d_->run.CurrentX = roundi(d_->page.Native(TRpPage::iLeftMargin));
        PrepareDetailDriver();
        d_->functions.Reset();
        d_->functions.SetValue("REPORTTITLE", ReportTitle);
        forEachItem([](TRpPrintable& item) { item.Prepare(); });
        RunDetailDriver();
        d_->run.CurrentX = roundi(d_->page.Native(TRpPage::iLeftMargin));
        d_->run.LastPage = true;
        if (!d_->run.Cancelled)
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
        if (d_->run.Cancelled)
            d_->printer->AbortJob();
        else
            d_->printer->EndJob();
    }
    d_->run.Generating = false;
}

void TRpCustomReport::Cancel()
{
    d_->run.Cancelled = true;
    if (d_->printer != nullptr)
        d_->printer->Cancel();
}

double TRpCustomReport::paperLength() const
{
    if (d_->printer == nullptr)
        return d_->page.Native(TRpPage::iLength);
    const bool landscape = d_->printer->Settings.Orientation == TRpOrientation::poLandscape &&
                           d_->printer->Settings.PaperSize != TRpPaperSize::Custom;
    return landscape ? d_->printer->PaperWidth() : d_->printer->PaperLength();
}

int TRpCustomReport::RemainingSpace() const
{
    if (!d_->run.Generating || d_->run.CurrentY == -1)
        return 0;
    return roundi(paperLength() - d_->page.Native(TRpPage::iBottomMargin) -
                  d_->run.PageFooterHeight - d_->run.CurrentY);
}

void TRpCustomReport::OutputBand(TRpCustomBand* band)
{
    // A cancelled run prints nothing more; it ends at its next return.
    if (band == nullptr || d_->run.Cancelled)
        return;
    if (band->AlignToBottom) {
        const int y = roundi(paperLength() - d_->page.Native(TRpPage::iBottomMargin) -
                             band->Size().NativeHeight() - d_->run.PageFooterHeight);
        if (d_->run.CurrentY < y)
            d_->run.CurrentY = y;
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
        if (band.ForceNewPage && !isPageBand(band) && d_->run.PageCount > 0)
            BreakPage();
        else if (band.ForceNewColumn && !isPageBand(band) && d_->run.PageCount >= 1)
            BreakColumn();
        else
            ensureRoom(band);
        if (band.BandType() != TRpBandType::rbTitle)
            d_->run.TitleJustPrinted = false;
    }
    if (printBand && band.Size().PixelHeight() != 0 && band.Enabled) {
        const double width = band.Size().NativeWidth();
        const double height = band.Size().NativeHeight();
        if (TRpSurface* surface = d_->printer->Surface()) {
            const int x1 = d_->printer->XPos(d_->run.CurrentX);
            const int y1 = d_->printer->YPos(d_->run.CurrentY);
            const int x2 = d_->printer->XPos(d_->run.CurrentX + width);
            const int y2 = d_->printer->YPos(d_->run.CurrentY + height);
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
                    item->Print(d_->run.CurrentX, d_->run.CurrentY);
                    progressed = progressed || item->PrintPosition() != before;
                }
                allDone = allDone && item->PrintFinished();
            }
            band.Frame.Draw(*d_->printer, d_->run.CurrentX, d_->run.CurrentY,
                            d_->run.CurrentX + width,
                            d_->run.CurrentY + height + band.Expanded + 1);
            // A pass in a fresh column that places nothing would never place anything.
            if (allDone || (!firstPass && !progressed) || d_->run.Cancelled)
                break;
            AdvanceColumn();
            if (d_->run.Cancelled)
                break;
            band.Size() = savedSize;
            band.Expanded = 0;
            firstPass = false;
        }
        d_->run.CurrentY += roundi(height + band.Expanded);
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
        d_->page.Native(TRpPage::iLength) -
        (d_->page.Native(TRpPage::iTopMargin) + d_->page.Native(TRpPage::iBottomMargin));
    if (d_->run.PageCount == 0) {
        AdvanceColumn();
        return;
    }
    // The page header printed at a page start never moves: it would not fit anywhere else.
    if (d_->run.PrintingPageStart)
        return;
    if (band.BandType() != TRpBandType::rbPageFooter && RemainingSpace() < h && h <= printable)
        AdvanceColumn();
}

void TRpCustomReport::AdvanceColumn()
{
    const int columns = d_->page.Columns();
    if (d_->run.CurrentColumn >= columns) {
        d_->run.CurrentColumn = 1;
        d_->run.CurrentX = roundi(d_->page.Native(TRpPage::iLeftMargin));
        BeginPage();
    } else {
        int width = 0;
        if (const TRpBand* detail = FindBand(TRpBandType::rbDetail)) {
            width = roundi(detail->Size().NativeWidth());
        } else {
            const int printable =
                roundi(d_->page.Native(TRpPage::iWidth) - (d_->page.Native(TRpPage::iLeftMargin) +
                                                           d_->page.Native(TRpPage::iRightMargin)));
            width = (printable - roundi(d_->page.Native(TRpPage::iColumnSpace)) * (columns - 1)) /
                    columns;
        }
        d_->run.CurrentX += roundi(d_->page.Native(TRpPage::iColumnSpace)) + width;
        d_->run.CurrentY = d_->run.ColumnTop;
        ++d_->run.CurrentColumn;
    }
    d_->functions.SetValue("COLUMNNUMBER", std::to_string(d_->run.CurrentColumn));
    if (!(d_->run.CurrentColumn == 1 && d_->run.PageCount == 1))
        OutputBand(FindBand(TRpBandType::rbColumnHeader));
}

void TRpCustomReport::BeginPage()
{
    FinishPage();
    ++d_->run.PageCount;
    d_->functions.SetValue("PAGENUMBER", std::to_string(d_->run.PageCount));
    d_->printer->NewPage();
    // The page output's Cancel (the printing progress window's) stops the run as well.
    if (d_->printer->Cancelled())
        d_->run.Cancelled = true;
    d_->run.CurrentY = roundi(d_->page.Native(TRpPage::iTopMargin));
    if (OnStartPage)
        OnStartPage(this);
    if (d_->run.PageCount > 1 || (Options & FirstPageHeader) != 0) {
        d_->run.PrintingPageStart = true;
        try {
            OutputBand(FindBand(TRpBandType::rbPageHeader));
        } catch (...) {
            d_->run.PrintingPageStart = false;
            throw;
        }
        d_->run.PrintingPageStart = false;
    }
    d_->run.ColumnTop = d_->run.CurrentY;
    if (d_->run.PageCount == 1)
        if (const TRpCustomBand* title = TitleBand())
            d_->run.ColumnTop += roundi(title->Size().NativeHeight());
}

void TRpCustomReport::FinishPage()
{
    if (d_->run.PageCount == 0)
        return;
    d_->run.CurrentY = roundi(d_->page.Native(TRpPage::iLength) -
                              d_->page.Native(TRpPage::iBottomMargin) - d_->run.PageFooterHeight);
    d_->run.CurrentX = roundi(d_->page.Native(TRpPage::iLeftMargin));
    if (!(d_->run.LastPage && (Options & LastPageFooter) == 0))
        OutputBand(FindBand(TRpBandType::rbPageFooter));
    for (const auto& item : d_->items)
        if (item->Prints())
            item->Print(0, 0);
    Frame.Draw(*d_->printer, d_->page.Native(TRpPage::iLeftMargin),
               d_->page.Native(TRpPage::iTopMargin),
               d_->page.Native(TRpPage::iWidth) - d_->page.Native(TRpPage::iRightMargin),
               d_->page.Native(TRpPage::iLength) - d_->page.Native(TRpPage::iBottomMargin));
    if (OnEndPage)
        OnEndPage(this);
}

void TRpCustomReport::MarkTitlePrinted()
{
    d_->run.TitleJustPrinted = TitleBand() != nullptr;
}

void TRpCustomReport::BreakPage()
{
    if (d_->run.TitleJustPrinted) {
        d_->run.TitleJustPrinted = false;
        return;
    }
    do {
        AdvanceColumn();
    } while (d_->run.CurrentColumn != 1);
}

void TRpCustomReport::BreakColumn()
{
    if (d_->run.ForcedColumnBreak || d_->run.CurrentColumn > 1)
        AdvanceColumn();
    d_->run.ForcedColumnBreak = true;
}

}  // namespace tabulex
