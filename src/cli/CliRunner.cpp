#include "cli/CliRunner.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "analysis/DeclarationScanner.h"
#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingExport.h"
#include "cli/CliOptions.h"
#include "cli/HtmlRun.h"
#include "cli/OutputNames.h"
#include "cli/ProjectRun.h"
#include "cli/ReportModule.h"
#include "cli/SourceText.h"
#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"
#include "files/OutputFile.h"
#include "tabulex_version.h"

namespace tabulex {

std::string nul_byte_message(const std::string& path, std::string_view bytes)
{
    const auto at = find_nul_byte(bytes);
    if (!at)
        return {};
    return path + ": NUL byte at offset " + std::to_string(*at) + " ends the listing";
}

namespace {

// What became of one source: its message (empty when all went well) and whether it failed.
struct TSourceResult {
    std::string message;
    bool failed = false;
};

// The text part of one run: the sources, where each one's output goes, and the checks that keep
// every output off every source.
class TTextRun {
public:
    /// `threads` Two lets each source use a second thread, for a run that leaves a
    /// processor idle.
    TTextRun(const TCliOptions& options, const TListingSettings& settings,
             std::vector<TSourceFile> sources, std::FILE* out, TAnalysisThreads threads)
        : options_(options),
          settings_(settings),
          sources_(std::move(sources)),
          out_(out),
          threads_(threads)
    {
        for (const TSourceFile& source : sources_)
            ids_.add(source.path);
        ids_.keepNamed(named_as_source);
        // Names are given out in source order before any work starts, so they do not depend
        // on which source is done first.
        TOutputNames names("", ".txt");
        for (const TSourceFile& source : sources_)
            targets_.push_back(options_.outDir.empty() ? options_.outputPath : names.next(source));
    }

    std::size_t size() const { return sources_.size(); }

    // Lists one source; whatever goes wrong is that source's message, never the end of the run.
    TSourceResult process(std::size_t index)
    {
        try {
            return processOrThrow(index);
        } catch (const std::exception& failure) {
            return {"Cannot list " + sources_[index].path + ": " + failure.what(), true};
        }
    }

private:
    TSourceResult processOrThrow(std::size_t index)
    {
        std::optional<TSourceText> text;
        try {
            text.emplace(sources_[index].path);
        } catch (const EFOpenError& failure) {
            return {failure.what(), true};
        }
        // A NUL byte ends the listing early: the output is still written, and the source is
        // reported.
        const std::string_view bytes = text->bytes();
        TSourceResult written = write(index, bytes);
        const std::string nul = nul_byte_message(sources_[index].path, bytes);
        if (nul.empty())
            return written;
        return {written.message.empty() ? nul : nul + "\n" + written.message, true};
    }

    TSourceResult write(std::size_t index, std::string_view bytes)
    {
        const std::string& target = targets_[index];
        if (target.empty())
            return toStandardOutput(bytes);
        // The source as it is now: a file put in its place since the start counts too.
        ids_.add(sources_[index].path);
        TOutputFile file;
        const bool opened = options_.outDir.empty() ? file.open(target, &ids_)
                                                    : file.openIn(options_.outDir, target, &ids_);
        if (!opened)
            return {file.message(), true};
        stream_export(
            bytes, settings_, [&](std::string_view piece) { file.write(piece); }, threads_);
        if (!file.close())
            return {file.message(), true};
        return {};
    }

    TSourceResult toStandardOutput(std::string_view bytes)
    {
        if (ids_.holds(::fileno(out_)))
            return {"Cannot write to standard output: it is a source of this run", true};
        bool written = true;
        int error = 0;
        stream_export(
            bytes, settings_,
            [&](std::string_view piece) {
                if (written && std::fwrite(piece.data(), 1, piece.size(), out_) != piece.size()) {
                    written = false;
                    error = errno;
                }
            },
            threads_);
        if (written && std::fflush(out_) != 0) {
            written = false;
            error = errno;
        }
        if (!written)
            return {"Cannot create file (standard output): " +
                        std::generic_category().message(error != 0 ? error : EIO),
                    true};
        return {};
    }

