#include "report/pdf/TRpPdf.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "files/OutputFile.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpReport.h"
#include "report/engine/TRpSurface.h"
#include "report/output/TRpPageRecord.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdfDocument.h"
#include "report/pdf/TRpPdfSurface.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

/// What a Qt writer writes, handed on to an output file.
class TOutputDevice : public QIODevice {
public:
    explicit TOutputDevice(TOutputFile& out) : out_(out) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        out_.write(std::string_view(data, static_cast<std::size_t>(size)));
        return out_.failed() ? -1 : size;
    }

private:
    TOutputFile& out_;
};

}  // namespace

bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, TOutputFile& out)
{
    TOutputDevice device(out);
    QPdfWriter writer(&device);
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
        const TRpPageRecord* page = recorded->Record();
        if (page == nullptr)
            continue;
        if (!first && !writer.newPage())
            return false;
        first = false;
        painter.save();
        painter.scale(scaleX, scaleY);
        page->Play(painter);
        painter.restore();
    }
    return painter.end() && !out.failed();
}

bool rpWritePdf(const TRpPrinter& output, const TRpPage& page, const std::string& path)
{
    TOutputFile out;
    return out.open(path) && rpWritePdf(output, page, out) && out.close();
}

namespace {

double nativeToPoints(double tenthsOfMM)
{
    return tenthsOfMM * 72.0 / 254.0;
}

}  // namespace

TRpPdfDirectOutput::TRpPdfDirectOutput(TRpReport& report, TOutputFile& out)
    : report_(report),
      out_(out),
      document_(std::make_unique<TRpPdfDocument>(
          out, nativeToPoints(report.Page().Native(TRpPage::iWidth)),
          nativeToPoints(report.Page().Native(TRpPage::iLength))))
{}

TRpPdfDirectOutput::TRpPdfDirectOutput(TRpReport& report, const std::string& path)
    : TRpPdfDirectOutput(report, openedAt(path))
{}

TRpPdfDirectOutput::TRpPdfDirectOutput(TRpReport& report, std::unique_ptr<TOutputFile> owned)
    : report_(report),
      owned_(std::move(owned)),
      out_(*owned_),
      document_(std::make_unique<TRpPdfDocument>(
          out_, nativeToPoints(report.Page().Native(TRpPage::iWidth)),
          nativeToPoints(report.Page().Native(TRpPage::iLength))))
{}

std::unique_ptr<TOutputFile> TRpPdfDirectOutput::openedAt(const std::string& path)
{
    auto out = std::make_unique<TOutputFile>();
    out->open(path);
    return out;
}

// A run that never reached Finish leaves the file it would have replaced as it was.
TRpPdfDirectOutput::~TRpPdfDirectOutput() = default;

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
    bool written = false;
    if (!document_->Unsupported()) {
        written = document_->Finish(output.Title, output.TextEncoding);
    } else {
        usedFallback_ = true;
        fallbackReason_ = document_->UnsupportedReason();
        document_->Abandon();
        const std::unique_ptr<TRpPrinter> recorded = GeneratePages(report_);
        written =
            recorded != nullptr && out_.rewind() && rpWritePdf(*recorded, report_.Page(), out_);
    }
    if (owned_ && written)
        return owned_->close();
    return written;
}

}  // namespace tabulex
