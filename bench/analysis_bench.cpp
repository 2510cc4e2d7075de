// Throughput of the source analysis on one file: listing, declaration scan and text export,
// each alone and all three together, in MB/s of source bytes: the first run, which pays for
// the fresh memory it touches, and the best of several runs. Memory freed by one run stays
// with the process for the next, so the best run measures the analysis itself rather than
// the kernel handing out zeroed pages.
//   analysis_bench FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>

#include "analysis/DeclarationScanner.h"
#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"
#include "analysis/ListingExport.h"

using namespace tabulex;

namespace {

using Clock = std::chrono::steady_clock;

struct TRunTimes {
    double listing = 0, scan = 0, export_ = 0, total = 0;
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
    std::size_t lines = 0, listing_bytes = 0, xref = 0, procs = 0, uses = 0, exported = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        StringList listing = build_listing(bytes, settings);
        const double t_listing = seconds_since(start);

        const auto scan_start = Clock::now();
        TDeclarationLists lists = scan_declarations(bytes);
        const double t_scan = seconds_since(scan_start);

        const auto export_start = Clock::now();
        std::string text =
            export_listing({listing, lists.listbox3, lists.ListBox4, lists.ListBox5}, settings);
        const double t_export = seconds_since(export_start);
        const double t_total = seconds_since(start);

        if (run == 0)
            first = {t_listing, t_scan, t_export, t_total};
        best.listing = std::min(best.listing, t_listing);
        best.scan = std::min(best.scan, t_scan);
        best.export_ = std::min(best.export_, t_export);
        best.total = std::min(best.total, t_total);
        lines = listing.size();
        listing_bytes = 0;
        for (const std::string& line : listing)
            listing_bytes += line.size();
        xref = lists.listbox3.size();
        procs = lists.ListBox4.size();
        uses = lists.ListBox5.size();
        exported = text.size();
    }

    const double mb = static_cast<double>(bytes.size()) / 1e6;
    std::printf("file      %s\n", argv[1]);
    std::printf("size      %.2f MB in, %zu listing lines (%.2f MB), %zu xref, %zu routine and %zu "
                "uses items, "
                "%.2f MB exported\n",
                mb, lines, static_cast<double>(listing_bytes) / 1e6, xref, procs, uses,
                static_cast<double>(exported) / 1e6);
    std::printf("                first run               best of %d runs\n", runs);
    auto row = [mb](const char* what, double cold, double warm) {
        std::printf("  %-8s %8.1f ms %8.1f MB/s   %8.1f ms %8.1f MB/s\n", what, cold * 1e3,
                    mb / cold, warm * 1e3, mb / warm);
    };
    row("listing", first.listing, best.listing);
    row("scan", first.scan, best.scan);
    row("export", first.export_, best.export_);
    row("total", first.total, best.total);
    return 0;
}
