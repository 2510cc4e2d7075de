#include "report/items/TRpCustomLabel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "report/engine/TRpCustomBand.h"
#include "report/engine/TRpCustomReport.h"
#include "report/engine/TRpPageOutput.h"
#include "report/engine/TRpSurface.h"
#include "report/engine/TRpTextMeasurer.h"

namespace tabulex {

namespace {

// Measures for items that are not on a report.
TRpTextMeasurer& ownMeasurer()
{
    static TRpTextMeasurer measurer(rpScreenResolution());
    return measurer;
}

void fillNative(TRpPageOutput& out, TRpSurface& surface, double left, double top, double right,
                double bottom, const QColor& color)
{
    const int x1 = out.XPos(left);
    const int y1 = out.YPos(top);
    const int x2 = out.XPos(right);
    const int y2 = out.YPos(bottom);
    if (x2 <= x1 || y2 <= y1)
        return;
    surface.FillRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)), color);
}

bool isWordEnd(char c)
{
    return c == ' ' || c == '-';
}

QFont styledFont(const QFont& font, const TRpRunStyle& style)
{
    if (!style.bold && !style.italic)
        return font;
    QFont styled = font;
    if (style.bold)
        styled.setBold(true);
    if (style.italic)
        styled.setItalic(true);
    return styled;
}

// Advances of text in the memo's own font.
struct PlainMeasure {
    const TRpFontMetrics& metrics;
    std::int32_t charAdvance(std::string_view text, std::size_t& pos) const
    {
        return metrics.CharAdvance64(text, pos);
    }
    // The end of the word that starts at `pos` (past the blank or hyphen that ends it) and
    // its advance, measured as it is read.
    std::size_t wordEnd(std::string_view text, std::size_t pos, std::int64_t& wordAdvance) const
    {
        const bool singleBytes = metrics.Encoding() == SourceEncoding::Windows1252;
        std::int64_t sum = 0;
        while (pos < text.size()) {
            const char c = text[pos];
            if (singleBytes || static_cast<unsigned char>(c) < 0x80) {
                sum += metrics.Advance64(c);
                ++pos;
                if (isWordEnd(c))
                    break;
                continue;
            }
            // A character of several bytes: none of them is a blank or a hyphen.
            std::size_t next = pos;
            sum += metrics.CharAdvance64(text, next);
            pos = next;
        }
        wordAdvance = sum;
        return pos;
    }
};

// Advances of a marked line whose stretches are drawn in fonts of other widths: each byte is
// measured in the font of the stretch it belongs to. `base` is the start of the line's text.
struct StyledMeasure {
    const std::vector<const TRpFontMetrics*>& metrics;
    const char* base;
    const std::vector<TRpRun>& runs;

    const TRpFontMetrics& at(std::size_t offset) const
    {
        const auto after = std::upper_bound(
            runs.begin(), runs.end(), offset,
            [](std::size_t value, const TRpRun& run) { return value < run.start; });
        if (after == runs.begin())
            return *metrics[0];
        const TRpRun& run = *(after - 1);
        return offset < run.start + run.length ? *metrics[run.style] : *metrics[0];
    }
    std::int64_t advance(std::string_view text) const
    {
        std::size_t pos = static_cast<std::size_t>(text.data() - base);
        const std::size_t end = pos + text.size();
        std::int64_t sum = 0;
        for (const TRpRun& run : runs) {
            if (run.start + run.length <= pos)
                continue;
            if (run.start >= end)
                break;
            if (run.start > pos) {
                sum += metrics[0]->Advance64(std::string_view(base + pos, run.start - pos));
                pos = run.start;
            }
            const std::size_t stop = std::min<std::size_t>(run.start + run.length, end);
            sum += metrics[run.style]->Advance64(std::string_view(base + pos, stop - pos));
            pos = stop;
        }
        if (pos < end)
            sum += metrics[0]->Advance64(std::string_view(base + pos, end - pos));
        return sum;
    }
    std::int32_t charAdvance(std::string_view text, std::size_t& pos) const
    {
        return at(static_cast<std::size_t>(text.data() - base) + pos).CharAdvance64(text, pos);
    }
    std::size_t wordEnd(std::string_view text, std::size_t pos, std::int64_t& wordAdvance) const
    {
        const std::size_t start = pos;
        while (pos < text.size() && !isWordEnd(text[pos]))
            ++pos;
        if (pos < text.size())
            ++pos;  // the space or hyphen belongs to the word
        wordAdvance = advance(text.substr(start, pos - start));
        return pos;
    }
};

}  // namespace

