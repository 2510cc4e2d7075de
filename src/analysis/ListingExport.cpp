#include "analysis/ListingExport.h"

#include <cstdio>
#include <memory>

#include "analysis/ListingWriter.h"

namespace tabulex {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void stream_export(std::string_view bytes, const TListingSettings& settings,
                   const std::function<void(std::string_view bytes)>& write,
                   TAnalysisThreads threads)
{
    TExportPieces pieces(write);
    // Each listing line goes out as soon as it is made, while its bytes are still at hand
    // (on two threads while the declarations are still being scanned), and is not kept; the
    // lists follow once the whole text is read.
    const std::string column_run = column_markers(settings);
    const auto write_line = [&](const TListingLine& line, std::size_t index) {
        if (!settings.listagem)
            return;
        append_listing_text(line, index, bytes, settings, column_run, pieces.text());
        pieces.end_line();
    };
    const TListingWriter writer(std::make_shared<const TSourceAnalysis>(
                                    TSourceAnalysis::TBorrowed{bytes}, false, threads, write_line),
                                settings);
    for (const TSection section : selected_sections(settings))
        if (section != TSection::Listing)
            pieces.add_section(writer, section);
    pieces.finish();
}

std::string proposed_export_name(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    std::string result(name);
    result += ".txt";
    return result;
}

bool write_export_file(const std::string& path, std::string_view bytes)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return false;
    // Closing flushes the buffer; a failure there (a full disk) is a failure of the export.
    return std::fclose(file.release()) == 0;
}

}  // namespace tabulex
