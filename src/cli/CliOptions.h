#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    std::string pdfDir;        ///< --pdf-dir DIR: one PDF per source, units linked
    std::string theme;         ///< --theme cores|cinza|nenhum (empty: the settings file's)
    std::string lines;         ///< --lines A-B: that part of the listing only
    std::string routine;       ///< --routine NAME: that routine's lines only
    bool withLists = false;    ///< --lists: the lists follow a part of the listing
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

/// "A-B" as the first and last line (1-based, A not after B); no value otherwise.
std::optional<std::pair<long long, long long>> parse_line_range(std::string_view text);

/// The usage text.
const char* cli_usage();

}  // namespace tabulex
