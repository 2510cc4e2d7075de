#include "report/engine/TRpBand.h"

#include <utility>

namespace tabulex {

TRpBand::TRpBand(std::string name, TRpBandType type) : TRpCustomBand(std::move(name), type)
{}

}  // namespace tabulex
