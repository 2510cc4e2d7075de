#pragma once
#include <memory>
#include <vector>

#include "report/engine/TRpBand.h"
#include "report/engine/TRpCustomReport.h"
#include "report/engine/TRpEvEnvironment.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpPageOutput.h"
#include "report/engine/TRpPrintable.h"
#include "report/engine/TRpRunState.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/engine/TRpUnitBase.h"

namespace tabulex {

/// What a report holds beyond its public settings: the page, bands and items of its
/// definition, the reference surface, the page output of its runs and the run's state. Only
/// the report's own implementation includes this header.
class TRpCustomReportPrivate {
public:
    TRpCustomReportPrivate() : units(rpDefaultUnits()), reference(rpScreenResolution()) {}

    TRpPage page;
    TRpUnit units;
    int zoom = 100;
    TRpEvEnvironment functions;
    /// Screen-compatible surface on which text items measure text.
    TRpTextMeasurer reference;
    std::vector<std::unique_ptr<TRpBand>> bands;
    /// Items placed directly on the report, outside any band.
    std::vector<std::unique_ptr<TRpPrintable>> items;

    /// The page output of the next run (not owned), or the report's own blank one.
    TRpPageOutput* printer = nullptr;
    std::unique_ptr<TRpPageOutput> ownPrinter;
    TRpRunState run;
};

}  // namespace tabulex
