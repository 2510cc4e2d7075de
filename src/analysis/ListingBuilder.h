#pragma once
#include <string>

#include "ListingSettings.h"
#include "StringList.h"

namespace tabulex {

/// Decimal text of `number`, padded on the left with "0" until it is `width` characters long;
/// a longer text is returned unchanged.
std::string preenche_zeros(long long number, int width);

/// Builds the numbered, level-marked listing of a source file: one composed line per source
/// line. `bytes` is the whole file; the NUL that std::string keeps after its last byte is the
/// lexer's terminator, and a NUL inside the file ends the listing there.
StringList build_listing(const std::string& bytes, const TListingSettings& settings);

}  // namespace tabulex
