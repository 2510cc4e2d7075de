#include "report/output/TRpPrinter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <cmath>
#include <utility>

#include "files/OutputFile.h"
#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpUnitBase.h"
#include "report/output/TRpPageDevice.h"
#include "report/output/TRpPageList.h"
#include "report/output/TRpPageRecordSurface.h"
#include "report/output/TRpPrinter_p.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

/// A page read back from a store: holds its recording, draws nothing.
class TStoredPageSurface : public TRpSurface {
public:
    explicit TStoredPageSurface(TRpPageRecord record) : record_(std::move(record)) {}
    void SetFont(const QFont& font, const QColor& color) override
    {
        font_ = font;
        color_ = color;
    }
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override { return 0; }
    void DrawText(int, int, TRpTextAnchor, std::string_view, bool) override {}
    void FillRect(const QRect&, const QColor&) override {}
    const TRpPageRecord* Record() const override { return &record_; }

private:
    TRpPageRecord record_;
    QFont font_;
    QColor color_ = Qt::black;
};

/// Paper size and orientation of a page `width` x `length` tenths of a millimetre: sizes
/// compared in whole 4 mm units, portrait or exchanged, a later match replacing an earlier.
bool paperOfPage(double width, double length, TRpPaperSize& size, TRpOrientation& orientation)
{
    const int w = static_cast<int>(width / 40.0);
    const int l = static_cast<int>(length / 40.0);
    bool found = false;
    for (int i = static_cast<int>(TRpPaperSize::Letter);
         i <= static_cast<int>(TRpPaperSize::ESheet); ++i) {
        const auto candidate = static_cast<TRpPaperSize>(i);
        double mmWidth = 0;
        double mmLength = 0;
        if (!rpPaperSizeMM(candidate, mmWidth, mmLength))
            continue;
        const int tw = static_cast<int>(mmWidth / 4.0);
        const int tl = static_cast<int>(mmLength / 4.0);
        if (w == tw && l == tl) {
            size = candidate;
            orientation = TRpOrientation::poPortrait;
            found = true;
        } else if (w == tl && l == tw) {
            size = candidate;
            orientation = TRpOrientation::poLandscape;
            found = true;
        }
    }
    return found;
}

}  // namespace

TRpPrinter::TRpPrinter(TRpDestination destination)
    : d_(std::make_unique<TRpPrinterPrivate>(destination, rpScreenResolution()))
{}

TRpPrinter::~TRpPrinter() = default;

int TRpPrinter::AvailablePages() const
{
    return d_->availablePages;
}
int TRpPrinter::PageNumber() const
{
    return d_->pageNumber;
}
QObject* TRpPrinter::Client() const
{
    return d_->client.data();
}
void TRpPrinter::UsePageStore(bool on)
{
    d_->usePageStore = on;
}
TRpPageList* TRpPrinter::Store() const
{
    return d_->store.get();
}
void TRpPrinter::SetDevice(TRpPageDevice* device)
{
    d_->device = device;
}
TRpPageDevice* TRpPrinter::Device() const
{
    return d_->device;
}
void TRpPrinter::SetPageFactory(PageFactory factory)
{
    d_->factory = std::move(factory);
}
TRpTextMeasurer& TRpPrinter::Measurer()
{
    return d_->measurer;
}
TRpSurface* TRpPrinter::Surface()
{
    return d_->current.get();
}
const std::vector<std::unique_ptr<TRpSurface>>& TRpPrinter::Pages() const
{
    return d_->pages;
}

std::optional<TRpPageRecord> TRpPrinter::storedPage(int n) const
{
    auto bytes = d_->store->ReadPage(n);
    if (!bytes)
        return std::nullopt;
    return TRpPageRecord::FromBytes(std::move(*bytes));
}

void TRpPrinter::BeginJob()
{
    if (status_ != TRpPrinterStatus::Ready)
        throw ERpError("RpPrinter not ready");
    if (d_->destination == TRpDestination::Printer && !d_->factory && d_->device == nullptr)
        throw ERpError("No printer page output available");
    if (!d_->factory) {
        d_->factory = [this](int, int widthPx, int heightPx) -> std::unique_ptr<TRpSurface> {
            return std::make_unique<TRpPageRecordSurface>(widthPx, heightPx, d_->measurer);
        };
    }
    if (d_->destination == TRpDestination::Metafile && d_->usePageStore)
        d_->store = std::make_unique<TRpPageList>(Compression);
    if (d_->destination == TRpDestination::Printer && d_->device != nullptr)
        applyToDevice(*d_->device);
    d_->measurer.SetEncoding(TextEncoding);
    d_->printedPages = 0;
    pageCount_ = 0;
    d_->pageNumber = 0;
    status_ = TRpPrinterStatus::Busy;
}

