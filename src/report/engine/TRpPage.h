#pragma once
#include <array>
#include <functional>

#include "report/engine/TRpUnitBase.h"

namespace tabulex {

/// Portrait width and length of a paper size in millimetres; false for Default and Custom.
bool rpPaperSizeMM(TRpPaperSize size, double& widthMM, double& lengthMM);

/// Page geometry of a report: paper, orientation, margins and columns. The seven lengths are
/// held in tenths of a millimetre and read and written in the current `Units`.
class TRpPage : public TRpUnitBase {
public:
    /// Index of each length in `Values` (the streamed order).
    enum Index {
        iBottomMargin = 0,
        iLength,
        iTopMargin,
        iWidth,
        iLeftMargin,
        iRightMargin,
        iColumnSpace,
        kValueCount
    };
    using ValueArray = std::array<double, kValueCount>;

    TRpPage();

    double Width() const { return get(iWidth, TRpAxis::Horizontal); }
    double Length() const { return get(iLength, TRpAxis::Vertical); }
    /// Ignored unless `PaperSize` is Custom.
    void SetWidth(double v);
    /// Ignored unless `PaperSize` is Custom.
    void SetLength(double v);

    int Columns() const { return columns_; }
    /// Values below 1 are ignored.
    void SetColumns(int columns);
    TRpOrientation Orientation() const { return orientation_; }
    /// Re-applies the paper size.
    void SetOrientation(TRpOrientation orientation);
    TRpPaperSize PaperSize() const { return paperSize_; }
    void SetPaperSize(TRpPaperSize size);

    /// The stored lengths in tenths of a millimetre, in streamed order.
    const ValueArray& Values() const { return values_; }
    void SetValues(const ValueArray& values);
    double Native(Index index) const { return values_[index]; }
    void SetNative(Index index, double value);

    /// Called after any change of geometry or columns (the report re-lays its bands out).
    std::function<void()> OnChange;

private:
    double get(Index i, TRpAxis axis) const { return ToUnits(values_[i], axis); }
    void set(Index i, double v, TRpAxis axis) { SetNative(i, FromUnits(v, axis)); }
    void applyPaperSize();
    void changed() const;

    ValueArray values_{};
    int columns_ = 1;
    TRpOrientation orientation_ = TRpOrientation::poPortrait;
    TRpPaperSize paperSize_ = TRpPaperSize::A4;
};

}  // namespace tabulex
