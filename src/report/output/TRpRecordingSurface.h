#pragma once
#include <string>
#include <vector>

#include "report/engine/TRpSurface.h"

namespace tabulex {

class TRpTextMeasurer;
class TRpFontMetrics;

/// A surface that keeps a log of every call instead of drawing: for tests and diagnostics.
class TRpRecordingSurface : public TRpSurface {
public:
    enum class Kind { Text, Rect };
    struct Call {
        Kind kind = Kind::Text;
        int x = 0;  ///< text anchor x
        int y = 0;  ///< text top
        TRpTextAnchor anchor = TRpTextAnchor::Left;
        std::string text;  ///< Windows-1252 bytes
        QFont font;
        QColor color;  ///< text or fill colour
        QRect rect;    ///< filled rectangle
    };

    TRpRecordingSurface(int pageNumber, TRpTextMeasurer& measurer);

    void SetFont(const QFont& font, const QColor& color = Qt::black) override;
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override;
    void DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                  bool rightToLeft) override;
    void FillRect(const QRect& rect, const QColor& color) override;

    int PageNumber() const { return pageNumber_; }
    const std::vector<Call>& Calls() const { return calls_; }
    /// The drawn texts in drawing order.
    std::vector<std::string> Texts() const;

private:
    int pageNumber_;
    TRpTextMeasurer& measurer_;
    const TRpFontMetrics* metrics_ = nullptr;
    QFont font_;
    QColor color_ = Qt::black;
    std::vector<Call> calls_;
};

}  // namespace tabulex
