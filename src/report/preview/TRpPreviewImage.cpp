#include "report/preview/TRpPreviewImage.h"

#include <QPainter>

namespace tabulex {

TRpPreviewImage::TRpPreviewImage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TRpPreviewImage"));
}

void TRpPreviewImage::SetPage(TRpPageRecord page)
{
    page_ = std::move(page);
    hasPage_ = true;
    update();
}

void TRpPreviewImage::ClearPage()
{
    page_ = TRpPageRecord();
    hasPage_ = false;
    update();
}

void TRpPreviewImage::paintEvent(QPaintEvent* /*event*/)
{
    if (!hasPage_)
        return;
    const int w = width();
    const int h = height();
    QPainter painter(this);
    // Rectangles run from their first to their last pixel, both inside.
    const auto span = [](int x1, int y1, int x2, int y2) {
        return QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
    };
    painter.fillRect(span(1, 1, w - 3, h - 3), Qt::white);
    rpDrawPage(painter, page_, QRectF(0, 0, w - 4, h - 4));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(span(0, 0, w - 3, h - 3));
    painter.fillRect(span(w - 2, 2, w, h), Qt::black);
    painter.fillRect(span(2, h - 2, w, h), Qt::black);
}

}  // namespace tabulex
