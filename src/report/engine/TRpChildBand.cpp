#include "report/engine/TRpChildBand.h"

#include <utility>

namespace tabulex {

TRpChildBand::TRpChildBand(std::string name, TRpCustomBand* parent)
    : TRpCustomBand(std::move(name), TRpBandType::rbChild), parent_(parent)
{}

TRpCustomBand* TRpChildBand::RootBand() const
{
    TRpCustomBand* band = parent_;
    while (auto* child = dynamic_cast<TRpChildBand*>(band))
        band = child->Parent();
    return band;
}

}  // namespace tabulex
