#include "report/engine/TRpUnitBase.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

namespace tabulex {

namespace {

int& resolutionOverride()
{
    static int value = 0;
    return value;
}

int readScreenResolution()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const int dpi = static_cast<int>(screen->logicalDotsPerInch() + 0.5);
            if (dpi > 0)
                return dpi;
        }
    }
    return 96;
}

}  // namespace

int rpScreenResolution()
{
    if (resolutionOverride() > 0)
        return resolutionOverride();
    static const int screen = readScreenResolution();
    return screen;
}

void rpSetScreenResolution(int pixelsPerInch)
{
    resolutionOverride() = pixelsPerInch;
}

TRpUnit rpDefaultUnits()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? TRpUnit::Inches
                                                                              : TRpUnit::MM;
}

TRpUnitBase::TRpUnitBase() : units_(rpDefaultUnits()), resolution_(rpScreenResolution())
{}

double TRpUnitBase::NativeToPixels(double native) const
{
    return native / (kNativePerInch / resolution_) * zoom_ / 100.0;
}

double TRpUnitBase::PixelsToNative(double pixels) const
{
    return pixels * (kNativePerInch / resolution_) / zoom_ * 100.0;
}

double TRpUnitBase::ToUnits(double native, TRpAxis axis) const
{
    switch (units_) {
    case TRpUnit::MM:
        return native / 10.0;
    case TRpUnit::Inches:
        return native / kNativePerInch;
    case TRpUnit::Pixels:
        return NativeToPixels(native);
    case TRpUnit::Characters:
        return axis == TRpAxis::Horizontal ? native / CharWidth(fontSize_) / 10.0
                                           : native / CharHeight(fontSize_) / 10.0;
    case TRpUnit::Native:
        return native;
    }
    return native;
}

double TRpUnitBase::FromUnits(double value, TRpAxis axis) const
{
    switch (units_) {
    case TRpUnit::MM:
        return value * 10.0;
    case TRpUnit::Inches:
        return value * kNativePerInch;
    case TRpUnit::Pixels:
        return PixelsToNative(value);
    case TRpUnit::Characters:
        return axis == TRpAxis::Horizontal ? value * CharWidth(fontSize_) * 10.0
                                           : value * CharHeight(fontSize_) * 10.0;
    case TRpUnit::Native:
        return value;
    }
    return value;
}

}  // namespace tabulex
