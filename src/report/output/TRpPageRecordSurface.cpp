#include "report/output/TRpPageRecordSurface.h"

#include "report/engine/TRpTextMeasurer.h"

namespace tabulex {

TRpPageRecordSurface::TRpPageRecordSurface(int widthPx, int heightPx, TRpTextMeasurer& measurer)
    : record_(widthPx, heightPx, measurer.Resolution()), measurer_(measurer)
{
    SetFont(QFont(QStringLiteral("Arial"), 10));
}

void TRpPageRecordSurface::SetFont(const QFont& font, const QColor& color)
{
    font_ = font;
    color_ = color;
    metrics_ = &measurer_.Metrics(font);
    if (!ended_)
        record_.SetFont(font, color);
}

int TRpPageRecordSurface::TextHeight()
{
    return metrics_->Height();
}

void TRpPageRecordSurface::DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                                    bool rightToLeft)
{
    if (ended_ || text.empty())
        return;
    double left = x;
    if (anchor != TRpTextAnchor::Left) {
        const int width = metrics_->Extent(text);
        left = anchor == TRpTextAnchor::Right ? x - width : x - width / 2;
    }
    const double baseline = y + metrics_->Ascent();
    if (rightToLeft) {
        record_.DrawText(left, baseline, measurer_.Decode(text), true);
        return;
    }
    // Blanks draw nothing: leading ones only move the text (by their exact advance) and
    // trailing ones are left out, which keeps recorded pages small.
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return;
    const std::size_t end = text.find_last_not_of(' ') + 1;
    left += metrics_->Advance64(text.substr(0, begin)) / 64.0;
    record_.DrawText(left, baseline, measurer_.Decode(text.substr(begin, end - begin)), false);
}

void TRpPageRecordSurface::DrawStretches(int y, std::string_view text,
                                         std::span<const TRpTextStretch> stretches,
                                         std::span<const TRpTextStyle> styles)
{
    if (ended_ || stretches.empty())
        return;
    const auto metricsOf = [this](const TRpTextStyle& style) -> const TRpFontMetrics& {
        return style.metrics != nullptr ? *style.metrics : measurer_.Metrics(style.font);
    };
    // One baseline for the whole line, whatever the faces of its stretches.
    const double baseline = y + metricsOf(styles[0]).Ascent();
    for (const TRpTextStretch& stretch : stretches) {
        const std::string_view piece = text.substr(stretch.start, stretch.length);
        const std::size_t begin = piece.find_first_not_of(' ');
        if (begin == std::string_view::npos)
            continue;
        const std::size_t end = piece.find_last_not_of(' ') + 1;
        const TRpTextStyle& style = styles[stretch.style];
        record_.SetFont(style.font, style.color);
        const double left =
            stretch.left + metricsOf(style).Advance64(piece.substr(0, begin)) / 64.0;
        record_.DrawText(left, baseline, measurer_.Decode(piece.substr(begin, end - begin)), false);
    }
    record_.SetFont(font_, color_);
}

void TRpPageRecordSurface::FillRect(const QRect& rect, const QColor& color)
{
    if (ended_ || rect.isEmpty())
        return;
    record_.FillRect(rect, color);
}

}  // namespace tabulex
