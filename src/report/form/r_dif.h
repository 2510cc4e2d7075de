#pragma once
#include <QFont>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LineSource.h"
#include "analysis/ListingSettings.h"
#include "analysis/SourceDocument.h"
#include "analysis/SourceEncoding.h"
#include "config/ListingSettingsFile.h"
#include "report/engine/TRpBand.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"
#include "report/pdf/TRpPdfDocument.h"

namespace tabulex {

class TOutputFile;
class TReportLines;

/// Holder of the program's report: an A4 page in two columns with a page header, one detail
/// band whose memo carries every selected list, and a page footer. The form is never shown;
/// the main window and the configuration window drive it. Its bands and items keep the names
/// they are known by ("RpBand1", "RpLabel5", "RpMemo1", ...) as their item names.
class TF_dif : public QObject {
    Q_OBJECT
public:
    explicit TF_dif(QObject* parent = nullptr);
    ~TF_dif() override;

    /// The report, which the preview, printing and the batch outputs run.
    TRpReport& report() { return *Report1; }
    const TRpReport& report() const { return *Report1; }
    /// The detail band's memo, which prints the sections.
    TRpMemo& memo() { return *RpMemo1; }
    const TRpMemo& memo() const { return *RpMemo1; }
    /// The caption of the page header's path label as setHeaderPath left it, in the report's
    /// encoding.
    const std::string& headerPath() const { return RpLabel5->Caption(); }

    /// The lines of the four sections, in section order: listing, cross reference, routines,
    /// uses (any may be null: no lines).
    using TSections = std::array<std::shared_ptr<const TLineSource>, 4>;
    /// The sections the memo is fed from. The memo reads their lines as printing reaches them
    /// and keeps the sources alive while it shows them; nothing is copied before the run.
    void setSections(TSections sections);
    /// The sections of `document`, whose routines also make the PDF's outline.
    void setDocument(std::shared_ptr<const TSourceDocument> document);
    /// The Listing settings whose switches select the sections (null: all sections).
    void setSettings(const TListingSettings* settings);
    /// Sets the page's column count and makes the memo 5 screen pixels narrower than the
    /// detail band's new width. While the report runs the change waits for the run's end
    /// (it is made when the preview closes or the next run starts).
    void set_colunas(int columns);

    /// Report BeforePrint: hands the memo each selected section from where its counter stands.
    void Report1BeforePrint(TRpReport* Sender, bool& PrintReport);
    /// Report AfterPreview: all four counters back to 0.
    void Report1AfterPreview(TRpReport* Sender);

    /// The memo's font (the main window's font command); waits like set_colunas during a run.
    void setMemoFont(const QFont& font);

    /// How the listing's classes are drawn; waits like set_colunas during a run.
    void setTheme(TReportTheme theme);
    TReportTheme theme() const { return theme_; }

    /// Part of the listing to print: lines [first, end) (zero-based, end clamped to the
    /// listing), each as in the whole listing; the other selected sections follow only
    /// `withLists`.
    struct TSelection {
        std::size_t first = 0;
        std::size_t end = 0;
        bool withLists = false;
    };
    /// The part of the listing the next runs print; none: all of it.
    void setSelection(std::optional<TSelection> selection);
    const std::optional<TSelection>& selection() const { return selection_; }

    /// The PDF file a unit of the uses list links to (a path relative to the report's PDF),
    /// empty when none; without it the unit names link nowhere.
    using TUnitFiles = std::function<std::string(std::string_view unit)>;
    void setUnitFiles(TUnitFiles files) { unitFiles_ = std::move(files); }

    /// The outline of the lines the last run printed: one entry per section, the routines of
    /// the document under the listing (a method under its class, as its name says).
    std::vector<TRpPdfOutlineItem> pdfOutline() const;
    /// The PDF's subject: what the report holds, and of which file.
    std::string pdfSubject() const;

    /// Lays the report out and draws it in `encoding`; lines of a `source` in another
    /// encoding are converted as they are fed to the memo.
    void setTextEncoding(SourceEncoding encoding, SourceEncoding source);
    SourceEncoding textEncoding() const { return Report1->ReferenceSurface().Encoding(); }
    /// Shows `path` in the page header's path label, shortened in the middle when it would
    /// run into the date and time that follow it.
    void setHeaderPath(const QString& path);

    /// Lines already appended from section 0 (listing) to 3 (uses).
    int counter(int section) const { return counters_[section]; }

private:
    void buildReport();
    void applyColumns(int columns);
    void applyMemoFont(const QFont& font);
    void applyTheme(TReportTheme theme);
    void applyPendingChanges();
    void buildHeader();
    void buildDetail();
    void buildFooter();

    // The report and the bands and items the form works on once they are built.
    std::unique_ptr<TRpReport> Report1;
    TRpLabel* RpLabel1 = nullptr;
    TRpLabel* RpLabel5 = nullptr;
    TRpSysData* RpSysData1 = nullptr;
    TRpLabel* RpLabel6 = nullptr;
    TRpBand* RpBand2 = nullptr;  ///< detail
    TRpMemo* RpMemo1 = nullptr;
    TRpLabel* RpLabel2 = nullptr;

    TSections sections_;
    std::shared_ptr<const TSourceDocument> document_;
    const TListingSettings* settings_ = nullptr;
    TReportTheme theme_ = TReportTheme::Nenhum;
    std::optional<TReportTheme> pendingTheme_;
    std::vector<TRpRunStyle> runStyles_;  ///< of the theme, as TReportLines styles its runs
    std::optional<TSelection> selection_;
    TUnitFiles unitFiles_;
    std::shared_ptr<const TReportLines> lines_;  ///< what the memo prints
    QString headerPath_;
    int counters_[4] = {0, 0, 0, 0};
    bool convertLines_ = false;  ///< Windows-1252 lines fed to a UTF-8 report
    std::optional<int> pendingColumns_;
    std::optional<QFont> pendingFont_;
};

/// Runs the form's report into a page store and writes it into `out` as a saved report file,
/// as the preview's "Save Report" does; the caller closes `out`. Throws ERpError when there are
/// no pages or the file cannot be written.
void write_report_rpf(TF_dif& form, TOutputFile& out);
/// The same into a new file at `path`, which replaces the old one only when complete.
void write_report_rpf(TF_dif& form, const std::string& path);

/// Runs the form's report straight into a PDF document with its outline, links and
/// information, written into `out` (which the caller closes). `betweenPages` is called as each
/// page begins (the window handles its messages there; it may cancel the report). Returns false
/// when the run was cancelled; throws ERpError when the report has no pages or the file cannot
/// be written.
bool write_report_pdf(TF_dif& form, TOutputFile& out, std::function<void()> betweenPages = {});
/// The same into a new file at `path`, which replaces the old one only when complete (a
/// cancelled run leaves the old file as it was).
bool write_report_pdf(TF_dif& form, const std::string& path,
                      std::function<void()> betweenPages = {});

}  // namespace tabulex
