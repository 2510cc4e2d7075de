#pragma once
#include <QFont>
#include <QImage>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace tabulex {

/// Metrics of one font on the reference surface, for Windows-1252 bytes. Advances are kept in
/// 1/64 pixel per byte, so a width is a sum and one rounding, as the font metrics give it.
class TRpFontMetrics {
public:
    TRpFontMetrics(const QFont& font, QPaintDevice* device);

    /// Width of `text` in pixels (without the extra pixel of a text extent).
    int Extent(std::string_view text) const { return Round64(Advance64(text)); }
    std::int64_t Advance64(std::string_view text) const {
        std::int64_t sum = 0;
        for (const char c : text) sum += advance64_[static_cast<unsigned char>(c)];
        return sum;
    }
    std::int32_t Advance64(char c) const { return advance64_[static_cast<unsigned char>(c)]; }
    static int Round64(std::int64_t value) { return static_cast<int>((value + 32) >> 6); }

    /// Height of a text extent (ascent plus descent) in pixels.
    int Height() const { return height_; }
    int Ascent() const { return ascent_; }

private:
    std::array<std::int32_t, 256> advance64_{};
    int height_ = 0;
    int ascent_ = 0;
};

/// The report's ReferenceSurface: a screen-compatible device at the screen's resolution, on
/// which text items measure their text. Metrics are made once per font.
class TRpTextMeasurer {
public:
    explicit TRpTextMeasurer(int resolution);
    TRpTextMeasurer(const TRpTextMeasurer&) = delete;
    TRpTextMeasurer& operator=(const TRpTextMeasurer&) = delete;

    int Resolution() const { return resolution_; }
    QPaintDevice* Device() { return &device_; }
    /// Metrics of `font` (kerning is never applied, as on the platform's text extent).
    const TRpFontMetrics& Metrics(const QFont& font);

private:
    int resolution_;
    QImage device_;
    std::unordered_map<QString, std::unique_ptr<TRpFontMetrics>> cache_;
};

/// The font as the engine measures and draws it: kerning off.
QFont rpEngineFont(const QFont& font);

}  // namespace tabulex
