#pragma once
#include "report/engine/TRpCustomBand.h"

namespace tabulex {

/// A band of a given type (title, page header, detail, page footer ...).
class TRpBand : public TRpCustomBand {
public:
    TRpBand(std::string name, TRpBandType type);
};

}  // namespace tabulex
