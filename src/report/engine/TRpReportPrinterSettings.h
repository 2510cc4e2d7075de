#pragma once
#include "report/engine/RpTypes.h"

namespace tabulex {

/// Print settings a report keeps for its runs.
struct TRpReportPrinterSettings {
    int Copies = 1;
    bool Duplex = false;
    int FirstPage = 0;  ///< 0 = no limit
    int LastPage = 0;   ///< 0 = no limit
    TRpBin OutputBin = TRpBin::Auto;
    int PrinterIndex = -1;  ///< -1 is the default printer
};

}  // namespace tabulex
