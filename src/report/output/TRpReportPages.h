#pragma once
#include <memory>

#include "report/output/TRpPrinter.h"

namespace tabulex {

class TRpReport;

/// Runs `report` into a new page output of recorded pages (TRpPageRecord pages unless a page
/// factory is given; in a page store when `pageStore` is set) and returns it; null when
/// BeforePrint refused the run. The report's own page output is given back afterwards.
/// `betweenPages` is the page output's BetweenPages (see TRpPageOutput). Failures of the run
/// propagate as the report's run raises them.
std::unique_ptr<TRpPrinter> GeneratePages(TRpReport& report, TRpPrinter::PageFactory factory = {},
                                          bool pageStore = false,
                                          std::function<void()> betweenPages = {});

}  // namespace tabulex
