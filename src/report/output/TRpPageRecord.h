#pragma once
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

class QPainter;
class QRectF;

namespace tabulex {

/// One page as the report drew it, to be drawn again at any size on any painter: the preview,
/// the printer, a PDF. It holds the page's calls in the order they were made (font and colour,
/// text at a point, filled rectangle), in device pixels of the resolution it was made at.
///
/// Its bytes are the page data of a page store and of saved report files: a 16-byte head
/// ("TbxP", format 1, resolution, page width and height in pixels, number of calls), then the
/// calls. Reading them checks every field (call kind, counts, lengths, UTF-8 text, sizes, every
/// position within the page and one page's width or height around it) and that nothing is left
/// over, so a page from any file draws only text and rectangles near the page, however it was
/// made or damaged. The toolkit is handed only the values read and checked, never the bytes.
class TRpPageRecord {
public:
    static constexpr int kMaxSide = 32767;       ///< largest width or height, pixels
    static constexpr int kMaxTextBytes = 65535;  ///< longest text of one call (UTF-8)
    static constexpr double kMaxPoints = 1000;   ///< largest font size

    /// An empty page of 1 x 1 pixels.
    TRpPageRecord();
    /// An empty page of `width` x `height` pixels (kept within 1..kMaxSide) at `dpi` pixels per
    /// inch.
    TRpPageRecord(int width, int height, int dpi);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Resolution() const { return dpi_; }
    /// The page: (0, 0) to (Width, Height).
    QRect BoundingRect() const { return QRect(0, 0, width_, height_); }
    int CallCount() const { return calls_; }

    /// Records the font and colour of the text drawn after it.
    void SetFont(const QFont& font, const QColor& color);
    /// Records `text` drawn from the point (`x`, `baseline`) as QPainter::drawText draws it,
    /// laid out right to left when asked. Text whose point lies off the page and the one around
    /// it is left out, and text longer than kMaxTextBytes is cut there; neither happens on a
    /// report page.
    void DrawText(double x, double baseline, const QString& text, bool rightToLeft);
    /// Records a filled rectangle, cut to the page and the one around it.
    void FillRect(const QRect& rect, const QColor& color);

    /// The page's bytes.
    const QByteArray& Bytes() const { return bytes_; }
    /// The page whose bytes are `bytes`, or nothing when any field of them is wrong.
    static std::optional<TRpPageRecord> FromBytes(QByteArray bytes);

    /// Draws the page onto `painter` in page pixels (the painter's transform places and
    /// scales them); text keeps the pixel size it was recorded with, whatever the device's
    /// resolution.
    void Play(QPainter& painter) const;

private:
    void beginCall(std::uint8_t kind);

    int width_ = 1;
    int height_ = 1;
    int dpi_ = 96;
    int calls_ = 0;
    QByteArray bytes_;
};

/// Draws a recorded page stretched over `target` (device pixels of `painter`).
void rpDrawPage(QPainter& painter, const TRpPageRecord& page, const QRectF& target);

}  // namespace tabulex
