#include "text/TextCodec.h"

#include <array>

#include "SourceEncoding.h"

namespace tabulex {

namespace {
// Windows-1252 code points for bytes 0x80..0x9F; the five undefined bytes keep their C1 value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
}  // namespace

QString fromCp1252(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (unsigned char c : bytes)
        *out++ = QChar(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : char16_t(c));
    return text;
}

std::string toCp1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.push_back(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (std::size_t i = 0; i < kHigh.size(); ++i)
            if (kHigh[i] == u) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        bytes.push_back(mapped);
    }
    return bytes;
}

bool isValidUtf8(std::string_view bytes)
{
    return is_valid_utf8(bytes);
}

bool looksLikeUtf8Text(std::string_view bytes)
{
    return detect_source_encoding(bytes) == SourceEncoding::Utf8;
}

}  // namespace tabulex
