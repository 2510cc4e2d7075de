#include "TextCodec.h"

#include <array>

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

namespace {
// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is malformed.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t i)
{
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = b(i);
    if (lead < 0x80)
        return 1;
    std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (len == 0 || lead > 0xF4 || i + len > bytes.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    unsigned char second = b(i + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;  // overlong forms, surrogates, beyond U+10FFFF
    return len;
}

// 0 when malformed, 1 when plain ASCII, 2 when it holds multi-byte sequences.
int classifyUtf8(std::string_view bytes)
{
    int kind = 1;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = utf8SequenceLength(bytes, i);
        if (len == 0)
            return 0;
        if (len > 1)
            kind = 2;
        i += len;
    }
    return kind;
}
}  // namespace

bool isValidUtf8(std::string_view bytes)
{
    return classifyUtf8(bytes) != 0;
}

bool looksLikeUtf8Text(std::string_view bytes)
{
    return classifyUtf8(bytes) == 2;
}

}  // namespace tabulex
