// Preview control and window, saving and loading from the window, printing through a PDF
// printer, and the program's report previewed and printed without duplicated lines.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

#include "FakeDialogs.h"
#include "ReportTestSupport.h"
#include "report/engine/ERpError.h"
#include "report/form/r_dif.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpReportPages.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpPreviewImage.h"
#include "report/preview/TRpPrintDevices.h"
#include "report/preview/TRpPrinterPageDevice.h"
#include "report/preview/TRpProgressForm.h"
#include "report/preview/TRpReportPreview.h"
#include "report/preview/TRpStandardPreview.h"

using namespace tabulex;
using tabulex::test::ensureGui;
using Lines = std::vector<std::string>;

namespace {

using PreviewDialogs = tabulex::testing::FakeDialogs;

/// Printers that print to a PDF file and answer the print dialog from a script.
class PdfPrinters : public TRpPrintDevices {
public:
    explicit PdfPrinters(QString path) : path_(std::move(path)) {}
    bool installed = true;
    std::function<int(QPrintDialog&)> dialogAnswer;
    QPrinter* printer(int) override
    {
        if (!installed)
            return nullptr;
        if (!device_) {
            device_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
            device_->setOutputFormat(QPrinter::PdfFormat);
            device_->setOutputFileName(path_);
        }
        return device_.get();
    }
    QStringList printerNames() override { return {}; }
    int execPrintDialog(QPrintDialog& dialog) override
    {
        return dialogAnswer ? dialogAnswer(dialog) : QDialog::Rejected;
    }

private:
    QString path_;
    std::unique_ptr<QPrinter> device_;
};

QString runTool(const QString& tool, const QStringList& args)
{
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished())
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

int pdfPages(const QString& path)
{
    const QString info = runTool(QStringLiteral("pdfinfo"), {path});
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfText(const QString& path)
{
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

/// The "L00000" line numbers on each page of a PDF file, in page order.
std::vector<QStringList> pdfLinesByPage(const QString& path)
{
    std::vector<QStringList> pages;
    const QRegularExpression number(QStringLiteral("L\\d{5}"));
    for (const QString& page : pdfText(path).split(QLatin1Char('\f'), Qt::SkipEmptyParts)) {
        QStringList found;
        for (const auto& match : number.globalMatch(page))
            found << match.captured();
        found.sort();
        pages.push_back(found);
    }
    return pages;
}

/// "L00001", "L00002", ...: no line's text is contained in another's.
Lines paddedLines(int count)
{
    Lines lines;
    for (int i = 1; i <= count; ++i) {
        std::string n = std::to_string(i);
        lines.push_back("L" + std::string(5 - n.size(), '0') + n);
    }
    return lines;
}

struct PreviewFixture : ::testing::Test {
    void SetUp() override
    {
        ensureGui();
        form = std::make_unique<TF_dif>();
        form->setSections({tabulex::test::borrowed(listing), nullptr, nullptr, nullptr});
        form->setSettings(&settings);
        form->memo().ClearLines();
    }
    /// A finished stored run of the form's report over `count` listing lines.
    std::unique_ptr<TRpPrinter> pages(int count)
    {
        listing = paddedLines(count);
        form->memo().ClearLines();
        form->Report1AfterPreview(&form->report());
        auto output = GeneratePages(form->report(), {}, true);
        output->Master = &form->report();
        return output;
    }
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    Lines listing;
    TListingSettings settings;
    std::unique_ptr<TF_dif> form;
    PreviewDialogs dialogs;
    TScopedDialogs scopedDialogs{dialogs};
};

}  // namespace

TEST_F(PreviewFixture, OnePageReportStaysOnPageOne)
{
    auto output = pages(10);
    ASSERT_EQ(output->PageCount(), 1);
    TRpStandardPreview window(output.get());
    EXPECT_EQ(window.ProgressText(), QStringLiteral("0%"));
    EXPECT_EQ(window.PageText(), QStringLiteral("Page"));
    EXPECT_TRUE(window.Preview()->PageShown());
    for (auto [key, mods] : {std::pair{Qt::Key_PageDown, Qt::NoModifier},
                             {Qt::Key_PageUp, Qt::NoModifier},
                             {Qt::Key_PageDown, Qt::ControlModifier},
                             {Qt::Key_End, Qt::NoModifier},
                             {Qt::Key_Home, Qt::NoModifier},
                             {Qt::Key_PageUp, Qt::ControlModifier}}) {
        EXPECT_TRUE(window.HandleKey(key, mods));
        EXPECT_EQ(window.Preview()->PageNumber(), 1);
        EXPECT_EQ(window.PageText(), QStringLiteral("Page 1 of 1"));
    }
    window.Action(QStringLiteral("ToolButton2"))->trigger();
    window.Action(QStringLiteral("PreviousPage"))->trigger();
    EXPECT_EQ(window.Preview()->PageNumber(), 1);
    EXPECT_EQ(window.ProgressText(), QStringLiteral("0%"));
}

TEST_F(PreviewFixture, WindowHasItsToolbarCaptionAndEnabledButtons)
{
    auto output = pages(400);
    output->Title.clear();
    TRpStandardPreview plain(output.get());
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("Print Preview"));
    plain.Preview()->SetPrinter(nullptr);
    output->Title = "Vis\xE3o Pr\xE9via : C:\\a.pas";
    TRpStandardPreview window(output.get());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Visão Prévia : C:\\a.pas"));
    QStringList names;
    QStringList hints;
    int separatorsSeen = 0;
    QStringList separatorBefore;
    for (QAction* action : window.ToolBar()->actions()) {
        if (action->isSeparator()) {
            ++separatorsSeen;
            continue;
        }
        if (separatorsSeen > 0)
            separatorBefore << action->objectName();
        separatorsSeen = 0;
        names << action->objectName();
        hints << action->toolTip();
    }
    EXPECT_EQ(names, (QStringList{"ZoomFit", "Zoom100", "ZoomToWidth", "FirstPage", "PreviousPage",
                                  "ToolButton2", "LastPage", "PrintSetup", "Print", "SaveReport",
                                  "LoadReport", "ExitButton"}));
    EXPECT_EQ(hints, (QStringList{"Zoom to fit", "100%", "Zoom to width", "First page",
                                  "Previous page", "Next page", "Last page", "Printer setup",
                                  "Print", "Save Report", "Load Report", "Close"}));
    EXPECT_EQ(separatorBefore,
              (QStringList{"ZoomFit", "FirstPage", "PrintSetup", "SaveReport", "ExitButton"}));
    EXPECT_TRUE(window.Action(QStringLiteral("ZoomToWidth"))->isChecked());
    // Opened on finished pages: Print at once, printer setup not before a page notice.
    EXPECT_TRUE(window.Action(QStringLiteral("Print"))->isEnabled());
    EXPECT_FALSE(window.Action(QStringLiteral("PrintSetup"))->isEnabled());
}

TEST_F(PreviewFixture, PageRequestsOutsideTheRangeAreIgnoredAndKeysPage)
{
    auto output = pages(800);
    const int count = output->PageCount();
    ASSERT_GE(count, 4);
    TRpStandardPreview window(output.get());
    TRpPreview& preview = *window.Preview();
    for (int request : {0, -1, count + 1}) {
        preview.SetPageNumber(request);
        EXPECT_EQ(preview.PageNumber(), 1) << request;
    }
    preview.SetPageNumber(count);
    EXPECT_EQ(preview.PageNumber(), count);
    EXPECT_TRUE(preview.PageShown());
    window.HandleKey(Qt::Key_PageUp, Qt::NoModifier);
    EXPECT_EQ(preview.PageNumber(), count - 1);
    EXPECT_EQ(window.PageText(), QStringLiteral("Page %1 of %2").arg(count - 1).arg(count));
    window.HandleKey(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(preview.PageNumber(), 1);
    window.HandleKey(Qt::Key_PageDown, Qt::NoModifier);
    EXPECT_EQ(preview.PageNumber(), 2);
    window.HandleKey(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(preview.PageNumber(), count);
    window.HandleKey(Qt::Key_Home, Qt::NoModifier);
    EXPECT_EQ(preview.PageNumber(), 1);
    window.HandleKey(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(preview.PageNumber(), count);

    // Keys reach the window even when the scroll area has them first.
    QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
    QApplication::sendEvent(preview.viewport(), &home);
    EXPECT_EQ(preview.PageNumber(), 1);
    bool closed = false;
    QObject::connect(&window, &TRpStandardPreview::closed, [&] { closed = true; });
    window.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&preview, &escape);
    EXPECT_TRUE(closed);
}

TEST_F(PreviewFixture, ZoomAcceptsTwoToTwoThousandAndLaysOutThePage)
{
    auto output = pages(10);
    TRpPreview preview;
    preview.resize(900, 700);
    preview.show();
    preview.SetPrinter(output.get());
    for (int zoom : {2, 2000, 150}) {
        preview.SetZoom(zoom);
        EXPECT_EQ(preview.Zoom(), zoom);
        EXPECT_EQ(preview.Mode(), TRpPreview::ZoomMode::Other);
        EXPECT_EQ(preview.Image()->width(), output->XSize(output->PageWidth() / 100.0 * zoom) + 4);
        EXPECT_EQ(preview.Image()->height(),
                  output->YSize(output->PageLength() / 100.0 * zoom) + 4);
    }
    for (int zoom : {1, 2001, 0, -5}) {
        preview.SetZoom(zoom);
        EXPECT_EQ(preview.Zoom(), 150) << zoom;
    }
    const double pageW = output->XSize(output->PageWidth());
    const double pageH = output->YSize(output->PageLength());
    preview.ZoomToWidth();
    EXPECT_EQ(preview.Mode(), TRpPreview::ZoomMode::Width);
    EXPECT_EQ(preview.Zoom(), std::lround(preview.viewport()->width() / pageW * 90));
    preview.ZoomToFit();
    EXPECT_EQ(preview.Mode(), TRpPreview::ZoomMode::Fit);
    const QSize view = preview.viewport()->size();
    EXPECT_EQ(preview.Zoom(), std::min(std::lround(view.height() / pageH * 95),
                                       std::lround(view.width() / pageW * 95)));
    // The fitted page is centred in the view.
    const QRect image = preview.Image()->geometry();
    EXPECT_NEAR(image.center().x(), preview.viewport()->rect().center().x(), 1);
    // Fit follows the view's size.
    const int before = preview.Zoom();
    preview.resize(450, 350);
    QApplication::processEvents();
    EXPECT_LT(preview.Zoom(), before);
    EXPECT_EQ(preview.Mode(), TRpPreview::ZoomMode::Fit);

    // Painting draws the white page, the border and the shadow.
    preview.SetZoom(50);
    const QImage shot = preview.Image()->grab().toImage();
    const int w = shot.width();
    const int h = shot.height();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(w - 1, h - 1), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(w / 2, h - 1), QColor(Qt::black));
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::white));
}

