#pragma once
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QPainter;

namespace tabulex {

class TThreadTimer;

/// A panel that scrolls lines of text through its face, like film credits.
///
/// While `Active`, a timer on a worker thread advances the scroll offset by one pixel every
/// `Interval` milliseconds and draws the lines that cross the text rectangle into an
/// offscreen image, which the panel then shows in one copy. Leading empty lines are skipped;
/// one blank line follows the last. A run that is not `Cycled` stops by itself once the text
/// has passed; a `Cycled` run starts again from the beginning.
///
/// Threads: with `AsyncDrawing` (the default) each step, including drawing the frame, runs on
/// the timer's thread, under the image's lock; otherwise the step is queued to the
/// user-interface thread. Either way the finished frame reaches the screen through the UI
/// thread's paint, which copies the image under the same lock, and the stop at the end of a
/// run is performed on the UI thread. `OnPaintClient` is called from the timer's thread when
/// `AsyncDrawing` is on, so it must only paint on the canvas it is given.
class TScrollTextPanel : public QWidget {
    Q_OBJECT
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    enum TGlyphLayout { glGlyphLeft, glGlyphRight, glGlyphTop, glGlyphBottom };
    enum TScrollDirection { sdVertical, sdHorizontal };
    /// Bevel and text style: none, engraved, embossed, or blank space.
    enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

    using TPaintClientEvent =
        std::function<void(TScrollTextPanel* sender, QPainter& canvas, const QRect& rect)>;
    using TNotifyEvent = std::function<void(TScrollTextPanel* sender)>;

    explicit TScrollTextPanel(QWidget* parent = nullptr);
    ~TScrollTextPanel() override;

    bool Active() const { return active_; }
    /// Starts (offset 0) or stops the scrolling; a failure while starting leaves it stopped.
    void setActive(bool active);

    bool AsyncDrawing() const { return asyncDrawing_.load(); }
    void setAsyncDrawing(bool async) { asyncDrawing_ = async; }

    TAlignment Alignment() const;
    void setAlignment(TAlignment alignment);

    bool Cycled() const;
    void setCycled(bool cycled);

    /// Picture beside the text; without an alpha channel its bottom-left colour is transparent.
    const QImage& Glyph() const { return glyph_; }
    void setGlyph(const QImage& glyph);

    TGlyphLayout GlyphLayout() const;
    void setGlyphLayout(TGlyphLayout layout);

    unsigned Interval() const;
    void setInterval(unsigned milliseconds);

    QStringList Lines() const;
    void setLines(const QStringList& lines);

    TScrollDirection ScrollDirection() const;
    void setScrollDirection(TScrollDirection direction);

    TPanelBevel TextStyle() const;
    void setTextStyle(TPanelBevel style);

    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void setBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void setBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return bevelWidth_; }
    void setBevelWidth(int width);
    int BorderWidth() const { return borderWidth_; }
    void setBorderWidth(int width);

    void setOnPaintClient(TPaintClientEvent handler);
    void setOnStartPlay(TNotifyEvent handler) { onStartPlay_ = std::move(handler); }
    void setOnStopPlay(TNotifyEvent handler) { onStopPlay_ = std::move(handler); }

    // Inspection and test hooks.

    /// Runs one scroll step on the calling thread, as a timer tick does.
    void scrollStep();
    /// A copy of the offscreen image (null while inactive).
    QImage frame() const;
    int offset() const;
    int maxOffset() const;
    int lineHeight() const;
    int firstDrawnLine() const;
    QRect textRect() const;
    QRect innerRect() const;
    QPoint glyphOrigin() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Lock = std::unique_lock<std::mutex>;

    void start();
    void stop();
    void onTimer();
    // Calls queued by name from the timer's thread to the user-interface thread.
    Q_INVOKABLE void runQueuedStep();
    Q_INVOKABLE void finishRun();
    Q_INVOKABLE void showQueuedFrame();
    Q_INVOKABLE void showPendingError();
    void restartLocked();
    void recalculateLocked();
    void layoutRectsLocked(int border);
    void drawFrameLocked();
    void drawLinesLocked(QPainter& painter);
    void showFrame();
    void recalculateIfActive();
    void hideChildren();
    void showChildren();
    void reportError(const QString& message);
    int borderAmount() const;

    // User-interface thread only.
    bool active_ = false;
    QImage glyph_;
    TPanelBevel bevelOuter_ = bvLowered;
    TPanelBevel bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TNotifyEvent onStartPlay_;
    TNotifyEvent onStopPlay_;
    std::vector<QPointer<QWidget>> hiddenChildren_;

    // Shared with the timer's thread: guarded by imageLock_, the lock of the offscreen image.
    mutable std::mutex imageLock_;
    QStringList lines_;
    TAlignment alignment_ = taCenter;
    bool cycled_ = false;
    TGlyphLayout glyphLayout_ = glGlyphLeft;
    TScrollDirection direction_ = sdVertical;
    TPanelBevel textStyle_ = bvNone;
    TPaintClientEvent onPaintClient_;
    int offset_ = 0;
    int maxOffset_ = 0;
    std::uint8_t lineHeight_ = 0;
    int firstLine_ = 0;
    QRect textRect_;
    QRect innerRect_;
    QPoint glyphOrigin_;
    std::optional<QImage> image_;  // exists only while active
    bool frameDrawn_ = false;
    QFont drawFont_;  // a private copy: fonts must not be shared across threads
    QColor background_;
    QColor textColor_;
    QColor highlight_;
    bool rightToLeft_ = false;
    bool stopQueued_ = false;  // the end of the run has been handed to the UI thread

    std::mutex errorLock_;
    QString pendingError_;  // null while no error message is waiting or shown

    std::atomic<bool> asyncDrawing_{true};
    std::atomic<bool> stepQueued_{false};
    std::atomic<bool> updateQueued_{false};
    std::unique_ptr<TThreadTimer> timer_;  // last: its thread ends before the rest goes
};

}  // namespace tabulex
