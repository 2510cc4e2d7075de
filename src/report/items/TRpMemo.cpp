#include "report/items/TRpMemo.h"

#include <utility>

namespace tabulex {

TRpMemo::TRpMemo(std::string name) : TRpCustomLabel(std::move(name))
{
    SetAutoSize(false);
    SetCaption(Name());
}

void TRpMemo::Print(double offsetX, double offsetY)
{
    SetCaption(std::string());
    TRpCustomLabel::Print(offsetX, offsetY);
    SetCaption(Name());
}

}  // namespace tabulex
