#include "report/output/TRpRecordingSurface.h"

#include "report/engine/TRpTextMeasurer.h"

namespace tabulex {

TRpRecordingSurface::TRpRecordingSurface(int pageNumber, TRpTextMeasurer& measurer)
    : pageNumber_(pageNumber), measurer_(measurer)
{
    SetFont(QFont(QStringLiteral("Arial"), 10));
}

void TRpRecordingSurface::SetFont(const QFont& font, const QColor& color)
{
    font_ = font;
    color_ = color;
    metrics_ = &measurer_.Metrics(font);
}

int TRpRecordingSurface::TextHeight()
{
    return metrics_->Height();
}

void TRpRecordingSurface::DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                                   bool /*rightToLeft*/)
{
    Call call;
    call.kind = Kind::Text;
    call.x = x;
    call.y = y;
    call.anchor = anchor;
    call.text = std::string(text);
    call.font = font_;
    call.color = color_;
    calls_.push_back(std::move(call));
}

void TRpRecordingSurface::FillRect(const QRect& rect, const QColor& color)
{
    Call call;
    call.kind = Kind::Rect;
    call.rect = rect;
    call.color = color;
    calls_.push_back(std::move(call));
}

std::vector<std::string> TRpRecordingSurface::Texts() const
{
    std::vector<std::string> texts;
    for (const Call& call : calls_)
        if (call.kind == Kind::Text)
            texts.push_back(call.text);
    return texts;
}

}  // namespace tabulex
