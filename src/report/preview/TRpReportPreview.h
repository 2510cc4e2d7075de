#pragma once
#include "report/output/TRpPrinter.h"

class QString;

namespace tabulex {

class TRpReport;
class TRpStandardPreview;

// The entry points that show a report: its preview window, its printing with the progress
// window, and the print setup dialog. They belong to the preview layer so that the report
// itself never opens a window; failures that reach the user are shown here.

/// Processes pending events; unless a run is in progress, shows the standard preview window
/// on a new page output, runs the report into it and processes events until the window is
/// closed. The report's AfterPreview fires once when it closes. `savePdf`, when given, is how
/// "Save Report" writes a PDF: a run of its own, the window painting meanwhile (otherwise the
/// recorded pages are written).
void Preview(TRpReport& report, TRpPrinter::SavePdf savePdf = {});

/// Opens the standard preview window on the saved report file at `path`, with no report
/// behind it, as its "Load Report" shows one; the window is not modal and is freed with its
/// pages when it is closed. Shows why a file cannot be shown and returns null then.
TRpStandardPreview* PreviewFile(const QString& path);

/// Unless a run is in progress, runs the report straight to the printer (with the progress
/// window when ShowProgress is set), honouring the page range; shows "No printer installed"
/// when there is none. The page output the report had before (a preview's) is given back
/// afterwards.
void Print(TRpReport& report);

/// The print dialog on the report's printer; on OK takes over copies, printer, orientation
/// and page range. `finishedPages` > 0 offers 1..finishedPages. The report's Tag is 0 after
/// OK, 1 after Cancel.
void PrinterSetup(TRpReport& report, int finishedPages = 0);

}  // namespace tabulex
