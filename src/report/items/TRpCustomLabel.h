#pragma once
#include <QColor>
#include <QFont>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LineSource.h"
#include "analysis/StringList.h"
#include "report/engine/TRpPrintable.h"
#include "report/engine/TRpSurface.h"
#include "report/items/TRpMarkedLines.h"

namespace tabulex {

class TRpFontMetrics;

/// Text engine shared by labels, memos and system data: wraps its caption or its `Lines` into
/// formatted lines at the item's width and draws them, growing its band while `AutoStretch`
/// allows and resuming at `CurrentLine` in the next column. Text is Windows-1252 bytes.
///
/// The text is kept once: formatted lines are views of the caption or of `Lines`. A memo
/// wraps its `Lines` as printing reaches them and forgets the formatted lines it has
/// printed, so a memo of any length starts printing at once and holds only a column's worth
/// of formatted lines.
///
/// Failures: items have none of their own; they raise nothing and show nothing. An exception
/// from the page output they draw on passes through them to the report's run.
class TRpCustomLabel : public TRpPrintable {
public:
    /// (sender, value): raised before each print with the text about to be printed.
    using OnPrintEvent = std::function<void(TRpCustomLabel* sender, std::string& value)>;

    explicit TRpCustomLabel(std::string name);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on)
    {
        autoSize_ = on;
        invalidate();
    }
    bool AutoStretch = false;
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on)
    {
        wordWrap_ = on;
        invalidate();
    }
    bool Transparent = false;
    bool RightToLeft = false;
    QColor Color = Qt::white;
    QColor FontColor = Qt::black;

    const QFont& Font() const { return font_; }
    /// Sets the font and re-wraps.
    void SetFont(const QFont& font);
    /// Font size in points (0 when not set); a value above 0 sets the font's size.
    double FontSize() const { return fontSize_; }
    void SetFontSize(double points);

    const std::string& Caption() const { return caption_; }
    /// Sets the caption (and PrintCaption) and re-wraps.
    void SetCaption(std::string caption);
    const std::string& PrintCaption() const { return printCaption_; }

    const StringList& Lines() const { return lines_; }
    void SetLines(StringList lines);
    void AppendLine(std::string line);
    void ClearLines();
    /// Prints the lines of `source` after `Lines` (memos): they are read as printing reaches
    /// them and never copied as a whole, so a memo over a long listing starts at once. The
    /// memo keeps the source alive; null removes it.
    void SetLineSource(std::shared_ptr<const TLineSource> source);
    const std::shared_ptr<const TLineSource>& LineSource() const { return source_; }
    /// The styles the stretches of a line source that is also TRpMarkedLines are drawn in,
    /// from style 1 on (style 0 is the memo's own font and colour); empty: plain text. Text is
    /// wrapped as it is drawn, so a bold stretch of a proportional font takes its own width.
    void SetRunStyles(std::vector<TRpRunStyle> styles);
    const std::vector<TRpRunStyle>& RunStyles() const { return runStyles_; }
    /// Number of lines a memo prints: its Lines, then those of its line source.
    std::size_t LineCount() const { return entryCount(); }

    /// Every formatted line of the current text, as text: a full wrap made for inspection,
    /// which leaves the printing position alone.
    StringList FormattedLines();
    /// Index of the next formatted line to print.
    std::size_t CurrentLine = 0;

    OnPrintEvent OnPrint;

    /// True when the caption is wrapped (labels, system data), false for `Lines` (memos).
    virtual bool WrapsCaption() const { return true; }
    /// Rebuilds FormattedLines (skipped when nothing it depends on changed since last time).
    void WrapLines();
    /// Width of a text in pixels: text extent + 1 on the reference surface, times the zoom.
    int TextWidthOf(std::string_view text) const;

    void SetOwner(TRpCustomReport* report, TRpCustomBand* band) override;
    void Prepare() override;
    void Print(double offsetX, double offsetY) override;
    std::size_t PrintPosition() const override { return CurrentLine; }

protected:
    void RenderLines(TRpSurface& surface, bool canExpand, double lineHeight, double height,
                     double width, double top, double left);
    /// Marks the formatted lines as stale (and drops them: they may view the old text).
    void invalidate();