TRpCustomLabel::TRpCustomLabel(std::string name)
    : TRpPrintable(std::move(name)), font_(QStringLiteral("Arial"), 10)
{}

void TRpCustomLabel::SetFont(const QFont& font)
{
    font_ = font;
    invalidate();
    WrapLines();
}

void TRpCustomLabel::SetFontSize(double points)
{
    fontSize_ = points;
    if (points <= 0)
        return;
    QFont font = font_;
    font.setPointSizeF(points);
    SetFont(font);
}

void TRpCustomLabel::SetCaption(std::string caption)
{
    caption_ = std::move(caption);
    printCaption_ = caption_;
    if (!WrapsCaption())
        return;
    invalidate();
    WrapLines();
}

void TRpCustomLabel::SetLines(StringList lines)
{
    lines_ = std::move(lines);
    invalidate();
}

void TRpCustomLabel::AppendLine(std::string line)
{
    lines_.push_back(std::move(line));
    invalidate();
}

void TRpCustomLabel::ClearLines()
{
    lines_.clear();
    source_.reset();
    marked_ = nullptr;
    invalidate();
}

void TRpCustomLabel::SetLineSource(std::shared_ptr<const TLineSource> source)
{
    source_ = std::move(source);
    marked_ = dynamic_cast<const TRpMarkedLines*>(source_.get());
    invalidate();
}

void TRpCustomLabel::SetRunStyles(std::vector<TRpRunStyle> styles)
{
    runStyles_ = std::move(styles);
    invalidate();
}

void TRpCustomLabel::SetOwner(TRpCustomReport* report, TRpCustomBand* band)
{
    TRpPrintable::SetOwner(report, band);
    invalidate();
    WrapLines();
}

void TRpCustomLabel::Prepare()
{
    TRpPrintable::Prepare();
    SetCaption(std::string(caption_));
}

const TRpFontMetrics& TRpCustomLabel::metrics() const
{
    TRpTextMeasurer& measurer = Report() != nullptr ? Report()->ReferenceSurface() : ownMeasurer();
    return measurer.Metrics(font_);
}

int TRpCustomLabel::widthOf64(std::int64_t advance64) const
{
    const int pixels = TRpFontMetrics::Round64(advance64) + 1;
    const int zoom = Size().Zoom();
    if (zoom == 100)
        return pixels;
    return static_cast<int>(std::lround(pixels * zoom / 100.0));
}

int TRpCustomLabel::TextWidthOf(std::string_view text) const
{
    return widthOf64(metrics().Advance64(text));
}

void TRpCustomLabel::invalidate()
{
    ++generation_;
    formatted_.clear();
    formattedBase_ = 0;
    nextEntry_ = 0;
}

void TRpCustomLabel::WrapLines()
{
    const TRpFontMetrics& fontMetrics = metrics();
    const int width = PixelWidth();
    const int zoom = Size().Zoom();
    if (generation_ == wrappedGeneration_ && width == wrappedWidth_ && zoom == wrappedZoom_ &&
        &fontMetrics == wrappedMetrics_)
        return;
    formatted_.clear();
    formattedBase_ = 0;
    nextEntry_ = 0;
    wrappedMetrics_ = &fontMetrics;
    measureStyles();
    // A caption is wrapped whole (its size follows its lines); a memo's lines are wrapped as
    // printing reaches them.
    if (WrapsCaption())
        wrapText(printCaption_, formatted_, width, fontMetrics);
    autoResize();
    wrappedGeneration_ = generation_;
    wrappedWidth_ = PixelWidth();
    wrappedZoom_ = zoom;
    wrappedMetrics_ = &fontMetrics;
}

