#include "report/preview/TRpPreview.h"

#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "report/output/TRpPrinter.h"
#include "report/preview/TRpPreviewImage.h"

namespace tabulex {

namespace {
int roundi(double value)
{
    return static_cast<int>(std::lround(value));
}
}  // namespace

TRpPreview::TRpPreview(QWidget* parent) : QScrollArea(parent), image_(new TRpPreviewImage)
{
    setObjectName(QStringLiteral("TRpPreview"));
    setWidgetResizable(false);
    // Centred along each axis where the page is smaller than the view, else at 0.
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setWidget(image_);
    layoutImage();
}

TRpPreview::~TRpPreview()
{
    SetPrinter(nullptr);
}

void TRpPreview::SetPrinter(TRpPrinter* output)
{
    if (output_ != nullptr) {
        TRpPrinter* previous = output_;
        output_ = nullptr;
        if (previous->Client() == this)
            previous->SetClient(nullptr, {});
        previous->DetachPreview();
    }
    output_ = output;
    if (output_ == nullptr) {
        image_->ClearPage();
        shown_ = false;
        return;
    }
    output_->ShowingPreview = true;
    output_->SetClient(this, [this](int count) { PageAvailable(count); });
    Reload();
}

void TRpPreview::Reload()
{
    pageNumber_ = 1;
    shown_ = false;
    image_->ClearPage();
    loadPage();
    layoutImage();
}

void TRpPreview::loadPage()
{
    if (output_ == nullptr)
        return;
    std::optional<TRpPageRecord> page = output_->PageRecord(pageNumber_);
    shown_ = page.has_value();
    if (shown_)
        image_->SetPage(std::move(*page));
    else
        image_->ClearPage();
}

void TRpPreview::SetPageNumber(int page)
{
    if (output_ == nullptr || page <= 0 || page > output_->PageCount())
        return;
    if (page == pageNumber_ && shown_)
        return;
    pageNumber_ = page;
    loadPage();
    scrollHome();
}

void TRpPreview::PageAvailable(int count)
{
    if (output_ != nullptr && count == pageNumber_ && !shown_ &&
        count <= output_->AvailablePages()) {
        ZoomToWidth();
        loadPage();
    }
    if (OnPageAvailable)
        OnPageAvailable(this, count);
}

double TRpPreview::pagePixelWidth() const
{
    if (output_ == nullptr)
        return 0;
    return output_->XSize(output_->PageWidth());
}

double TRpPreview::pagePixelHeight() const
{
    if (output_ == nullptr)
        return 0;
    return output_->YSize(output_->PageLength());
}

void TRpPreview::SetZoom(int zoom)
{
    if (zoom < kMinZoom || zoom > kMaxZoom)
        return;
    zoom_ = zoom;
    mode_ = ZoomMode::Other;
    layoutImage();
}

void TRpPreview::setZoomInRange(int zoom)
{
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
}

void TRpPreview::ZoomToFit()
{
    const double w = pagePixelWidth();
    const double h = pagePixelHeight();
    if (w > 0 && h > 0) {
        const QSize view = viewport()->size();
        setZoomInRange(std::min(roundi(view.height() / h * 95), roundi(view.width() / w * 95)));
    }
    mode_ = ZoomMode::Fit;
    layoutImage();
}

void TRpPreview::ZoomToWidth()
{
    const double w = pagePixelWidth();
    if (w > 0)
        setZoomInRange(roundi(viewport()->width() / w * 90));
    mode_ = ZoomMode::Width;
    layoutImage();
}

void TRpPreview::layoutImage()
{
    if (output_ == nullptr) {
        image_->resize(4, 4);
    } else {
        const int w = output_->XSize(output_->PageWidth() / 100.0 * zoom_) + 4;
        const int h = output_->YSize(output_->PageLength() / 100.0 * zoom_) + 4;
        image_->resize(w, h);
    }
    scrollHome();
    image_->update();
}

void TRpPreview::scrollHome()
{
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TRpPreview::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    if (mode_ == ZoomMode::Fit)
        ZoomToFit();
    else if (mode_ == ZoomMode::Width)
        ZoomToWidth();
    else
        layoutImage();
}

}  // namespace tabulex
