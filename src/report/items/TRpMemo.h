#pragma once
#include "report/items/TRpCustomLabel.h"

namespace tabulex {

/// A multi-line text item: prints its `Lines`, each wrapped at its width. With `AutoStretch`
/// it grows its band and continues in the next column where it stopped.
class TRpMemo : public TRpCustomLabel {
public:
    explicit TRpMemo(std::string name);

    bool WrapsCaption() const override { return false; }
    /// Prints with an empty caption; the caption shows the item's name otherwise.
    void Print(double offsetX, double offsetY) override;
};

}  // namespace tabulex
