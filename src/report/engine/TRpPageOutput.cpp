#include "report/engine/TRpPageOutput.h"

#include <cmath>

#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpTextMeasurer.h"
#include "report/engine/TRpUnitBase.h"

namespace tabulex {

namespace {

/// A page that draws nothing and measures text as a recorded page does.
class TRpBlankSurface : public TRpSurface {
public:
    explicit TRpBlankSurface(TRpTextMeasurer& measurer) : measurer_(measurer)
    {
        SetFont(QFont(QStringLiteral("Arial"), 10));
    }
    void SetFont(const QFont& font, const QColor& color = Qt::black) override
    {
        font_ = font;
        color_ = color;
        metrics_ = &measurer_.Metrics(font);
    }
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override { return metrics_->Height(); }
    void DrawText(int, int, TRpTextAnchor, std::string_view, bool) override {}
    void FillRect(const QRect&, const QColor&) override {}

private:
    TRpTextMeasurer& measurer_;
    const TRpFontMetrics* metrics_ = nullptr;
    QFont font_;
    QColor color_ = Qt::black;
};

}  // namespace

TRpPageOutput::TRpPageOutput()
    : xFactor_(rpScreenResolution() / kNativePerInch),
      yFactor_(rpScreenResolution() / kNativePerInch)
{}

TRpPageOutput::~TRpPageOutput() = default;

int TRpPageOutput::XPos(double x) const
{
    return static_cast<int>(std::lround((x - LeftWaste) * xFactor_));
}
int TRpPageOutput::YPos(double y) const
{
    return static_cast<int>(std::lround((y - TopWaste) * yFactor_));
}
int TRpPageOutput::XSize(double w) const
{
    return static_cast<int>(std::lround(w * xFactor_));
}
int TRpPageOutput::YSize(double h) const
{
    return static_cast<int>(std::lround(h * yFactor_));
}

std::pair<double, double> TRpPageOutput::paperSize(bool oriented) const
{
    double width = 0;
    double length = 0;
    if (rpPaperSizeMM(Settings.PaperSize, width, length)) {
        width *= 10.0;
        length *= 10.0;
    } else {
        width = Settings.CustomWidth;
        length = Settings.CustomLength;
    }
    if (oriented && Settings.Orientation == TRpOrientation::poLandscape &&
        Settings.PaperSize != TRpPaperSize::Custom && Settings.PaperSize != TRpPaperSize::Default)
        std::swap(width, length);
    return {width, length};
}

double TRpPageOutput::PaperWidth() const
{
    return paperSize(false).first;
}
double TRpPageOutput::PaperLength() const
{
    return paperSize(false).second;
}
double TRpPageOutput::PageWidth() const
{
    return paperSize(true).first;
}
double TRpPageOutput::PageLength() const
{
    return paperSize(true).second;
}

TRpBlankPageOutput::TRpBlankPageOutput(TRpTextMeasurer& measurer) : measurer_(measurer)
{}

TRpBlankPageOutput::~TRpBlankPageOutput() = default;

void TRpBlankPageOutput::BeginJob()
{
    if (status_ != TRpPrinterStatus::Ready)
        throw ERpError("RpPrinter not ready");
    pageCount_ = 0;
    status_ = TRpPrinterStatus::Busy;
}

void TRpBlankPageOutput::NewPage()
{
    if (status_ != TRpPrinterStatus::Busy)
        throw ERpError("Illegal call to NewPage");
    ++pageCount_;
    page_ = std::make_unique<TRpBlankSurface>(measurer_);
    if (BetweenPages)
        BetweenPages();
}

void TRpBlankPageOutput::EndJob()
{
    if (status_ != TRpPrinterStatus::Busy)
        return;
    page_.reset();
    status_ = TRpPrinterStatus::Finished;
}

void TRpBlankPageOutput::AbortJob()
{
    page_.reset();
    status_ = TRpPrinterStatus::Finished;
}

}  // namespace tabulex
