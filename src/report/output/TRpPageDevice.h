#pragma once
#include <QSizeF>
#include <QString>
#include <string>

class QPaintDevice;

namespace tabulex {

/// A paged device onto which a page output replays its pages: a printer, as the preview
/// layer provides it. The page output needs no more of it than these steps, so it works
/// without the printing libraries.
class TRpPageDevice {
public:
    virtual ~TRpPageDevice() = default;

    /// Where the pages are painted.
    virtual QPaintDevice& PaintDevice() = 0;
    /// Prepares the job: document title, copies, the portrait paper size in
    /// millimetres, the orientation, no margins, and `resolution` pixels per inch.
    virtual void Prepare(const QString& title, int copies, const QSizeF& portraitMM, bool landscape,
                         int resolution) = 0;
    /// The whole paper in device pixels.
    virtual QSizeF PaperPixels() const = 0;
    /// Starts a new page; false when the device refused.
    virtual bool NewPage() = 0;
    /// True while a job is open on the device.
    virtual bool Active() const = 0;
    /// Drops the open job.
    virtual void Abort() = 0;
};

}  // namespace tabulex
