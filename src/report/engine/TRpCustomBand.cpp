#include "report/engine/TRpCustomBand.h"

#include <utility>

#include "report/engine/TRpChildBand.h"
#include "report/engine/TRpCustomReport.h"

namespace tabulex {

TRpCustomBand::TRpCustomBand(std::string name, TRpBandType type)
    : type_(type), name_(std::move(name))
{}

TRpCustomBand::~TRpCustomBand() = default;

void TRpCustomBand::SetPixelWidth(int px)
{
    size_.SetPixelWidth(px);
    for (const auto& item : items_)
        item->BandResized();
}

void TRpCustomBand::SetHasChild(bool hasChild)
{
    if (hasChild == HasChild())
        return;
    if (!hasChild) {
        child_.reset();
    } else {
        child_ = std::make_unique<TRpChildBand>(name_ + "Child");
        child_->SetReport(report_);
    }
    if (report_ != nullptr)
        report_->AlignBands();
}

void TRpCustomBand::SetReport(TRpCustomReport* report)
{
    report_ = report;
    if (report != nullptr) {
        size_.SetZoom(report->Zoom());
        size_.SetUnits(report->Units());
    }
    for (const auto& item : items_)
        item->SetOwner(report, this);
    if (child_)
        child_->SetReport(report);
}

void TRpCustomBand::SetUnits(TRpUnit units)
{
    size_.SetUnits(units);
    for (const auto& item : items_)
        item->Size().SetUnits(units);
    if (child_)
        child_->SetUnits(units);
}

void TRpCustomBand::SetZoom(int zoom)
{
    size_.SetZoom(zoom);
    for (const auto& item : items_)
        item->Size().SetZoom(zoom);
    if (child_)
        child_->SetZoom(zoom);
}

}  // namespace tabulex
