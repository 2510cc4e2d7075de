#pragma once
#include <string>

#include "analysis/ListingSettings.h"
#include "analysis/SourceAnalysis.h"
#include "analysis/StringList.h"

namespace tabulex {

/// Decimal text of `number`, padded on the left with "0" until it is `width` characters long;
/// a longer text is returned unchanged.
std::string preenche_zeros(long long number, int width);

/// Appends the prefix of a listing line to `prefix` (never empty): its nesting shown in the
/// style and with the markers of `settings`.
void monta_prelinha(const TListingLine& line, const TListingSettings& settings,
                    std::string& prefix);

/// The numbered, level-marked listing of a source's bytes, one composed line per source line
/// (a NUL inside the bytes ends the listing there). For callers that want the lines as strings;
/// the program's views read them from a TListingWriter.
StringList build_listing(const std::string& bytes, const TListingSettings& settings);

}  // namespace tabulex
