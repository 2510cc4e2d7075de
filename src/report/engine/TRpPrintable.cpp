#include "report/engine/TRpPrintable.h"

#include <utility>

#include "report/engine/TRpCustomBand.h"
#include "report/engine/TRpCustomReport.h"

namespace tabulex {

TRpPrintable::TRpPrintable(std::string name) : name_(std::move(name))
{}

TRpPrintable::~TRpPrintable() = default;

void TRpPrintable::SetBounds(double left, double top, double width, double height)
{
    size_.SetLeft(left);
    size_.SetTop(top);
    size_.SetWidth(width);
    size_.SetHeight(height);
    AlignToBandNow();
}

void TRpPrintable::SetPixelWidth(int px)
{
    size_.SetPixels(TRpPrintableSize::iWidth, px);
    AlignToBandNow();
}

void TRpPrintable::SetAlignment(TRpAlignment alignment)
{
    alignment_ = alignment;
    AlignToBandNow();
}

void TRpPrintable::SetAlignToBand(bool align)
{
    alignToBand_ = align;
    AlignToBandNow();
}

void TRpPrintable::SetOwner(TRpCustomReport* report, TRpCustomBand* band)
{
    report_ = report;
    band_ = band;
    if (report != nullptr) {
        size_.SetZoom(report->Zoom());
        size_.SetUnits(report->Units());
    }
    AlignToBandNow();
}

int TRpPrintable::bandPixelWidth() const
{
    return band_ == nullptr ? 0 : band_->Size().PixelWidth();
}

void TRpPrintable::AlignToBandNow()
{
    if (!alignToBand_ || band_ == nullptr)
        return;
    const int bandWidth = bandPixelWidth();
    const int width = PixelWidth();
    int left = 0;
    switch (alignment_) {
    case TRpAlignment::taLeftJustify:
        left = 0;
        break;
    case TRpAlignment::taRightJustify:
        left = bandWidth - width;
        break;
    case TRpAlignment::taCenter:
        left = (bandWidth - width) / 2;
        break;
    }
    size_.SetPixels(TRpPrintableSize::iLeft, left);
}

void TRpPrintable::Prepare()
{
    printing_ = true;
    printer_ = report_ == nullptr ? nullptr : report_->Printer();
    // A run always starts at the item's beginning, even after a cancelled or failed run.
    printFinished_ = true;
}

void TRpPrintable::Unprepare()
{
    printing_ = false;
    printer_ = nullptr;
}

}  // namespace tabulex