    const TCliOptions& options_;
    const TListingSettings& settings_;
    std::vector<TSourceFile> sources_;
    std::FILE* out_;
    TAnalysisThreads threads_;
    TSourceIds ids_;
    std::vector<std::string> targets_;  // below --out-dir: relative to it
};

// Runs `run` on `jobs` threads. Results are reported through `report` in source order, each as
// soon as it and all before it are done, so messages read as with one job.
void runInParallel(TTextRun& run, unsigned jobs,
                   const std::function<void(const TSourceResult&)>& report)
{
    const std::size_t count = run.size();
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            report(run.process(i));
        return;
    }
    std::vector<std::optional<TSourceResult>> results(count);
    std::mutex mutex;
    std::condition_variable done;
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            TSourceResult result = run.process(i);
            std::lock_guard lock(mutex);
            results[i] = std::move(result);
            done.notify_one();
        }
    };
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < std::min<std::size_t>(jobs, count); ++t)
        threads.emplace_back(worker);
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return results[i].has_value(); });
        const TSourceResult result = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        report(result);
    }
}

// Tasks ready to run at this moment, this one among them: the "running/total" field of
// /proc/loadavg. No value where the system does not tell.
std::optional<unsigned> tasks_running_now()
{
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (file == nullptr)
        return std::nullopt;
    unsigned running = 0;
    const int read = std::fscanf(file, "%*s %*s %*s %u/", &running);
    std::fclose(file);
    if (read != 1 || running == 0)
        return std::nullopt;
    return running;
}

