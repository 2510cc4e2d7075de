#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "analysis/ListingSettings.h"
#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// The text export of a source's `bytes` (the byte after them must be a NUL, as after a
/// std::string's): the sections the switches select, each line followed by CR LF, tabs turned
/// into blanks in the cross-reference section only, handed to `write` piece by piece.
/// `threads` Two lets a large source be worked on by a second thread too.
void stream_export(std::string_view bytes, const TListingSettings& settings,
                   const std::function<void(std::string_view bytes)>& write,
                   TAnalysisThreads threads = TAnalysisThreads::One);

/// The file name proposed for the export of `path`: its file name (no folder) with the
/// extension replaced by ".txt", or ".txt" appended when it has none.
std::string proposed_export_name(std::string_view path);

/// Creates or replaces the file at `path` and writes `bytes`. Returns false on any failure,
/// leaving in place whatever had been written.
bool write_export_file(const std::string& path, std::string_view bytes);

}  // namespace tabulex
