#include "report/engine/TRpReport.h"

namespace tabulex {

TRpReport::TRpReport() = default;

void TRpReport::PrepareDetailDriver()
{
    controller_.HeaderBand = FindBand(TRpBandType::rbTitle);
    controller_.DetailBand = FindBand(TRpBandType::rbDetail);
    controller_.FooterBand = FindBand(TRpBandType::rbSummary);
    controller_.Prepare();
}

}  // namespace tabulex