// Whether `at_once` sources listed at the same time leave a processor to a second thread of
// each: fewer of them than processors, and no other work that takes the rest, either at this
// moment or over the last minute. The moment alone would take a task woken just then for work;
// the minute alone stays high for a minute after a build or a test run has ended and every
// processor is idle. On a busy processor the second thread's work (it reads the text again)
// only adds to the time.
bool processor_left_idle(std::size_t at_once)
{
    const unsigned processors = std::thread::hardware_concurrency();
    if (at_once >= processors)
        return false;
    const unsigned idle_needed = processors - static_cast<unsigned>(at_once);
    if (const std::optional<unsigned> running = tasks_running_now();
        running && *running - 1 < idle_needed)
        return true;
    double load = 0;
    if (::getloadavg(&load, 1) != 1)
        return true;
    return load < static_cast<double>(idle_needed);
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

// The report's theme: --theme, else the settings file's, else none.
TReportTheme reportTheme(const TCliOptions& options)
{
    if (const auto theme = parse_report_theme(options.theme))
        return *theme;
    if (options.settingsPath.empty())
        return TReportTheme::Nenhum;
    return read_report_theme(options.settingsPath).value_or(TReportTheme::Nenhum);
}

TRenderJob reportJob(const TCliOptions& options, const TListingSettings& settings)
{
    TRenderJob job;
    job.settings = settings;
    job.font = reportFont(options);
    job.theme = reportTheme(options);
    job.lines = options.lines;
    job.routine = options.routine;
    job.withLists = options.withLists;
    return job;
}

int runReport(const TCliOptions& options, const TListingSettings& settings, std::FILE* err)
{
    TRenderJob job = reportJob(options, settings);
    job.sourcePath = options.sources.front();
    try {
        job.bytes = read_file_bytes(job.sourcePath);
    } catch (const EFOpenError& error) {
        std::fprintf(err, "%s\n", error.what());
        return CliSourceFailed;
    }
    const std::string nul = nul_byte_message(job.sourcePath, job.bytes);
    if (!nul.empty())
        std::fprintf(err, "%s\n", nul.c_str());
    const bool pdf = !options.pdfPath.empty();
    job.format = pdf ? TReportFormat::Pdf : TReportFormat::SavedReport;
    job.outPath = pdf ? options.pdfPath : options.reportPath;
    std::string message;
    if (!render_report_file(job, message)) {
        std::fprintf(err, "%s\n", message.c_str());
        return CliSourceFailed;
    }
    return nul.empty() ? CliOk : CliSourceFailed;
}

// One PDF per source under the folder, named as the text outputs are; the units of each uses
// list link to the PDFs of the run's sources of that name.
int runPdfDir(const TCliOptions& options, const TListingSettings& settings, std::FILE* err)
{
    int status = CliOk;
    const std::vector<TSourceFile> sources =
        collect_sources(options.sources, options.extensions, [&](const std::string& message) {
            std::fprintf(err, "%s\n", message.c_str());
            status = CliSourceFailed;
        });
    TRenderJob job = reportJob(options, settings);
    TOutputNames names(options.pdfDir, ".pdf");
    for (const TSourceFile& source : sources)
        job.run.push_back({source.path, names.next(source)});
    for (const TRunPdf& entry : job.run) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(entry.pdf).parent_path(), ec);
        job.sourcePath = entry.source;
        job.outPath = entry.pdf;
        std::string message;
        try {
            job.bytes = read_file_bytes(entry.source);
        } catch (const EFOpenError& error) {
            std::fprintf(err, "%s\n", error.what());
            status = CliSourceFailed;
            continue;
        }
        if (!render_report_file(job, message)) {
            std::fprintf(err, "%s\n", message.c_str());
            status = CliSourceFailed;
        }
    }
    return status;
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
    if (!options->settingsPath.empty()) {
        // Settings asked for by name must be there: the defaults would give other outputs.
        if (const int error = TIniFile(options->settingsPath).ReadError(); error != 0) {
            std::fprintf(err, "Cannot read settings file %s: %s\n", options->settingsPath.c_str(),
                         std::generic_category().message(error).c_str());
            return CliSourceFailed;
        }
        read_listing_settings(options->settingsPath, settings);
    }
    if (options->projectRun())
        return run_project(*options, out, err);
    if (!options->pdfPath.empty() || !options->reportPath.empty())
        return runReport(*options, settings, err);
    if (!options->pdfDir.empty())
        return runPdfDir(*options, settings, err);
    const unsigned jobs =
        options->jobs != 0 ? options->jobs : std::max(1u, std::thread::hardware_concurrency());
    if (!options->htmlDir.empty())
        return run_html(options->htmlDir, options->sources, options->extensions, options->project,
                        jobs, settings, err);

    int status = CliOk;
    std::vector<TSourceFile> sources =
        collect_sources(options->sources, options->extensions, [&](const std::string& message) {
            std::fprintf(err, "%s\n", message.c_str());
            status = CliSourceFailed;
        });
    if (options->outDir.empty() &&
        (sources.size() > 1 || (!sources.empty() && sources.front().fromFolder()))) {
        std::fprintf(err, "tabulex-cli: several sources and folders need --out-dir\n\n%s",
                     cli_usage());
        return CliUsage;
    }
    if (!options->outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options->outDir, ec);
        if (!std::filesystem::is_directory(options->outDir)) {
            std::fprintf(err, "Cannot create folder %s\n", options->outDir.c_str());
            return CliSourceFailed;
        }
    }
    const TAnalysisThreads threads =
        processor_left_idle(std::min<std::size_t>(jobs, sources.size())) ? TAnalysisThreads::Two
                                                                         : TAnalysisThreads::One;
    TTextRun run(*options, settings, std::move(sources), out, threads);
    runInParallel(run, jobs, [&](const TSourceResult& result) {
        if (!result.message.empty())
            std::fprintf(err, "%s\n", result.message.c_str());
        if (result.failed)
            status = CliSourceFailed;
    });
    return status;
}

}  // namespace tabulex