StringList TRpCustomLabel::FormattedLines()
{
    WrapLines();
    const auto texts = [](const Wrapped& wrapped) {
        StringList lines;
        lines.reserve(wrapped.lines.size());
        for (const Line& line : wrapped.lines)
            lines.emplace_back(line.text);
        return lines;
    };
    if (WrapsCaption())
        return texts(formatted_);
    Wrapped all;
    const std::size_t count = entryCount();
    for (std::size_t i = 0; i < count; ++i)
        wrapEntryAt(i, all, 0);
    return texts(all);
}

void TRpCustomLabel::measureStyles()
{
    styleMetrics_.assign(1, wrappedMetrics_);
    stylesChangeWidths_ = false;
    TRpTextMeasurer& measurer = Report() != nullptr ? Report()->ReferenceSurface() : ownMeasurer();
    for (const TRpRunStyle& style : runStyles_) {
        const TRpFontMetrics& styled = measurer.Metrics(styledFont(font_, style));
        styleMetrics_.push_back(&styled);
        for (int c = 0; c < 256 && !stylesChangeWidths_; ++c)
            stylesChangeWidths_ = styled.Advance64(static_cast<char>(c)) !=
                                  wrappedMetrics_->Advance64(static_cast<char>(c));
    }
}

std::vector<TRpTextStyle> TRpCustomLabel::drawStyles() const
{
    std::vector<TRpTextStyle> styles;
    styles.push_back({font_, FontColor, styleMetrics_[0]});
    for (std::size_t i = 0; i < runStyles_.size(); ++i) {
        const TRpRunStyle& style = runStyles_[i];
        styles.push_back({styledFont(font_, style), style.color.isValid() ? style.color : FontColor,
                          styleMetrics_[i + 1]});
    }
    return styles;
}

bool TRpCustomLabel::haveFormatted(std::size_t index)
{
    if (wrappedMetrics_ == nullptr)
        WrapLines();
    while (index >= formattedBase_ + formatted_.lines.size()) {
        if (WrapsCaption() || nextEntry_ >= entryCount())
            return false;
        wrapEntryAt(nextEntry_++, formatted_, formattedBase_);
    }
    return true;
}

void TRpCustomLabel::wrapEntryAt(std::size_t index, Wrapped& out, std::size_t base)
{
    if (index < lines_.size()) {
        wrapEntry(lines_[index], out, wrappedWidth_, *wrappedMetrics_);
    } else if (marked_ != nullptr && (!runStyles_.empty() || wantLinks_)) {
        // A marked line keeps its stretches beside it: they are drawn and linked as its
        // formatted lines print.
        Held& held = newHeld(out);
        held.entry = index - lines_.size();
        held.marked = true;
        held.view = marked_->marked_line(held.entry, held.text, held.runs, !runStyles_.empty());
        const std::size_t first = out.lines.size();
        if (stylesChangeWidths_ && !held.runs.empty() && !autoSize_ &&
            held.view.find_first_of("\r\n") == std::string_view::npos)
            wrapMeasured(held.view, out, wrappedWidth_,
                         StyledMeasure{styleMetrics_, held.view.data(), held.runs});
        else
            wrapEntry(held.view, out, wrappedWidth_, *wrappedMetrics_);
        for (std::size_t i = first; i < out.lines.size(); ++i)
            out.lines[i].held = &held;
    } else {
        // A line of the source is held while formatted lines view it.
        Held& held = newHeld(out);
        const std::string_view text = source_->line(index - lines_.size(), held.text);
        wrapEntry(text, out, wrappedWidth_, *wrappedMetrics_);
    }
    const std::size_t end = base + out.lines.size();
    for (auto it = out.held.rbegin(); it != out.held.rend() && it->end == 0; ++it)
        it->end = end;
}

