#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "analysis/ListingSettings.h"
#include "cli/PdfRun.h"
#include "config/ListingSettingsFile.h"

namespace tabulex {

/// Version of the interface between tabulex-cli and its report module. Raise it whenever the
/// entry point, TRenderJob or the TListingSettings layout changes, so that a module left over
/// from an older build is refused instead of being called with arguments it does not
/// understand.
inline constexpr int kRenderInterfaceVersion = 4;

/// Report outputs of the batch command.
enum class TReportFormat : int { Pdf = 0, SavedReport = 1 };

/// One report the module writes: the program's report of one source, fed as the preview feeds
/// it.
struct TRenderJob {
    TReportFormat format = TReportFormat::Pdf;
    std::string outPath;
    std::string sourcePath;
    std::string bytes;  ///< the source's bytes
    TListingSettings settings;
    std::string font;  ///< "FAMILY[,SIZE]"; empty: the report's own font
    TReportTheme theme = TReportTheme::Nenhum;
    std::string lines;    ///< "A-B": that part of the listing only
    std::string routine;  ///< a routine's name: its lines only
    bool withLists = false;
    /// The sources and PDFs of a run of several PDFs, for the links of the uses list.
    std::vector<TRunPdf> run;
};

/// Writes `job`. The report engine needs Qt's GUI libraries, so it lives in a module that is
/// loaded only here; the text commands never load it. Returns false with a message on failure.
bool render_report_file(const TRenderJob& job, std::string& message);

/// As render_report_file, with the module at `modulePath`. A module without the version
/// entry point, or of another interface version, is refused with a message saying so.
bool render_report_with_module(const std::string& modulePath, const TRenderJob& job,
                               std::string& message);

}  // namespace tabulex

/// The interface version the report module was built with (kRenderInterfaceVersion).
extern "C" int tabulex_render_interface_version();

/// Entry point the report module exports (C linkage so it can be looked up by name). `version`
/// is the caller's kRenderInterfaceVersion; another value is refused without reading `job`.
/// Returns 0 on success; otherwise writes a message into `message` (at most `capacity` bytes).
extern "C" int tabulex_render_report(int version, const tabulex::TRenderJob* job, char* message,
                                     std::size_t capacity);
