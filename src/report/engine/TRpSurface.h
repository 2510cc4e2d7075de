#pragma once
#include <QColor>
#include <QFont>
#include <QRect>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tabulex {

class TRpFontMetrics;
class TRpPageRecord;

/// Horizontal anchor of a drawn text: x is its left edge, its right edge or its centre.
enum class TRpTextAnchor { Left, Right, Center };

/// The font and colour of one style of a styled line.
struct TRpTextStyle {
    QFont font;
    QColor color = Qt::black;
    /// The font's metrics on the report's reference surface, when the caller has them.
    const TRpFontMetrics* metrics = nullptr;
};

/// A stretch of a line drawn in a style: its bytes in the line and its left edge in device
/// pixels (fractional, so stretches follow one another exactly as measured).
struct TRpTextStretch {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint16_t style = 0;
    double left = 0;
};

/// Drawing surface of one page, in device pixels. The page output records pages through it;
/// tests use a surface that logs the calls.
class TRpSurface {
public:
    virtual ~TRpSurface() = default;

    /// Selects the font and the colour in which text is drawn.
    virtual void SetFont(const QFont& font, const QColor& color = Qt::black) = 0;
    virtual const QFont& Font() const = 0;
    virtual QColor FontColor() const = 0;
    /// Height of a text extent of "W" in the selected font, in device pixels.
    virtual int TextHeight() = 0;
    /// Draws Windows-1252 `text` with a transparent background, `y` being the top of the line.
    virtual void DrawText(int x, int y, TRpTextAnchor anchor, std::string_view text,
                          bool rightToLeft) = 0;
    /// Draws the stretches of `text`, `y` being the top of the line, each in its style of
    /// `styles`. The selected font and colour are the same afterwards.
    virtual void DrawStretches(int y, std::string_view text,
                               std::span<const TRpTextStretch> stretches,
                               std::span<const TRpTextStyle> styles)
    {
        const QFont font = Font();
        const QColor color = FontColor();
        for (const TRpTextStretch& stretch : stretches) {
            const TRpTextStyle& style = styles[stretch.style];
            SetFont(style.font, style.color);
            DrawText(static_cast<int>(std::lround(stretch.left)), y, TRpTextAnchor::Left,
                     text.substr(stretch.start, stretch.length), false);
        }
        SetFont(font, color);
    }
    /// Fills the rectangle (both corners inside) with a colour.
    virtual void FillRect(const QRect& rect, const QColor& color) = 0;
    virtual void RemoveClip() {}
    /// Closes the page; nothing is drawn after it.
    virtual void EndPage() {}
    /// Whether the page keeps anchors and links (a PDF page); others ignore them, so that
    /// items need not work them out.
    virtual bool KeepsLinks() const { return false; }
    /// Marks where the text that anchor `key` names begins: (x, y) is its top left.
    virtual void MarkAnchor(std::size_t key, int x, int y) { (void)key, (void)x, (void)y; }
    /// Makes `area` a link to where anchor `key` is marked (on this page or another).
    virtual void LinkToAnchor(const QRect& area, std::size_t key) { (void)area, (void)key; }
    /// Makes `area` a link that opens the file `path` (relative to the document's folder).
    virtual void LinkToFile(const QRect& area, const std::string& path) { (void)area, (void)path; }
    /// The recorded page, when the surface records one.
    virtual const TRpPageRecord* Record() const { return nullptr; }
};

}  // namespace tabulex
