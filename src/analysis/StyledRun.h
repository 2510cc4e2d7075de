#pragma once
#include <cstdint>

namespace tabulex {

/// What a stretch of text is, for colouring and linking.
enum class TRunClass : std::uint8_t {
    LineNumber,  ///< the number column of a listing line (without its blank)
    Prefix,      ///< the level prefix in front of the source text
    Keyword,     ///< a reserved or directive word
    Identifier,  ///< a name
    Comment,
    String,        ///< quoted strings and #nn character codes
    Number,        ///< decimal, real and $hex numbers
    Directive,     ///< compiler directives {$...} and (*$...*)
    EndReference,  ///< the block-end reference at the end of a closing line
};
inline constexpr int kRunClassCount = 9;

/// One classed stretch of a text line (offsets into the line).
struct TStyledRun {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    TRunClass kind = TRunClass::Keyword;
    long long line = 0;  ///< LineNumber: the line it shows; EndReference: the line it names
};

}  // namespace tabulex