private:
    /// A text some formatted lines view: a line read from the line source, or a text with its
    /// line feeds removed. It is needed until formatted line `end` (0: still being wrapped).
    struct Held {
        std::string text;
        std::size_t end = 0;
        // A line of a marked source: its text as wrapped, its index and its stretches.
        std::string_view view;
        std::size_t entry = 0;
        std::vector<TRpRun> runs;
        bool marked = false;
        bool anchored = false;  ///< its anchor has been marked on a page
    };
    /// One formatted line: a view of a text, and the marked line it belongs to (if any).
    struct Line {
        std::string_view text;
        Held* held = nullptr;
    };
    /// Formatted lines and the texts that some of them view.
    struct Wrapped {
        std::vector<Line> lines;
        std::deque<Held> held;
        void clear()
        {
            lines.clear();
            held.clear();
        }
    };

    const TRpFontMetrics& metrics() const;
    int widthOf64(std::int64_t advance64) const;
    void wrapEntry(std::string_view text, Wrapped& out, int width,
                   const TRpFontMetrics& metrics) const;
    void wrapText(std::string_view text, Wrapped& out, int width,
                  const TRpFontMetrics& metrics) const;
    void wrapPlain(std::string_view text, Wrapped& out, int width,
                   const TRpFontMetrics& metrics) const;
    template <class Measure>
    void wrapMeasured(std::string_view text, Wrapped& out, int width, const Measure& measure) const;
    /// The largest advance (1/64 pixel) whose width still fits `width` pixels.
    std::int64_t advanceLimit(int width) const;
    /// Metrics of each run style (0: the memo's own), and whether any differs in width.
    void measureStyles();
    std::vector<TRpTextStyle> drawStyles() const;
    void drawLine(TRpSurface& surface, const Line& line, int xPos, double y, double lineHeight,
                  const std::vector<TRpTextStyle>& styles);
    /// Wraps `Lines` until formatted line `index` exists; false when the text ends before.
    bool haveFormatted(std::size_t index);
    /// Number of entries a memo prints: its Lines, then the lines of its source.
    std::size_t entryCount() const { return lines_.size() + (source_ ? source_->size() : 0); }
    /// Wraps entry `index` into `out`.
    void wrapEntryAt(std::size_t index, Wrapped& out, std::size_t base);
    const Line& formattedLine(std::size_t index) const
    {
        return formatted_.lines[index - formattedBase_];
    }
    /// Forgets the formatted lines before `index` (a memo never prints them again).
    void dropFormattedBefore(std::size_t index);
    /// A new held text at the end of `out`, in the memory of one already let go.
    Held& newHeld(Wrapped& out);
    void autoResize();
    int minimumHeight() const;
    bool canPlace(double y, double lineHeight, bool canExpand, double top, double height,
                  double& bottom);

    bool autoSize_ = true;
    bool wordWrap_ = true;
    QFont font_;
    double fontSize_ = 0;
    std::string caption_;
    std::string printCaption_;
    StringList lines_;
    std::shared_ptr<const TLineSource> source_;
    const TRpMarkedLines* marked_ = nullptr;  ///< source_, when it marks its lines
    std::vector<TRpRunStyle> runStyles_;
    std::vector<const TRpFontMetrics*> styleMetrics_;
    bool stylesChangeWidths_ = false;
    bool wantLinks_ = false;                 ///< the page printed on keeps links
    std::vector<TRpTextStretch> stretches_;  ///< of the line being drawn
    Wrapped formatted_;
    /// The buffers of held texts let go, for the next lines: a memo reads one line after
    /// another, and each would otherwise grow its buffers from nothing.
    struct SpareHeld {
        std::string text;
        std::vector<TRpRun> runs;
    };
    std::vector<SpareHeld> spareHeld_;
    std::size_t formattedBase_ = 0;  ///< index of formatted_.lines[0] among all formatted lines
    std::size_t nextEntry_ = 0;      ///< next entry of lines_ to wrap (memos)
    bool inAutoResize_ = false;
    double growth_ = 0;
    bool grewBand_ = false;

    // What the formatted lines were made from.
    std::uint64_t generation_ = 1;
    std::uint64_t wrappedGeneration_ = 0;
    int wrappedWidth_ = -1;
    int wrappedZoom_ = -1;
    const TRpFontMetrics* wrappedMetrics_ = nullptr;
};

}  // namespace tabulex
