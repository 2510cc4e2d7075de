#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/engine/RpTypes.h"
#include "report/engine/TRpPageOutput.h"
#include "report/output/TRpPageRecord.h"

class QObject;
class QPainter;
class QRectF;

namespace tabulex {

class ERpError;
class TOutputFile;
class TRpPageDevice;
class TRpPageList;
class TRpPrinterPrivate;
class TRpTextMeasurer;

/// Page output of one report run: opens and closes pages, converts tenths of a millimetre to
/// device pixels and keeps the recorded pages. A job runs Ready -> Busy -> Finished once.
///
/// Metafile pages are kept in memory, or, with UsePageStore, in a page store in the saved
/// report layout from which only the page asked for is read back. Printer pages are recorded
/// at the screen resolution like metafile pages and replayed onto the printer device as each
/// page closes, so the printed pages are laid out exactly as the previewed ones.
///
/// Failures: the page output shows nothing. The job steps (BeginJob, NewPage, EndJob), which
/// run inside a report run, raise ERpError so that the run stops; every other operation
/// (saving, loading, reading pages back, printing finished pages) returns false or null and
/// leaves telling the user to its caller.
class TRpPrinter : public TRpPageOutput {
public:
    /// Makes the surface of page `pageNumber`, `widthPx` x `heightPx` device pixels.
    using PageFactory =
        std::function<std::unique_ptr<TRpSurface>(int pageNumber, int widthPx, int heightPx)>;

    explicit TRpPrinter(TRpDestination destination = TRpDestination::Metafile);
    ~TRpPrinter() override;

    /// Pages completed.
    int AvailablePages() const;
    int PageNumber() const;

    bool ShowingPreview = false;
    bool ReportLoaded = false;
    /// Raised with the new AvailablePages each time a page is completed (synchronously).
    std::function<void(int)> OnPageAvailable;

    /// Called when an attached preview is detached (the report's AfterPreview).
    std::function<void()> AfterPreviewHook;
    /// Called when a printer job has ended (the report's AfterPrint).
    std::function<void()> AfterPrintHook;
    /// Printer setup for these pages (through the report); cleared for a loaded file.
    std::function<void()> PrintSetupHook;
    /// Prints these pages' report in a run of its own; cleared for a loaded file.
    std::function<void()> PrintHook;
    /// Writes these pages' report to a PDF file in a run of its own: (path, goOn), where
    /// goOn() is asked as each page begins and answers false to give the run up. Returns
    /// false when it was given up; throws ERpError when the file cannot be written. Cleared
    /// for a loaded file.
    using SavePdf = std::function<bool(const std::string& path, std::function<bool()> goOn)>;
    SavePdf SavePdfHook;

    /// The window told about new pages. Notifications are queued calls on the client's
    /// thread, dropped when the client is gone before they run.
    void SetClient(QObject* client, std::function<void(int)> pageAvailable);
    QObject* Client() const;
    /// Clears ShowingPreview and, when it was set, calls AfterPreviewHook.
    void DetachPreview();

    /// Metafile pages go to a page store instead of memory; set before BeginJob.
    void UsePageStore(bool on);
    /// The page store (null for pages kept in memory).
    TRpPageList* Store() const;
    /// The device printer pages go to (not owned); needed for the printer destination.
    void SetDevice(TRpPageDevice* device);
    TRpPageDevice* Device() const;

    /// Replaces how pages are recorded (TRpPageRecord pages by default).
    void SetPageFactory(PageFactory factory);
    /// Text metrics at this output's device resolution.
    TRpTextMeasurer& Measurer();

    void BeginJob() override;
    void NewPage() override;
    void EndJob() override;
    void AbortJob() override;
    TRpSurface* Surface() override;
    /// Page n (1-based) while Busy or Finished, else null; null too for stored pages.
    const TRpSurface* GetPage(int n) const;
    /// Pages kept in memory (empty when they are in a page store).
    const std::vector<std::unique_ptr<TRpSurface>>& Pages() const;
    /// The recording of completed page n, from memory or from the store; nothing when there
    /// is none (out of range, not made yet, not a recorded page, or unreadable in the store).
    std::optional<TRpPageRecord> PageRecord(int n) const;
    /// A finished copy of these pages held in memory (for writers that walk Pages()).
    std::unique_ptr<TRpPrinter> InMemoryCopy() const;

    /// When Finished, writes the page store into `out` as a saved report file (the caller
    /// closes it); false when there is nothing to save or the file cannot be written.
    bool Save(TOutputFile& out) const;
    /// The same into a new file at `path`, which replaces the old one only when complete.
    bool Save(const std::string& path) const;
    /// Replaces the pages by those of a valid saved report file. An invalid file changes
    /// nothing and gives false; the caller tells the user.
    bool Load(const std::string& path);
    /// Takes over the pages of an open store (see Load); changes nothing when null.
    bool LoadStore(std::unique_ptr<TRpPageList> store);
    /// Prints the finished pages onto `device`: FirstPage..LastPage (all when both are 0),
    /// stopping after the current page when Cancelled. False when nothing was printed.
    bool PrintStoredPages(TRpPageDevice& device);

private:
    bool inPrinterRange() const;
    void closePage();
    void storePage(TRpSurface& page);
    ERpError storeError() const;
    void printPage(const TRpSurface& page);
    void applyToDevice(TRpPageDevice& device) const;
    void notifyPageAvailable();
    std::optional<TRpPageRecord> storedPage(int n) const;

    std::unique_ptr<TRpPrinterPrivate> d_;
};

}  // namespace tabulex
