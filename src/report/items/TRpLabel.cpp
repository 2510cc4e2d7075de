#include "report/items/TRpLabel.h"

#include <utility>

namespace tabulex {

TRpLabel::TRpLabel(std::string name) : TRpCustomLabel(std::move(name))
{
    SetCaption(Name());
}

}  // namespace tabulex
