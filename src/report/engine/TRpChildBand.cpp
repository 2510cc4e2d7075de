#include "report/engine/TRpChildBand.h"

#include <utility>

namespace tabulex {

TRpChildBand::TRpChildBand(std::string name) : TRpCustomBand(std::move(name), TRpBandType::rbChild)
{}

}  // namespace tabulex
