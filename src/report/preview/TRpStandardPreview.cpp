#include "report/preview/TRpStandardPreview.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "dialogs/TDialogs.h"
#include "report/engine/TRpPage.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPrinter.h"
#include "report/pdf/TRpPdf.h"
#include "report/preview/TRpPreview.h"
#include "report/preview/TRpPrintDevices.h"
#include "report/preview/TRpPrinterPageDevice.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

QString windowCaption(const TRpPrinter& output)
{
    return output.Title.empty() ? QStringLiteral("Print Preview")
                                : decodeText(output.Title, output.TextEncoding);
}

/// The caption of a window showing a loaded file: the caption's own words before " : "
/// ("Print Preview" when it has none), then the file.
QString loadedCaption(const QString& caption, const QString& path)
{
    const qsizetype colon = caption.indexOf(QStringLiteral(" : "));
    const QString words = colon > 0 ? caption.left(colon) : QStringLiteral("Print Preview");
    return words + QStringLiteral(" : ") + QDir::toNativeSeparators(path);
}

/// A printer drawn in the palette's text colour; with `setup`, a gear beside it.
QIcon drawnPrinterIcon(const QPalette& palette, bool setup)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        const QColor ink = palette.color(QPalette::WindowText);
        p.setPen(QPen(ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(7, 3, 10, 6));  // paper going in
        p.setBrush(palette.color(QPalette::Button));
        p.drawRoundedRect(QRectF(3, 9, 18, 8), 2, 2);  // body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 14, 10, 7));  // printed sheet
        p.drawLine(QPointF(9, 17), QPointF(15, 17));
        if (setup) {  // a gear: a wheel with eight teeth and a hole
            p.translate(18.5, 18.5);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            for (int tooth = 0; tooth < 8; ++tooth) {
                p.rotate(45);
                p.drawRect(QRectF(-1.1, -5.5, 2.2, 2.5));
            }
            p.drawEllipse(QPointF(0, 0), 3.8, 3.8);
            p.setBrush(palette.color(QPalette::Window));
            p.drawEllipse(QPointF(0, 0), 1.6, 1.6);
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

std::string localPathOf(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace

TRpStandardPreview::TRpStandardPreview(TRpPrinter* output, QWidget* parent)
    : QMainWindow(parent),
      output_(output),
      preview_(new TRpPreview(this)),
      progressPanel_(new QLabel(QStringLiteral("0%"), this)),
      pagePanel_(new QLabel(QStringLiteral("Page"), this))
{
    setObjectName(QStringLiteral("TRpStandardPreview"));
    setWindowTitle(windowCaption(*output_));
    setCentralWidget(preview_);
    buildToolBar();
    progressPanel_->setObjectName(QStringLiteral("ProgressPanel"));
    progressPanel_->setFixedWidth(40);
    progressPanel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pagePanel_->setObjectName(QStringLiteral("PagePanel"));
    pagePanel_->setMinimumWidth(50);
    statusBar()->addWidget(progressPanel_);
    statusBar()->addWidget(pagePanel_);
    preview_->OnPageAvailable = [this](TRpPreview*, int count) { pageAvailable(count); };
    preview_->SetPrinter(output_);
    const bool finished = output_->Status() == TRpPrinterStatus::Finished;
    Action(QStringLiteral("PrintSetup"))->setEnabled(false);
    Action(QStringLiteral("Print"))->setEnabled(finished);
    enableFileActions();
    qApp->installEventFilter(this);
}

TRpStandardPreview::~TRpStandardPreview()
{
    qApp->removeEventFilter(this);
    preview_->SetPrinter(nullptr);
}

QAction* TRpStandardPreview::addAction(const char* name, const QString& hint,
                                       void (TRpStandardPreview::*slot)())
{
    auto* action = new QAction(hint, this);
    action->setObjectName(QString::fromLatin1(name));
    // The "&" marks the button's key in its text; hints show the plain word.
    QString plain = hint;
    plain.remove(QLatin1Char('&'));
    action->setToolTip(plain);
    action->setStatusTip(plain);
    if (slot != nullptr)
        connect(action, &QAction::triggered, this, slot);
    toolBar_->addAction(action);
    return action;
}

void TRpStandardPreview::buildToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("ToolBar1"));
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    QStyle* s = style();
    const auto icon = [s](QStyle::StandardPixmap pixmap) { return s->standardIcon(pixmap); };

    toolBar_->addSeparator();
    auto* zoomGroup = new QActionGroup(this);
    QAction* fit = addAction("ZoomFit", QStringLiteral("Zoom to fit"), nullptr);
    QAction* full = addAction("Zoom100", QStringLiteral("100%"), nullptr);
    QAction* width = addAction("ZoomToWidth", QStringLiteral("Zoom to width"), nullptr);
    for (QAction* a : {fit, full, width}) {
        a->setCheckable(true);
        zoomGroup->addAction(a);
    }
    width->setChecked(true);
    connect(fit, &QAction::triggered, this, [this] { preview_->ZoomToFit(); });
    connect(full, &QAction::triggered, this, [this] { preview_->SetZoom(100); });
    connect(width, &QAction::triggered, this, [this] { preview_->ZoomToWidth(); });

    toolBar_->addSeparator();
    QAction* first = addAction("FirstPage", QStringLiteral("First page"), nullptr);
    QAction* previous = addAction("PreviousPage", QStringLiteral("Previous page"), nullptr);
    QAction* next = addAction("ToolButton2", QStringLiteral("Next page"), nullptr);
    QAction* last = addAction("LastPage", QStringLiteral("Last page"), nullptr);
    connect(first, &QAction::triggered, this, [this] { gotoPage(1); });
    connect(previous, &QAction::triggered, this, [this] { gotoPage(preview_->PageNumber() - 1); });
    connect(next, &QAction::triggered, this, [this] { gotoPage(preview_->PageNumber() + 1); });
    connect(last, &QAction::triggered, this, [this] { gotoPage(output_->PageCount()); });

    toolBar_->addSeparator();
    QAction* setup =
        addAction("PrintSetup", QStringLiteral("Printer setup"), &TRpStandardPreview::DoPrintSetup);
    QAction* print = addAction("Print", QStringLiteral("Print"), &TRpStandardPreview::DoPrint);
    toolBar_->addSeparator();
    QAction* save =
        addAction("SaveReport", QStringLiteral("Save Report"), &TRpStandardPreview::DoSave);
    QAction* load =
        addAction("LoadReport", QStringLiteral("Load Report"), &TRpStandardPreview::DoLoad);
    toolBar_->addSeparator();
    QAction* exit = addAction("ExitButton", QStringLiteral("&Close"), nullptr);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    fit->setIcon(icon(QStyle::SP_TitleBarMaxButton));
    full->setIcon(icon(QStyle::SP_TitleBarNormalButton));
    width->setIcon(icon(QStyle::SP_ToolBarHorizontalExtensionButton));
    first->setIcon(icon(QStyle::SP_MediaSkipBackward));
    previous->setIcon(icon(QStyle::SP_ArrowLeft));
    next->setIcon(icon(QStyle::SP_ArrowRight));
    last->setIcon(icon(QStyle::SP_MediaSkipForward));
    setup->setIcon(
        QIcon::fromTheme(QStringLiteral("document-page-setup"), drawnPrinterIcon(palette(), true)));
    print->setIcon(
        QIcon::fromTheme(QStringLiteral("document-print"), drawnPrinterIcon(palette(), false)));
    save->setIcon(icon(QStyle::SP_DialogSaveButton));
    load->setIcon(icon(QStyle::SP_DialogOpenButton));
    exit->setIcon(icon(QStyle::SP_DialogCloseButton));
}

QAction* TRpStandardPreview::Action(const QString& name) const
{
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

bool TRpStandardPreview::Making() const
{
    return output_->Status() != TRpPrinterStatus::Finished;
}

void TRpStandardPreview::enableFileActions()
{
    const bool finished = !Making();
    Action(QStringLiteral("SaveReport"))->setEnabled(finished);
    Action(QStringLiteral("LoadReport"))->setEnabled(finished);
}

QString TRpStandardPreview::ProgressText() const
{
    return progressPanel_->text();
}
QString TRpStandardPreview::PageText() const
{
    return pagePanel_->text();
}

void TRpStandardPreview::gotoPage(int page)
{
    preview_->SetPageNumber(page);
    pageChanged();
}

void TRpStandardPreview::pageChanged()
{
    refreshPageText();
}

void TRpStandardPreview::refreshPageText()
{
    pagePanel_->setText(QStringLiteral("Page") + QLatin1Char(' ') +
                        QString::number(preview_->PageNumber()) + QLatin1Char(' ') +
                        QStringLiteral("of") + QLatin1Char(' ') +
                        QString::number(output_->PageCount()));
}

void TRpStandardPreview::pageAvailable(int /*count*/)
{
    refreshPageText();
    if (Making())
        return;
    enableFileActions();
    Action(QStringLiteral("PrintSetup"))->setEnabled(static_cast<bool>(output_->PrintSetupHook));
    Action(QStringLiteral("Print"))->setEnabled(true);
}

bool TRpStandardPreview::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    switch (key) {
    case Qt::Key_Escape:
        close();
        return true;
    case Qt::Key_PageUp:
        gotoPage(ctrl ? 1 : preview_->PageNumber() - 1);
        return true;
    case Qt::Key_PageDown:
        gotoPage(ctrl ? output_->PageCount() : preview_->PageNumber() + 1);
        return true;
    case Qt::Key_Home:
        gotoPage(1);
        return true;
    case Qt::Key_End:
        gotoPage(output_->PageCount());
        return true;
    default:
        return false;
    }
}

bool TRpStandardPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return HandleKey(key->key(), key->modifiers());
}

