#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "analysis/ListingSettings.h"
#include "analysis/StringList.h"

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

/// The text export of the source file `bytes` (the byte after them must be a NUL, as after a
/// std::string's) made in one reading of the text and handed to
/// `write` piece by piece as it is made: the same bytes as export_listing over the file's
/// lists, but only the cross reference and the two other lists are held until the end.
void stream_export(std::string_view bytes, const TListingSettings& settings,
                   const std::function<void(std::string_view bytes)>& write);

/// The file name proposed for the export of `path`: its file name (no folder) with the
/// extension replaced by ".txt", or ".txt" appended when it has none.
std::string proposed_export_name(std::string_view path);

/// Creates or replaces the file at `path` and writes `bytes`. Returns false on any failure,
/// leaving in place whatever had been written.
bool write_export_file(const std::string& path, std::string_view bytes);

}  // namespace tabulex
