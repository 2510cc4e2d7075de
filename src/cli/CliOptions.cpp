#include "cli/CliOptions.h"

#include "config/ListingSettingsFile.h"

namespace tabulex {

const char* cli_usage()
{
    return "usage: tabulex-cli [--settings FILE.ini] [--output FILE | --out-dir DIR] [--ext LIST]\n"
           "                   [--jobs N] SOURCE|FOLDER...\n"
           "       tabulex-cli [--settings FILE.ini] [REPORT OPTIONS] --pdf OUT.pdf SOURCE\n"
           "       tabulex-cli [--settings FILE.ini] [REPORT OPTIONS] --report OUT.rpf SOURCE\n"
           "       tabulex-cli [--settings FILE.ini] [--font FAMILY[,SIZE]] [--theme THEME]\n"
           "                   [--ext LIST] --pdf-dir DIR SOURCE|FOLDER...\n"
           "       tabulex-cli [--settings FILE.ini] [--ext LIST] [--unit-path ...] "
           "[--include-path ...]\n"
           "                   [--define A,B] [--compiler fpc|delphi] --html OUT_DIR "
           "SOURCE|FOLDER...\n"
           "       tabulex-cli [--index OUT.json] [--tags OUT] [--check] [--unit-path DIR[:DIR]]\n"
           "                   [--include-path DIR[:DIR]] [--define A,B] [--compiler fpc|delphi]\n"
           "                   PROGRAM|FOLDER|SOURCE...\n"
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
           "  --pdf OUT.pdf        write the two-column report of SOURCE as a PDF document, with\n"
           "                       an outline of its sections and routines and links from end\n"
           "                       references and line numbers to their lines\n"
           "  --report OUT.rpf     write the report of SOURCE as a saved report file\n"
           "  --pdf-dir DIR        write the report of each source as a PDF into DIR, named as\n"
           "                       --out-dir names them (.pdf for .txt); a unit of a uses list\n"
           "                       links to the PDF of the source of that name in the run\n"
           "  --html OUT_DIR       write a browsable HTML edition of the sources, read as one\n"
           "                       program, into OUT_DIR (created when missing): an index with\n"
           "                       a search and the units' dependencies, one page per source\n"
           "                       and include file mirroring their folders, names linked to\n"
           "                       their declarations and references\n"
           "\n"
           "Report options:\n"
           "  --font FAMILY[,SIZE] the report's text font, e.g. \"Liberation Mono,7\" so that\n"
           "                       code columns line up (default: the settings file's, else Arial "
           "7)\n"
           "  --theme THEME        cores (the listing in colour), cinza (bold reserved words,\n"
           "                       italic comments, grey prefixes) or nenhum (plain; default:\n"
           "                       the settings file's, else nenhum)\n"
           "  --lines A-B          print listing lines A to B only\n"
           "  --routine NAME       print the lines of routine NAME only (TFoo.Bar, or Bar\n"
           "                       when only one routine has that name)\n"
           "  --lists              with --lines or --routine: the lists follow\n"
           "\n"
           "Whole programs (the sources are one project: a .dpr/.lpr program with its units,\n"
           "a folder, or a list of units; used units are also looked for on the unit path):\n"
           "  --index OUT.json     write the project index: units, uses, includes, every\n"
           "                       declaration with its references, unit cycles\n"
           "  --tags OUT           write a tags file (extended ctags format) of the declarations\n"
           "  --check              print unused locals, parameters and units and unit cycles\n"
           "                       as the compiler words them (exit status 0 with notes)\n"
           "  --unit-path DIR[:DIR]     where used units are looked for (repeatable)\n"
           "  --include-path DIR[:DIR]  where {$I} files are looked for after the including\n"
           "                            file's folder (repeatable)\n"
           "  --define A,B         symbols defined for {$IFDEF} (repeatable)\n"
           "  --compiler fpc|delphi  whose predefined symbols apply (default fpc):\n"
           "                       fpc: FPC VER3 VER3_2 VER3_2_2 UNIX LINUX CPUX86_64 CPU64 ...,\n"
           "                       FPC_FULLVERSION=30202; delphi: DCC VER350 MSWINDOWS WIN32\n"
           "                       CPUX86 UNICODE ..., CompilerVersion=35 (README lists all)\n"
           "\n"
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
    if (name == "--index")
        return &options.indexPath;
    if (name == "--tags")
        return &options.tagsPath;
    if (name == "--pdf-dir")
        return &options.pdfDir;
    if (name == "--theme")
        return &options.theme;
    if (name == "--lines")
        return &options.lines;
    if (name == "--routine")
        return &options.routine;
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

// Appends the parts of a list separated by `separator` (empty parts are dropped).
void appendList(const std::string& value, char separator, std::vector<std::string>& list)
{
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(separator, start);
        if (end == std::string::npos)
            end = value.size();
        if (end > start)
            list.push_back(value.substr(start, end - start));
        start = end + 1;
    }
}

// The project options that take a value; false when `name` is none of them.
bool readProjectOption(const std::string& name, const std::string& value, TCliOptions& options,
                       std::string& error)
{
    if (name == "--unit-path")
        appendList(value, ':', options.project.unit_paths);
    else if (name == "--include-path")
        appendList(value, ':', options.project.include_paths);
    else if (name == "--define")
        appendList(value, ',', options.project.defines);
    else if (name == "--compiler" && (value == "fpc" || value == "delphi"))
        options.project.compiler = value == "fpc" ? TCompiler::Fpc : TCompiler::Delphi;
    else if (name == "--compiler")
        error = "--compiler needs fpc or delphi";
    else
        return false;
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
    const bool projectSettings = !o.project.unit_paths.empty() ||
                                 !o.project.include_paths.empty() || !o.project.defines.empty() ||
                                 o.project.compiler != TCompiler::Fpc;
    if (o.projectRun() && (!o.outputPath.empty() || !o.outDir.empty() || !o.pdfPath.empty() ||
                           !o.reportPath.empty() || !o.htmlDir.empty()))
        return "--index, --tags and --check cannot be used with --output, --out-dir, --pdf, "
               "--report or --html";
    if (projectSettings && !o.projectRun() && o.htmlDir.empty())
        return "--unit-path, --include-path, --define and --compiler apply only to --index, "
               "--tags, --check and --html";
    if (o.projectRun())
        return {};
    if (!o.outputPath.empty() && !o.outDir.empty())
        return "--output and --out-dir cannot be used together";
    const bool text = !o.outputPath.empty() || !o.outDir.empty();
    if (!o.htmlDir.empty() &&
        (text || !o.pdfPath.empty() || !o.reportPath.empty() || !o.pdfDir.empty()))
        return "--html cannot be used with --output, --out-dir, --pdf, --pdf-dir or --report";
    if (!o.htmlDir.empty())
        return {};
    const bool single = !o.pdfPath.empty() || !o.reportPath.empty();
    const bool report = single || !o.pdfDir.empty();
    if (!o.pdfDir.empty() && (single || text))
        return "--pdf-dir cannot be used with --output, --out-dir, --pdf or --report";
    if (single && (o.sources.size() != 1 || text))
        return "--pdf and --report take exactly one SOURCE and no --output or --out-dir";
    if ((!o.font.empty() || !o.theme.empty()) && !report)
        return "--font and --theme apply only to --pdf, --pdf-dir and --report";
    if (!o.font.empty() && !parse_report_font(o.font))
        return "--font needs FAMILY or FAMILY,SIZE";
    if (!o.theme.empty() && !parse_report_theme(o.theme))
        return "--theme needs cores, cinza or nenhum";
    const bool part = !o.lines.empty() || !o.routine.empty();
    if ((part || o.withLists) && !single)
        return "--lines, --routine and --lists apply only to --pdf and --report";
    if (!o.lines.empty() && !o.routine.empty())
        return "--lines and --routine cannot be used together";
    if (!o.lines.empty() && !parse_line_range(o.lines))
        return "--lines needs A-B, two line numbers from 1 on with A not after B";
    if (o.withLists && !part)
        return "--lists needs --lines or --routine";
    if (o.sources.size() > 1 && o.outDir.empty() && o.pdfDir.empty())
        return "several sources need --out-dir";
    return {};
}
}  // namespace

std::optional<std::pair<long long, long long>> parse_line_range(std::string_view text)
{
    const auto number = [](std::string_view digits) -> std::optional<long long> {
        if (digits.empty() || digits.size() > 9)
            return std::nullopt;
        long long value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value >= 1 ? std::optional<long long>(value) : std::nullopt;
    };
    const auto dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const auto first = number(text.substr(0, dash));
    const auto last = number(text.substr(dash + 1));
    if (!first || !last || *first > *last)
        return std::nullopt;
    return std::pair{*first, *last};
}

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
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--unit-path" || arg == "--include-path" || arg == "--define" ||
                   arg == "--compiler") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            readProjectOption(arg, args[++i], options, error);
            if (!error.empty())
                return std::nullopt;
        } else if (arg == "--lists") {
            options.withLists = true;
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
