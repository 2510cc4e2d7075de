#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ListingSettings.h"
#include "html/HtmlSource.h"

namespace tabulex {

/// File names of the style sheet and the script every page uses.
inline constexpr std::string_view kStyleSheetName = "tabulex.css";
inline constexpr std::string_view kScriptName = "tabulex.js";
inline constexpr std::string_view kIndexName = "index.html";

/// The source of the run that `unit` names, as seen from the page being written (nullptr
/// when the run holds none).
using TUnitLookup = std::function<const THtmlSource*(std::string_view unit)>;

class TListingWriter;

/// Appends the page of `source`: its listing as `writer` writes it, then the cross reference,
/// routine list and uses list the switches of `sections` select. Sets the source's index
/// figures.
void append_source_page(std::string& out, THtmlSource& source, const TListingWriter& writer,
                        const TListingSettings& sections, const TUnitLookup& units);

/// Appends the index of the written pages, grouped by folder.
void append_index_page(std::string& out, const std::vector<const THtmlSource*>& sources);

/// The style sheet and the script, as written into the output folder.
std::string_view style_sheet();
std::string_view page_script();

}  // namespace tabulex
