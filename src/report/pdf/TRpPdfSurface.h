#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/engine/TRpSurface.h"
#include "report/pdf/TRpPdfDocument.h"

namespace tabulex {

class TRpTextMeasurer;
class TRpFontMetrics;

/// The standard font that draws `font` with the same metrics: Arial and Liberation Sans as
/// Helvetica, Courier New and Liberation Mono as Courier, Times New Roman and Liberation Serif
/// as Times, each in its bold and italic faces. None for any other family, and for underlined
/// or struck-out fonts, which the standard fonts do not draw.
std::optional<TRpPdfFont> rpStandardPdfFont(const QFont& font);

/// A page written as a PDF content stream into `document`, in the device pixels of the
/// measurer's resolution. Text is placed where the recorded pages put it: the left edge from
/// the anchor and the measurer's widths, the baseline at the font's ascent below the top,
/// and every glyph advancing by the measurer's width (the fonts carry those as /Widths, so
/// the text fills exactly the room the layout measured). In UTF-8 text, characters outside
/// Windows-1252 are drawn with an embedded face of the same family (or of any installed font
/// that has them), each run placed at its measured position.
/// When the page is asked for something it cannot draw as the recorded page would (a font
/// without a standard equivalent, right-to-left text, translucent colours) it marks the
/// document unsupported, and the caller writes the report another way.
class TRpPdfSurface : public TRpSurface {
public:
    TRpPdfSurface(TRpPdfDocument& document, TRpTextMeasurer& measurer);

    void SetFont(const QFont& font, const QColor& color = Qt::black) override;
    const QFont& Font() const override { return font_; }
    QColor FontColor() const override { return color_; }
    int TextHeight() override;
    void DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                  bool rightToLeft) override;
    void DrawStretches(int y, std::string_view text, std::span<const TRpTextStretch> stretches,
                       std::span<const TRpTextStyle> styles) override;
    void FillRect(const QRect& rect, const QColor& color) override;
    bool KeepsLinks() const override { return true; }
    void MarkAnchor(std::size_t key, int x, int y) override;
    void LinkToAnchor(const QRect& area, std::size_t key) override;
    void LinkToFile(const QRect& area, const std::string& path) override;
    /// Writes the page to the document.
    void EndPage() override;

private:
    bool usable(const QColor& color, const char* what);
    std::string_view fontResource();
    std::string_view resourceFor(const TRpFontMetrics& metrics, TRpPdfFont font);
    /// The resource of a style's font; empty when it has no standard equivalent.
    std::string_view styleResource(const TRpTextStyle& style, const TRpFontMetrics& metrics);
    TRpPdfLink linkArea(const QRect& area) const;
    void useFont(std::string_view resource);
    void drawRuns(double left, std::int64_t py, std::string_view shown);
    /// Moves the text position to (px, py) in hundredths of a point for the text shown next,
    /// and returns the operator that ends the showing (a bare "'" moves as it shows).
    std::string_view moveTo(std::int64_t px, std::int64_t py);
    std::int32_t widthOf(char32_t codePoint) const;
    void beginText();
    void endText();
    void setFill(const QColor& color);
    std::int64_t toX(double px) const;
    std::int64_t toY(double px) const;

    TRpPdfDocument& document_;
    TRpTextMeasurer& measurer_;
    const TRpFontMetrics* metrics_ = nullptr;
    QFont font_;
    QColor color_ = Qt::black;
    std::optional<TRpPdfFont> pdfFont_;
    std::int64_t fontSize_ = 0;  ///< hundredths of a point
    std::string_view resource_;  ///< of the selected font, empty until text needs it
    double pointsPerPixel_;
    std::int64_t pageHeight_;  ///< hundredths of a point
    std::string content_;
    std::vector<TRpPdfAnchor> anchors_;
    std::vector<TRpPdfLink> links_;
    bool ended_ = false;
    // Graphics state already written to the content stream.
    bool inText_ = false;
    std::string_view streamFont_;
    std::int64_t streamFontSize_ = 0;
    QRgb streamFill_ = qRgb(0, 0, 0);
    std::int64_t leading_ = 0;
    std::int64_t lineX_ = 0;  ///< start of the current text line, hundredths of a point
    std::int64_t lineY_ = 0;
};

}  // namespace tabulex
