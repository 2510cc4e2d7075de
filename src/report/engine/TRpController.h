#pragma once
#include <functional>

namespace tabulex {

class TRpCustomBand;
class TRpCustomReport;

/// The report's detail driver. Without a data set it prints its header band, its detail band
/// once (when `PrintIfEmpty`) and its footer band; with `OnNeedData` it prints one detail band
/// for as long as the handler reports more data.
class TRpController {
public:
    /// (sender, moreData): set moreData to print one more detail band.
    using NeedDataEvent = std::function<void(TRpController* sender, bool& moreData)>;

    bool PrintIfEmpty = true;
    NeedDataEvent OnNeedData;
    TRpCustomBand* HeaderBand = nullptr;
    TRpCustomBand* DetailBand = nullptr;
    TRpCustomBand* FooterBand = nullptr;
    /// Detail bands printed in the current run.
    int DetailCount = 0;

    void Prepare() { DetailCount = 0; }
    void Run(TRpCustomReport& report);
    void Unprepare() {}
};

}  // namespace tabulex
