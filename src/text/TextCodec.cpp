#include "text/TextCodec.h"

#include <array>

#include "analysis/SourceEncoding.h"

namespace tabulex {

QString fromCp1252(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (unsigned char c : bytes)
        *out++ = QChar(static_cast<char16_t>(windows1252_code_point(c)));
    return text;
}

std::optional<unsigned char> cp1252Byte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (unsigned byte = 0x80; byte < 0xA0; ++byte)
        if (windows1252_code_point(static_cast<unsigned char>(byte)) == codePoint)
            return static_cast<unsigned char>(byte);
    return std::nullopt;
}

char32_t cp1252CodePoint(unsigned char byte)
{
    return windows1252_code_point(byte);
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
    append_utf8(out, c);
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
