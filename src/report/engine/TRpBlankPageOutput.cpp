#include "report/engine/TRpBlankPageOutput.h"

#include "report/engine/ERpError.h"
#include "report/engine/TRpTextMeasurer.h"

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
