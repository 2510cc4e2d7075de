#include "analysis/ListingBuilder.h"

#include <memory>

#include "analysis/DecimalText.h"
#include "analysis/ListingWriter.h"

namespace tabulex {

std::string preenche_zeros(long long number, int width)
{
    std::string text;
    append_zero_padded(text, number, width);
    return text;
}

StringList build_listing(const std::string& bytes, const TListingSettings& settings)
{
    const TListingWriter writer(
        std::make_shared<const TSourceAnalysis>(TSourceAnalysis::TBorrowed{bytes}, false),
        settings);
    StringList listing;
    listing.reserve(writer.size(TSection::Listing));
    writer.write(TSection::Listing, [&](std::string_view line) { listing.emplace_back(line); });
    return listing;
}

}  // namespace tabulex
