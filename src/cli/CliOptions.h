#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/SourceCollection.h"
#include "project/ProjectIndex.h"

namespace tabulex {

/// What the batch command was asked to do.
struct TCliOptions {
    std::string settingsPath;  ///< --settings FILE.ini (empty: defaults)
    std::string outputPath;    ///< --output FILE (empty: standard output)
    std::string outDir;        ///< --out-dir DIR
    std::string pdfPath;       ///< --pdf OUT.pdf
    std::string reportPath;    ///< --report OUT.rpf
    std::string htmlDir;       ///< --html OUT_DIR
    TSourceExtensions extensions = default_source_extensions();  ///< --ext LIST, for folders
    unsigned jobs = 0;        ///< --jobs N (0: one per processor)
    std::string font;         ///< --font "FAMILY[,SIZE]" of the report text (empty: as is)
    std::string indexPath;    ///< --index OUT.json
    std::string tagsPath;     ///< --tags OUT
    bool check = false;       ///< --check
    TProjectOptions project;  ///< --unit-path, --include-path, --define, --compiler
    std::vector<std::string> sources;

    /// Whether the sources are indexed as one project (--index, --tags or --check).
    bool projectRun() const { return check || !indexPath.empty() || !tagsPath.empty(); }
    bool help = false;
    bool version = false;
};

/// Parses the arguments (without the program name). Returns no value and sets `error` when
/// they cannot be used together.
std::optional<TCliOptions> parse_cli_options(const std::vector<std::string>& args,
                                             std::string& error);

/// The usage text.
const char* cli_usage();

}  // namespace tabulex
