// Times the program's report over a large listing: feeding the memo, the generation run and
// writing the PDF. The default mode writes the PDF during the run, as the program does; the
// "picture" mode records the pages (TRpPageRecord) and replays them into a PDF afterwards, and
// "nopdf" only records them.
//
//   report_bench LISTING OUT.pdf [COLUMNS [direct|picture|nopdf]]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "analysis/StringList.h"
#include "report/form/ReportPreparation.h"
#include "report/form/r_dif.h"
#include "report/output/TRpReportPages.h"
#include "report/pdf/TRpPdf.h"

namespace {

// Lines of a file split at CR LF, CR or LF, as bytes.
tabulex::StringList readLines(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tabulex::StringList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.emplace_back(bytes, start, i - start);
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes, start, bytes.size() - start);
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LISTING OUT.pdf [COLUMNS [direct|picture|nopdf]]\n",
                     argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const int columns = argc > 3 ? std::atoi(argv[3]) : 2;
    const tabulex::StringList listing = readLines(argv[1]);

    QElapsedTimer total;
    total.start();
    tabulex::TF_dif form;
    form.setSections({std::make_shared<tabulex::TStringLines>(listing), nullptr, nullptr, nullptr});
    form.set_colunas(columns);
    tabulex::prepare_report_for(form, argv[1]);

    // Feeding and wrapping first, on their own: the run's BeforePrint then finds every
    // counter at the end of its list and the memo's wrap still valid.
    QElapsedTimer phase;
    phase.start();
    bool print = true;
    form.Report1BeforePrint(&form.report(), print);
    form.memo().WrapLines();
    const qint64 feedMs = phase.restart();
    const std::string mode = argc > 4 ? argv[4] : "direct";
    qint64 generateMs = 0;
    std::unique_ptr<tabulex::TRpPdfDirectOutput> direct;  // outlives the pages it makes
    std::unique_ptr<tabulex::TRpPrinter> pages;
    bool written = true;
    bool fallback = false;
    if (mode == "direct") {
        direct = std::make_unique<tabulex::TRpPdfDirectOutput>(form.report(), argv[2]);
        pages = GeneratePages(form.report(), direct->PageFactory());
        generateMs = phase.restart();
        written = pages != nullptr && direct->Finish(*pages);
        fallback = direct->UsedFallback();
    } else {
        pages = GeneratePages(form.report());
        generateMs = phase.restart();
        if (pages && mode == "picture")
            written = tabulex::rpWritePdf(*pages, form.report().Page(), argv[2]);
    }
    if (!pages || !written) {
        std::fprintf(stderr, "report_bench: no output\n");
        return 1;
    }
    const qint64 pdfMs = phase.elapsed();
    std::printf("lines %zu  memo lines %zu  pages %d\n", listing.size(), form.memo().LineCount(),
                pages->PageCount());
    if (fallback)
        std::printf("direct PDF fell back to recorded pages\n");
    std::printf("%s: feed+wrap %lld ms  generate %lld ms  pdf %lld ms  total %lld ms\n",
                mode.c_str(), static_cast<long long>(feedMs), static_cast<long long>(generateMs),
                static_cast<long long>(pdfMs), static_cast<long long>(total.elapsed()));
    return 0;
}
