#pragma once
#include "report/engine/RpTypes.h"

namespace tabulex {

/// Settings a page output applies to its printer; lengths in tenths of a millimetre.
struct TPrinterSettings {
    int PrinterIndex = -1;  ///< -1 is the default printer
    TRpPaperSize PaperSize = TRpPaperSize::A4;
    double CustomWidth = 2100.0;   ///< used for Default and Custom paper sizes
    double CustomLength = 2970.0;  ///< used for Default and Custom paper sizes
    TRpOrientation Orientation = TRpOrientation::poPortrait;
    int Copies = 1;
    TRpBin OutputBin = TRpBin::Auto;
    bool Duplex = false;
};

}  // namespace tabulex
