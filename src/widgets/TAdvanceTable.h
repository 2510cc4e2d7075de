#pragma once
#include <QFont>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace tabulex {

/// Text widths from a table of per-character advances, filled lazily from one font.
///
/// Measuring a string is a sum of table entries, so a list of hundreds of thousands of lines
/// is measured without a font-metrics call per line. The table works in 1/64 pixel, as the
/// font engine does, and rounds once at the end of a string; it matches the font metrics of
/// `measuringFont()` (the font without kerning and shaping), which is also the font the text
/// must be drawn with for the widths to hold.
class TAdvanceTable {
public:
    explicit TAdvanceTable(const QFont& font = QFont());

    /// `font` with kerning and shaping switched off: per-character advances then add up exactly.
    static QFont measuringFont(const QFont& font);

    /// Width of "0" in whole pixels.
    int zeroWidth() const { return zeroWidth_; }

    /// Width in pixels of `text`; tabs advance to the next multiple of `tabStop` pixels
    /// (tabStop <= 0 measures a tab like any other character).
    int width(const QString& text, int tabStop = 0) const;
    /// Width in pixels of Windows-1252 bytes followed by `suffix`, measured as their decoded text
    /// with each line break (CR LF, CR or LF) shown as kLineBreakMark.
    int widthCp1252(std::string_view bytes, int tabStop = 0, std::string_view suffix = {}) const;

    /// The mark a list shows in place of a line break inside an item.
    static constexpr QChar kLineBreakMark = QChar(0x21B5);

private:
    using Fixed = std::int64_t;  // 1/64 pixel
    Fixed advance(char16_t unit) const;
    static int round(Fixed value) { return static_cast<int>((value + 32) >> 6); }
    Fixed addCp1252(Fixed x, std::string_view bytes, Fixed stop) const;
    static Fixed nextTab(Fixed x, Fixed stop) { return (x / stop + 1) * stop; }

    QFont font_;
    int zeroWidth_ = 0;
    std::array<std::int32_t, 256> cp1252_{};  // advance of each byte's decoded character
    std::int32_t lineBreak_ = 0;              // advance of kLineBreakMark
    // Advances of UTF-16 units, one page of 256 per high byte, made on first use.
    mutable std::array<std::unique_ptr<std::array<std::int32_t, 256>>, 256> pages_;
};

}  // namespace tabulex
