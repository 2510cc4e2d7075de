#include "CliRunner.h"

#include <filesystem>
#include <map>

#include "CliOptions.h"
#include "DeclarationScanner.h"
#include "FileBytes.h"
#include "ListingBuilder.h"
#include "ListingExport.h"
#include "ListingSettingsFile.h"
#include "OutputNames.h"
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
                            pdf ? options.pdfPath : options.reportPath, source, bytes, settings, message)) {
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
    const std::vector<TSourceFile> sources =
        collect_sources(options->sources, options->extensions, [&](const std::string& message) {
            std::fprintf(err, "%s\n", message.c_str());
            status = CliSourceFailed;
        });
    if (options->outDir.empty() && (sources.size() > 1 || (!sources.empty() && sources.front().fromFolder()))) {
        std::fprintf(err, "tabulex-cli: several sources and folders need --out-dir\n\n%s", cli_usage());
        return CliUsage;
    }
    std::vector<std::string> sourcePaths;
    for (const TSourceFile& source : sources)
        sourcePaths.push_back(source.path);
    TOutputNames names(options->outDir, ".txt");
    for (const TSourceFile& source : sources) {
        std::string text;
        try {
            text = exportOf(read_file_bytes(source.path), settings);
        } catch (const EFOpenError& failure) {
            std::fprintf(err, "%s\n", failure.what());
            status = CliSourceFailed;
            continue;
        }
        std::string target = options->outputPath;
        if (!options->outDir.empty()) {
            target = names.next(source);
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ec);
        }
        if (!target.empty() && isASource(target, sourcePaths)) {
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