TEST_F(PreviewFixture, PagesMadeInOneGoShowPageOneZoomedToWidthOnTheFirstNotice)
{
    listing = paddedLines(500);
    TRpPrinter output;
    output.UsePageStore(true);
    TRpPreview preview;
    preview.resize(1000, 800);
    preview.show();
    preview.SetPrinter(&output);
    preview.SetZoom(40);
    std::vector<int> notices;
    preview.OnPageAvailable = [&](TRpPreview*, int count) {
        notices.push_back(count);
        if (count == 1) {
            EXPECT_TRUE(preview.PageShown());
            EXPECT_EQ(preview.Mode(), TRpPreview::ZoomMode::Width);
        }
    };
    form->report().SetPrinter(&output);
    form->report().GenerateReport();
    form->report().SetPrinter(nullptr);
    // The notices are queued: nothing is shown before events run.
    EXPECT_FALSE(preview.PageShown());
    EXPECT_EQ(preview.Zoom(), 40);
    QApplication::processEvents();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.front(), 1);
    EXPECT_EQ(static_cast<int>(notices.size()), output.PageCount());
    EXPECT_EQ(preview.PageNumber(), 1);
    const double pageW = output.XSize(output.PageWidth());
    EXPECT_EQ(preview.Zoom(), std::lround(preview.viewport()->width() / pageW * 90));
}

