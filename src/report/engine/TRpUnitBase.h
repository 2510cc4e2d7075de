#pragma once
#include "report/engine/RpTypes.h"

namespace tabulex {

/// Pixels per inch of the screen, read once from the primary screen (96 without one).
int rpScreenResolution();

/// Replaces the screen resolution for objects created from now on (headless runs, tests).
void rpSetScreenResolution(int pixelsPerInch);

/// MM, or Inches when the system's measurement setting is U.S.
TRpUnit rpDefaultUnits();

/// Base of every size object: converts between the stored tenths of a millimetre and the
/// object's current `Units`, with the screen resolution taken when the object is made.
class TRpUnitBase {
public:
    TRpUnitBase();
    virtual ~TRpUnitBase() = default;

    TRpUnit Units() const { return units_; }
    void SetUnits(TRpUnit units) { units_ = units; }
    int Resolution() const { return resolution_; }
    /// The owner's zoom in percent, used by the Pixels unit.
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom) { zoom_ = zoom; }
    /// Absolute report font size in points, used by the Characters unit.
    void SetFontSize(double points) { fontSize_ = points; }

    /// A stored value shown in the current units.
    double ToUnits(double native, TRpAxis axis) const;
    /// The stored value of a value given in the current units.
    double FromUnits(double value, TRpAxis axis) const;

    /// Native value to pixels at this object's resolution and zoom (not rounded).
    double NativeToPixels(double native) const;
    double PixelsToNative(double pixels) const;

    static double CharWidth(double size) { return 80.0 / size / 2.54; }
    static double CharHeight(double size) { return 145.3 / size / 2.54; }

private:
    TRpUnit units_;
    int resolution_;
    int zoom_ = 100;
    double fontSize_ = 10.0;
};

}  // namespace tabulex
