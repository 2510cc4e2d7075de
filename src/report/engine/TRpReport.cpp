#include "report/engine/TRpReport.h"

#include <string>

namespace tabulex {

namespace {

const char* bandName(TRpBandType type)
{
    switch (type) {
    case TRpBandType::rbTitle:
        return "Title";
    case TRpBandType::rbPageHeader:
        return "PageHeader";
    case TRpBandType::rbColumnHeader:
        return "ColumnHeader";
    case TRpBandType::rbDetail:
        return "Detail";
    case TRpBandType::rbPageFooter:
        return "PageFooter";
    case TRpBandType::rbSummary:
        return "Summary";
    default:
        return "Band";
    }
}

}  // namespace

TRpReport::TRpReport() = default;

void TRpReport::SetHasBand(TRpBandType type, bool on)
{
    TRpBand* band = FindBand(type);
    if (on && band == nullptr)
        AddBand(bandName(type), type);
    if (!on && band != nullptr)
        RemoveBand(band);
}

void TRpReport::PrepareDetailDriver()
{
    controller_.HeaderBand = FindBand(TRpBandType::rbTitle);
    controller_.DetailBand = FindBand(TRpBandType::rbDetail);
    controller_.FooterBand = FindBand(TRpBandType::rbSummary);
    controller_.Prepare();
}

}  // namespace tabulex