void TRpCustomLabel::dropFormattedBefore(std::size_t index)
{
    if (WrapsCaption() || index <= formattedBase_)
        return;
    const std::size_t count = std::min(index - formattedBase_, formatted_.lines.size());
    formatted_.lines.erase(formatted_.lines.begin(),
                           formatted_.lines.begin() + static_cast<std::ptrdiff_t>(count));
    formattedBase_ += count;
    // A column's worth of lines is let go at a time, and as many are read for the next one;
    // the buffers of an unusually long line are not kept.
    constexpr std::size_t kSpares = 512;
    constexpr std::size_t kLongestSpare = 4096;
    while (!formatted_.held.empty() && formatted_.held.front().end <= formattedBase_) {
        Held& held = formatted_.held.front();
        if (spareHeld_.size() < kSpares && held.text.capacity() <= kLongestSpare)
            spareHeld_.push_back({std::move(held.text), std::move(held.runs)});
        formatted_.held.pop_front();
    }
}

TRpCustomLabel::Held& TRpCustomLabel::newHeld(Wrapped& out)
{
    Held& held = out.held.emplace_back();
    if (spareHeld_.empty())
        return held;
    held.text = std::move(spareHeld_.back().text);
    held.runs = std::move(spareHeld_.back().runs);
    spareHeld_.pop_back();
    held.text.clear();
    held.runs.clear();
    return held;
}

void TRpCustomLabel::wrapEntry(std::string_view text, Wrapped& out, int width,
                               const TRpFontMetrics& m) const
{
    // A memo that sizes itself takes its lines as they are.
    if (autoSize_)
        out.lines.push_back({text});
    else
        wrapText(text, out, width, m);
}

void TRpCustomLabel::wrapText(std::string_view text, Wrapped& out, int width,
                              const TRpFontMetrics& m) const
{
    if (text.find('\n') != std::string_view::npos) {
        std::string& withoutLineFeeds = out.held.emplace_back().text;
        withoutLineFeeds.reserve(text.size());
        for (const char c : text)
            if (c != '\n')
                withoutLineFeeds.push_back(c);
        text = withoutLineFeeds;
    }
    // Each carriage return ends a line; the part before it is wrapped as a text of its own.
    std::size_t cr = text.find('\r');
    while (cr != std::string_view::npos) {
        wrapPlain(text.substr(0, cr), out, width, m);
        text.remove_prefix(cr + 1);
        cr = text.find('\r');
    }
    wrapPlain(text, out, width, m);
}

std::int64_t TRpCustomLabel::advanceLimit(int width) const
{
    // widthOf64 never decreases as the advance grows: search the last advance that fits.
    if (widthOf64(0) > width)
        return -1;
    std::int64_t fits = 0;
    std::int64_t over = (static_cast<std::int64_t>(std::max(width, 1)) + 2) * 64 * 100;
    if (Size().Zoom() == 100) {
        // Round64(advance) + 1 <= width: advance + 32 < width * 64.
        return static_cast<std::int64_t>(width) * 64 - 33;
    }
    while (over - fits > 1) {
        const std::int64_t middle = fits + (over - fits) / 2;
        (widthOf64(middle) <= width ? fits : over) = middle;
    }
    return fits;
}

void TRpCustomLabel::wrapPlain(std::string_view text, Wrapped& out, int width,
                               const TRpFontMetrics& m) const
{
    if (autoSize_) {
        out.lines.push_back({text});
        return;
    }
    wrapMeasured(text, out, width, PlainMeasure{m});
}

