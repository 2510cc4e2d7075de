#include "widgets/TScrollTextPanel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <exception>

#include "dialogs/TDialogs.h"
#include "widgets/TThreadTimer.h"

namespace tabulex {

namespace {

constexpr int kTextMargin = 3;  // pixels between the inner rectangle and the text
constexpr int kMaxDrawnChars = 255;
constexpr unsigned kDefaultInterval = 30;

// Edges of a rectangle with exclusive right and bottom, as the layout rules are stated.
struct Edges {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    QRect toRect() const
    {
        if (width() <= 0 || height() <= 0)
            return QRect(0, 0, 0, 0);
        return QRect(left, top, width(), height());
    }
};

bool isBlank(const QString& line)
{
    return line.trimmed().isEmpty();
}

Qt::Alignment toQtAlignment(TScrollTextPanel::TAlignment alignment)
{
    switch (alignment) {
    case TScrollTextPanel::taLeftJustify:
        return Qt::AlignLeft;
    case TScrollTextPanel::taRightJustify:
        return Qt::AlignRight;
    case TScrollTextPanel::taCenter:
        break;
    }
    return Qt::AlignHCenter;
}

// A font with a private copy of its data: Qt fonts cache their engines lazily per thread,
// so the drawing thread must not share a font's data with the user-interface thread.
QFont detachedFont(const QFont& font)
{
    QFont copy;
    copy.fromString(font.toString());
    copy.setStyleStrategy(font.styleStrategy());
    return copy;
}

// Without an alpha channel a picture's bottom-left pixel names its transparent colour.
QImage withTransparency(const QImage& glyph)
{
    if (glyph.isNull() || glyph.hasAlphaChannel())
        return glyph;
    QImage result = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = result.pixel(0, result.height() - 1);
    for (int y = 0; y < result.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if (row[x] == transparent)
                row[x] = 0;
        }
    }
    return result;
}

// Draws one bevel of the given width and shrinks `rect` by it.
void drawBevel(QPainter& painter, QRect& rect, TScrollTextPanel::TPanelBevel bevel, int width,
               const QPalette& palette)
{
    if (bevel == TScrollTextPanel::bvNone)
        return;
    QColor topLeft = palette.color(QPalette::Window);
    QColor bottomRight = topLeft;
    if (bevel == TScrollTextPanel::bvLowered) {
        topLeft = palette.color(QPalette::Dark);
        bottomRight = palette.color(QPalette::Light);
    } else if (bevel == TScrollTextPanel::bvRaised) {
        topLeft = palette.color(QPalette::Light);
        bottomRight = palette.color(QPalette::Dark);
    }
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
        rect.adjust(1, 1, -1, -1);
    }
}

}  // namespace

TScrollTextPanel::TScrollTextPanel(QWidget* parent)
    : QWidget(parent),
      timer_(std::make_unique<TThreadTimer>(
          [this] { onTimer(); }, [this](const QString& message) { reportError(message); }))
{
    timer_->setInterval(kDefaultInterval);
}

TScrollTextPanel::~TScrollTextPanel()
{
    try {
        setActive(false);
    } catch (...) {
        // An OnStopPlay that fails cannot be reported from a destructor; the panel goes anyway.
    }
    timer_->shutdown();
}

// --- Properties -----------------------------------------------------------------------------

void TScrollTextPanel::setActive(bool active)
{
    if (active == active_)
        return;
    if (active)
        start();
    else
        stop();
}

TScrollTextPanel::TAlignment TScrollTextPanel::Alignment() const
{
    const Lock lock(imageLock_);
    return alignment_;
}

void TScrollTextPanel::setAlignment(TAlignment alignment)
{
    {
        const Lock lock(imageLock_);
        alignment_ = alignment;
    }
    update();
}

bool TScrollTextPanel::Cycled() const
{
    const Lock lock(imageLock_);
    return cycled_;
}

