#include "report/engine/TRpFrame.h"

#include <QRect>
#include <cmath>

#include "report/engine/TRpPageOutput.h"
#include "report/engine/TRpSurface.h"

namespace tabulex {

namespace {

// Device pixels of one side: zero while the frame has a width, or a hairline, is one pixel.
int sideThickness(double factor, int width)
{
    if (width == -1)
        return 1;
    const int pixels = static_cast<int>(std::lround(factor / 72.0 * 254.0 * width));
    if (pixels == 0 && width > 0)
        return 1;
    return pixels;
}

}  // namespace

double TRpFrame::NativeThickness() const
{
    return std::round(Width / 72.0 * 254.0);
}

void TRpFrame::Draw(TRpPageOutput& output, double left, double top, double right,
                    double bottom) const
{
    if (!DrawsAnySide())
        return;
    TRpSurface* surface = output.Surface();
    if (surface == nullptr)
        return;
    const int x1 = output.XPos(left);
    const int y1 = output.YPos(top);
    const int x2 = output.XPos(right);
    const int y2 = output.YPos(bottom);
    const int horizontal = sideThickness(output.YFactor(), Width);
    const int vertical = sideThickness(output.XFactor(), Width);
    if (DrawTop)
        surface->FillRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y1 + horizontal - 1)), Color);
    if (DrawBottom)
        surface->FillRect(QRect(QPoint(x1, y2 - horizontal), QPoint(x2 - 1, y2 - 1)), Color);
    if (DrawLeft)
        surface->FillRect(QRect(QPoint(x1, y1), QPoint(x1 + vertical - 1, y2 - 1)), Color);
    if (DrawRight)
        surface->FillRect(QRect(QPoint(x2 - vertical, y1), QPoint(x2 - 1, y2 - 1)), Color);
}

}  // namespace tabulex