TEST_F(PreviewFixture, SavedReportLoadsBackAsA4SmallWithItsPages)
{
    auto output = pages(500);
    const int count = output->PageCount();
    TRpStandardPreview window(output.get());
    const QString path = file(QStringLiteral("saved.RPF"));
    dialogs.saveAnswers = {path};
    dialogs.saveFilter = TRpStandardPreview::kRpfFilter;
    window.DoSave();
    EXPECT_EQ(dialogs.saveCaptions, QStringList{QStringLiteral("Save report")});
    EXPECT_EQ(dialogs.saveFilters,
              QStringList{QStringLiteral("Report file(*.RPF);;PDF document (*.pdf)")});
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), output->Store()->Bytes());

    auto other = pages(10);
    TRpStandardPreview second(other.get());
    second.Preview()->SetZoom(100);
    dialogs.openAnswers = {file(QStringLiteral("missing.RPF")), path};
    second.DoLoad();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("File does not exist")});
    EXPECT_EQ(other->PageCount(), 1);
    second.DoLoad();
    EXPECT_EQ(other->PageCount(), count);
    EXPECT_EQ(second.windowTitle(),
              QStringLiteral("Print Preview : ") + QDir::toNativeSeparators(path));
    EXPECT_TRUE(other->ReportLoaded);
    EXPECT_EQ(other->Status(), TRpPrinterStatus::Finished);
    EXPECT_EQ(other->Settings.PaperSize, TRpPaperSize::A4Small);
    EXPECT_EQ(other->Settings.Orientation, TRpOrientation::poPortrait);
    EXPECT_EQ(second.Preview()->PageNumber(), 1);
    EXPECT_TRUE(second.Preview()->PageShown());
    EXPECT_EQ(second.PageText(), QStringLiteral("Page 1 of %1").arg(count));
    EXPECT_FALSE(second.Action(QStringLiteral("PrintSetup"))->isEnabled());
    EXPECT_TRUE(second.Action(QStringLiteral("Print"))->isEnabled());
    const auto original = output->PageRecord(1);
    const auto loaded = second.Output()->PageRecord(1);
    ASSERT_TRUE(original && loaded);
    EXPECT_EQ(loaded->Bytes(), original->Bytes());
    // The opened file is read in place, never deleted.
    second.Preview()->SetPrinter(nullptr);
    other.reset();
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(PreviewFixture, SaveCanExportThePagesAsPdf)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler tools are not installed";
    auto output = pages(500);
    TRpStandardPreview window(output.get());
    const QString path = file(QStringLiteral("export.pdf"));
    dialogs.saveAnswers = {path};
    dialogs.saveFilter = TRpStandardPreview::kPdfFilter;
    window.DoSave();
    EXPECT_EQ(pdfPages(path), output->PageCount());
    EXPECT_TRUE(pdfText(path).contains(QStringLiteral("L00500")));
}