void TScrollTextPanel::setCycled(bool cycled)
{
    const Lock lock(imageLock_);
    cycled_ = cycled;
}

void TScrollTextPanel::setGlyph(const QImage& glyph)
{
    glyph_ = withTransparency(glyph);
    recalculateIfActive();
}

TScrollTextPanel::TGlyphLayout TScrollTextPanel::GlyphLayout() const
{
    const Lock lock(imageLock_);
    return glyphLayout_;
}

void TScrollTextPanel::setGlyphLayout(TGlyphLayout layout)
{
    {
        const Lock lock(imageLock_);
        glyphLayout_ = layout;
    }
    recalculateIfActive();
}

unsigned TScrollTextPanel::Interval() const
{
    return timer_->interval();
}

void TScrollTextPanel::setInterval(unsigned milliseconds)
{
    timer_->setInterval(milliseconds);
}

QStringList TScrollTextPanel::Lines() const
{
    const Lock lock(imageLock_);
    return lines_;
}

void TScrollTextPanel::setLines(const QStringList& lines)
{
    {
        const Lock lock(imageLock_);
        lines_ = lines;
        if (active_)
            restartLocked();
    }
    update();
}

TScrollTextPanel::TScrollDirection TScrollTextPanel::ScrollDirection() const
{
    const Lock lock(imageLock_);
    return direction_;
}

void TScrollTextPanel::setScrollDirection(TScrollDirection direction)
{
    {
        const Lock lock(imageLock_);
        if (direction == direction_)
            return;
        direction_ = direction;
        if (active_)
            restartLocked();
    }
    update();
}

TScrollTextPanel::TPanelBevel TScrollTextPanel::TextStyle() const
{
    const Lock lock(imageLock_);
    return textStyle_;
}

void TScrollTextPanel::setTextStyle(TPanelBevel style)
{
    {
        const Lock lock(imageLock_);
        textStyle_ = style;
    }
    recalculateIfActive();
}

void TScrollTextPanel::setBevelOuter(TPanelBevel bevel)
{
    bevelOuter_ = bevel;
    recalculateIfActive();
}

void TScrollTextPanel::setBevelInner(TPanelBevel bevel)
{
    bevelInner_ = bevel;
    recalculateIfActive();
}

void TScrollTextPanel::setBevelWidth(int width)
{
    bevelWidth_ = std::max(1, width);
    recalculateIfActive();
}

void TScrollTextPanel::setBorderWidth(int width)
{
    borderWidth_ = std::max(0, width);
    recalculateIfActive();
}

void TScrollTextPanel::setOnPaintClient(TPaintClientEvent handler)
{
    {
        const Lock lock(imageLock_);
        onPaintClient_ = std::move(handler);
    }
    update();
}

// --- Inspection -----------------------------------------------------------------------------

QImage TScrollTextPanel::frame() const
{
    const Lock lock(imageLock_);
    return image_ ? image_->copy() : QImage();
}

int TScrollTextPanel::offset() const
{
    const Lock lock(imageLock_);
    return offset_;
}

int TScrollTextPanel::maxOffset() const
{
    const Lock lock(imageLock_);
    return maxOffset_;
}

int TScrollTextPanel::lineHeight() const
{
    const Lock lock(imageLock_);
    return lineHeight_;
}

int TScrollTextPanel::firstDrawnLine() const
{
    const Lock lock(imageLock_);
    return firstLine_;
}

QRect TScrollTextPanel::textRect() const
{
    const Lock lock(imageLock_);
    return textRect_;
}

QRect TScrollTextPanel::innerRect() const
{
    const Lock lock(imageLock_);
    return innerRect_;
}

QPoint TScrollTextPanel::glyphOrigin() const
{
    const Lock lock(imageLock_);
    return glyphOrigin_;
}

// --- Start and stop -------------------------------------------------------------------------

