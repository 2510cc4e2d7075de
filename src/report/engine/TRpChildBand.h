#pragma once
#include "report/engine/TRpCustomBand.h"

namespace tabulex {

/// A band that prints directly after its parent band.
class TRpChildBand : public TRpCustomBand {
public:
    TRpChildBand(std::string name, TRpCustomBand* parent);

    TRpCustomBand* Parent() const { return parent_; }
    /// The nearest ancestor that is not a child band.
    TRpCustomBand* RootBand() const;

private:
    TRpCustomBand* parent_;
};

}  // namespace tabulex
