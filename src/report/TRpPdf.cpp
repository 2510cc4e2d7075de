#include "TRpPdf.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>

#include "TRpPage.h"
#include "TRpPrinter.h"
#include "TRpSurface.h"
#include "TextCodec.h"

namespace tabulex {

bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, const std::string& path) {
    QPdfWriter writer(QString::fromStdString(path));
    const QSizeF sizeMM(page.Native(TRpPage::iWidth) / 10.0, page.Native(TRpPage::iLength) / 10.0);
    writer.setPageLayout(QPageLayout(QPageSize(sizeMM, QPageSize::Millimeter),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(fromCp1252(output.Title));
    writer.setCreator(QStringLiteral("Vorn Tabulan"));
    // Pages are recorded in device pixels of XFactor per tenth of a millimetre.
    const double recordedDpi = output.XFactor() * 254.0;
    writer.setResolution(static_cast<int>(recordedDpi + 0.5));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    const double scaleX = writer.logicalDpiX() / recordedDpi;
    const double scaleY = writer.logicalDpiY() / (output.YFactor() * 254.0);
    bool first = true;
    for (const auto& recorded : output.Pages()) {
        const QPicture* picture = recorded->Picture();
        if (picture == nullptr) continue;
        if (!first && !writer.newPage()) return false;
        first = false;
        painter.save();
        painter.scale(scaleX, scaleY);
        painter.drawPicture(0, 0, *picture);
        painter.restore();
    }
    return painter.end();
}

}  // namespace tabulex