void TRpPrinter::applyToDevice(TRpPageDevice& device) const
{
    const double width = PageWidth() / 10.0;
    const double length = PageLength() / 10.0;
    const bool landscape = width > length;
    const QSizeF portrait(std::min(width, length), std::max(width, length));
    // Pages are recorded at the screen resolution; replaying them at that resolution keeps
    // the recorded fonts and positions in scale.
    device.Prepare(decodeText(Title, TextEncoding), std::max(1, Settings.Copies), portrait,
                   landscape, static_cast<int>(std::lround(xFactor_ * kNativePerInch)));
}

bool TRpPrinter::inPrinterRange() const
{
    return (FirstPage <= 0 || pageCount_ >= FirstPage) && (LastPage <= 0 || pageCount_ <= LastPage);
}

void TRpPrinter::closePage()
{
    if (!d_->current)
        return;
    std::unique_ptr<TRpSurface> page = std::move(d_->current);
    page->EndPage();
    if (d_->destination == TRpDestination::Metafile) {
        if (d_->store && page->Record() != nullptr)
            storePage(*page);
        else
            d_->pages.push_back(std::move(page));
    } else if (inPrinterRange()) {  // pages outside the range are made but not kept
        if (d_->device != nullptr && page->Record() != nullptr)
            printPage(*page);
        else
            d_->pages.push_back(std::move(page));
    }
    ++d_->availablePages;
    if (OnPageAvailable)
        OnPageAvailable(d_->availablePages);
    notifyPageAvailable();
}

void TRpPrinter::storePage(TRpSurface& page)
{
    if (!d_->store->AppendPage(page.Record()->Bytes()))
        throw storeError();
}

ERpError TRpPrinter::storeError() const
{
    const QString reason = d_->store->ErrorString();
    return ERpError("Cannot write the page store" +
                    (reason.isEmpty() ? std::string() : ": " + reason.toStdString()));
}

void TRpPrinter::printPage(const TRpSurface& page)
{
    if (d_->printedPages == 0) {
        d_->devicePainter = std::make_unique<QPainter>();
        if (!d_->devicePainter->begin(&d_->device->PaintDevice())) {
            d_->devicePainter.reset();
            throw ERpError("Cannot start the print job");
        }
    } else if (!d_->device->NewPage()) {
        throw ERpError("Cannot start a new printer page");
    }
    ++d_->printedPages;
    rpDrawPage(*d_->devicePainter, *page.Record(),
               QRectF(QPointF(0, 0), d_->device->PaperPixels()));
}

void TRpPrinter::SetClient(QObject* client, std::function<void(int)> pageAvailable)
{
    d_->client = client;
    d_->clientPageAvailable = std::move(pageAvailable);
}

void TRpPrinter::notifyPageAvailable()
{
    if (!d_->client || !d_->clientPageAvailable)
        return;
    const int count = d_->availablePages;
    QMetaObject::invokeMethod(
        d_->client.data(), [notify = d_->clientPageAvailable, count] { notify(count); },
        Qt::QueuedConnection);
}

void TRpPrinter::DetachPreview()
{
    if (!ShowingPreview)
        return;
    ShowingPreview = false;
    if (AfterPreviewHook)
        AfterPreviewHook();
}

void TRpPrinter::NewPage()
{
    if (status_ != TRpPrinterStatus::Busy)
        throw ERpError("Illegal call to NewPage");
    closePage();
    ++pageCount_;
    ++d_->pageNumber;
    d_->current = d_->factory(d_->pageNumber, XSize(PageWidth()), YSize(PageLength()));
    if (BetweenPages)
        BetweenPages();
}

void TRpPrinter::EndJob()
{
    if (status_ != TRpPrinterStatus::Busy)
        return;
    closePage();
    status_ = TRpPrinterStatus::Finished;
    if (d_->store && !d_->store->Finish())
        throw storeError();
    if (d_->destination != TRpDestination::Printer)
        return;
    if (d_->devicePainter)
        d_->devicePainter->end();
    d_->devicePainter.reset();
    if (AfterPrintHook)
        AfterPrintHook();
}

void TRpPrinter::AbortJob()
{
    if (status_ == TRpPrinterStatus::Busy) {
        if (d_->destination == TRpDestination::Printer) {
            d_->current.reset();
            if (d_->devicePainter && d_->device != nullptr)
                d_->device->Abort();
            if (d_->devicePainter)
                d_->devicePainter->end();
            d_->devicePainter.reset();
        } else {
            closePage();
        }
    }
    status_ = TRpPrinterStatus::Finished;
    if (d_->store)
        d_->store->Finish();
}

const TRpSurface* TRpPrinter::GetPage(int n) const
{
    if (status_ == TRpPrinterStatus::Ready)
        return nullptr;
    if (n < 1 || n > static_cast<int>(d_->pages.size()))
        return nullptr;
    return d_->pages[static_cast<std::size_t>(n - 1)].get();
}

