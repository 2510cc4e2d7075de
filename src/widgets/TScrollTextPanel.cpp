#include "widgets/TScrollTextPanel.h"

#include "dialogs/TDialogs.h"
#include "widgets/TThreadTimer.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <exception>

namespace tabulex {

namespace {

constexpr int kTextMargin = 3;    // pixels between the inner rectangle and the text
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
    case TScrollTextPanel::taLeftJustify: return Qt::AlignLeft;
    case TScrollTextPanel::taRightJustify: return Qt::AlignRight;
    case TScrollTextPanel::taCenter: break;
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
void drawBevel(QPainter& painter, QRect& rect, TScrollTextPanel::TPanelBevel bevel, int width, const QPalette& palette)
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
      m_timer(std::make_unique<TThreadTimer>([this] { onTimer(); },
                                             [this](const QString& message) { reportError(message); }))
{
    m_timer->setInterval(kDefaultInterval);
}

TScrollTextPanel::~TScrollTextPanel()
{
    try {
        setActive(false);
    } catch (...) {
        // An OnStopPlay that fails cannot be reported from a destructor; the panel goes anyway.
    }
    m_timer->shutdown();
}

// --- Properties -----------------------------------------------------------------------------

void TScrollTextPanel::setActive(bool active)
{
    if (active == m_active)
        return;
    if (active)
        start();
    else
        stop();
}

TScrollTextPanel::TAlignment TScrollTextPanel::Alignment() const
{
    const Lock lock(m_imageLock);
    return m_alignment;
}

void TScrollTextPanel::setAlignment(TAlignment alignment)
{
    {
        const Lock lock(m_imageLock);
        m_alignment = alignment;
    }
    update();
}

bool TScrollTextPanel::Cycled() const
{
    const Lock lock(m_imageLock);
    return m_cycled;
}

void TScrollTextPanel::setCycled(bool cycled)
{
    const Lock lock(m_imageLock);
    m_cycled = cycled;
}

void TScrollTextPanel::setGlyph(const QImage& glyph)
{
    m_glyph = withTransparency(glyph);
    recalculateIfActive();
}

TScrollTextPanel::TGlyphLayout TScrollTextPanel::GlyphLayout() const
{
    const Lock lock(m_imageLock);
    return m_glyphLayout;
}

void TScrollTextPanel::setGlyphLayout(TGlyphLayout layout)
{
    {
        const Lock lock(m_imageLock);
        m_glyphLayout = layout;
    }
    recalculateIfActive();
}

unsigned TScrollTextPanel::Interval() const
{
    return m_timer->interval();
}

void TScrollTextPanel::setInterval(unsigned milliseconds)
{
    m_timer->setInterval(milliseconds);
}

QStringList TScrollTextPanel::Lines() const
{
    const Lock lock(m_imageLock);
    return m_lines;
}

void TScrollTextPanel::setLines(const QStringList& lines)
{
    {
        const Lock lock(m_imageLock);
        m_lines = lines;
        if (m_active)
            restartLocked();
    }
    update();
}

TScrollTextPanel::TScrollDirection TScrollTextPanel::ScrollDirection() const
{
    const Lock lock(m_imageLock);
    return m_direction;
}

void TScrollTextPanel::setScrollDirection(TScrollDirection direction)
{
    {
        const Lock lock(m_imageLock);
        if (direction == m_direction)
            return;
        m_direction = direction;
        if (m_active)
            restartLocked();
    }
    update();
}

TScrollTextPanel::TPanelBevel TScrollTextPanel::TextStyle() const
{
    const Lock lock(m_imageLock);
    return m_textStyle;
}

void TScrollTextPanel::setTextStyle(TPanelBevel style)
{
    {
        const Lock lock(m_imageLock);
        m_textStyle = style;
    }
    recalculateIfActive();
}

void TScrollTextPanel::setBevelOuter(TPanelBevel bevel)
{
    m_bevelOuter = bevel;
    recalculateIfActive();
}

void TScrollTextPanel::setBevelInner(TPanelBevel bevel)
{
    m_bevelInner = bevel;
    recalculateIfActive();
}

void TScrollTextPanel::setBevelWidth(int width)
{
    m_bevelWidth = std::max(1, width);
    recalculateIfActive();
}

void TScrollTextPanel::setBorderWidth(int width)
{
    m_borderWidth = std::max(0, width);
    recalculateIfActive();
}

void TScrollTextPanel::setOnPaintClient(TPaintClientEvent handler)
{
    {
        const Lock lock(m_imageLock);
        m_onPaintClient = std::move(handler);
    }
    update();
}

// --- Inspection -----------------------------------------------------------------------------

QImage TScrollTextPanel::frame() const
{
    const Lock lock(m_imageLock);
    return m_image ? m_image->copy() : QImage();
}

int TScrollTextPanel::offset() const
{
    const Lock lock(m_imageLock);
    return m_offset;
}

int TScrollTextPanel::maxOffset() const
{
    const Lock lock(m_imageLock);
    return m_maxOffset;
}

int TScrollTextPanel::lineHeight() const
{
    const Lock lock(m_imageLock);
    return m_lineHeight;
}

int TScrollTextPanel::firstDrawnLine() const
{
    const Lock lock(m_imageLock);
    return m_firstLine;
}

QRect TScrollTextPanel::textRect() const
{
    const Lock lock(m_imageLock);
    return m_textRect;
}

QRect TScrollTextPanel::innerRect() const
{
    const Lock lock(m_imageLock);
    return m_innerRect;
}

QPoint TScrollTextPanel::glyphOrigin() const
{
    const Lock lock(m_imageLock);
    return m_glyphOrigin;
}

// --- Start and stop -------------------------------------------------------------------------

void TScrollTextPanel::start()
{
    {
        const Lock lock(m_imageLock);
        restartLocked();
    }
    m_active = true;
    try {
        m_timer->setEnabled(true);
        if (m_onStartPlay)
            m_onStartPlay(this);
    } catch (...) {
        m_timer->setEnabled(false);
        {
            const Lock lock(m_imageLock);
            m_image.reset();
            m_offset = 0;
        }
        m_active = false;
        throw;
    }
    hideChildren();
    update();
}

void TScrollTextPanel::stop()
{
    {
        // Taking the image's lock lets a frame being drawn finish before the image goes.
        const Lock lock(m_imageLock);
        m_timer->setEnabled(false);
        m_offset = 0;
        m_image.reset();
        m_frameDrawn = false;
        m_stopQueued = false;
    }
    m_active = false;
    if (m_onStopPlay)
        m_onStopPlay(this);
    showChildren();
    update();
}

void TScrollTextPanel::finishRun()
{
    {
        const Lock lock(m_imageLock);
        if (!m_stopQueued)
            return;  // the run that ended has been restarted (or stopped) meanwhile
    }
    setActive(false);
}

void TScrollTextPanel::hideChildren()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden())
            continue;
        m_hiddenChildren.emplace_back(child);
        child->hide();
    }
}

