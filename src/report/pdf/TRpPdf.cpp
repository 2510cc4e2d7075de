#include "report/pdf/TRpPdf.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <cstdio>

#include "report/engine/TRpPage.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpSurface.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdfDocument.h"
#include "report/pdf/TRpPdfSurface.h"
#include "text/TextCodec.h"

namespace tabulex {

bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, const std::string& path)
{
    QPdfWriter writer(QString::fromStdString(path));
    const QSizeF sizeMM(page.Native(TRpPage::iWidth) / 10.0, page.Native(TRpPage::iLength) / 10.0);
    writer.setPageLayout(QPageLayout(QPageSize(sizeMM, QPageSize::Millimeter),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(decodeText(output.Title, output.TextEncoding));
    writer.setCreator(QStringLiteral("Vorn Tabulan"));
    // Pages are recorded in device pixels of XFactor per tenth of a millimetre.
    const double recordedDpi = output.XFactor() * 254.0;
    writer.setResolution(static_cast<int>(recordedDpi + 0.5));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const double scaleX = writer.logicalDpiX() / recordedDpi;
    const double scaleY = writer.logicalDpiY() / (output.YFactor() * 254.0);
    bool first = true;
    for (const auto& recorded : output.Pages()) {
        const QPicture* picture = recorded->Picture();
        if (picture == nullptr)
            continue;
        if (!first && !writer.newPage())
            return false;
        first = false;
        painter.save();
        painter.scale(scaleX, scaleY);
        painter.drawPicture(0, 0, *picture);
        painter.restore();
    }
    return painter.end();
}

namespace {

double nativeToPoints(double tenthsOfMM)
{
    return tenthsOfMM * 72.0 / 254.0;
}

}  // namespace

TRpPdfDirectOutput::TRpPdfDirectOutput(TRpReport& report, const std::string& path)
    : report_(report),
      path_(path),
      partPath_(path + ".part"),
      document_(std::make_unique<TRpPdfDocument>(
          partPath_, nativeToPoints(report.Page().Native(TRpPage::iWidth)),
          nativeToPoints(report.Page().Native(TRpPage::iLength))))
{}

TRpPdfDirectOutput::~TRpPdfDirectOutput()
{
    // A run that never reached Finish leaves no half-written file behind.
    if (finished_)
        return;
    document_->Abandon();
    std::remove(partPath_.c_str());
}

TRpPrinter::PageFactory TRpPdfDirectOutput::PageFactory()
{
    return [this](int, int, int) -> std::unique_ptr<TRpSurface> {
        return std::make_unique<TRpPdfSurface>(*document_, report_.ReferenceSurface());
    };
}

void TRpPdfDirectOutput::SetOutline(std::vector<TRpPdfOutlineItem> outline)
{
    document_->SetOutline(std::move(outline));
}

void TRpPdfDirectOutput::SetInfo(TRpPdfInfo info)
{
    document_->SetInfo(std::move(info));
}

bool TRpPdfDirectOutput::Finish(const TRpPrinter& output)
{
    finished_ = true;
    bool written = false;
    if (!document_->Unsupported()) {
        written = document_->Finish(output.Title, output.TextEncoding);
    } else {
        usedFallback_ = true;
        fallbackReason_ = document_->UnsupportedReason();
        document_->Abandon();
        const std::unique_ptr<TRpPrinter> recorded = GeneratePages(report_);
        written = recorded != nullptr && rpWritePdf(*recorded, report_.Page(), partPath_);
    }
    if (written && std::rename(partPath_.c_str(), path_.c_str()) == 0)
        return true;
    std::remove(partPath_.c_str());
    return false;
}

}  // namespace tabulex
