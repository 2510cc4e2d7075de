#pragma once
#include <QFont>
#include <QFontMetricsF>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "analysis/SourceEncoding.h"

class QPaintDevice;

namespace tabulex {

/// Metrics of one font on the reference surface, for text in one encoding (Windows-1252 or
/// UTF-8). Advances are kept in 1/64 pixel per character, so a width is a sum and one
/// rounding, as the font metrics give it.
class TRpFontMetrics {
public:
    TRpFontMetrics(const QFont& font, QPaintDevice* device,
                   SourceEncoding encoding = SourceEncoding::Windows1252);

    SourceEncoding Encoding() const { return encoding_; }
    /// Width of `text` in pixels (without the extra pixel of a text extent).
    int Extent(std::string_view text) const { return Round64(Advance64(text)); }
    std::int64_t Advance64(std::string_view text) const
    {
        std::int64_t sum = 0;
        if (encoding_ == SourceEncoding::Windows1252) {
            for (const char c : text)
                sum += advance64_[static_cast<unsigned char>(c)];
            return sum;
        }
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                sum += advance64_[c];
                ++i;
            } else {
                sum += multiByteAdvance64(text, i);
            }
        }
        return sum;
    }
    /// Advance of the Windows-1252 byte `c`, whatever the encoding.
    std::int32_t Advance64(char c) const { return advance64_[static_cast<unsigned char>(c)]; }
    /// Advance of one character.
    std::int32_t CodePointAdvance64(char32_t codePoint) const;
    /// Advance of the character that starts at `pos`, moving `pos` past it.
    std::int32_t CharAdvance64(std::string_view text, std::size_t& pos) const
    {
        const auto c = static_cast<unsigned char>(text[pos]);
        if (c < 0x80 || encoding_ == SourceEncoding::Windows1252) {
            ++pos;
            return advance64_[c];
        }
        return multiByteAdvance64(text, pos);
    }
    static int Round64(std::int64_t value) { return static_cast<int>((value + 32) >> 6); }

    /// Height of a text extent (ascent plus descent) in pixels.
    int Height() const { return height_; }
    int Ascent() const { return ascent_; }

private:
    std::int32_t multiByteAdvance64(std::string_view text, std::size_t& pos) const;

    SourceEncoding encoding_;
    QFontMetricsF fractional_;
    std::array<std::int32_t, 256> advance64_{};  ///< of the Windows-1252 bytes
    /// Advances of the characters beyond ASCII met in UTF-8 text, measured on first use.
    mutable std::unordered_map<char32_t, std::int32_t> wide64_;
    int height_ = 0;
    int ascent_ = 0;
};

/// The font as the engine measures and draws it: kerning off.
QFont rpEngineFont(const QFont& font);

}  // namespace tabulex