void TRpStandardPreview::closeEvent(QCloseEvent* event)
{
    // A run still making pages is cancelled; its end then releases them.
    if (output_->Status() == TRpPrinterStatus::Busy && output_->Master != nullptr)
        output_->Master->Cancel();
    event->accept();
    emit closed();
}

void TRpStandardPreview::DoPrintSetup()
{
    if (output_->PrintSetupHook)
        output_->PrintSetupHook();
}

void TRpStandardPreview::DoPrint()
{
    if (output_->PrintHook && !output_->ReportLoaded) {
        output_->PrintHook();
        return;
    }
    if (output_->Status() != TRpPrinterStatus::Finished)
        return;
    QPrinter* device = TRpPrintDevices::current().printer(output_->Settings.PrinterIndex);
    if (device == nullptr) {
        TDialogs::current().showMessage(this, QStringLiteral("No printer installed"));
        return;
    }
    TRpPrinterPageDevice printer(*device);
    output_->PrintStoredPages(printer);
}

void TRpStandardPreview::DoSave()
{
    QString chosen;
    const QString path = TDialogs::current().saveFileNameFiltered(
        this, QStringLiteral("Save report"), QString(),
        kRpfFilter + QStringLiteral(";;") + kPdfFilter, QStringLiteral("RPF"), chosen);
    if (path.isEmpty())
        return;
    // Nothing is written before all pages are made.
    if (output_->Status() != TRpPrinterStatus::Finished)
        return;
    const bool pdf =
        chosen == kPdfFilter ||
        (chosen != kRpfFilter && path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive));
    if (pdf) {
        exportPdf(path);
        return;
    }
    if (!output_->Save(path.toStdString()))
        TDialogs::current().showMessage(this, QStringLiteral("Cannot write the file ") + path);
}