template <class Measure>
void TRpCustomLabel::wrapMeasured(std::string_view text, Wrapped& out, int width,
                                  const Measure& measure) const
{
    const std::int64_t limit = advanceLimit(width);
    // Words are read once each. Widths grow with every character added, so a text that fits
    // as a whole comes out as one line, the text itself.
    // The line being filled is always a run of whole words of the text: text[lineStart,
    // +lineLength).
    std::size_t lineStart = 0;
    std::size_t lineLength = 0;
    std::int64_t lineAdvance = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::int64_t wordAdvance = 0;
        const std::size_t end = measure.wordEnd(text, pos, wordAdvance);
        std::size_t wordStart = pos;
        std::string_view word = text.substr(pos, end - pos);
        pos = end;

        // AddWord.
        if (lineAdvance + wordAdvance <= limit) {
            if (lineLength == 0)
                lineStart = wordStart;
            lineLength += word.size();
            lineAdvance += wordAdvance;
            continue;
        }
        if (lineLength != 0) {
            out.lines.push_back({text.substr(lineStart, lineLength)});
            lineLength = 0;
            lineAdvance = 0;
            if (!wordWrap_)
                return;  // the rest of the text is not printed
        }
        // A word wider than the item is broken over as many lines as it needs, so that no
        // character of a long identifier goes missing from the printed listing; only an item
        // too narrow for a single character prints an empty line in its place.
        while (!word.empty() && wordAdvance > limit) {
            std::size_t k = 0;
            std::int64_t pieceAdvance = 0;
            while (k < word.size()) {
                std::size_t next = k;
                const std::int64_t advance = measure.charAdvance(word, next);
                if (pieceAdvance + advance > limit)
                    break;
                pieceAdvance += advance;
                k = next;
            }
            out.lines.push_back({word.substr(0, k)});
            if (!wordWrap_)
                return;  // the rest of the text is not printed
            if (k == 0) {
                word = {};
                wordAdvance = 0;
                break;
            }
            word.remove_prefix(k);
            wordStart += k;
            wordAdvance -= pieceAdvance;
            // The blank that ended the word would only start the next line: let it go.
            if (word.find_first_not_of(' ') == std::string_view::npos) {
                word = {};
                wordAdvance = 0;
            }
        }
        lineStart = wordStart;
        lineLength = word.size();
        lineAdvance = wordAdvance;
    }
    out.lines.push_back({text.substr(lineStart, lineLength)});
}

int TRpCustomLabel::minimumHeight() const
{
    const int zoom = Size().Zoom();
    return static_cast<int>(std::lround(metrics().Height() * zoom / 100.0)) + 1;
}

void TRpCustomLabel::autoResize()
{
    if (!WrapsCaption() || Report() == nullptr || inAutoResize_)
        return;
    inAutoResize_ = true;
    if (autoSize_) {
        int widest = 0;
        for (const Line& line : formatted_.lines)
            widest = std::max(widest, TextWidthOf(line.text));
        const int newWidth =
            widest + (Frame.DrawLeft ? Frame.Width : 0) + (Frame.DrawRight ? Frame.Width : 0);
        const int oldWidth = PixelWidth();
        int left = PixelLeft();
        if (Alignment() == TRpAlignment::taRightJustify)
            left += oldWidth - newWidth;
        if (Alignment() == TRpAlignment::taCenter)
            left += (oldWidth - newWidth) / 2;
        Size().SetPixels(TRpPrintableSize::iLeft, left);
        Size().SetPixels(TRpPrintableSize::iWidth, newWidth);
    }
    const int minimum = minimumHeight();
    if (PixelHeight() < minimum)
        Size().SetPixels(TRpPrintableSize::iHeight, minimum);
    AlignToBandNow();
    inAutoResize_ = false;
}

void TRpCustomLabel::Print(double offsetX, double offsetY)
{
    if (!Enabled())
        return;
    TRpPageOutput* out = Printer();
    if (out == nullptr || out->Surface() == nullptr)
        return;
    TRpSurface& surface = *out->Surface();
    surface.SetFont(font_, FontColor);
    const double lineHeight = surface.TextHeight() / out->YFactor();
    const TRpPrintableSize& size = Size();
    RenderLines(surface, AutoStretch, lineHeight, size.Native(TRpPrintableSize::iHeight),
                size.Native(TRpPrintableSize::iWidth),
                size.Native(TRpPrintableSize::iTop) + offsetY,
                size.Native(TRpPrintableSize::iLeft) + offsetX);
}

