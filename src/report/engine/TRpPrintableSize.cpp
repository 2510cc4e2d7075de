#include "report/engine/TRpPrintableSize.h"

namespace tabulex {

TRpPrintableSize::TRpPrintableSize()
{
    // A new item is 10 x 10 pixels.
    SetPixels(iHeight, 10);
    SetPixels(iWidth, 10);
}

double TRpPrintableSize::ToUnits(double native, TRpAxis axis) const
{
    const double value = TRpUnitBase::ToUnits(native, axis);
    return Units() == TRpUnit::Pixels ? value * bandZoom_ / 100.0 : value;
}

double TRpPrintableSize::FromUnits(double value, TRpAxis axis) const
{
    if (Units() == TRpUnit::Pixels)
        value = value * 100.0 / bandZoom_;
    return TRpUnitBase::FromUnits(value, axis);
}

}  // namespace tabulex
