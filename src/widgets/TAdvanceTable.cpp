#include "widgets/TAdvanceTable.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <cmath>

#include "text/TextCodec.h"

namespace tabulex {

namespace {
std::int32_t toFixed(qreal pixels)
{
    return static_cast<std::int32_t>(std::lround(pixels * 64));
}
}  // namespace

TAdvanceTable::TAdvanceTable(const QFont& font) : font_(measuringFont(font))
{
    const QFontMetricsF metrics(font_);
    zeroWidth_ = QFontMetrics(font_).horizontalAdvance(QLatin1Char('0'));
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const QString decoded = fromCp1252(std::string_view(&c, 1));
        cp1252_[static_cast<std::size_t>(byte)] = toFixed(metrics.horizontalAdvance(decoded.at(0)));
    }
    lineBreak_ = toFixed(metrics.horizontalAdvance(kLineBreakMark));
}

QFont TAdvanceTable::measuringFont(const QFont& font)
{
    QFont result = font;
    result.setKerning(false);
    result.setStyleStrategy(QFont::StyleStrategy(result.styleStrategy() | QFont::PreferNoShaping));
    return result;
}

TAdvanceTable::Fixed TAdvanceTable::advance(char16_t unit) const
{
    auto& page = pages_[unit >> 8];
    if (!page) {
        page = std::make_unique<std::array<std::int32_t, 256>>();
        const QFontMetricsF metrics(font_);
        const char16_t base = static_cast<char16_t>(unit & 0xFF00);
        for (int low = 0; low < 256; ++low)
            (*page)[static_cast<std::size_t>(low)] =
                toFixed(metrics.horizontalAdvance(QChar(static_cast<char16_t>(base | low))));
    }
    return (*page)[unit & 0xFF];
}

int TAdvanceTable::width(const QString& text, int tabStop) const
{
    const Fixed stop = Fixed(tabStop) * 64;
    Fixed x = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\t') && stop > 0)
            x = nextTab(x, stop);
        else
            x += advance(c.unicode());
    }
    return round(x);
}

int TAdvanceTable::widthCp1252(std::string_view bytes, int tabStop, std::string_view suffix) const
{
    const Fixed stop = Fixed(tabStop) * 64;
    return round(addCp1252(addCp1252(0, bytes, stop), suffix, stop));
}

TAdvanceTable::Fixed TAdvanceTable::addCp1252(Fixed x, std::string_view bytes, Fixed stop) const
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\t' && stop > 0) {
            x = nextTab(x, stop);
        } else if (c == '\r' || c == '\n') {
            // A line break (CR LF, CR or LF) is shown as one mark.
            x += lineBreak_;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            x += cp1252_[static_cast<unsigned char>(c)];
        }
    }
    return x;
}

}  // namespace tabulex
