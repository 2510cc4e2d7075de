#pragma once
#include <QColor>
#include <QFont>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "StringList.h"
#include "report/engine/TRpPrintable.h"

namespace tabulex {

class TRpFontMetrics;
class TRpSurface;

/// Text engine shared by labels, memos and system data: wraps its caption or its `Lines` into
/// formatted lines at the item's width and draws them, growing its band while `AutoStretch`
/// allows and resuming at `CurrentLine` in the next column. Text is Windows-1252 bytes.
///
/// Failures: items have none of their own; they raise nothing and show nothing. An exception
/// from the page output they draw on passes through them to the report's run.
class TRpCustomLabel : public TRpPrintable {
public:
    /// (sender, value): raised before each print with the text about to be printed.
    using OnPrintEvent = std::function<void(TRpCustomLabel* sender, std::string& value)>;

    explicit TRpCustomLabel(std::string name);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; invalidate(); }
    bool AutoStretch = false;
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on) { wordWrap_ = on; invalidate(); }
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

    const StringList& FormattedLines() const { return formatted_; }
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
    /// Marks the formatted lines as stale.
    void invalidate() { ++generation_; }

private:
    const TRpFontMetrics& metrics() const;
    int widthOf64(std::int64_t advance64) const;
    void wrapText(std::string_view text, int width, const TRpFontMetrics& metrics);
    void wrapPlain(std::string_view text, int width, const TRpFontMetrics& metrics);
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
    StringList formatted_;
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
