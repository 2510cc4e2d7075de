#pragma once
#include <QPainter>
#include <QPicture>
#include <memory>

#include "report/engine/TRpSurface.h"

namespace tabulex {

class TRpTextMeasurer;
class TRpFontMetrics;

/// A page recorded as a replayable QPicture, in screen pixels of the measurer's resolution.
class TRpPictureSurface : public TRpSurface {
public:
    TRpPictureSurface(int widthPx, int heightPx, TRpTextMeasurer& measurer);
    ~TRpPictureSurface() override;

    void SetFont(const QFont& font, const QColor& color = Qt::black) override;
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override;
    void DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                  bool rightToLeft) override;
    void DrawStretches(int y, std::string_view text, std::span<const TRpTextStretch> stretches,
                       std::span<const TRpTextStyle> styles) override;
    void FillRect(const QRect& rect, const QColor& color) override;
    void RemoveClip() override;
    void EndPage() override;
    const QPicture* Picture() const override { return &picture_; }

private:
    QPicture picture_;
    std::unique_ptr<QPainter> painter_;
    TRpTextMeasurer& measurer_;
    const TRpFontMetrics* metrics_ = nullptr;
    QFont font_;
    QColor color_ = Qt::black;
};

}  // namespace tabulex
