#include "report/preview/TRpPrinterPageDevice.h"

#include <QPageSize>
#include <QPrinter>

#include "text/TextCodec.h"

namespace tabulex {

QPaintDevice& TRpPrinterPageDevice::PaintDevice()
{
    return printer_;
}

void TRpPrinterPageDevice::Prepare(const QString& title, int copies, const QSizeF& portraitMM,
                                   bool landscape, int resolution)
{
    printer_.setDocName(title);
    printer_.setCopyCount(copies);
    printer_.setPageSize(
        QPageSize(portraitMM, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
    printer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer_.setFullPage(true);
    printer_.setPageMargins(QMarginsF(0, 0, 0, 0));
    printer_.setResolution(resolution);
}

QSizeF TRpPrinterPageDevice::PaperPixels() const
{
    return printer_.paperRect(QPrinter::DevicePixel).size();
}

bool TRpPrinterPageDevice::NewPage()
{
    return printer_.newPage();
}

bool TRpPrinterPageDevice::Active() const
{
    return printer_.printerState() == QPrinter::Active;
}

void TRpPrinterPageDevice::Abort()
{
    printer_.abort();
}

}  // namespace tabulex
