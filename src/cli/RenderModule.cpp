// The report module of the batch command: builds the lists of one source, feeds them to the
// program's report as the preview does, and writes the report as a PDF document or a saved
// report file. Loaded by tabulex-cli only for --pdf and --report, so that the text commands
// never load Qt's GUI libraries. Runs on Qt's offscreen platform: no display is needed.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "analysis/SourceDocument.h"
#include "cli/CliOptions.h"
#include "cli/PdfRun.h"
#include "cli/ReportModule.h"
#include "cli/SourceCollection.h"
#include "config/ListingSettingsFile.h"
#include "files/OutputFile.h"
#include "report/engine/TRpPage.h"
#include "report/form/ReportPreparation.h"
#include "report/form/r_dif.h"
#include "text/TextCodec.h"

namespace tabulex {
namespace {

// Qt's own notices (no runtime folder, offscreen platform limits) are noise on a batch
// command's standard error; only its errors are passed on.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    qInstallMessageHandler(quietQtMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tabulex-cli";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: Qt's libraries are not unloaded.
    static auto* application = new QGuiApplication(argc, argv);
    (void)application;
}

// The memo's font for "FAMILY[,SIZE]"; without a size the memo keeps its own.
void useFont(TF_dif& form, const std::string& text)
{
    const std::optional<TReportFontSpec> chosen = parse_report_font(text);
    if (!chosen)
        return;
    QFont font(QString::fromStdString(chosen->family));
    font.setPointSizeF(chosen->points > 0 ? chosen->points : form.memo().Font().pointSizeF());
    form.setMemoFont(font);
}

// The part of the listing a job asks for; none for the whole listing.
std::optional<TF_dif::TSelection> selectionOf(const TRenderJob& job,
                                              const TSourceAnalysis& analysis)
{
    std::optional<std::pair<std::size_t, std::size_t>> range;
    if (!job.lines.empty()) {
        const auto lines = parse_line_range(job.lines);
        if (!lines)
            throw std::runtime_error("--lines needs A-B");
        range = std::pair{static_cast<std::size_t>(lines->first - 1),
                          static_cast<std::size_t>(lines->second)};
        if (range->first >= analysis.lines().size())
            throw std::runtime_error("the source has " + std::to_string(analysis.lines().size()) +
                                     " lines");
    } else if (!job.routine.empty()) {
        std::string error;
        range = routine_lines(analysis, job.routine, error);
        if (!range)
            throw std::runtime_error(error);
    }
    if (!range)
        return std::nullopt;
    return TF_dif::TSelection{range->first, range->second, job.withLists};
}

void render(const TRenderJob& job)
{
    // The output is checked before the report is made: a source given as the output (or
    // reached through a link) is refused at once.
    TSourceIds sources;
    sources.add(job.sourcePath);
    for (const TRunPdf& entry : job.run)  // every source of a --pdf-dir run
        sources.add(entry.source);
    sources.keepNamed(named_as_source);
    TOutputFile out;
    if (!out.open(job.outPath, &sources))
        throw std::runtime_error(out.message());
    ensureGuiApplication();
    // The report reads its lines from the document as it prints them: the text is held once.
    const auto document = std::make_shared<const TSourceDocument>(
        job.sourcePath,
        std::make_shared<const TSourceAnalysis>(TSourceAnalysis::TBorrowed{job.bytes},
                                                job.theme != TReportTheme::Nenhum),
        job.settings);
    const SourceEncoding encoding = document->analysis().encoding();
    TF_dif form;
    form.setDocument(document);
    form.setSettings(&job.settings);
    form.setTheme(job.theme);
    form.setSelection(selectionOf(job, document->analysis()));
    if (!job.run.empty()) {
        const auto self = std::find_if(job.run.begin(), job.run.end(), [&](const TRunPdf& entry) {
            return entry.source == job.sourcePath;
        });
        if (self != job.run.end())
            form.setUnitFiles([&job, self](std::string_view unit) {
                return unit_pdf_link(job.run, *self, unit);
            });
    }
    // As in the window, whose radio group shows a value beyond its choices as the last one and a
    // negative one as none: a choice reaches the report when it differs from what it has.
    const int choice = std::clamp(job.settings.colunas, -1, 1);
    if (choice >= 0 && choice + 1 != form.report().Page().Columns())
        form.set_colunas(choice + 1);
    const QString fullPath =
        QDir::cleanPath(QFileInfo(QFile::decodeName(job.sourcePath.c_str())).absoluteFilePath());
    prepare_report_for(form, QFile::encodeName(fullPath).toStdString(), encoding);
    useFont(form, job.font);
    if (job.format == TReportFormat::Pdf)
        write_report_pdf(form, out);
    else
        write_report_rpf(form, out);
    if (!out.close())
        throw std::runtime_error(out.message());
}

}  // namespace
}  // namespace tabulex

namespace {

void writeMessage(const char* text, char* message, std::size_t capacity)
{
    if (capacity == 0)
        return;
    std::strncpy(message, text, capacity - 1);
    message[capacity - 1] = '\0';
}

}  // namespace

extern "C" int tabulex_render_interface_version()
{
    return tabulex::kRenderInterfaceVersion;
}

extern "C" int tabulex_render_report(int version, const tabulex::TRenderJob* job, char* message,
                                     std::size_t capacity)
{
    if (version != tabulex::kRenderInterfaceVersion) {
        const std::string text = "The report module does not match tabulex-cli (interface " +
                                 std::to_string(tabulex::kRenderInterfaceVersion) +
                                 ", called with " + std::to_string(version) +
                                 "); reinstall tabulex";
        writeMessage(text.c_str(), message, capacity);
        return 2;
    }
    try {
        tabulex::render(*job);
        return 0;
    } catch (const std::exception& error) {
        writeMessage(error.what(), message, capacity);
        return 1;
    }
}