TEST_F(PreviewFixture, PrintHonoursThePageRangeAndStillMakesEveryPage)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler tools are not installed";
    const QString path = file(QStringLiteral("printed.pdf"));
    PdfPrinters printers(path);
    TScopedPrintDevices scoped(printers);
    listing = paddedLines(800);
    form->report().PrinterSettings.FirstPage = 2;
    form->report().PrinterSettings.LastPage = 3;
    int pagesMade = 0;
    form->report().OnStartPage = [&](TRpCustomReport*) { ++pagesMade; };
    bool afterPrint = false;
    form->report().AfterPrint = [&](TRpCustomReport*) { afterPrint = true; };
    Print(form->report());
    EXPECT_GE(pagesMade, 5);
    EXPECT_TRUE(afterPrint);
    EXPECT_EQ(pdfPages(path), 2);
    EXPECT_TRUE(pdfText(path).contains(QStringLiteral("Página:")));
    EXPECT_EQ(form->report().Printer(), nullptr);  // the report's page output given back

    // The printed pages are pages 2 and 3 of the whole report.
    const QString whole = file(QStringLiteral("whole.pdf"));
    form->Report1AfterPreview(&form->report());
    form->memo().ClearLines();
    write_report_pdf(*form, whole.toStdString());
    const auto all = pdfLinesByPage(whole);
    const auto printed = pdfLinesByPage(path);
    ASSERT_GE(all.size(), 5u);
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_EQ(printed[0], all[1]);
    EXPECT_EQ(printed[1], all[2]);
    EXPECT_FALSE(printed[0].isEmpty());
}

