#pragma once
#include <QScrollArea>
#include <functional>

namespace tabulex {

class TRpPrinter;
class TRpPreviewImage;

/// Scroll box showing one page of a page output at a zoom, with zoom-to-fit and
/// zoom-to-width modes that follow the view's size.
class TRpPreview : public QScrollArea {
    Q_OBJECT
public:
    enum class ZoomMode { Other, Fit, Width };
    static constexpr int kMinZoom = 2;
    static constexpr int kMaxZoom = 2000;

    explicit TRpPreview(QWidget* parent = nullptr);
    ~TRpPreview() override;

    /// Attaches a page output (not owned; null detaches): the previous one is detached,
    /// which fires its AfterPreview; page 1 is shown when available.
    void SetPrinter(TRpPrinter* output);
    TRpPrinter* Printer() const { return output_; }
    /// Shows page 1 of the attached output afresh (after its pages were replaced).
    void Reload();

    int PageNumber() const { return pageNumber_; }
    /// Ignored for the page already shown, below 1, above the page count or without output.
    void SetPageNumber(int page);
    /// Whether the displayed page has been loaded.
    bool PageShown() const { return shown_; }

    int Zoom() const { return zoom_; }
    /// Accepts 2..2000, anything else is ignored; the mode becomes Other.
    void SetZoom(int zoom);
    ZoomMode Mode() const { return mode_; }
    void ZoomToFit();
    void ZoomToWidth();

    TRpPreviewImage* Image() const { return image_; }

    /// Page-available notification from the page output (queued).
    void PageAvailable(int count);

    std::function<void(TRpPreview*, int)> OnPageAvailable;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadPage();
    void layoutImage();
    void scrollHome();
    void setZoomInRange(int zoom);
    double pagePixelWidth() const;
    double pagePixelHeight() const;

    TRpPrinter* output_ = nullptr;
    TRpPreviewImage* image_;
    int pageNumber_ = 1;
    bool shown_ = false;
    int zoom_ = 100;
    ZoomMode mode_ = ZoomMode::Other;
};

}  // namespace tabulex
