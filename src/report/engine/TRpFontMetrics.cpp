#include "report/engine/TRpFontMetrics.h"

#include <QFontMetrics>
#include <cmath>

#include "text/TextCodec.h"

namespace tabulex {

QFont rpEngineFont(const QFont& font)
{
    QFont copy = font;
    copy.setKerning(false);
    return copy;
}

TRpFontMetrics::TRpFontMetrics(const QFont& font, QPaintDevice* device, SourceEncoding encoding)
    : encoding_(encoding), fractional_(rpEngineFont(font), device)
{
    const QFont measured = rpEngineFont(font);
    const QFontMetrics whole(measured, device);
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const QString text = fromCp1252(std::string_view(&c, 1));
        const double advance = text.isEmpty() ? 0.0 : fractional_.horizontalAdvance(text);
        advance64_[byte] = static_cast<std::int32_t>(std::lround(advance * 64.0));
    }
    height_ = whole.height();
    ascent_ = whole.ascent();
}

std::int32_t TRpFontMetrics::CodePointAdvance64(char32_t codePoint) const
{
    if (codePoint < 0x80)
        return advance64_[codePoint];
    const auto found = wide64_.find(codePoint);
    if (found != wide64_.end())
        return found->second;
    const QString text = QString::fromUcs4(&codePoint, 1);
    const auto advance =
        static_cast<std::int32_t>(std::lround(fractional_.horizontalAdvance(text) * 64.0));
    wide64_.emplace(codePoint, advance);
    return advance;
}

std::int32_t TRpFontMetrics::multiByteAdvance64(std::string_view text, std::size_t& pos) const
{
    return CodePointAdvance64(nextUtf8CodePoint(text, pos));
}

}  // namespace tabulex
