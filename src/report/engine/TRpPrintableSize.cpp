#include "report/engine/TRpPrintableSize.h"

namespace tabulex {

TRpPrintableSize::TRpPrintableSize()
{
    // A new item is 10 x 10 pixels.
    SetPixels(iHeight, 10);
    SetPixels(iWidth, 10);
}

}  // namespace tabulex
