#pragma once
#include <QColor>
#include <QFont>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report/engine/RpTypes.h"
#include "report/engine/TRpBandSize.h"
#include "report/engine/TRpFrame.h"
#include "report/engine/TRpPrintable.h"

namespace tabulex {

class TRpCustomReport;
class TRpChildBand;

/// A band of a report: a strip of the page holding printable items. Owns its items and its
/// child band.
class TRpCustomBand {
public:
    using BeforePrintEvent = std::function<void(TRpCustomBand* sender, bool& printBand)>;
    using AfterPrintEvent = std::function<void(TRpCustomBand* sender, bool bandPrinted)>;

    TRpCustomBand(std::string name, TRpBandType type);
    virtual ~TRpCustomBand();
    TRpCustomBand(const TRpCustomBand&) = delete;
    TRpCustomBand& operator=(const TRpCustomBand&) = delete;

    const std::string& Name() const { return name_; }
    TRpBandType BandType() const { return type_; }

    bool AlignToBottom = false;
    QColor Color = Qt::white;
    bool Enabled = true;
    QFont Font{QStringLiteral("Arial"), 10};
    bool ForceNewColumn = false;
    bool ForceNewPage = false;
    /// Band whose height EnsureRoom adds, so that both start in the same column.
    TRpCustomBand* LinkBand = nullptr;
    TRpFrame Frame;
    BeforePrintEvent BeforePrint;
    AfterPrintEvent AfterPrint;
    /// Extra height the band has grown by in the current column (tenths of a millimetre).
    double Expanded = 0;

    const TRpBandSize& Size() const { return size_; }
    TRpBandSize& Size() { return size_; }
    /// Sets the height in the current units.
    void SetHeight(double height) { size_.SetHeight(height); }
    /// Sets the width in pixels and tells the items.
    void SetPixelWidth(int px);

    /// Creates (true) or frees (false) the child band that prints right after this one.
    void SetHasChild(bool hasChild);
    bool HasChild() const { return child_ != nullptr; }
    TRpChildBand* Child() const { return child_.get(); }

    /// Places an item on the band; the band owns it.
    template <class T>
    T* AddItem(std::unique_ptr<T> item)
    {
        T* raw = item.get();
        items_.push_back(std::move(item));
        raw->SetOwner(report_, this);
        return raw;
    }
    const std::vector<std::unique_ptr<TRpPrintable>>& Items() const { return items_; }

    TRpCustomReport* Report() const { return report_; }
    /// Gives the band, its child and its items their report.
    void SetReport(TRpCustomReport* report);
    /// Switches the band's size, its items' sizes and its child to `units`.
    void SetUnits(TRpUnit units);
    void SetZoom(int zoom);

protected:
    friend class TRpCustomReport;
    TRpBandType type_;

private:
    std::string name_;
    TRpBandSize size_;
    TRpCustomReport* report_ = nullptr;
    std::vector<std::unique_ptr<TRpPrintable>> items_;
    std::unique_ptr<TRpChildBand> child_;
};

}  // namespace tabulex