void TScrollTextPanel::start()
{
    {
        const Lock lock(imageLock_);
        restartLocked();
    }
    active_ = true;
    try {
        timer_->setEnabled(true);
        if (onStartPlay_)
            onStartPlay_(this);
    } catch (...) {
        timer_->setEnabled(false);
        {
            const Lock lock(imageLock_);
            image_.reset();
            offset_ = 0;
        }
        active_ = false;
        throw;
    }
    hideChildren();
    update();
}

void TScrollTextPanel::stop()
{
    {
        // Taking the image's lock lets a frame being drawn finish before the image goes.
        const Lock lock(imageLock_);
        timer_->setEnabled(false);
        offset_ = 0;
        image_.reset();
        frameDrawn_ = false;
        stopQueued_ = false;
    }
    active_ = false;
    if (onStopPlay_)
        onStopPlay_(this);
    showChildren();
    update();
}

void TScrollTextPanel::finishRun()
{
    {
        const Lock lock(imageLock_);
        if (!stopQueued_)
            return;  // the run that ended has been restarted (or stopped) meanwhile
    }
    setActive(false);
}

void TScrollTextPanel::hideChildren()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden())
            continue;
        hiddenChildren_.emplace_back(child);
        child->hide();
    }
}

void TScrollTextPanel::showChildren()
{
    for (const QPointer<QWidget>& child : hiddenChildren_) {
        if (child)
            child->show();
    }
    hiddenChildren_.clear();
}

// --- Timer and scroll step ------------------------------------------------------------------

void TScrollTextPanel::onTimer()
{
    // Runs on the timer's thread.
    if (asyncDrawing_) {
        scrollStep();
        return;
    }
    if (stepQueued_.exchange(true))
        return;  // the previous step has not run yet
    // Handed over by name: the call carries no data, whatever the step needs is guarded state.
    QMetaObject::invokeMethod(this, "runQueuedStep", Qt::QueuedConnection);
}

void TScrollTextPanel::runQueuedStep()
{
    stepQueued_ = false;
    try {
        scrollStep();
    } catch (const std::exception& error) {
        reportError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error in a scroll step"));
    }
}

void TScrollTextPanel::scrollStep()
{
    {
        const Lock lock(imageLock_);
        if (!image_)
            return;  // stopped meanwhile
        if (offset_ < maxOffset_) {
            ++offset_;
        } else if (cycled_) {
            offset_ = 0;
        } else {
            // The run is over; the stop itself belongs to the user-interface thread.
            if (!stopQueued_) {
                stopQueued_ = true;
                QMetaObject::invokeMethod(this, "finishRun", Qt::QueuedConnection);
            }
            return;
        }
        drawFrameLocked();
    }
    showFrame();
}

// Qt paints widgets only on the user-interface thread, so a frame drawn on the timer's thread
// reaches the screen through a queued repaint; paintEvent copies the image under its lock.
void TScrollTextPanel::showFrame()
{
    if (QThread::currentThread() == thread()) {
        update(textRect());
        return;
    }
    if (updateQueued_.exchange(true))
        return;
    QMetaObject::invokeMethod(this, "showQueuedFrame", Qt::QueuedConnection);
}

void TScrollTextPanel::showQueuedFrame()
{
    updateQueued_ = false;
    update(textRect());
}

void TScrollTextPanel::reportError(const QString& message)
{
    {
        const Lock lock(errorLock_);
        if (!pendingError_.isNull())
            return;  // one message at a time while the timer goes on
        pendingError_ = message.isNull() ? QStringLiteral("") : message;
    }
    if (QThread::currentThread() == thread())
        showPendingError();
    else
        QMetaObject::invokeMethod(this, "showPendingError", Qt::QueuedConnection);
}

void TScrollTextPanel::showPendingError()
{
    QString message;
    {
        const Lock lock(errorLock_);
        message = pendingError_;
    }
    if (!message.isNull())
        TDialogs::current().showMessage(this, message);
    const Lock lock(errorLock_);
    pendingError_ = QString();  // the next error may be shown
}

