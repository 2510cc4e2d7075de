#pragma once
#include "report/engine/TRpCustomBand.h"

namespace tabulex {

/// A band that prints directly after its parent band.
class TRpChildBand : public TRpCustomBand {
public:
    explicit TRpChildBand(std::string name);
};

}  // namespace tabulex
