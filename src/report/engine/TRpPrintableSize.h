#pragma once
#include <array>
#include <cmath>

#include "report/engine/TRpUnitBase.h"

namespace tabulex {

/// Bounds of a printable item inside its band. Values set in a unit are held as whole screen
/// pixels, as the item's design-surface bounds; `SetValues` stores streamed values unchanged.
class TRpPrintableSize : public TRpUnitBase {
public:
    /// Streamed order of `Values`.
    enum Index { iHeight = 0, iLeft, iTop, iWidth };

    TRpPrintableSize();

    double Height() const { return ToUnits(values_[iHeight], TRpAxis::Vertical); }
    double Left() const { return ToUnits(values_[iLeft], TRpAxis::Horizontal); }
    double Width() const { return ToUnits(values_[iWidth], TRpAxis::Horizontal); }
    void SetHeight(double v) { values_[iHeight] = snap(FromUnits(v, TRpAxis::Vertical)); }
    void SetLeft(double v) { values_[iLeft] = snap(FromUnits(v, TRpAxis::Horizontal)); }
    void SetTop(double v) { values_[iTop] = snap(FromUnits(v, TRpAxis::Vertical)); }
    void SetWidth(double v) { values_[iWidth] = snap(FromUnits(v, TRpAxis::Horizontal)); }

    double Native(Index i) const { return values_[i]; }
    int Pixels(Index i) const { return static_cast<int>(std::lround(NativeToPixels(values_[i]))); }
    void SetPixels(Index i, int px) { values_[i] = PixelsToNative(px); }

    /// Streamed as (Height Left Top Width) in tenths of a millimetre.
    const std::array<double, 4>& Values() const { return values_; }
    void SetValues(const std::array<double, 4>& values) { values_ = values; }

private:
    double snap(double native) const { return PixelsToNative(std::round(NativeToPixels(native))); }
    std::array<double, 4> values_{};
};

}  // namespace tabulex
