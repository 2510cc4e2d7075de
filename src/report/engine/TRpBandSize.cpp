#include "report/engine/TRpBandSize.h"

namespace tabulex {

TRpBandSize::TRpBandSize()
{
    SetPixelHeight(40);
}

}  // namespace tabulex
