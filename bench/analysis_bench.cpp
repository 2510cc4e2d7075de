// Throughput of the source analysis on one file, in MB/s of source bytes: the one lexer
// pass that makes the model (with and without the token classes the views colour with), the
// writing of the export from it, and both together as the batch command runs them. Each is
// given for the first run, which pays for the fresh memory it touches, and as the best of
// several runs.
//   analysis_bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <string>

#include "analysis/FileBytes.h"
#include "analysis/ListingWriter.h"

using namespace tabulex;

namespace {

using Clock = std::chrono::steady_clock;

struct TRunTimes {
    double model = 0, plain = 0, export_ = 0, total = 0;
};

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    std::string bytes;
    try {
        bytes = read_file_bytes(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const TListingSettings settings;
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);

    TRunTimes best{1e30, 1e30, 1e30, 1e30};
    TRunTimes first;
    std::size_t lines = 0, tokens = 0, declarations = 0, exported = 0;
    const TSourceAnalysis::TBorrowed borrowed{bytes};
    for (int run = 0; run < runs; ++run) {
        const auto model_start = Clock::now();
        const auto model = std::make_shared<const TSourceAnalysis>(borrowed);
        const double t_model = seconds_since(model_start);
        lines = model->lines().size();
        tokens = lines == 0 ? 0 : model->lines().back().first_run + model->runs(lines - 1).size();
        declarations = model->declarations().size();

        const auto start = Clock::now();
        const auto plain = std::make_shared<const TSourceAnalysis>(borrowed, false);
        const double t_plain = seconds_since(start);
        const auto export_start = Clock::now();
        exported = 0;
        write_export(TListingWriter(plain, settings), settings,
                     [&](std::string_view piece) { exported += piece.size(); });
        const double t_export = seconds_since(export_start);
        const double t_total = seconds_since(start);

        if (run == 0)
            first = {t_model, t_plain, t_export, t_total};
        best.model = std::min(best.model, t_model);
        best.plain = std::min(best.plain, t_plain);
        best.export_ = std::min(best.export_, t_export);
        best.total = std::min(best.total, t_total);
    }

    const double mb = static_cast<double>(bytes.size()) / 1e6;
    std::printf("file      %s\n", argv[1]);
    std::printf("size      %.2f MB in, %zu lines, %zu classed tokens, %zu declarations, %.2f MB "
                "exported\n",
                mb, lines, tokens, declarations, static_cast<double>(exported) / 1e6);
    std::printf("                first run               best of %d runs\n", runs);
    auto row = [mb](const char* what, double cold, double warm) {
        std::printf("  %-8s %8.1f ms %8.1f MB/s   %8.1f ms %8.1f MB/s\n", what, cold * 1e3,
                    mb / cold, warm * 1e3, mb / warm);
    };
    row("model", first.model, best.model);
    row("plain", first.plain, best.plain);
    row("export", first.export_, best.export_);
    row("batch", first.total, best.total);
    return 0;
}
