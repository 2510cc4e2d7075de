#pragma once
#include <memory>

class QWidget;

#include "report/engine/TRpBand.h"
#include "report/engine/TRpController.h"
#include "report/engine/TRpCustomReport.h"

namespace tabulex {

/// The report: a band report whose detail driver prints title, detail and summary bands.
/// Without a data set the detail band prints once when `PrintIfEmpty` is set.
class TRpReport : public TRpCustomReport {
public:
    TRpReport();

    bool PrintIfEmpty() const { return controller_.PrintIfEmpty; }
    void SetPrintIfEmpty(bool on) { controller_.PrintIfEmpty = on; }
    TRpController& Controller() { return controller_; }
    const TRpController& Controller() const { return controller_; }

    /// Result of the last printer setup: 0 after OK, 1 after Cancel.
    int Tag = 0;

    /// The preview window while Preview runs, else null.
    QWidget* PreviewWindow() const { return previewWindow_; }
    /// Set by the preview while its window is open.
    void SetPreviewWindow(QWidget* window) { previewWindow_ = window; }

protected:
    void RunDetailDriver() override { controller_.Run(*this); }
    void PrepareDetailDriver() override;
    void UnprepareDetailDriver() override { controller_.Unprepare(); }
    TRpCustomBand* TitleBand() const override { return FindBand(TRpBandType::rbTitle); }

private:
    TRpController controller_;
    QWidget* previewWindow_ = nullptr;
};

}  // namespace tabulex
