#pragma once
#include <QColor>
#include <QFont>
#include <QRect>
#include <string_view>

namespace tabulex {

class TRpPageRecord;

/// Horizontal anchor of a drawn text: x is its left edge, its right edge or its centre.
enum class TRpTextAnchor { Left, Right, Center };

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
    /// Fills the rectangle (both corners inside) with a colour.
    virtual void FillRect(const QRect& rect, const QColor& color) = 0;
    virtual void RemoveClip() {}
    /// Closes the page; nothing is drawn after it.
    virtual void EndPage() {}
    /// The recorded page, when the surface records one.
    virtual const TRpPageRecord* Record() const { return nullptr; }
};

}  // namespace tabulex