std::optional<TRpPageRecord> TRpPrinter::PageRecord(int n) const
{
    if (status_ == TRpPrinterStatus::Ready)
        return std::nullopt;
    if (d_->store)
        return storedPage(n);
    const TRpSurface* page = GetPage(n);
    if (page == nullptr || page->Record() == nullptr)
        return std::nullopt;
    return *page->Record();
}

std::unique_ptr<TRpPrinter> TRpPrinter::InMemoryCopy() const
{
    auto copy = std::make_unique<TRpPrinter>(TRpDestination::Metafile);
    copy->Title = Title;
    copy->TextEncoding = TextEncoding;
    copy->Settings = Settings;
    copy->Compression = Compression;
    copy->FirstPage = FirstPage;
    copy->LastPage = LastPage;
    copy->xFactor_ = xFactor_;
    copy->yFactor_ = yFactor_;
    const int count = d_->store ? d_->store->PageCount() : static_cast<int>(d_->pages.size());
    for (int n = 1; n <= count; ++n) {
        if (auto record = PageRecord(n))
            copy->d_->pages.push_back(std::make_unique<TStoredPageSurface>(std::move(*record)));
    }
    copy->pageCount_ = copy->d_->availablePages = copy->d_->pageNumber =
        static_cast<int>(copy->d_->pages.size());
    copy->status_ = TRpPrinterStatus::Finished;
    return copy;
}

bool TRpPrinter::Save(TOutputFile& out) const
{
    if (status_ != TRpPrinterStatus::Finished)
        return false;
    if (d_->store)
        return d_->store->WriteTo(out);
    // Pages kept in memory are framed into a store of their own first.
    TRpPageList list(Compression);
    for (const auto& page : d_->pages) {
        if (page->Record() == nullptr)
            continue;
        if (!list.AppendPage(page->Record()->Bytes()))
            return false;
    }
    return list.Finish() && list.WriteTo(out);
}

bool TRpPrinter::Save(const std::string& path) const
{
    if (status_ != TRpPrinterStatus::Finished)
        return false;
    TOutputFile out;
    return out.open(path) && Save(out) && out.close();
}

bool TRpPrinter::Load(const std::string& path)
{
    std::unique_ptr<TRpPageList> store = TRpPageList::OpenFile(QString::fromStdString(path));
    if (!store)
        return false;
    return LoadStore(std::move(store));
}

bool TRpPrinter::LoadStore(std::unique_ptr<TRpPageList> store)
{
    if (!store)
        return false;
    if (status_ == TRpPrinterStatus::Busy) {
        // A run is still writing these pages: stop it; its pages stay until it has ended.
        Cancel();
        if (Master != nullptr)
            Master->Cancel();
        return false;
    }
    d_->current.reset();
    d_->pages.clear();
    d_->devicePainter.reset();
    d_->store = std::move(store);
    pageCount_ = d_->availablePages = d_->pageNumber = d_->store->PageCount();
    Compression = d_->store->Compressed();
    xFactor_ = yFactor_ = rpScreenResolution() / kNativePerInch;
    const std::optional<TRpPageRecord> first = pageCount_ > 0 ? storedPage(1) : std::nullopt;
    if (first) {
        const QRect box = first->BoundingRect();
        const double width = box.width() / xFactor_;
        const double length = box.height() / yFactor_;
        TRpPaperSize size = TRpPaperSize::Custom;
        TRpOrientation orientation = TRpOrientation::poPortrait;
        if (!paperOfPage(width, length, size, orientation)) {
            size = TRpPaperSize::Custom;
            Settings.CustomWidth = width;
            Settings.CustomLength = length;
        }
        Settings.PaperSize = size;
        Settings.Orientation = orientation;
    }
    status_ = TRpPrinterStatus::Finished;
    PrintSetupHook = {};
    PrintHook = {};
    SavePdfHook = {};
    ReportLoaded = true;
    return true;
}

bool TRpPrinter::PrintStoredPages(TRpPageDevice& device)
{
    if (status_ != TRpPrinterStatus::Finished)
        return false;
    const int count = d_->store ? d_->store->PageCount() : static_cast<int>(d_->pages.size());
    const int first = FirstPage > 0 ? FirstPage : 1;
    const int last = LastPage > 0 ? std::min(LastPage, count) : count;
    if (first > last)
        return false;
    if (device.Active())
        device.Abort();
    applyToDevice(device);
    QPainter painter;
    if (!painter.begin(&device.PaintDevice()))
        return false;
    const QRectF target(QPointF(0, 0), device.PaperPixels());
    for (int n = first; n <= last; ++n) {
        QCoreApplication::processEvents();
        if (const auto record = PageRecord(n))
            rpDrawPage(painter, *record, target);
        if (cancelled_) {
            device.Abort();
            painter.end();
            return false;
        }
        if (n < last)
            device.NewPage();
    }
    return painter.end();
}

}  // namespace tabulex
