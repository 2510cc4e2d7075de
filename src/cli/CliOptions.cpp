#include "cli/CliOptions.h"

#include "config/ListingSettingsFile.h"

namespace tabulex {

const char* cli_usage()
{
    return "usage: tabulex-cli [--settings FILE.ini] [--output FILE | --out-dir DIR] [--ext LIST]\n"
           "                   [--jobs N] SOURCE|FOLDER...\n"
           "       tabulex-cli [--settings FILE.ini] [--font FAMILY[,SIZE]] --pdf OUT.pdf SOURCE\n"
           "       tabulex-cli [--settings FILE.ini] [--font FAMILY[,SIZE]] --report OUT.rpf "
           "SOURCE\n"
           "       tabulex-cli [--settings FILE.ini] [--ext LIST] --html OUT_DIR SOURCE|FOLDER...\n"
           "\n"
           "Writes the numbered listing, cross reference, routine list and uses list of each\n"
           "Object Pascal SOURCE, as the desktop program's \"Gravar\" command saves them.\n"
           "\n"
           "  --settings FILE.ini  read the listing settings from FILE.ini (defaults otherwise)\n"
           "  --output FILE        write the text to FILE instead of standard output\n"
           "  --out-dir DIR        write one output per source into DIR, created when missing\n"
           "                       (needed for several sources and for folders): a file SOURCE\n"
           "                       gives DIR/NAME.txt (its extension replaced), a source found\n"
           "                       in FOLDER gives its path below FOLDER with .txt appended\n"
           "                       (FOLDER/sub/Unit1.dfm gives DIR/sub/Unit1.dfm.txt); a name\n"
           "                       given out before in the run gets ~2, ~3, ... before .txt\n"
           "  --ext LIST           the extensions taken from folders, e.g. pas,inc (any case;\n"
           "                       default pas,pp,p,dpr,lpr,dfm,lfm); folders are walked\n"
           "                       recursively in byte order of the paths\n"
           "  --jobs N             list N sources at a time (default: one per processor)\n"
           "  --pdf OUT.pdf        write the two-column report of SOURCE as a PDF document\n"
           "  --report OUT.rpf     write the report of SOURCE as a saved report file\n"
           "  --html OUT_DIR       write a browsable HTML listing of the sources into OUT_DIR,\n"
           "                       created when missing: index.html, one page per source,\n"
           "                       tabulex.css and tabulex.js\n"
           "  --font FAMILY[,SIZE] the report's text font, e.g. \"Liberation Mono,7\" so that\n"
           "                       code columns line up (default: the settings file's, else Arial "
           "7)\n"
           "  --help               show this text\n"
           "  --version            show the version\n";
}

namespace {
// Options that take a value, and where the value goes.
std::string* valueSlot(TCliOptions& options, const std::string& name)
{
    if (name == "--settings")
        return &options.settingsPath;
    if (name == "--output" || name == "-o")
        return &options.outputPath;
    if (name == "--out-dir")
        return &options.outDir;
    if (name == "--pdf")
        return &options.pdfPath;
    if (name == "--report")
        return &options.reportPath;
    if (name == "--html")
        return &options.htmlDir;
    if (name == "--font")
        return &options.font;
    return nullptr;
}

bool readExtensions(const std::string& value, TCliOptions& options, std::string& error)
{
    auto extensions = parse_source_extensions(value, error);
    if (!extensions)
        return false;
    options.extensions = std::move(*extensions);
    return true;
}

bool readJobs(const std::string& value, TCliOptions& options, std::string& error)
{
    unsigned jobs = 0;
    for (char c : value) {
        if (c < '0' || c > '9' || jobs > 9999) {
            jobs = 0;
            break;
        }
        jobs = jobs * 10 + static_cast<unsigned>(c - '0');
    }
    if (jobs == 0 || jobs > 1024) {
        error = "--jobs needs a number from 1 to 1024";
        return false;
    }
    options.jobs = jobs;
    return true;
}

std::string checkCombination(const TCliOptions& o)
{
    if (o.help || o.version)
        return {};
    if (o.sources.empty())
        return "no SOURCE given";
    if (!o.outputPath.empty() && !o.outDir.empty())
        return "--output and --out-dir cannot be used together";
    if (!o.htmlDir.empty() &&
        (!o.outputPath.empty() || !o.outDir.empty() || !o.pdfPath.empty() || !o.reportPath.empty()))
        return "--html cannot be used with --output, --out-dir, --pdf or --report";
    if (!o.htmlDir.empty())
        return {};
    const bool report = !o.pdfPath.empty() || !o.reportPath.empty();
    if (report && (o.sources.size() != 1 || !o.outputPath.empty() || !o.outDir.empty()))
        return "--pdf and --report take exactly one SOURCE and no --output or --out-dir";
    if (!o.font.empty() && !report)
        return "--font applies only to --pdf and --report";
    if (!o.font.empty() && !parse_report_font(o.font))
        return "--font needs FAMILY or FAMILY,SIZE";
    if (o.sources.size() > 1 && o.outDir.empty())
        return "several sources need --out-dir";
    return {};
}
}  // namespace

std::optional<TCliOptions> parse_cli_options(const std::vector<std::string>& args,
                                             std::string& error)
{
    TCliOptions options;
    bool onlySources = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlySources || arg.empty() || arg[0] != '-' || arg == "-") {
            options.sources.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlySources = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--ext" || arg == "--jobs") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            if (!(arg == "--ext" ? readExtensions(args[++i], options, error)
                                 : readJobs(args[++i], options, error)))
                return std::nullopt;
        } else if (std::string* slot = valueSlot(options, arg)) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            *slot = args[++i];
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    error = checkCombination(options);
    if (!error.empty())
        return std::nullopt;
    return options;
}

}  // namespace tabulex
