#pragma once

namespace tabulex {

/// State of a report's generation run: where the run stands on the page and in the columns,
/// how many pages it began, and its flags. It is kept apart from the report's definition
/// (page, bands, items), which a run reads but does not change; the values stay readable
/// after the run until the next one starts. Lengths in tenths of a millimetre.
struct TRpRunState {
    bool Generating = false;
    bool Cancelled = false;
    /// The run has left its detail driver: the closing page footer is the last one.
    bool LastPage = false;
    bool TitleJustPrinted = false;
    bool ForcedColumnBreak = false;
    /// The page header bands of a new page are being printed.
    bool PrintingPageStart = false;
    int CurrentX = 0;
    /// -1 before the first page.
    int CurrentY = -1;
    int CurrentColumn = 1;
    int PageCount = 0;
    int ColumnTop = 0;
    double PageFooterHeight = 0;
};

}  // namespace tabulex