bool TRpCustomLabel::canPlace(double y, double lineHeight, bool canExpand, double top,
                              double height, double& bottom)
{
    if (bottom >= y + lineHeight)
        return true;
    if (!canExpand)
        return false;
    TRpCustomBand* band = Band();
    TRpCustomReport* report = Report();
    if (band == nullptr || report == nullptr)
        return false;
    const double needed = lineHeight + band->Size().NativeHeight() + band->Expanded;
    if (report->RemainingSpace() < std::lround(needed))
        return false;
    // GrowBand: another item may already have grown the band further than this line.
    if (grewBand_ || lineHeight >= band->Expanded)
        band->Expanded += lineHeight;
    grewBand_ = true;
    growth_ = band->Expanded;
    bottom = top + height + 1 + growth_;
    return true;
}

void TRpCustomLabel::drawLine(TRpSurface& surface, const Line& line, int xPos, double y,
                              double lineHeight, const std::vector<TRpTextStyle>& styles)
{
    TRpPageOutput& out = *Printer();
    Held& held = *line.held;
    const int yPos = out.YPos(y);
    if (wantLinks_ && !held.anchored) {
        surface.MarkAnchor(held.entry, xPos, yPos);
        held.anchored = true;
    }
    const char* base = held.view.data();
    const bool inView =
        line.text.data() >= base && line.text.data() + line.text.size() <= base + held.view.size();
    if (held.runs.empty() || !inView) {
        if (!line.text.empty())
            surface.DrawText(xPos, yPos, TRpTextAnchor::Left, line.text, false);
        return;
    }
    // The line in stretches: the runs that reach into it, and the text between them in the
    // memo's own style, each starting where the text before it ends.
    const std::size_t from = static_cast<std::size_t>(line.text.data() - base);
    const std::size_t to = from + line.text.size();
    const double scale = Size().Zoom() / 100.0 / 64.0;
    const int bottom = out.YPos(y + lineHeight);
    const bool styled = !styles.empty();
    std::vector<TRpTextStretch>& stretches = stretches_;
    stretches.clear();
    double x = xPos;
    std::size_t at = from;
    const auto stretch = [&](std::size_t start, std::size_t end, std::uint16_t style) {
        const TRpFontMetrics& metrics = *styleMetrics_[styled ? style : 0];
        const double width = metrics.Advance64(std::string_view(base + start, end - start)) * scale;
        if (styled)
            stretches.push_back({static_cast<std::uint32_t>(start - from),
                                 static_cast<std::uint32_t>(end - start), style, x});
        x += width;
        return width;
    };
    for (const TRpRun& run : held.runs) {
        if (run.start + run.length <= from)
            continue;
        if (run.start >= to)
            break;
        const std::size_t start = std::max<std::size_t>(run.start, from);
        const std::size_t end = std::min<std::size_t>(run.start + run.length, to);
        if (at < start)
            stretch(at, start, 0);
        const double left = x;
        const double width = stretch(start, end, run.style);
        at = end;
        if (!wantLinks_ || (run.anchor == TRpRun::kNoAnchor && run.file < 0))
            continue;
        const QRect area(QPoint(static_cast<int>(std::floor(left)), yPos),
                         QPoint(static_cast<int>(std::ceil(left + width)) - 1, bottom - 1));
        if (run.anchor != TRpRun::kNoAnchor)
            surface.LinkToAnchor(area, run.anchor);
        else
            surface.LinkToFile(area, marked_->file(run.file));
    }
    if (!styled) {
        surface.DrawText(xPos, yPos, TRpTextAnchor::Left, line.text, false);
        return;
    }
    if (at < to)
        stretch(at, to, 0);
    surface.DrawStretches(yPos, line.text, stretches, styles);
}

