#include "CliRunner.h"

#include <filesystem>
#include <map>

#include "CliOptions.h"
#include "DeclarationScanner.h"
#include "FileBytes.h"
#include "ListingBuilder.h"
#include "ListingExport.h"
#include "ListingSettingsFile.h"
#include "ReportModule.h"
#include "tabulex_version.h"

namespace tabulex {

namespace {

std::string exportOf(const std::string& bytes, const TListingSettings& settings)
{
    const StringList listing = build_listing(bytes, settings);
    const TDeclarationLists lists = scan_declarations(bytes);
    return export_listing({listing, lists.listbox3, lists.ListBox4, lists.ListBox5}, settings);
}

// Output names under --out-dir: the proposed export name, made unique when two sources share
// a file name, so that no output overwrites another one of the same run.
class OutputNames {
public:
    explicit OutputNames(std::filesystem::path dir) : m_dir(std::move(dir)) {}

    std::filesystem::path next(const std::string& source)
    {
        const std::filesystem::path proposed = proposed_export_name(source);
        int& uses = m_uses[proposed.string()];
        ++uses;
        if (uses == 1)
            return m_dir / proposed;
        return m_dir / (proposed.stem().string() + "~" + std::to_string(uses) + proposed.extension().string());
    }

private:
    std::filesystem::path m_dir;
    std::map<std::string, int> m_uses;
};

// Whether writing `target` would replace one of the run's sources (the one being listed, or
// one still to be read when an output name under --out-dir falls on it).
bool isASource(const std::string& target, const std::vector<std::string>& sources)
{
    std::error_code ec;
    for (const std::string& source : sources)
        if (std::filesystem::equivalent(target, source, ec))
            return true;
    return false;
}

bool writeAll(std::FILE* out, const std::string& bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0;
}

// The report font: --font, else the settings file's, else none (the report keeps its own).
std::string reportFont(const TCliOptions& options)
{
    if (!options.font.empty())
        return options.font;
    if (options.settingsPath.empty())
        return {};
    const auto font = read_report_font(options.settingsPath);
    return font ? format_report_font(*font) : std::string();
}

int runReport(const TCliOptions& options, const TListingSettings& settings, std::FILE* err)
{
    const std::string& source = options.sources.front();
    std::string bytes;
    try {
        bytes = read_file_bytes(source);
    } catch (const EFOpenError& error) {
        std::fprintf(err, "%s\n", error.what());
        return CliSourceFailed;
    }
    const bool pdf = !options.pdfPath.empty();
    std::string message;
    if (!render_report_file(pdf ? TReportFormat::Pdf : TReportFormat::SavedReport,
                            pdf ? options.pdfPath : options.reportPath, source, bytes, settings,
                            reportFont(options), message)) {
        std::fprintf(err, "%s\n", message.c_str());
        return CliSourceFailed;
    }
    return CliOk;
}

}  // namespace

int run_cli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err)
{
    std::string error;
    const auto options = parse_cli_options(args, error);
    if (!options) {
        std::fprintf(err, "tabulex-cli: %s\n\n%s", error.c_str(), cli_usage());
        return CliUsage;
    }
    if (options->help) {
        std::fputs(cli_usage(), out);
        return CliOk;
    }
    if (options->version) {
        std::fprintf(out, "tabulex-cli %s\n", TABULEX_VERSION);
        return CliOk;
    }

    TListingSettings settings;
    if (!options->settingsPath.empty())
        read_listing_settings(options->settingsPath, settings);
    if (!options->pdfPath.empty() || !options->reportPath.empty())
        return runReport(*options, settings, err);

    int status = CliOk;
    OutputNames names(options->outDir);
    for (const std::string& source : options->sources) {
        std::string text;
        try {
            text = exportOf(read_file_bytes(source), settings);
        } catch (const EFOpenError& failure) {
            std::fprintf(err, "%s\n", failure.what());
            status = CliSourceFailed;
            continue;
        }
        std::string target = options->outputPath;
        if (!options->outDir.empty())
            target = names.next(source).string();
        if (!target.empty() && isASource(target, options->sources)) {
            std::fprintf(err, "Cannot create file %s: it is a source of this run\n", target.c_str());
            status = CliSourceFailed;
            continue;
        }
        const bool written = target.empty() ? writeAll(out, text) : write_export_file(target, text);
        if (!written) {
            std::fprintf(err, "Cannot create file %s\n", target.empty() ? "(standard output)" : target.c_str());
            status = CliSourceFailed;
        }
    }
    return status;
}

}  // namespace tabulex