// --- Recalculation --------------------------------------------------------------------------

void TScrollTextPanel::recalculateIfActive()
{
    if (!active_)
        return;
    {
        const Lock lock(imageLock_);
        recalculateLocked();
    }
    update();
}

void TScrollTextPanel::restartLocked()
{
    offset_ = 0;
    stopQueued_ = false;
    frameDrawn_ = false;
    recalculateLocked();
}

int TScrollTextPanel::borderAmount() const
{
    int amount = borderWidth_;
    if (bevelOuter_ != bvNone)
        amount += bevelWidth_;
    if (bevelInner_ != bvNone)
        amount += bevelWidth_;
    return amount;
}

void TScrollTextPanel::recalculateLocked()
{
    if (!image_)
        image_.emplace();

    const int count = static_cast<int>(lines_.size());
    firstLine_ = 0;
    while (firstLine_ < count && isBlank(lines_[firstLine_]))
        ++firstLine_;

    const QFontMetrics metrics(font());
    const int height =
        metrics.height() + std::max(0, metrics.leading()) + (textStyle_ != bvNone ? 1 : 0);
    lineHeight_ = static_cast<std::uint8_t>(height);  // held in one byte

    layoutRectsLocked(borderAmount());

    if (direction_ == sdVertical) {
        maxOffset_ = textRect_.height() + (count - firstLine_) * lineHeight_;
    } else {
        int widest = 0;
        for (int i = firstLine_; i < count; ++i)
            widest = std::max(widest, metrics
                                          .size(Qt::TextSingleLine | Qt::TextExpandTabs,
                                                lines_[i].left(kMaxDrawnChars))
                                          .width());
        maxOffset_ = widest + textRect_.width();
    }

    if (image_->size() != textRect_.size())
        *image_ = textRect_.isEmpty()
                      ? QImage()
                      : QImage(textRect_.size(), QImage::Format_ARGB32_Premultiplied);
    drawFont_ = detachedFont(font());
    background_ = palette().color(QPalette::Window);
    textColor_ = palette().color(QPalette::WindowText);
    highlight_ = palette().color(QPalette::Light);
    rightToLeft_ = layoutDirection() == Qt::RightToLeft;
}

void TScrollTextPanel::layoutRectsLocked(int border)
{
    const QRect client = rect();
    Edges inner{client.left() + border, client.top() + border,
                client.left() + client.width() - border, client.top() + client.height() - border};
    innerRect_ = inner.toRect();
    Edges text{inner.left + kTextMargin, inner.top + kTextMargin, inner.right - kTextMargin,
               inner.bottom - kTextMargin};

    const int glyphWidth = glyph_.width();
    const int glyphHeight = glyph_.height();
    glyphOrigin_ = QPoint();
    if (glyphWidth > 0 || glyphHeight > 0) {
        const int centredTop = text.top + (text.height() - glyphHeight) / 2;
        const int centredLeft = text.left + (text.width() - glyphWidth) / 2;
        switch (glyphLayout_) {
        case glGlyphLeft:
            glyphOrigin_ = QPoint(text.left + kTextMargin, centredTop);
            text.left = glyphOrigin_.x() + glyphWidth + kTextMargin + border;
            break;
        case glGlyphRight:
            glyphOrigin_ =
                QPoint(std::max(text.right - kTextMargin - glyphWidth, text.left), centredTop);
            text.right = glyphOrigin_.x() - kTextMargin - border;
            break;
        case glGlyphTop:
            glyphOrigin_ = QPoint(centredLeft, text.top + kTextMargin);
            text.top = glyphOrigin_.y() + glyphHeight + kTextMargin + border;
            break;
        case glGlyphBottom:
            glyphOrigin_ =
                QPoint(centredLeft, std::max(text.bottom - kTextMargin - glyphHeight, text.top));
            text.bottom = glyphOrigin_.y() - kTextMargin - border;
            break;
        }
    }

    if (direction_ == sdHorizontal) {
        int last = static_cast<int>(lines_.size()) - 1;
        while (last >= firstLine_ && isBlank(lines_[last]))
            --last;
        const int block = std::max(0, last - firstLine_ + 1) * lineHeight_;
        if (block < text.height()) {
            text.top += (text.height() - block) / 2;
            text.bottom = text.top + block;
        }
    }
    textRect_ = text.toRect();
}

