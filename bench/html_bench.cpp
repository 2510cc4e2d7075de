// The HTML edition of a source tree against its yardstick, the text export of the same files,
// in one run: for each round, every file is read, listed, scanned and exported as text into
// one folder, then the same files are written as HTML pages with their index into another.
// Prints the seconds of each and their ratio, the first round and the best of all rounds.
//   html_bench OUT_DIR ROUNDS FILE...     (bench/run-html-bench runs it on the Free Pascal sources)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DeclarationScanner.h"
#include "FileBytes.h"
#include "HtmlSite.h"
#include "ListingBuilder.h"
#include "ListingExport.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The text export of every file, one NAME.txt per file (numbered so names never collide).
double text_export(const std::vector<std::string>& files, const fs::path& dir, std::size_t& bytes)
{
    const TListingSettings settings;
    const auto start = Clock::now();
    std::size_t n = 0;
    for (const std::string& file : files) {
        const std::string source = read_file_bytes(file);
        const StringList listing = build_listing(source, settings);
        const TDeclarationLists lists = scan_declarations(source);
        const std::string text = export_listing({listing, lists.listbox3, lists.ListBox4, lists.ListBox5}, settings);
        bytes += text.size();
        write_export_file((dir / (std::to_string(++n) + ".txt")).string(), text);
    }
    return seconds_since(start);
}

double html_edition(const std::vector<std::string>& files, const fs::path& dir, int& failures)
{
    const auto start = Clock::now();
    THtmlSite site{TListingSettings{}};
    for (const std::string& file : files)
        site.add(file);
    site.write(dir.string(), [&](const std::string&) { ++failures; });
    return seconds_since(start);
}

std::uintmax_t folder_bytes(const fs::path& dir)
{
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        total += entry.file_size();
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUT_DIR ROUNDS FILE...\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    const int rounds = std::max(1, std::atoi(argv[2]));
    const std::vector<std::string> files(argv + 3, argv + argc);
    std::uintmax_t sourceBytes = 0;
    for (const std::string& file : files)
        sourceBytes += fs::file_size(file);
    std::printf("%zu files, %.1f MB of source\n", files.size(), sourceBytes / 1e6);

    double bestText = 1e30, bestHtml = 1e30;
    for (int round = 1; round <= rounds; ++round) {
        fs::remove_all(out);
        fs::create_directories(out / "text");
        std::size_t textBytes = 0;
        int failures = 0;
        const double text = text_export(files, out / "text", textBytes);
        const double html = html_edition(files, out / "html", failures);
        bestText = std::min(bestText, text);
        bestHtml = std::min(bestHtml, html);
        std::printf("round %d: text export %.2f s (%.1f MB)   HTML %.2f s (%.1f MB)   ratio %.2f%s\n", round, text,
                    textBytes / 1e6, html, folder_bytes(out / "html") / 1e6, html / text,
                    failures ? "   (failures!)" : "");
    }
    std::printf("best: text export %.2f s   HTML %.2f s   ratio %.2f\n", bestText, bestHtml, bestHtml / bestText);
    fs::remove_all(out);
    return 0;
}
