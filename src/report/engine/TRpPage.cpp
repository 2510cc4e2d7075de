#include "report/engine/TRpPage.h"

#include <utility>

namespace tabulex {

namespace {

struct PaperEntry {
    TRpPaperSize size;
    double width;
    double length;
};

// Portrait sizes in millimetres; Default and Custom have no entry.
constexpr PaperEntry kPapers[] = {
    {TRpPaperSize::Letter, 215.9, 279.4},  {TRpPaperSize::LetterSmall, 215.9, 279.4},
    {TRpPaperSize::Tabloid, 279.4, 431.8}, {TRpPaperSize::Ledger, 431.8, 279.4},
    {TRpPaperSize::Legal, 215.9, 355.6},   {TRpPaperSize::Statement, 139.7, 215.9},
    {TRpPaperSize::Executive, 190.5, 254}, {TRpPaperSize::A3, 297, 420},
    {TRpPaperSize::A4, 210, 297},          {TRpPaperSize::A4Small, 210, 297},
    {TRpPaperSize::A5, 148, 210},          {TRpPaperSize::B4, 250, 354},
    {TRpPaperSize::B5, 182, 257},          {TRpPaperSize::Folio, 215.9, 330.2},
    {TRpPaperSize::Quarto, 215, 275},      {TRpPaperSize::rp10X14, 254, 355.6},
    {TRpPaperSize::rp11X17, 279.4, 431.8}, {TRpPaperSize::Note, 215.9, 279},
    {TRpPaperSize::Env9, 98.43, 225.4},    {TRpPaperSize::Env10, 104.8, 241.3},
    {TRpPaperSize::Env11, 114.3, 263.5},   {TRpPaperSize::Env12, 101.6, 279.4},
    {TRpPaperSize::Env14, 127, 292.1},     {TRpPaperSize::CSheet, 100, 100},
    {TRpPaperSize::DSheet, 100, 100},      {TRpPaperSize::ESheet, 100, 100},
};

}  // namespace

bool rpPaperSizeMM(TRpPaperSize size, double& widthMM, double& lengthMM)
{
    for (const PaperEntry& entry : kPapers) {
        if (entry.size != size)
            continue;
        widthMM = entry.width;
        lengthMM = entry.length;
        return true;
    }
    return false;
}

TRpPage::TRpPage()
{
    const bool us = Units() == TRpUnit::Inches;
    const double margin = us ? 127.0 : 100.0;  // half an inch or 10 mm
    values_ = {margin, 2970.0, margin, 2100.0, margin, margin, 0.0};
    paperSize_ = us ? TRpPaperSize::Letter : TRpPaperSize::A4;
    applyPaperSize();
}

void TRpPage::SetWidth(double v)
{
    if (paperSize_ != TRpPaperSize::Custom)
        return;
    set(iWidth, v, TRpAxis::Horizontal);
}

void TRpPage::SetLength(double v)
{
    if (paperSize_ != TRpPaperSize::Custom)
        return;
    set(iLength, v, TRpAxis::Vertical);
}

void TRpPage::SetColumns(int columns)
{
    if (columns < 1)
        return;
    columns_ = columns;
    changed();
}

void TRpPage::SetOrientation(TRpOrientation orientation)
{
    orientation_ = orientation;
    applyPaperSize();
    changed();
}

void TRpPage::SetPaperSize(TRpPaperSize size)
{
    paperSize_ = size;
    applyPaperSize();
    changed();
}

void TRpPage::SetValues(const ValueArray& values)
{
    values_ = values;
    changed();
}

void TRpPage::SetNative(Index index, double value)
{
    values_[index] = value;
    changed();
}

void TRpPage::applyPaperSize()
{
    double width = 0;
    double length = 0;
    if (!rpPaperSizeMM(paperSize_, width, length))
        return;
    if (orientation_ == TRpOrientation::poLandscape)
        std::swap(width, length);
    values_[iWidth] = width * 10.0;
    values_[iLength] = length * 10.0;
}

void TRpPage::changed() const
{
    if (OnChange)
        OnChange();
}

}  // namespace tabulex
