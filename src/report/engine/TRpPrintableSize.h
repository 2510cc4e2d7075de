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
    double Top() const { return ToUnits(values_[iTop], TRpAxis::Vertical); }
    double Width() const { return ToUnits(values_[iWidth], TRpAxis::Horizontal); }
    void SetHeight(double v) { values_[iHeight] = snap(FromUnits(v, TRpAxis::Vertical)); }
    void SetLeft(double v) { values_[iLeft] = snap(FromUnits(v, TRpAxis::Horizontal)); }
    void SetTop(double v) { values_[iTop] = snap(FromUnits(v, TRpAxis::Vertical)); }
    void SetWidth(double v) { values_[iWidth] = snap(FromUnits(v, TRpAxis::Horizontal)); }

    double Native(Index i) const { return values_[i]; }
    int Pixels(Index i) const { return static_cast<int>(std::lround(NativeToPixels(values_[i]))); }
    void SetPixels(Index i, int px) { values_[i] = PixelsToNative(px); }

    /// Zoom of the item's band; a value read in Pixels is further scaled by it.
    int BandZoom() const { return bandZoom_; }
    void SetBandZoom(int zoom) { bandZoom_ = zoom; }
    double ToUnits(double native, TRpAxis axis) const override;
    double FromUnits(double value, TRpAxis axis) const override;

    /// Streamed as (Height Left Top Width) in tenths of a millimetre.
    const std::array<double, 4>& Values() const { return values_; }
    void SetValues(const std::array<double, 4>& values) { values_ = values; }

private:
    double snap(double native) const { return PixelsToNative(std::round(NativeToPixels(native))); }
    std::array<double, 4> values_{};
    int bandZoom_ = 100;
};

}  // namespace tabulex
