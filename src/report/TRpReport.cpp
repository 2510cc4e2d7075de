#include "TRpReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPrintDialog>
#include <QPrinter>
#include <string>

#include "TDialogs.h"
#include "TRpPrintDevices.h"
#include "TRpPreview.h"
#include "TRpProgressForm.h"
#include "TRpStandardPreview.h"

namespace tabulex {

namespace {

const char* bandName(TRpBandType type) {
    switch (type) {
    case TRpBandType::rbTitle: return "Title";
    case TRpBandType::rbPageHeader: return "PageHeader";
    case TRpBandType::rbColumnHeader: return "ColumnHeader";
    case TRpBandType::rbDetail: return "Detail";
    case TRpBandType::rbPageFooter: return "PageFooter";
    case TRpBandType::rbSummary: return "Summary";
    default: return "Band";
    }
}

}  // namespace

TRpReport::TRpReport() = default;

void TRpReport::SetHasBand(TRpBandType type, bool on) {
    TRpBand* band = FindBand(type);
    if (on && band == nullptr) AddBand(bandName(type), type);
    if (!on && band != nullptr) RemoveBand(band);
}

void TRpReport::PrepareDetailDriver() {
    controller_.HeaderBand = FindBand(TRpBandType::rbTitle);
    controller_.DetailBand = FindBand(TRpBandType::rbDetail);
    controller_.FooterBand = FindBand(TRpBandType::rbSummary);
    controller_.Prepare();
}

std::unique_ptr<TRpPrinter> TRpReport::GeneratePages(TRpPrinter::PageFactory factory,
                                                     bool pageStore) {
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Metafile);
    if (factory) output->SetPageFactory(std::move(factory));
    output->UsePageStore(pageStore);
    TRpPrinter* previous = Printer();
    SetPrinter(output.get());
    try {
        GenerateReport();
    } catch (...) {
        SetPrinter(previous);
        throw;
    }
    SetPrinter(previous);
    if (output->Status() == TRpPrinterStatus::Ready) return nullptr;
    return output;
}

namespace {

/// Gives the report back the page output it had when the guard was made.
class TRestorePrinter {
public:
    explicit TRestorePrinter(TRpCustomReport& report) : report_(report), previous_(report.Printer()) {}
    ~TRestorePrinter() { report_.SetPrinter(previous_); }
    TRestorePrinter(const TRestorePrinter&) = delete;
    TRestorePrinter& operator=(const TRestorePrinter&) = delete;

private:
    TRpCustomReport& report_;
    TRpPrinter* previous_;
};

}  // namespace

void TRpReport::Preview() {
    QCoreApplication::processEvents();
    if (Generating() || previewWindow_ != nullptr) return;
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Metafile);
    output->UsePageStore(true);
    output->Master = this;
    output->Title = ReportTitle;
    output->TextEncoding = ReferenceSurface().Encoding();
    output->AfterPreviewHook = [this] {
        if (AfterPreview) AfterPreview(this);
    };
    TRpPrinter* pages = output.get();
    output->PrintSetupHook = [this, pages] {
        PrinterSetup(pages->Status() == TRpPrinterStatus::Finished ? pages->PageCount() : 0);
    };
    auto window = std::make_unique<TRpStandardPreview>(output.get());
    previewWindow_ = window.get();
    QEventLoop loop;
    bool closed = false;
    QObject::connect(window.get(), &TRpStandardPreview::closed, &loop, [&] {
        closed = true;
        loop.quit();
    });
    const auto finish = [&] {
        // Detaching fires AfterPreview, once; the window goes before its pages.
        window->Preview()->SetPrinter(nullptr);
        window.reset();
        previewWindow_ = nullptr;
    };
    window->showMaximized();
    try {
        TRestorePrinter restore(*this);
        SetPrinter(output.get());
        GenerateReport();
    } catch (...) {
        finish();
        throw;
    }
    // A refused or cancelled run has nothing to show.
    const bool shown = output->Status() != TRpPrinterStatus::Ready && !Cancelled();
    if (shown && !closed) loop.exec();
    finish();
}

void TRpReport::Print() {
    if (Generating()) return;
    QPrinter* device = TRpPrintDevices::current().printer(PrinterSettings.PrinterIndex);
    if (device == nullptr) {
        TDialogs::current().showMessage(nullptr, QStringLiteral("No printer installed"));
        return;
    }
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Printer);
    output->SetDevice(device);
    output->AfterPrintHook = [this] {
        if (AfterPrint) AfterPrint(this);
    };
    TRpProgressForm progress(output.get());
    if (ShowProgress) progress.show();
    TRestorePrinter restore(*this);
    SetPrinter(output.get());
    GenerateReport();
}

void TRpReport::PrinterSetup(int finishedPages) {
    TRpPrintDevices& devices = TRpPrintDevices::current();
    QPrinter* device = devices.printer(PrinterSettings.PrinterIndex);
    if (device == nullptr) {
        TDialogs::current().showMessage(nullptr, QStringLiteral("No printer installed"));
        Tag = 1;
        return;
    }
    device->setCopyCount(std::max(1, PrinterSettings.Copies));
    device->setPageOrientation(Page().Orientation() == TRpOrientation::poLandscape
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    QPrintDialog dialog(device);
    dialog.setWindowTitle(QStringLiteral("Print"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (finishedPages > 0) {
        dialog.setMinMax(1, finishedPages);
        dialog.setFromTo(1, finishedPages);
    } else {
        dialog.setMinMax(0, 9999);
    }
    if (PrinterSettings.FirstPage > 0 || PrinterSettings.LastPage > 0) {
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.setFromTo(std::max(PrinterSettings.FirstPage, dialog.minPage()),
                         PrinterSettings.LastPage > 0 ? PrinterSettings.LastPage : dialog.maxPage());
    }
    if (devices.execPrintDialog(dialog) != QDialog::Accepted) {
        Tag = 1;
        return;
    }
    Tag = 0;
    PrinterSettings.Copies = device->copyCount();
    const qsizetype index = devices.printerNames().indexOf(device->printerName());
    PrinterSettings.PrinterIndex = static_cast<int>(index);
    Page().SetOrientation(device->pageLayout().orientation() == QPageLayout::Landscape
                              ? TRpOrientation::poLandscape
                              : TRpOrientation::poPortrait);
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        PrinterSettings.FirstPage = dialog.fromPage();
        PrinterSettings.LastPage = dialog.toPage();
    } else {
        PrinterSettings.FirstPage = 0;
        PrinterSettings.LastPage = 0;
    }
}

}  // namespace tabulex