TEST_F(PreviewFixture, PrintWithoutAPrinterSaysSo)
{
    PdfPrinters printers(file(QStringLiteral("never.pdf")));
    printers.installed = false;
    TScopedPrintDevices scoped(printers);
    bool fed = false;
    form->report().BeforePrint = [&](TRpCustomReport*, bool&) { fed = true; };
    Print(form->report());
    EXPECT_FALSE(fed);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("No printer installed")});
    auto output = pages(10);
    output->ReportLoaded = true;  // prints its stored pages itself
    TRpStandardPreview window(output.get());
    window.DoPrint();
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("never.pdf"))));
}

TEST_F(PreviewFixture, StoredPagesPrintTheirRangeAndStopWhenCancelled)
{
    if (!havePoppler())
        GTEST_SKIP() << "poppler tools are not installed";
    auto output = pages(800);
    const QString path = file(QStringLiteral("stored.pdf"));
    PdfPrinters printers(path);
    output->FirstPage = 2;
    output->LastPage = 4;
    TRpPrinterPageDevice device(*printers.printer(-1));
    ASSERT_TRUE(output->PrintStoredPages(device));
    const QString whole = file(QStringLiteral("whole.pdf"));
    form->Report1AfterPreview(&form->report());
    form->memo().ClearLines();
    write_report_pdf(*form, whole.toStdString());
    const auto all = pdfLinesByPage(whole);
    const auto printed = pdfLinesByPage(path);
    ASSERT_EQ(printed.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(printed[i], all[i + 1]) << i;
    output->Cancel();
    EXPECT_FALSE(output->PrintStoredPages(device));
}

TEST_F(PreviewFixture, PrinterSetupTakesOverTheRangeOnOkOnly)
{
    PdfPrinters printers(file(QStringLiteral("setup.pdf")));
    TScopedPrintDevices scoped(printers);
    int offeredMax = 0;
    printers.dialogAnswer = [&](QPrintDialog& dialog) {
        offeredMax = dialog.maxPage();
        // It sets the printer up; its confirm button does not promise printing.
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QPushButton* ok = buttons != nullptr ? buttons->button(QDialogButtonBox::Ok) : nullptr;
        EXPECT_EQ(ok != nullptr ? ok->text() : QString(), QStringLiteral("OK"));
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
        dialog.setFromTo(2, 3);
        return int(QDialog::Accepted);
    };
    PrinterSetup(form->report(), 12);
    EXPECT_EQ(offeredMax, 12);
    EXPECT_EQ(form->report().Tag, 0);
    EXPECT_EQ(form->report().PrinterSettings.FirstPage, 2);
    EXPECT_EQ(form->report().PrinterSettings.LastPage, 3);
    printers.dialogAnswer = [&](QPrintDialog& dialog) {
        offeredMax = dialog.maxPage();
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        return int(QDialog::Rejected);
    };
    PrinterSetup(form->report());
    EXPECT_EQ(offeredMax, 9999);
    EXPECT_EQ(form->report().Tag, 1);
    EXPECT_EQ(form->report().PrinterSettings.FirstPage, 2);
    printers.dialogAnswer = [](QPrintDialog& dialog) {
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
        return int(QDialog::Accepted);
    };
    PrinterSetup(form->report());
    EXPECT_EQ(form->report().PrinterSettings.FirstPage, 0);
    EXPECT_EQ(form->report().PrinterSettings.LastPage, 0);
}

TEST_F(PreviewFixture, PreviewBlocksUntilClosedAndPrintingAddsNoLines)
{
    const bool poppler = havePoppler();
    const QString printed = file(QStringLiteral("from-preview.pdf"));
    PdfPrinters printers(printed);
    TScopedPrintDevices scoped(printers);
    listing = paddedLines(400);
    form->report().ReportTitle = "Vis\xE3o Pr\xE9via : C:\\x.pas";
    int afterPreview = 0;
    form->report().AfterPreview = [&](TRpCustomReport* sender) {
        ++afterPreview;
        form->Report1AfterPreview(static_cast<TRpReport*>(sender));
    };
    bool checked = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<TRpStandardPreview*>(form->report().PreviewWindow());
        if (window == nullptr || !window->Preview()->PageShown() || window->Making())
            return;
        poll.stop();
        EXPECT_TRUE(window->isMaximized());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Visão Prévia : C:\\x.pas"));
        EXPECT_EQ(window->ProgressText(), QStringLiteral("0%"));
        EXPECT_TRUE(window->PageText().startsWith(QStringLiteral("Page 1 of ")));
        EXPECT_EQ(window->Preview()->Mode(), TRpPreview::ZoomMode::Width);
        EXPECT_TRUE(window->Action(QStringLiteral("PrintSetup"))->isEnabled());
        EXPECT_TRUE(window->Action(QStringLiteral("Print"))->isEnabled());
        EXPECT_EQ(form->memo().LineCount(), 400u);
        window->Action(QStringLiteral("Print"))->trigger();
        EXPECT_EQ(form->memo().LineCount(), 400u);
        EXPECT_EQ(form->counter(0), 400);
        EXPECT_EQ(window->Preview()->PageNumber(), 1);  // the preview keeps its pages
        EXPECT_TRUE(window->Output()->Store() != nullptr);
        EXPECT_EQ(afterPreview, 0);
        checked = true;
        window->close();
    });
    poll.start();
    Preview(form->report());
    EXPECT_TRUE(checked);
    EXPECT_EQ(afterPreview, 1);
    EXPECT_EQ(form->counter(0), 0);
    EXPECT_EQ(form->report().PreviewWindow(), nullptr);
    EXPECT_EQ(form->memo().LineCount(), 400u);
    if (!poppler)
        return;
    EXPECT_EQ(pdfPages(printed), 3);
    const QString text = pdfText(printed);
    EXPECT_EQ(text.count(QStringLiteral("L00001")), 1);
    EXPECT_EQ(text.count(QStringLiteral("L00400")), 1);
}

