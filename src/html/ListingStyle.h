#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/ListingSettings.h"
#include "analysis/StringList.h"

namespace tabulex {

/// What a stretch of a listing line is, for colouring and linking.
enum class TRunClass : std::uint8_t {
    LineNumber,  ///< the number column (without its blank)
    Prefix,      ///< the level prefix in front of the source text
    Keyword,     ///< a reserved or directive word
    Identifier,  ///< a name (plain text, but the HTML pages may link it)
    Comment,
    String,        ///< quoted strings and #nn character codes
    Number,        ///< decimal, real and $hex numbers
    Directive,     ///< compiler directives {$...} and (*$...*)
    EndReference,  ///< the block-end reference at the end of a closing line
};

/// One classed stretch of a listing line. Bytes of the line that no run covers are plain.
struct TStyledRun {
    std::uint32_t start = 0;   ///< byte offset in the listing line
    std::uint32_t length = 0;  ///< bytes
    TRunClass kind = TRunClass::Keyword;
    long long line = 0;  ///< LineNumber: the line's own number; EndReference: the line it names
};

/// Classes the stretches of every listing line built from `bytes` with `settings`. `line` is
/// called once per listing line, in order, with the line's index and its runs in order and
/// without overlap. A listing line that does not hold its source line (the file changed since
/// the listing was built) gets no runs. Runs never split a UTF-8 sequence.
void style_listing(
    const std::string& bytes, const StringList& listing, const TListingSettings& settings,
    const std::function<void(std::size_t index, std::span<const TStyledRun> runs)>& line);

}  // namespace tabulex
