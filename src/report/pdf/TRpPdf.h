#pragma once
#include <memory>
#include <string>

#include "report/output/TRpPrinter.h"
#include "report/pdf/TRpPdfDocument.h"

namespace tabulex {

class TOutputFile;
class TRpPage;
class TRpPdfDocument;
class TRpReport;

// Failures: the PDF writer shows nothing and raises nothing of its own; each operation
// returns false when the file cannot be written, and the caller tells the user.

/// Writes the recorded pages of a finished page output as a PDF into `out`: one PDF page per
/// recorded page, of the report page's size, each page replayed scaled to the PDF's resolution.
/// The caller closes `out`. Returns false when the file cannot be written.
bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, TOutputFile& out);
/// The same into a new file at `path`, which replaces the old one only when complete.
bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, const std::string& path);

/// A report run written straight to a PDF file: the run's pages are TRpPdfSurface pages
/// streaming into the file with the standard PDF fonts. Run the report with PageFactory(),
/// then call Finish with its output. The file is written under a temporary name beside
/// `path` and renamed to `path` once complete; a run that fails or is given up leaves
/// nothing behind, and an older file at `path` stays until the new one replaces it. When the run
/// needed something the standard fonts cannot draw as the recorded pages do (another font family,
/// right-to-left text), Finish runs the report again into recorded pages and writes those with
/// rpWritePdf instead.
class TRpPdfDirectOutput {
public:
    /// Writes into `out`, which the caller closes after Finish (or drops).
    TRpPdfDirectOutput(TRpReport& report, TOutputFile& out);
    /// Writes a new file at `path`, put in place by a successful Finish; until then, and after
    /// a failure, the old file stays as it was.
    TRpPdfDirectOutput(TRpReport& report, const std::string& path);
    ~TRpPdfDirectOutput();
    TRpPdfDirectOutput(const TRpPdfDirectOutput&) = delete;
    TRpPdfDirectOutput& operator=(const TRpPdfDirectOutput&) = delete;

    /// Makes the run's pages; valid while this object lives.
    TRpPrinter::PageFactory PageFactory();
    /// The outline and the document information Finish writes.
    void SetOutline(std::vector<TRpPdfOutlineItem> outline);
    void SetInfo(TRpPdfInfo info);
    /// Completes the file for the finished `output` of a run with PageFactory(). Returns
    /// false when the file cannot be written.
    bool Finish(const TRpPrinter& output);
    /// Whether Finish wrote recorded pages, and why.
    bool UsedFallback() const { return usedFallback_; }
    const std::string& FallbackReason() const { return fallbackReason_; }

private:
    TRpPdfDirectOutput(TRpReport& report, std::unique_ptr<TOutputFile> owned);
    static std::unique_ptr<TOutputFile> openedAt(const std::string& path);

    TRpReport& report_;
    std::unique_ptr<TOutputFile> owned_;  // the file of the path constructor
    TOutputFile& out_;
    std::unique_ptr<TRpPdfDocument> document_;
    bool usedFallback_ = false;
    std::string fallbackReason_;
};

}  // namespace tabulex
