#pragma once
#include <QColor>

namespace tabulex {

class TRpPageOutput;

/// Frame of the report, a band or an item: any of four sides, drawn as filled rectangles.
class TRpFrame {
public:
    QColor Color = Qt::black;
    bool DrawTop = false;
    bool DrawBottom = false;
    bool DrawLeft = false;
    bool DrawRight = false;
    /// Line thickness in points; -1 draws hairlines of one device pixel.
    int Width = 1;

    bool DrawsAnySide() const { return DrawTop || DrawBottom || DrawLeft || DrawRight; }

    /// Draws the sides inside the rectangle (tenths of a millimetre) on the page output's
    /// current page.
    void Draw(TRpPageOutput& output, double left, double top, double right, double bottom) const;

    /// Thickness in tenths of a millimetre, as used to shift text inside a framed item.
    double NativeThickness() const;
};

}  // namespace tabulex
