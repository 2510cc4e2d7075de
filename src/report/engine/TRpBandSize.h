#pragma once
#include <array>
#include <cmath>

#include "report/engine/TRpUnitBase.h"

namespace tabulex {

/// Height and width of a band. Like the band's bounds on the design surface, values set in a
/// unit are held as whole screen pixels; `SetValues` stores the streamed values unchanged.
class TRpBandSize : public TRpUnitBase {
public:
    /// A new band is 40 pixels high.
    TRpBandSize();

    double Height() const { return ToUnits(values_[0], TRpAxis::Vertical); }
    double Width() const { return ToUnits(values_[1], TRpAxis::Horizontal); }
    void SetHeight(double v) { values_[0] = snap(FromUnits(v, TRpAxis::Vertical)); }
    void SetWidth(double v) { values_[1] = snap(FromUnits(v, TRpAxis::Horizontal)); }

    double NativeHeight() const { return values_[0]; }
    double NativeWidth() const { return values_[1]; }
    int PixelHeight() const { return static_cast<int>(std::lround(NativeToPixels(values_[0]))); }
    int PixelWidth() const { return static_cast<int>(std::lround(NativeToPixels(values_[1]))); }
    void SetPixelHeight(int px) { values_[0] = PixelsToNative(px); }
    void SetPixelWidth(int px) { values_[1] = PixelsToNative(px); }

    /// Streamed as (Height Width) in tenths of a millimetre.
    const std::array<double, 2>& Values() const { return values_; }
    void SetValues(const std::array<double, 2>& values) { values_ = values; }

private:
    double snap(double native) const { return PixelsToNative(std::round(NativeToPixels(native))); }
    std::array<double, 2> values_{};
};

}  // namespace tabulex
