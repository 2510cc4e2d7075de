#include "analysis/DeclarationScanner.h"

#include <memory>

#include "analysis/ListingWriter.h"

namespace tabulex {

TDeclarationLists scan_declarations(const std::string& bytes)
{
    const TListingWriter writer(
        std::make_shared<const TSourceAnalysis>(TSourceAnalysis::TBorrowed{bytes}, false), {});
    TDeclarationLists lists;
    const auto collect = [&](TSection section, StringList& into) {
        writer.write(section, [&](std::string_view line) { into.emplace_back(line); });
    };
    collect(TSection::Xref, lists.xref);
    collect(TSection::Procs, lists.routines);
    collect(TSection::Uses, lists.uses);
    return lists;
}

}  // namespace tabulex