// --- Drawing --------------------------------------------------------------------------------

void TScrollTextPanel::drawFrameLocked()
{
    if (lines_.isEmpty() || textRect_.isEmpty() || !image_ || image_->isNull())
        return;
    QPainter painter(&*image_);
    if (onPaintClient_) {
        // The background as the panel shows it, seen from the text rectangle's corner.
        painter.save();
        painter.translate(-textRect_.topLeft());
        onPaintClient_(this, painter, innerRect_);
        painter.restore();
    } else {
        painter.fillRect(image_->rect(), background_);
    }
    drawLinesLocked(painter);
    frameDrawn_ = true;
}

void TScrollTextPanel::drawLinesLocked(QPainter& painter)
{
    const int width = image_->width();
    const int height = image_->height();
    QRect line;
    if (direction_ == sdVertical) {
        line = QRect(0, height - offset_, width, lineHeight_);
    } else {
        const int lineWidth = maxOffset_ - width;
        const int left = rightToLeft_ ? offset_ - lineWidth : width - offset_;
        line = QRect(left, 0, lineWidth, lineHeight_);
    }

    painter.setFont(drawFont_);
    const int flags = int(toQtAlignment(alignment_) | Qt::AlignTop) | Qt::TextSingleLine |
                      Qt::TextExpandTabs | Qt::TextDontClip;
    const QPoint highlightShift = textStyle_ == bvLowered ? QPoint(1, 1) : QPoint(-1, -1);
    const bool highlighted = textStyle_ == bvLowered || textStyle_ == bvRaised;
    const int count = static_cast<int>(lines_.size());
    for (int i = firstLine_; i <= count; ++i) {  // one past the last: a blank line
        if (line.top() >= height)
            break;
        if (line.top() + line.height() > 0) {
            const QString text = i < count ? lines_[i].left(kMaxDrawnChars) : QStringLiteral(" ");
            if (highlighted) {
                painter.setPen(highlight_);
                painter.drawText(line.translated(highlightShift), flags, text);
            }
            painter.setPen(textColor_);
            painter.drawText(line, flags, text);
        }
        line.translate(0, lineHeight_);
    }
}

// --- Widget events --------------------------------------------------------------------------

void TScrollTextPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect area = rect();
    drawBevel(painter, area, bevelOuter_, bevelWidth_, palette());
    if (borderWidth_ > 0) {
        const QColor colour = palette().color(QPalette::Window);
        painter.fillRect(area, colour);
        area.adjust(borderWidth_, borderWidth_, -borderWidth_, -borderWidth_);
    }
    drawBevel(painter, area, bevelInner_, bevelWidth_, palette());

    TPaintClientEvent paintClient;
    QRect inner;
    QPoint glyphOrigin;
    {
        const Lock lock(imageLock_);
        paintClient = onPaintClient_;
        inner = active_ ? innerRect_ : area;
        glyphOrigin = glyphOrigin_;
    }
    if (paintClient)
        paintClient(this, painter, inner);
    else
        painter.fillRect(inner, palette().color(QPalette::Window));
    if (!active_)
        return;
    if (!glyph_.isNull())
        painter.drawImage(glyphOrigin, glyph_);

    const Lock lock(imageLock_);
    if (image_ && frameDrawn_)
        painter.drawImage(textRect_.topLeft(), *image_);
}

void TScrollTextPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    recalculateIfActive();
}

void TScrollTextPanel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::LayoutDirectionChange:
        recalculateIfActive();
        break;
    default:
        break;
    }
}

}  // namespace tabulex
