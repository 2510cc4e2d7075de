#pragma once
#include <memory>

#include "report/engine/TRpPageOutput.h"

namespace tabulex {

class TRpTextMeasurer;

/// Page output that lays pages out and keeps nothing of them: the one a report runs onto
/// when it was given none. Its pages measure text on `measurer`, as recorded pages do, so the
/// run places everything exactly as it would on them.
class TRpBlankPageOutput : public TRpPageOutput {
public:
    explicit TRpBlankPageOutput(TRpTextMeasurer& measurer);
    ~TRpBlankPageOutput() override;

    void BeginJob() override;
    void NewPage() override;
    void EndJob() override;
    void AbortJob() override;
    TRpSurface* Surface() override { return page_.get(); }

private:
    TRpTextMeasurer& measurer_;
    std::unique_ptr<TRpSurface> page_;
};

}  // namespace tabulex
