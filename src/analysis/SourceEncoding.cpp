#include "analysis/SourceEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tabulex {

namespace {
// Length of the UTF-8 sequence starting at bytes[i], or 0 when it is malformed.
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t i)
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
int classify_utf8(std::string_view bytes)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const auto word_at = [&bytes](std::size_t at) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        return word;
    };
    int kind = 1;
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of plain ASCII, most of any source, are passed 32 bytes at a time, their rest
        // eight at a time.
        while (i + 32 <= bytes.size() &&
               ((word_at(i) | word_at(i + 8) | word_at(i + 16) | word_at(i + 24)) & kHighBits) == 0)
            i += 32;
        while (i + 8 <= bytes.size() && (word_at(i) & kHighBits) == 0)
            i += 8;
        if (i == bytes.size())
            break;
        std::size_t len = utf8_sequence_length(bytes, i);
        if (len == 0)
            return 0;
        if (len > 1)
            kind = 2;
        i += len;
    }
    return kind;
}
}  // namespace

bool is_valid_utf8(std::string_view bytes)
{
    return classify_utf8(bytes) != 0;
}

SourceEncoding detect_source_encoding(std::string_view bytes)
{
    return classify_utf8(bytes) == 2 ? SourceEncoding::Utf8 : SourceEncoding::Windows1252;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace tabulex
