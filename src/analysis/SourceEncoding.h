#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tabulex {

/// The character encoding of one source file, decided once from its bytes and carried with
/// the loaded file to every surface that shows or draws its text.
enum class SourceEncoding {
    Windows1252,  ///< single-byte text, the default for anything that is not UTF-8
    Utf8,         ///< well-formed UTF-8 holding at least one multi-byte sequence
};

/// Appends the UTF-8 form of `codePoint`.
void append_utf8(std::string& out, char32_t codePoint);

/// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points past
/// U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

/// The encoding of a source file: UTF-8 when its bytes are valid UTF-8 and hold at least one
/// byte of 0x80 or above (a byte-order mark counts), Windows-1252 otherwise. Plain ASCII is
/// Windows-1252, whose bytes read the same in both.
SourceEncoding detect_source_encoding(std::string_view bytes);

/// The Unicode code point of a Windows-1252 byte. The five bytes the code page leaves
/// undefined (81, 8D, 8F, 90, 9D) keep their C1 control value, as the window shows them.
constexpr char32_t windows1252_code_point(unsigned char byte)
{
    constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t(byte);
}

}  // namespace tabulex
