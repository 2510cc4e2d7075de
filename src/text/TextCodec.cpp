#include "text/TextCodec.h"

#include <array>

#include "analysis/SourceEncoding.h"

namespace tabulex {

namespace {
// Windows-1252 code points for bytes 0x80..0x9F; the five undefined bytes keep their C1 value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
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

std::optional<unsigned char> cp1252Byte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == codePoint)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

char32_t cp1252CodePoint(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t(byte);
}

std::string toCp1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text)
        bytes.push_back(static_cast<char>(cp1252Byte(ch.unicode()).value_or('?')));
    return bytes;
}

bool fitsCp1252(const QString& text)
{
    for (QChar ch : text)
        if (!cp1252Byte(ch.unicode()))
            return false;
    return true;
}

QString decodeText(std::string_view bytes, SourceEncoding encoding)
{
    if (encoding == SourceEncoding::Windows1252)
        return fromCp1252(bytes);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string encodeText(const QString& text, SourceEncoding encoding)
{
    if (encoding == SourceEncoding::Windows1252)
        return toCp1252(text);
    return text.toUtf8().toStdString();
}

char32_t nextUtf8CodePoint(std::string_view bytes, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || pos + length > bytes.size() ||
        !is_valid_utf8(bytes.substr(pos, length))) {
        ++pos;
        return 0xFFFD;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (byte(pos + i) & 0x3F);
    pos += length;
    return code;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
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
