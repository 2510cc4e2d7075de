#include "report/output/TRpPictureSurface.h"

#include "report/engine/TRpTextMeasurer.h"
#include "text/TextCodec.h"

namespace tabulex {

TRpPictureSurface::TRpPictureSurface(int widthPx, int heightPx, TRpTextMeasurer& measurer)
    : painter_(std::make_unique<QPainter>()), measurer_(measurer)
{
    picture_.setBoundingRect(QRect(0, 0, widthPx, heightPx));
    painter_->begin(&picture_);
    painter_->setPen(Qt::black);
    SetFont(QFont(QStringLiteral("Arial"), 10));
}

TRpPictureSurface::~TRpPictureSurface()
{
    EndPage();
}

void TRpPictureSurface::SetFont(const QFont& font, const QColor& color)
{
    font_ = font;
    color_ = color;
    metrics_ = &measurer_.Metrics(font);
    if (!painter_->isActive())
        return;
    painter_->setFont(rpEngineFont(font));
    painter_->setPen(color);
}

int TRpPictureSurface::TextHeight()
{
    return metrics_->Height();
}

void TRpPictureSurface::DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                                 bool rightToLeft)
{
    if (!painter_->isActive() || text.empty())
        return;
    double left = x;
    if (anchor != TRpTextAnchor::Left) {
        const int width = metrics_->Extent(text);
        left = anchor == TRpTextAnchor::Right ? x - width : x - width / 2;
    }
    const double baseline = y + metrics_->Ascent();
    if (rightToLeft) {
        painter_->setLayoutDirection(Qt::RightToLeft);
        painter_->drawText(QPointF(left, baseline), measurer_.Decode(text));
        painter_->setLayoutDirection(Qt::LeftToRight);
        return;
    }
    // Blanks draw nothing: leading ones only move the text (by their exact advance) and
    // trailing ones are left out, which keeps recorded pages small.
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return;
    const std::size_t end = text.find_last_not_of(' ') + 1;
    left += metrics_->Advance64(text.substr(0, begin)) / 64.0;
    painter_->drawText(QPointF(left, baseline), measurer_.Decode(text.substr(begin, end - begin)));
}

void TRpPictureSurface::DrawStretches(int y, std::string_view text,
                                      std::span<const TRpTextStretch> stretches,
                                      std::span<const TRpTextStyle> styles)
{
    if (!painter_->isActive() || stretches.empty())
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
        painter_->setFont(rpEngineFont(style.font));
        painter_->setPen(style.color);
        const double left =
            stretch.left + metricsOf(style).Advance64(piece.substr(0, begin)) / 64.0;
        painter_->drawText(QPointF(left, baseline),
                           measurer_.Decode(piece.substr(begin, end - begin)));
    }
    painter_->setFont(rpEngineFont(font_));
    painter_->setPen(color_);
}

void TRpPictureSurface::FillRect(const QRect& rect, const QColor& color)
{
    if (!painter_->isActive() || rect.isEmpty())
        return;
    painter_->fillRect(rect, color);
}

void TRpPictureSurface::RemoveClip()
{
    if (painter_->isActive())
        painter_->setClipping(false);
}

void TRpPictureSurface::EndPage()
{
    if (painter_->isActive())
        painter_->end();
}

}  // namespace tabulex
