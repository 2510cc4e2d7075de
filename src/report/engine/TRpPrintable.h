#pragma once
#include <cstddef>
#include <string>

#include "report/engine/RpTypes.h"
#include "report/engine/TRpFrame.h"
#include "report/engine/TRpPrintableSize.h"

namespace tabulex {

class TRpCustomReport;
class TRpCustomBand;
class TRpPageOutput;

/// Base of every printable item placed on a band (or directly on the report).
class TRpPrintable {
public:
    explicit TRpPrintable(std::string name);
    virtual ~TRpPrintable();
    TRpPrintable(const TRpPrintable&) = delete;
    TRpPrintable& operator=(const TRpPrintable&) = delete;

    const std::string& Name() const { return name_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    TRpFrame Frame;

    /// Bounds in the current units; use the setters below to move or resize the item.
    const TRpPrintableSize& Size() const { return size_; }
    TRpPrintableSize& Size() { return size_; }
    /// Sets all four bounds in the current units and re-aligns to the band.
    void SetBounds(double left, double top, double width, double height);
    void SetPixelWidth(int px);
    int PixelWidth() const { return size_.Pixels(TRpPrintableSize::iWidth); }
    int PixelHeight() const { return size_.Pixels(TRpPrintableSize::iHeight); }
    int PixelLeft() const { return size_.Pixels(TRpPrintableSize::iLeft); }

    TRpAlignment Alignment() const { return alignment_; }
    void SetAlignment(TRpAlignment alignment);
    bool AlignToBand() const { return alignToBand_; }
    void SetAlignToBand(bool align);

    /// True when the item has printed everything it has; starts true.
    bool PrintFinished() const { return printFinished_; }

    TRpCustomReport* Report() const { return report_; }
    TRpCustomBand* Band() const { return band_; }
    /// The page output while printing.
    TRpPageOutput* Printer() const { return printer_; }

    /// Called by the owner when the item is placed.
    virtual void SetOwner(TRpCustomReport* report, TRpCustomBand* band);

    /// Whether the item prints at all.
    virtual bool Prints() const { return enabled_; }
    /// Applies `AlignToBand` to the item's left edge.
    virtual void AlignToBandNow();
    virtual void Prepare();
    /// Prints at the band position (tenths of a millimetre); may be called again while the
    /// item has not finished.
    virtual void Print(double offsetX, double offsetY) = 0;
    /// The band has been resized: re-align.
    virtual void BandResized() { AlignToBandNow(); }
    virtual void Unprepare();
    /// A number that grows while the item makes progress printing (lines printed).
    virtual std::size_t PrintPosition() const { return 0; }

protected:
    void setPrintFinished(bool finished) { printFinished_ = finished; }
    bool printing() const { return printing_; }
    /// Pixel width of the item's band (0 without band).
    int bandPixelWidth() const;

private:
    std::string name_;
    bool enabled_ = true;
    TRpPrintableSize size_;
    TRpAlignment alignment_ = TRpAlignment::taLeftJustify;
    bool alignToBand_ = false;
    bool printFinished_ = true;
    bool printing_ = false;
    TRpCustomReport* report_ = nullptr;
    TRpCustomBand* band_ = nullptr;
    TRpPageOutput* printer_ = nullptr;
};

}  // namespace tabulex