void TRpStandardPreview::exportPdf(const QString& path)
{
    if (output_->SavePdfHook) {
        // The report runs again into the PDF writer; the window keeps painting, a progress
        // dialog counts the pages and its button gives the run up.
        QProgressDialog progress(QStringLiteral("Gravando o PDF…"), QStringLiteral("Cancelar"), 0,
                                 std::max(1, output_->PageCount()), this);
        progress.setObjectName(QStringLiteral("PdfProgress"));
        progress.setWindowTitle(QStringLiteral("Salvar PDF"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        int page = 0;
        QElapsedTimer clock;
        clock.start();
        const auto goOn = [&] {
            progress.setValue(std::min(++page, progress.maximum()));
            if (page <= 2 || clock.elapsed() >= 15) {
                QCoreApplication::processEvents();
                clock.restart();
            }
            return !progress.wasCanceled();
        };
        try {
            output_->SavePdfHook(localPathOf(path), goOn);
        } catch (const std::exception& error) {
            TDialogs::current().showMessage(this, QString::fromLocal8Bit(error.what()));
        }
        return;
    }
    const std::unique_ptr<TRpPrinter> pages = output_->InMemoryCopy();
    TRpPage page;
    page.SetNative(TRpPage::iWidth, output_->PageWidth());
    page.SetNative(TRpPage::iLength, output_->PageLength());
    if (!rpWritePdf(*pages, page, path.toStdString()))
        TDialogs::current().showMessage(this, QStringLiteral("Cannot write the file ") + path);
}

std::unique_ptr<TRpPageList> TRpStandardPreview::OpenReportFile(QWidget* parent,
                                                                const QString& path)
{
    std::unique_ptr<TRpPageList> store = TRpPageList::OpenFile(path);
    if (store)
        return store;
    if (!QFileInfo::exists(path))
        TDialogs::current().showMessage(parent, QStringLiteral("File does not exist"));
    else if (rpHoldsPicturePages(path))
        TDialogs::current().showMessage(
            parent,
            QStringLiteral("Report file of an earlier version, which cannot be shown: ") + path);
    else
        TDialogs::current().showMessage(parent, QStringLiteral("Invalid report file: ") + path);
    return nullptr;
}

bool TRpStandardPreview::LoadFile(const QString& path)
{
    std::unique_ptr<TRpPageList> store = OpenReportFile(this, path);
    return store && output_->LoadStore(std::move(store));
}

void TRpStandardPreview::DoLoad()
{
    const QString path = TDialogs::current().openFileName(this, QStringLiteral("Load report"),
                                                          QStringLiteral("Report file (*.RPF)"));
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        TDialogs::current().showMessage(this, QStringLiteral("File does not exist"));
        return;
    }
    if (!LoadFile(path))
        return;
    setWindowTitle(loadedCaption(windowTitle(), path));
    output_->Title = toCp1252(windowTitle());
    preview_->Reload();
    refreshPageText();
    Action(QStringLiteral("PrintSetup"))->setEnabled(false);
    Action(QStringLiteral("Print"))->setEnabled(true);
}

}  // namespace tabulex
