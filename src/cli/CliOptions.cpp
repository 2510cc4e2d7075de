#include "CliOptions.h"

#include "ListingSettingsFile.h"

namespace tabulex {

const char* cli_usage()
{
    return "usage: tabulex-cli [--settings FILE.ini] [--output FILE | --out-dir DIR] SOURCE...\n"
           "       tabulex-cli [--settings FILE.ini] [--font FAMILY[,SIZE]] --pdf OUT.pdf SOURCE\n"
           "       tabulex-cli [--settings FILE.ini] [--font FAMILY[,SIZE]] --report OUT.rpf SOURCE\n"
           "\n"
           "Writes the numbered listing, cross reference, routine list and uses list of each\n"
           "Object Pascal SOURCE, as the desktop program's \"Gravar\" command saves them.\n"
           "\n"
           "  --settings FILE.ini  read the listing settings from FILE.ini (defaults otherwise)\n"
           "  --output FILE        write the text to FILE instead of standard output\n"
           "  --out-dir DIR        write one NAME.txt per source into DIR (needed for several)\n"
           "  --pdf OUT.pdf        write the two-column report of SOURCE as a PDF document\n"
           "  --report OUT.rpf     write the report of SOURCE as a saved report file\n"
           "  --font FAMILY[,SIZE] the report's text font, e.g. \"Liberation Mono,7\" so that\n"
           "                       code columns line up (default: the settings file's, else Arial 7)\n"
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
    if (name == "--font")
        return &options.font;
    return nullptr;
}

std::string checkCombination(const TCliOptions& o)
{
    if (o.help || o.version)
        return {};
    if (o.sources.empty())
        return "no SOURCE given";
    if (!o.outputPath.empty() && !o.outDir.empty())
        return "--output and --out-dir cannot be used together";
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

std::optional<TCliOptions> parse_cli_options(const std::vector<std::string>& args, std::string& error)
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
