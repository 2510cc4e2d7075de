#pragma once
#include <cstddef>
#include <string>

#include "analysis/ListingSettings.h"

namespace tabulex {

/// Version of the interface between tabulex-cli and its report module. Raise it whenever the
/// entry point or the TListingSettings layout changes, so that a module left over from an
/// older build is refused instead of being called with arguments it does not understand.
inline constexpr int kRenderInterfaceVersion = 3;

/// Report outputs of the batch command.
enum class TReportFormat : int { Pdf = 0, SavedReport = 1 };

/// Writes the program's report of one source (fed as the preview feeds it) to `outPath`, its
/// text in `font` ("FAMILY[,SIZE]"; empty: the report's own font).
/// The report engine needs Qt's GUI libraries, so it lives in a module that is loaded only
/// here; the text commands never load it. Returns false with a message on failure.
bool render_report_file(TReportFormat format, const std::string& outPath,
                        const std::string& sourcePath, const std::string& bytes,
                        const TListingSettings& settings, const std::string& font,
                        std::string& message);

/// As render_report_file, with the module at `modulePath`. A module without the version
/// entry point, or of another interface version, is refused with a message saying so.
bool render_report_with_module(const std::string& modulePath, TReportFormat format,
                               const std::string& outPath, const std::string& sourcePath,
                               const std::string& bytes, const TListingSettings& settings,
                               const std::string& font, std::string& message);

}  // namespace tabulex

/// The interface version the report module was built with (kRenderInterfaceVersion).
extern "C" int tabulex_render_interface_version();

/// Entry point the report module exports (C linkage so it can be looked up by name). `version`
/// is the caller's kRenderInterfaceVersion; another value is refused. `font` is the report's
/// text font as "FAMILY[,SIZE]" (empty: the report's own). Returns 0 on success; otherwise
/// writes a message into `message` (at most `capacity` bytes).
extern "C" int tabulex_render_report(int version, int format, const char* outPath,
                                     const char* sourcePath, const char* bytes, std::size_t size,
                                     const tabulex::TListingSettings* settings, const char* font,
                                     char* message, std::size_t capacity);
