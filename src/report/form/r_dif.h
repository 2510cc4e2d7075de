#pragma once
#include <QFont>
#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "analysis/ListingSettings.h"
#include "analysis/SourceEncoding.h"
#include "analysis/StringList.h"
#include "report/engine/TRpBand.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/items/TRpLabel.h"
#include "report/items/TRpMemo.h"
#include "report/items/TRpSysData.h"

namespace tabulex {

class TOutputFile;

/// Holder of the program's report `Report1`: an A4 page in two columns with a page header,
/// one detail band whose memo `RpMemo1` carries every selected list, and a page footer.
/// The form is never shown; the main window and the configuration window drive it.
class TF_dif : public QObject {
    Q_OBJECT
public:
    explicit TF_dif(QObject* parent = nullptr);
    ~TF_dif() override;

    std::unique_ptr<TRpReport> Report1;
    TRpBand* RpBand1 = nullptr;  ///< page header
    TRpLabel* RpLabel1 = nullptr;
    TRpLabel* RpLabel7 = nullptr;
    TRpLabel* RpLabel5 = nullptr;
    TRpSysData* RpSysData1 = nullptr;
    TRpLabel* RpLabel6 = nullptr;
    TRpSysData* RpSysData2 = nullptr;
    TRpBand* RpBand2 = nullptr;  ///< detail
    TRpMemo* RpMemo1 = nullptr;
    TRpBand* RpBand3 = nullptr;  ///< page footer
    TRpLabel* RpLabel2 = nullptr;

    /// The four lists the memo is fed from, in section order (any may be null: empty).
    void setLineSources(const StringList* listing, const StringList* xref, const StringList* procs,
                        const StringList* uses);
    /// The four lists handed over to the form, which moves their lines into the memo when the
    /// report asks for them instead of copying them, and then lets the lists go: for a caller
    /// that needs the lists no more (the batch command), so the text is held once.
    void takeLineSources(StringList listing, StringList xref, StringList procs, StringList uses);
    /// The Listing settings whose switches select the sections (null: all sections).
    void setSettings(const TListingSettings* settings);
    /// Sets the page's column count and makes the memo 5 screen pixels narrower than the
    /// detail band's new width. While the report runs the change waits for the run's end
    /// (it is made when the preview closes or the next run starts).
    void set_colunas(int columns);

    /// Report BeforePrint: appends each selected list from where its counter stands.
    void Report1BeforePrint(TRpReport* Sender, bool& PrintReport);
    /// Report AfterPreview: all four counters back to 0.
    void Report1AfterPreview(TRpReport* Sender);

    /// The memo's font (the main window's font command); waits like set_colunas during a run.
    void setMemoFont(const QFont& font);

    /// Lays the report out and draws it in `encoding`; lines of a `source` in another
    /// encoding are converted as they are fed to the memo.
    void setTextEncoding(SourceEncoding encoding, SourceEncoding source);
    SourceEncoding textEncoding() const { return Report1->ReferenceSurface().Encoding(); }
    /// Shows `path` in the header label `RpLabel5`, shortened in the middle when it would
    /// run into the date and time that follow it.
    void setHeaderPath(const QString& path);

    /// Lines already appended from section 0 (listing) to 3 (uses).
    int counter(int section) const { return counters_[section]; }

private:
    void buildReport();
    void applyColumns(int columns);
    void applyMemoFont(const QFont& font);
    void applyPendingChanges();
    void buildHeader();
    void buildDetail();
    void buildFooter();

    const StringList* sources_[4] = {nullptr, nullptr, nullptr, nullptr};
    std::unique_ptr<StringList[]> owned_;  ///< lists handed over by takeLineSources
    const TListingSettings* settings_ = nullptr;
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

/// Runs the form's report into a PDF document written into `out` (which the caller closes);
/// throws ERpError when the file cannot be written.
void write_report_pdf(TF_dif& form, TOutputFile& out);
/// The same into a new file at `path`, which replaces the old one only when complete.
void write_report_pdf(TF_dif& form, const std::string& path);

}  // namespace tabulex
