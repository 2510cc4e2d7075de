#pragma once
#include "report/items/TRpCustomLabel.h"

namespace tabulex {

/// A label: prints its caption, wrapped at its width.
class TRpLabel : public TRpCustomLabel {
public:
    explicit TRpLabel(std::string name);
};

}  // namespace tabulex
