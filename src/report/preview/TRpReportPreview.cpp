#include "report/preview/TRpReportPreview.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <algorithm>
#include <memory>

#include "dialogs/TDialogs.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPrinter.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpPrintDevices.h"
#include "report/preview/TRpPrinterPageDevice.h"
#include "report/preview/TRpProgressForm.h"
#include "report/preview/TRpStandardPreview.h"

namespace tabulex {

namespace {

/// Gives the report back the page output it had when the guard was made.
class TRestorePrinter {
public:
    explicit TRestorePrinter(TRpCustomReport& report) : report_(report), previous_(report.Printer())
    {}
    ~TRestorePrinter() { report_.SetPrinter(previous_); }
    TRestorePrinter(const TRestorePrinter&) = delete;
    TRestorePrinter& operator=(const TRestorePrinter&) = delete;

private:
    TRpCustomReport& report_;
    TRpPageOutput* previous_;
};

/// Lets the windows breathe between the pages of a run: pending window messages are handled
/// when a page begins, every time for the first two pages (the window appears, then page 1
/// shows at once) and afterwards at most every kIntervalMs, so that pages keep coming fast
/// while paging, zooming and cancelling still answer at once.
class TBreather {
public:
    static constexpr qint64 kIntervalMs = 15;
    void operator()()
    {
        ++pages_;
        if (pages_ > 2 && clock_.isValid() && clock_.elapsed() < kIntervalMs)
            return;
        QCoreApplication::processEvents();
        clock_.start();
    }

private:
    int pages_ = 0;
    QElapsedTimer clock_;
};

}  // namespace

void Preview(TRpReport& report, TRpPrinter::SavePdf savePdf)
{
    QCoreApplication::processEvents();
    if (report.Generating() || report.PreviewWindow() != nullptr)
        return;
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Metafile);
    output->UsePageStore(true);
    output->Master = &report;
    output->Title = report.ReportTitle;
    output->TextEncoding = report.ReferenceSurface().Encoding();
    output->AfterPreviewHook = [&report] {
        if (report.AfterPreview)
            report.AfterPreview(&report);
    };
    TRpPrinter* pages = output.get();
    output->PrintSetupHook = [&report, pages] {
        PrinterSetup(report,
                     pages->Status() == TRpPrinterStatus::Finished ? pages->PageCount() : 0);
    };
    output->PrintHook = [&report] { Print(report); };
    output->SavePdfHook = std::move(savePdf);
    output->BetweenPages = TBreather();
    auto window = std::make_unique<TRpStandardPreview>(output.get());
    report.SetPreviewWindow(window.get());
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
        report.SetPreviewWindow(nullptr);
    };
    window->showMaximized();
    try {
        TRestorePrinter restore(report);
        report.SetPrinter(output.get());
        report.GenerateReport();
    } catch (...) {
        finish();
        throw;
    }
    // A refused or cancelled run has nothing to show.
    const bool shown = output->Status() != TRpPrinterStatus::Ready && !report.Cancelled();
    if (shown && !closed)
        loop.exec();
    finish();
}

TRpStandardPreview* PreviewFile(const QString& path)
{
    std::unique_ptr<TRpPageList> store = TRpStandardPreview::OpenReportFile(nullptr, path);
    if (!store)
        return nullptr;
    auto* output = new TRpPrinter(TRpDestination::Metafile);
    output->LoadStore(std::move(store));
    // The caption keeps the path's own characters, whatever they are.
    output->TextEncoding = SourceEncoding::Utf8;
    output->Title =
        (QStringLiteral("Print Preview : ") + QDir::toNativeSeparators(path)).toStdString();
    auto* window = new TRpStandardPreview(output);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The pages go after the window, which uses them until its last moment.
    QObject::connect(window, &QObject::destroyed, [output] { delete output; });
    window->showMaximized();
    return window;
}

void Print(TRpReport& report)
{
    if (report.Generating())
        return;
    QPrinter* printer = TRpPrintDevices::current().printer(report.PrinterSettings.PrinterIndex);
    if (printer == nullptr) {
        TDialogs::current().showMessage(nullptr, QStringLiteral("No printer installed"));
        return;
    }
    TRpPrinterPageDevice device(*printer);
    auto output = std::make_unique<TRpPrinter>(TRpDestination::Printer);
    output->SetDevice(&device);
    output->AfterPrintHook = [&report] {
        if (report.AfterPrint)
            report.AfterPrint(&report);
    };
    output->BetweenPages = TBreather();
    TRpProgressForm progress(output.get());
    if (report.ShowProgress)
        progress.show();
    TRestorePrinter restore(report);
    report.SetPrinter(output.get());
    report.GenerateReport();
}

void PrinterSetup(TRpReport& report, int finishedPages)
{
    TRpPrintDevices& devices = TRpPrintDevices::current();
    TRpReportPrinterSettings& settings = report.PrinterSettings;
    QPrinter* device = devices.printer(settings.PrinterIndex);
    if (device == nullptr) {
        TDialogs::current().showMessage(nullptr, QStringLiteral("No printer installed"));
        report.Tag = 1;
        return;
    }
    device->setCopyCount(std::max(1, settings.Copies));
    device->setPageOrientation(report.Page().Orientation() == TRpOrientation::poLandscape
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    QPrintDialog dialog(device);
    dialog.setWindowTitle(QStringLiteral("Printer setup"));
    // The dialog only chooses the settings: its button confirms them, it prints nothing.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (finishedPages > 0) {
        dialog.setMinMax(1, finishedPages);
        dialog.setFromTo(1, finishedPages);
    } else {
        dialog.setMinMax(0, 9999);
    }
    if (settings.FirstPage > 0 || settings.LastPage > 0) {
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.setFromTo(std::max(settings.FirstPage, dialog.minPage()),
                         settings.LastPage > 0 ? settings.LastPage : dialog.maxPage());
    }
    if (devices.execPrintDialog(dialog) != QDialog::Accepted) {
        report.Tag = 1;
        return;
    }
    report.Tag = 0;
    settings.Copies = device->copyCount();
    const qsizetype index = devices.printerNames().indexOf(device->printerName());
    settings.PrinterIndex = static_cast<int>(index);
    report.Page().SetOrientation(device->pageLayout().orientation() == QPageLayout::Landscape
                                     ? TRpOrientation::poLandscape
                                     : TRpOrientation::poPortrait);
    if (dialog.printRange() == QAbstractPrintDialog::PageRange) {
        settings.FirstPage = dialog.fromPage();
        settings.LastPage = dialog.toPage();
    } else {
        settings.FirstPage = 0;
        settings.LastPage = 0;
    }
}

}  // namespace tabulex
