#pragma once
#include <cstddef>
#include <string>

#include "ListingSettings.h"

namespace tabulex {

/// Report outputs of the batch command.
enum class TReportFormat : int { Pdf = 0, SavedReport = 1 };

/// Writes the program's report of one source (fed as the preview feeds it) to `outPath`, its
/// text in `font` ("FAMILY[,SIZE]"; empty: the report's own font).
/// The report engine needs Qt's GUI libraries, so it lives in a module that is loaded only
/// here; the text commands never load it. Returns false with a message on failure.
bool render_report_file(TReportFormat format, const std::string& outPath, const std::string& sourcePath,
                        const std::string& bytes, const TListingSettings& settings, const std::string& font,
                        std::string& message);

}  // namespace tabulex

/// Entry point the report module exports (C linkage so it can be looked up by name).
/// Returns 0 on success; otherwise writes a message into `message` (at most `capacity` bytes).
extern "C" int tabulex_render_report(int format, const char* outPath, const char* sourcePath, const char* bytes,
                                     std::size_t size, const tabulex::TListingSettings* settings,
                                     const char* font, char* message, std::size_t capacity);
