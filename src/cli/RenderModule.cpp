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
#include <stdexcept>
#include <string>

#include "analysis/DeclarationScanner.h"
#include "analysis/ListingBuilder.h"
#include "analysis/SourceEncoding.h"
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
    font.setPointSizeF(chosen->points > 0 ? chosen->points : form.RpMemo1->Font().pointSizeF());
    form.setMemoFont(font);
}

void render(TReportFormat format, const std::string& outPath, const std::string& sourcePath,
            std::string bytes, const TListingSettings& settings, const std::string& font)
{
    // The output is checked before the report is made: a source given as the output (or
    // reached through a link) is refused at once.
    TSourceIds sources;
    sources.add(sourcePath);
    sources.keepNamed(named_as_source);
    TOutputFile out;
    if (!out.open(outPath, &sources))
        throw std::runtime_error(out.message());
    ensureGuiApplication();
    const SourceEncoding encoding = detect_source_encoding(bytes);
    TF_dif form;
    {
        // The lists are needed by the report only: it takes them over, so the text is held once.
        StringList listing = build_listing(bytes, settings);
        TDeclarationLists lists = scan_declarations(bytes);
        form.takeLineSources(std::move(listing), std::move(lists.listbox3),
                             std::move(lists.ListBox4), std::move(lists.ListBox5));
        std::string().swap(bytes);
    }
    form.setSettings(&settings);
    // As in the window, whose radio group shows a value beyond its choices as the last one and a
    // negative one as none: a choice reaches the report when it differs from what it has.
    const int choice = std::clamp(settings.colunas, -1, 1);
    if (choice >= 0 && choice + 1 != form.Report1->Page().Columns())
        form.set_colunas(choice + 1);
    const QString fullPath =
        QDir::cleanPath(QFileInfo(QFile::decodeName(sourcePath.c_str())).absoluteFilePath());
    prepare_report_for(form, QFile::encodeName(fullPath).toStdString(), encoding);
    useFont(form, font);
    if (format == TReportFormat::Pdf)
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

extern "C" int tabulex_render_report(int version, int format, const char* outPath,
                                     const char* sourcePath, const char* bytes, std::size_t size,
                                     const tabulex::TListingSettings* settings, const char* font,
                                     char* message, std::size_t capacity)
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
        tabulex::render(static_cast<tabulex::TReportFormat>(format), outPath, sourcePath,
                        std::string(bytes, size), *settings, font != nullptr ? font : "");
        return 0;
    } catch (const std::exception& error) {
        writeMessage(error.what(), message, capacity);
        return 1;
    }
}
