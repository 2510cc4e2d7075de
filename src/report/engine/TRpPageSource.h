#pragma once

namespace tabulex {

/// What makes the pages of a page output (a report run). The page output and the windows on
/// it ask it to stop when its pages are no longer wanted.
class TRpPageSource {
public:
    virtual ~TRpPageSource() = default;
    /// Stops the run making the pages; the run then ends its job.
    virtual void Cancel() = 0;
};

}  // namespace tabulex
