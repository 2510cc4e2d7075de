#pragma once
#include <string>
#include <string_view>

#include "ListingSettings.h"
#include "StringList.h"

namespace tabulex {

/// The four lists in section order: listing, cross reference, routines, uses.
struct TListingSections {
    const StringList& listing;
    const StringList& xref;
    const StringList& procs;
    const StringList& uses;
};

/// The bytes of the text export: the sections the switches select, each item followed by
/// CR LF, tabs turned into blanks in the cross-reference section only.
std::string export_listing(const TListingSections& sections, const TListingSettings& settings);

/// The file name proposed for the export of `path`: its file name (no folder) with the
/// extension replaced by ".txt", or ".txt" appended when it has none.
std::string proposed_export_name(std::string_view path);

/// Creates or replaces the file at `path` and writes `bytes`. Returns false on any failure,
/// leaving in place whatever had been written.
bool write_export_file(const std::string& path, std::string_view bytes);

}  // namespace tabulex