TEST_F(PreviewFixture, BatchWriteProducesAFileTheWindowCanLoad)
{
    listing = paddedLines(300);
    const std::string path = file(QStringLiteral("batch.RPF")).toStdString();
    write_report_rpf(*form, path);
    QFile saved(QString::fromStdString(path));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const auto info = rpValidateReportFile(saved.readAll());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pageCount, 2);
    EXPECT_THROW(write_report_rpf(*form, file(QStringLiteral("no/such/dir/x.RPF")).toStdString()),
                 ERpError);
}

// Pages show while the run makes them: page 1 at once, paging works, and a page asked for
// before it exists shows when it arrives.
TEST_F(PreviewFixture, PagesCanBeTurnedWhileTheRunMakesThem)
{
    listing = paddedLines(6000);
    int requested = 0;
    bool sawMaking = false;
    bool checkedEnd = false;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<TRpStandardPreview*>(form->report().PreviewWindow());
        if (window == nullptr || !window->Preview()->PageShown())
            return;
        if (requested == 0 && window->Making()) {
            sawMaking = true;
            EXPECT_EQ(window->Preview()->Mode(), TRpPreview::ZoomMode::Width);
            for (const char* name : {"Print", "PrintSetup", "SaveReport", "LoadReport"})
                EXPECT_FALSE(window->Action(QString::fromLatin1(name))->isEnabled()) << name;
            window->HandleKey(Qt::Key_PageDown, Qt::NoModifier);
            EXPECT_EQ(window->Preview()->PageNumber(), 2);
            window->HandleKey(Qt::Key_End, Qt::NoModifier);  // the page being made
            requested = window->Preview()->PageNumber();
            EXPECT_GE(requested, 2);
            return;
        }
        if (requested == 0 || window->Making())
            return;
        poll.stop();
        EXPECT_EQ(window->Preview()->PageNumber(), requested);
        EXPECT_TRUE(window->Preview()->PageShown());
        EXPECT_TRUE(window->PageText().startsWith(QStringLiteral("Page %1 of ").arg(requested)));
        EXPECT_GT(window->Output()->PageCount(), requested);
        EXPECT_TRUE(window->Action(QStringLiteral("Print"))->isEnabled());
        EXPECT_TRUE(window->Action(QStringLiteral("SaveReport"))->isEnabled());
        checkedEnd = true;
        window->close();
    });
    poll.start();
    Preview(form->report());
    EXPECT_TRUE(sawMaking);
    EXPECT_TRUE(checkedEnd);
}

