#pragma once
#include <QFont>

#include "report/engine/TRpSurface.h"
#include "report/output/TRpPageRecord.h"

namespace tabulex {

class TRpTextMeasurer;
class TRpFontMetrics;

/// A page recorded to be drawn again (TRpPageRecord), in pixels of the measurer's resolution.
class TRpPageRecordSurface : public TRpSurface {
public:
    TRpPageRecordSurface(int widthPx, int heightPx, TRpTextMeasurer& measurer);

    void SetFont(const QFont& font, const QColor& color = Qt::black) override;
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override;
    void DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                  bool rightToLeft) override;
    void DrawStretches(int y, std::string_view text, std::span<const TRpTextStretch> stretches,
                       std::span<const TRpTextStyle> styles) override;
    void FillRect(const QRect& rect, const QColor& color) override;
    void EndPage() override { ended_ = true; }
    const TRpPageRecord* Record() const override { return &record_; }

private:
    TRpPageRecord record_;
    TRpTextMeasurer& measurer_;
    const TRpFontMetrics* metrics_ = nullptr;
    QFont font_;
    QColor color_ = Qt::black;
    bool ended_ = false;
};

}  // namespace tabulex
