#pragma once
#include "report/output/TRpPageDevice.h"

class QPrinter;

namespace tabulex {

/// One of the platform's printers as the page device a page output prints on.
class TRpPrinterPageDevice : public TRpPageDevice {
public:
    /// Wraps `printer` (not owned), which must outlive this object.
    explicit TRpPrinterPageDevice(QPrinter& printer) : printer_(printer) {}

    QPaintDevice& PaintDevice() override;
    void Prepare(const std::string& title, int copies, const QSizeF& portraitMM, bool landscape,
                 int resolution) override;
    QSizeF PaperPixels() const override;
    bool NewPage() override;
    bool Active() const override;
    void Abort() override;

private:
    QPrinter& printer_;
};

}  // namespace tabulex