// Esc while pages are being made stops the run at once and the preview call returns; a
// column change made meanwhile waits for the run's end.
TEST_F(PreviewFixture, EscCancelsTheRunningPreview)
{
    listing = paddedLines(6000);
    int pagesBegun = 0;
    form->report().OnStartPage = [&](TRpCustomReport*) { ++pagesBegun; };
    int afterPreview = 0;
    form->report().AfterPreview = [&](TRpCustomReport* sender) {
        ++afterPreview;
        form->Report1AfterPreview(static_cast<TRpReport*>(sender));
    };
    int pagesAtEsc = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<TRpStandardPreview*>(form->report().PreviewWindow());
        if (window == nullptr || !window->Preview()->PageShown() || !window->Making() ||
            pagesAtEsc > 0)
            return;
        form->set_colunas(1);
        EXPECT_EQ(form->report().Page().Columns(), 2);
        pagesAtEsc = pagesBegun;
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window->Preview(), &esc);
    });
    poll.start();
    Preview(form->report());
    ASSERT_GT(pagesAtEsc, 0);
    EXPECT_TRUE(form->report().Cancelled());
    EXPECT_FALSE(form->report().Generating());
    EXPECT_EQ(form->report().PreviewWindow(), nullptr);
    EXPECT_LE(pagesBegun, pagesAtEsc + 1);
    EXPECT_EQ(afterPreview, 1);
    EXPECT_EQ(form->counter(0), 0);
    EXPECT_EQ(form->report().Page().Columns(), 1);  // applied once the preview closed

    // The whole report has many more pages than the cancelled run made.
    const int cancelledPages = pagesBegun;
    form->memo().ClearLines();
    const auto whole = GeneratePages(form->report(), {}, true);
    EXPECT_GT(whole->PageCount(), cancelledPages + 3);
}

// The printing progress window counts pages as they are printed, and its Cancel ends the
// printer job after the current page.
TEST_F(PreviewFixture, PrintingProgressCountsPagesAndCancelStopsTheJob)
{
    const QString path = file(QStringLiteral("cancelled.pdf"));
    PdfPrinters printers(path);
    TScopedPrintDevices scoped(printers);
    listing = paddedLines(6000);
    int pagesBegun = 0;
    form->report().OnStartPage = [&](TRpCustomReport*) { ++pagesBegun; };
    bool afterPrint = false;
    form->report().AfterPrint = [&](TRpCustomReport*) { afterPrint = true; };
    QString seenText;
    int pagesAtCancel = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TRpProgressForm* progress = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<TRpProgressForm*>(w))
                progress = candidate;
        if (progress == nullptr || pagesAtCancel > 0 ||
            !progress->Text()->text().startsWith(QStringLiteral("Page ")))
            return;
        seenText = progress->Text()->text();
        pagesAtCancel = pagesBegun;
        progress->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
    });
    poll.start();
    Print(form->report());
    EXPECT_TRUE(seenText.startsWith(QStringLiteral("Page ")));
    ASSERT_GT(pagesAtCancel, 0);
    EXPECT_LE(pagesBegun, pagesAtCancel + 1);
    EXPECT_FALSE(afterPrint);
    EXPECT_FALSE(form->report().Generating());
}