void TScrollTextPanel::showChildren()
{
    for (const QPointer<QWidget>& child : m_hiddenChildren) {
        if (child)
            child->show();
    }
    m_hiddenChildren.clear();
}

// --- Timer and scroll step ------------------------------------------------------------------

void TScrollTextPanel::onTimer()
{
    // Runs on the timer's thread.
    if (m_asyncDrawing) {
        scrollStep();
        return;
    }
    if (m_stepQueued.exchange(true))
        return;  // the previous step has not run yet
    // Handed over by name: the call carries no data, whatever the step needs is guarded state.
    QMetaObject::invokeMethod(this, "runQueuedStep", Qt::QueuedConnection);
}

void TScrollTextPanel::runQueuedStep()
{
    m_stepQueued = false;
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
        const Lock lock(m_imageLock);
        if (!m_image)
            return;  // stopped meanwhile
        if (m_offset < m_maxOffset) {
            ++m_offset;
        } else if (m_cycled) {
            m_offset = 0;
        } else {
            // The run is over; the stop itself belongs to the user-interface thread.
            if (!m_stopQueued) {
                m_stopQueued = true;
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
    if (m_updateQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(this, "showQueuedFrame", Qt::QueuedConnection);
}

void TScrollTextPanel::showQueuedFrame()
{
    m_updateQueued = false;
    update(textRect());
}

void TScrollTextPanel::reportError(const QString& message)
{
    {
        const Lock lock(m_errorLock);
        if (!m_pendingError.isNull())
            return;  // one message at a time while the timer goes on
        m_pendingError = message.isNull() ? QStringLiteral("") : message;
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
        const Lock lock(m_errorLock);
        message = m_pendingError;
    }
    if (!message.isNull())
        TDialogs::current().showMessage(this, message);
    const Lock lock(m_errorLock);
    m_pendingError = QString();  // the next error may be shown
}

// --- Recalculation --------------------------------------------------------------------------

void TScrollTextPanel::recalculateIfActive()
{
    if (!m_active)
        return;
    {
        const Lock lock(m_imageLock);
        recalculateLocked();
    }
    update();
}

void TScrollTextPanel::restartLocked()
{
    m_offset = 0;
    m_stopQueued = false;
    m_frameDrawn = false;
    recalculateLocked();
}

int TScrollTextPanel::borderAmount() const
{
    int amount = m_borderWidth;
    if (m_bevelOuter != bvNone)
        amount += m_bevelWidth;
    if (m_bevelInner != bvNone)
        amount += m_bevelWidth;
    return amount;
}

void TScrollTextPanel::recalculateLocked()
{
    if (!m_image)
        m_image.emplace();

    const int count = static_cast<int>(m_lines.size());
    m_firstLine = 0;
    while (m_firstLine < count && isBlank(m_lines[m_firstLine]))
        ++m_firstLine;

    const QFontMetrics metrics(font());
    const int height = metrics.height() + std::max(0, metrics.leading()) + (m_textStyle != bvNone ? 1 : 0);
    m_lineHeight = static_cast<std::uint8_t>(height);  // held in one byte

    layoutRectsLocked(borderAmount());

    if (m_direction == sdVertical) {
        m_maxOffset = m_textRect.height() + (count - m_firstLine) * m_lineHeight;
    } else {
        int widest = 0;
        for (int i = m_firstLine; i < count; ++i)
            widest = std::max(widest, metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs,
                                                   m_lines[i].left(kMaxDrawnChars)).width());
        m_maxOffset = widest + m_textRect.width();
    }

    if (m_image->size() != m_textRect.size())
        *m_image = m_textRect.isEmpty() ? QImage() : QImage(m_textRect.size(), QImage::Format_ARGB32_Premultiplied);
    m_drawFont = detachedFont(font());
    m_background = palette().color(QPalette::Window);
    m_textColor = palette().color(QPalette::WindowText);
    m_highlight = palette().color(QPalette::Light);
    m_rightToLeft = layoutDirection() == Qt::RightToLeft;
}

void TScrollTextPanel::layoutRectsLocked(int border)
{
    const QRect client = rect();
    Edges inner{client.left() + border, client.top() + border, client.left() + client.width() - border,
                client.top() + client.height() - border};
    m_innerRect = inner.toRect();
    Edges text{inner.left + kTextMargin, inner.top + kTextMargin, inner.right - kTextMargin, inner.bottom - kTextMargin};

    const int glyphWidth = m_glyph.width();
    const int glyphHeight = m_glyph.height();
    m_glyphOrigin = QPoint();
    if (glyphWidth > 0 || glyphHeight > 0) {
        const int centredTop = text.top + (text.height() - glyphHeight) / 2;
        const int centredLeft = text.left + (text.width() - glyphWidth) / 2;
        switch (m_glyphLayout) {
        case glGlyphLeft:
            m_glyphOrigin = QPoint(text.left + kTextMargin, centredTop);
            text.left = m_glyphOrigin.x() + glyphWidth + kTextMargin + border;
            break;
        case glGlyphRight:
            m_glyphOrigin = QPoint(std::max(text.right - kTextMargin - glyphWidth, text.left), centredTop);
            text.right = m_glyphOrigin.x() - kTextMargin - border;
            break;
        case glGlyphTop:
            m_glyphOrigin = QPoint(centredLeft, text.top + kTextMargin);
            text.top = m_glyphOrigin.y() + glyphHeight + kTextMargin + border;
            break;
        case glGlyphBottom:
            m_glyphOrigin = QPoint(centredLeft, std::max(text.bottom - kTextMargin - glyphHeight, text.top));
            text.bottom = m_glyphOrigin.y() - kTextMargin - border;
            break;
        }
    }

    if (m_direction == sdHorizontal) {
        int last = static_cast<int>(m_lines.size()) - 1;
        while (last >= m_firstLine && isBlank(m_lines[last]))
            --last;
        const int block = std::max(0, last - m_firstLine + 1) * m_lineHeight;
        if (block < text.height()) {
            text.top += (text.height() - block) / 2;
            text.bottom = text.top + block;
        }
    }
    m_textRect = text.toRect();
}

// --- Drawing --------------------------------------------------------------------------------

void TScrollTextPanel::drawFrameLocked()
{
    if (m_lines.isEmpty() || m_textRect.isEmpty() || !m_image || m_image->isNull())
        return;
    QPainter painter(&*m_image);
    if (m_onPaintClient) {
        // The background as the panel shows it, seen from the text rectangle's corner.
        painter.save();
        painter.translate(-m_textRect.topLeft());
        m_onPaintClient(this, painter, m_innerRect);
        painter.restore();
    } else {
        painter.fillRect(m_image->rect(), m_background);
    }
    drawLinesLocked(painter);
    m_frameDrawn = true;
}

void TScrollTextPanel::drawLinesLocked(QPainter& painter)
{
    const int width = m_image->width();
    const int height = m_image->height();
    QRect line;
    if (m_direction == sdVertical) {
        line = QRect(0, height - m_offset, width, m_lineHeight);
    } else {
        const int lineWidth = m_maxOffset - width;
        const int left = m_rightToLeft ? m_offset - lineWidth : width - m_offset;
        line = QRect(left, 0, lineWidth, m_lineHeight);
    }

    painter.setFont(m_drawFont);
    const int flags = int(toQtAlignment(m_alignment) | Qt::AlignTop) | Qt::TextSingleLine | Qt::TextExpandTabs |
                      Qt::TextDontClip;
    const QPoint highlightShift = m_textStyle == bvLowered ? QPoint(1, 1) : QPoint(-1, -1);
    const bool highlighted = m_textStyle == bvLowered || m_textStyle == bvRaised;
    const int count = static_cast<int>(m_lines.size());
    for (int i = m_firstLine; i <= count; ++i) {  // one past the last: a blank line
        if (line.top() >= height)
            break;
        if (line.top() + line.height() > 0) {
            const QString text = i < count ? m_lines[i].left(kMaxDrawnChars) : QStringLiteral(" ");
            if (highlighted) {
                painter.setPen(m_highlight);
                painter.drawText(line.translated(highlightShift), flags, text);
            }
            painter.setPen(m_textColor);
            painter.drawText(line, flags, text);
        }
        line.translate(0, m_lineHeight);
    }
}

// --- Widget events --------------------------------------------------------------------------

void TScrollTextPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect area = rect();
    drawBevel(painter, area, m_bevelOuter, m_bevelWidth, palette());
    if (m_borderWidth > 0) {
        const QColor colour = palette().color(QPalette::Window);
        painter.fillRect(area, colour);
        area.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    }
    drawBevel(painter, area, m_bevelInner, m_bevelWidth, palette());

    TPaintClientEvent paintClient;
    QRect inner;
    QPoint glyphOrigin;
    {
        const Lock lock(m_imageLock);
        paintClient = m_onPaintClient;
        inner = m_active ? m_innerRect : area;
        glyphOrigin = m_glyphOrigin;
    }
    if (paintClient)
        paintClient(this, painter, inner);
    else
        painter.fillRect(inner, palette().color(QPalette::Window));
    if (!m_active)
        return;
    if (!m_glyph.isNull())
        painter.drawImage(glyphOrigin, m_glyph);

    const Lock lock(m_imageLock);
    if (m_image && m_frameDrawn)
        painter.drawImage(m_textRect.topLeft(), *m_image);
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
