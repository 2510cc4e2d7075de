#include "report/engine/TRpPageOutput.h"

#include <cmath>

#include "report/engine/ERpError.h"
#include "report/engine/TRpPage.h"
#include "report/engine/TRpUnitBase.h"

namespace tabulex {

TRpPageOutput::TRpPageOutput()
    : xFactor_(rpScreenResolution() / kNativePerInch),
      yFactor_(rpScreenResolution() / kNativePerInch)
{}

TRpPageOutput::~TRpPageOutput() = default;

int TRpPageOutput::XPos(double x) const
{
    return static_cast<int>(std::lround((x - LeftWaste) * xFactor_));
}
int TRpPageOutput::YPos(double y) const
{
    return static_cast<int>(std::lround((y - TopWaste) * yFactor_));
}
int TRpPageOutput::XSize(double w) const
{
    return static_cast<int>(std::lround(w * xFactor_));
}
int TRpPageOutput::YSize(double h) const
{
    return static_cast<int>(std::lround(h * yFactor_));
}

std::pair<double, double> TRpPageOutput::paperSize(bool oriented) const
{
    double width = 0;
    double length = 0;
    if (rpPaperSizeMM(Settings.PaperSize, width, length)) {
        width *= 10.0;
        length *= 10.0;
    } else {
        width = Settings.CustomWidth;
        length = Settings.CustomLength;
    }
    if (oriented && Settings.Orientation == TRpOrientation::poLandscape &&
        Settings.PaperSize != TRpPaperSize::Custom && Settings.PaperSize != TRpPaperSize::Default)
        std::swap(width, length);
    return {width, length};
}

double TRpPageOutput::PaperWidth() const
{
    return paperSize(false).first;
}
double TRpPageOutput::PaperLength() const
{
    return paperSize(false).second;
}
double TRpPageOutput::PageWidth() const
{
    return paperSize(true).first;
}
double TRpPageOutput::PageLength() const
{
    return paperSize(true).second;
}

}  // namespace tabulex