void TRpCustomLabel::RenderLines(TRpSurface& surface, bool canExpand, double lineHeight,
                                 double height, double width, double top, double left)
{
    TRpPageOutput& out = *Printer();
    std::string savedCaption;
    bool captionReplaced = false;
    if (!printCaption_.empty() && OnPrint) {
        std::string value = printCaption_;
        OnPrint(this, value);
        if (surface.Font() != font_) {
            surface.SetFont(font_, FontColor);
            lineHeight = surface.TextHeight() / out.YFactor();
        }
        if (value != printCaption_) {
            savedCaption = std::exchange(printCaption_, std::move(value));
            captionReplaced = true;
            invalidate();
        }
    }
    WrapLines();

    const double boxWidth = AutoSize() ? PixelWidth() / out.XFactor() : width;
    if (!Transparent)
        fillNative(out, surface, left, top, left + boxWidth, top + height, Color);
    if (Frame.DrawsAnySide()) {
        const double shift = Frame.NativeThickness();
        if (Frame.DrawTop)
            top += shift;
        if (Frame.DrawLeft)
            left += shift;
    }
    double bottom = top + height + 1;
    double y = top;
    double x = left;
    TRpTextAnchor anchor = TRpTextAnchor::Left;
    if (Alignment() == TRpAlignment::taRightJustify) {
        x = left + width;
        anchor = TRpTextAnchor::Right;
    } else if (Alignment() == TRpAlignment::taCenter) {
        x = left + width / 2;
        anchor = TRpTextAnchor::Center;
    }
    if (PrintFinished()) {
        CurrentLine = 0;
        // A new run marks its anchors afresh.
        for (Held& held : formatted_.held)
            held.anchored = false;
    }
    const bool links = marked_ != nullptr && surface.KeepsLinks();
    if (CurrentLine < formattedBase_ || links != wantLinks_) {
        // Back to the start of the text (or onto pages that keep links, whose lines need
        // their stretches): wrap it afresh as the lines are reached.
        wantLinks_ = links;
        formatted_.clear();
        formattedBase_ = 0;
        nextEntry_ = 0;
    }
    dropFormattedBefore(CurrentLine);
    growth_ = 0;
    grewBand_ = false;
    // First find how many lines this call places (growing the band as they need), then fill
    // the strip the band grew by in one go and draw the lines over it: the same picture as
    // filling the strip line by line before each line.
    const std::size_t first = CurrentLine;
    std::size_t last = first;
    while (haveFormatted(last) && canPlace(y, lineHeight, canExpand, top, height, bottom)) {
        y += lineHeight;
        ++last;
    }
    if (!Transparent && growth_ > 0)
        fillNative(out, surface, left, top + height, left + boxWidth, top + height + growth_,
                   Color);
    const int xPos = out.XPos(x);
    y = top;
    const bool marks = marked_ != nullptr && anchor == TRpTextAnchor::Left && !RightToLeft;
    const std::vector<TRpTextStyle> styles =
        marks && !runStyles_.empty() ? drawStyles() : std::vector<TRpTextStyle>();
    for (; CurrentLine < last; ++CurrentLine) {
        const Line& line = formattedLine(CurrentLine);
        if (marks && line.held != nullptr)
            drawLine(surface, line, xPos, y, lineHeight, styles);
        else if (!line.text.empty())
            surface.DrawText(xPos, out.YPos(y), anchor, line.text, RightToLeft);
        y += lineHeight;
    }
    setPrintFinished(!haveFormatted(CurrentLine) || !AutoStretch);
    surface.RemoveClip();
    if (captionReplaced) {
        printCaption_ = std::move(savedCaption);
        invalidate();
    }
    if (Frame.DrawsAnySide())
        Frame.Draw(out, left, top, left + boxWidth, top + height + growth_);
}

}  // namespace tabulex
