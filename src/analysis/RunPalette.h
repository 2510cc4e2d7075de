#pragma once
#include <cstdint>
#include <optional>

#include "analysis/StyledRun.h"

namespace tabulex {

/// The colour (0xRRGGBB) of a class of the listing on a light or a dark background: the palette
/// of the window's coloured listing and of the report's theme "Cores", the same values as the
/// HTML pages' style sheet writes out. Names have none (they keep the text colour).
constexpr std::optional<std::uint32_t> run_colour(TRunClass kind, bool dark)
{
    switch (kind) {
    case TRunClass::LineNumber:
        return dark ? 0x6e7681 : 0x8c959f;
    case TRunClass::Prefix:
    case TRunClass::EndReference:
        return dark ? 0xe3a04f : 0xb35900;
    case TRunClass::Keyword:
        return dark ? 0x82aaff : 0x0b3fa8;
    case TRunClass::Comment:
        return dark ? 0x8b949e : 0x5f6b76;
    case TRunClass::String:
        return dark ? 0xf49a87 : 0xa31515;
    case TRunClass::Number:
        return dark ? 0x7fd6b0 : 0x07796b;
    case TRunClass::Directive:
        return dark ? 0xd2a8ff : 0x7d3fb5;
    case TRunClass::Identifier:
        break;
    }
    return std::nullopt;
}

/// The colour of a link in the lists (line numbers, unit names).
constexpr std::uint32_t link_colour(bool dark)
{
    return dark ? 0x8ab4f8 : 0x0b57d0;
}

}  // namespace tabulex
