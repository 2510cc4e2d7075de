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

    using TPaintClientEvent = std::function<void(TScrollTextPanel* sender, QPainter& canvas, const QRect& rect)>;
    using TNotifyEvent = std::function<void(TScrollTextPanel* sender)>;

    explicit TScrollTextPanel(QWidget* parent = nullptr);
    ~TScrollTextPanel() override;

    bool Active() const { return m_active; }
    /// Starts (offset 0) or stops the scrolling; a failure while starting leaves it stopped.
    void setActive(bool active);

    bool AsyncDrawing() const { return m_asyncDrawing.load(); }
    void setAsyncDrawing(bool async) { m_asyncDrawing = async; }

    TAlignment Alignment() const;
    void setAlignment(TAlignment alignment);

    bool Cycled() const;
    void setCycled(bool cycled);

    /// Picture beside the text; without an alpha channel its bottom-left colour is transparent.
    const QImage& Glyph() const { return m_glyph; }
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

    TPanelBevel BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TPanelBevel bevel);
    TPanelBevel BevelInner() const { return m_bevelInner; }
    void setBevelInner(TPanelBevel bevel);
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);

    void setOnPaintClient(TPaintClientEvent handler);
    void setOnStartPlay(TNotifyEvent handler) { m_onStartPlay = std::move(handler); }
    void setOnStopPlay(TNotifyEvent handler) { m_onStopPlay = std::move(handler); }

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
    bool m_active = false;
    QImage m_glyph;
    TPanelBevel m_bevelOuter = bvLowered;
    TPanelBevel m_bevelInner = bvNone;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TNotifyEvent m_onStartPlay;
    TNotifyEvent m_onStopPlay;
    std::vector<QPointer<QWidget>> m_hiddenChildren;

    // Shared with the timer's thread: guarded by m_imageLock, the lock of the offscreen image.
    mutable std::mutex m_imageLock;
    QStringList m_lines;
    TAlignment m_alignment = taCenter;
    bool m_cycled = false;
    TGlyphLayout m_glyphLayout = glGlyphLeft;
    TScrollDirection m_direction = sdVertical;
    TPanelBevel m_textStyle = bvNone;
    TPaintClientEvent m_onPaintClient;
    int m_offset = 0;
    int m_maxOffset = 0;
    std::uint8_t m_lineHeight = 0;
    int m_firstLine = 0;
    QRect m_textRect;
    QRect m_innerRect;
    QPoint m_glyphOrigin;
    std::optional<QImage> m_image;  // exists only while active
    bool m_frameDrawn = false;
    QFont m_drawFont;  // a private copy: fonts must not be shared across threads
    QColor m_background;
    QColor m_textColor;
    QColor m_highlight;
    bool m_rightToLeft = false;
    bool m_stopQueued = false;  // the end of the run has been handed to the UI thread

    std::mutex m_errorLock;
    QString m_pendingError;  // null while no error message is waiting or shown

    std::atomic<bool> m_asyncDrawing{true};
    std::atomic<bool> m_stepQueued{false};
    std::atomic<bool> m_updateQueued{false};
    std::unique_ptr<TThreadTimer> m_timer;  // last: its thread ends before the rest goes
};

}  // namespace tabulex
