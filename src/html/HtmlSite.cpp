#include "html/HtmlSite.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <system_error>

#include "analysis/DeclarationScanner.h"
#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"
#include "files/OutputFile.h"
#include "html/HtmlPages.h"
#include "html/HtmlSource.h"
#include "html/ParallelFor.h"

namespace fs = std::filesystem;

namespace tabulex {

namespace {

std::string lower_ascii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

// What could not be written: the file (or the source that could no longer be read, with no
// reason) and why.
struct TWriteFailure {
    std::string path;
    std::string reason;
};

}  // namespace

struct THtmlSite::TData {
    TListingSettings settings;
    std::vector<std::unique_ptr<THtmlSource>> sources;
    TNameMap<std::vector<std::size_t>> units;                 // unit name -> sources of that name
    std::set<std::string> pageKeys{std::string(kIndexName)};  // page names in use, lower case

    // Takes a scanned source into the run: its page name and its unit name.
    void keep(std::unique_ptr<THtmlSource> source);

    std::string uniquePageName(const fs::path& file)
    {
        const std::string stem = file.stem().string();
        const std::string extension = file.extension().string();
        for (int n = 1;; ++n) {
            std::string page =
                stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + extension + ".html";
            if (pageKeys.insert(lower_ascii(page)).second)
                return page;
        }
    }

    // The source named `unit` as seen from `from`: one in the same folder first, otherwise
    // the first one of the run.
    const THtmlSource* lookup(std::string_view unit, const THtmlSource& from) const
    {
        const auto found = units.find(unit);
        if (found == units.end())
            return nullptr;
        for (std::size_t index : found->second)
            if (sources[index]->folder == from.folder)
                return sources[index].get();
        return sources[found->second.front()].get();
    }

    // Writes one page; returns what failed (the source when it can no longer be read, the
    // page when it cannot be written), nothing on success. A page too large for the memory
    // left fails alone.
    std::optional<TWriteFailure> writePage(const fs::path& dir, THtmlSource& source,
                                           std::string& page, const TSourceIds& ids)
    {
        const std::string pagePath = (dir / source.page).string();
        try {
            return writePageOrThrow(dir, source, page, ids);
        } catch (const std::bad_alloc&) {
            return release(source, page, {pagePath, std::generic_category().message(ENOMEM)});
        } catch (const std::exception& error) {
            return release(source, page, {pagePath, error.what()});
        }
    }

    std::optional<TWriteFailure> release(THtmlSource& source, std::string& page,
                                         TWriteFailure failure)
    {
        source.lists = {};
        source.written = false;
        std::string().swap(page);
        return failure;
    }

    std::optional<TWriteFailure> writePageOrThrow(const fs::path& dir, THtmlSource& source,
                                                  std::string& page, const TSourceIds& ids)
    {
        std::string bytes;
        try {
            bytes = read_file_bytes(source.path);
        } catch (const EFOpenError&) {
            source.lists = {};
            return TWriteFailure{source.path, {}};
        }
        // One reading of the text gives the listing and the three lists.
        StringList listing;
        listing.reserve(bytes.size() / 32 + 16);
        source.lists = analyse_source(bytes, settings,
                                      [&](std::string_view line) { listing.emplace_back(line); });
        collect_uses(source);
        page.clear();
        page.reserve(bytes.size() * 4 + 4096);
        append_source_page(page, source, bytes, listing, settings,
                           [&](std::string_view unit) { return lookup(unit, source); });
        source.lists = {};
        const std::string reason = write_output_in(dir.string(), source.page, page, &ids);
        source.written = reason.empty();
        if (source.written)
            return std::nullopt;
        return TWriteFailure{(dir / source.page).string(), reason};
    }
};

THtmlSite::THtmlSite(const TListingSettings& settings) : data_(std::make_unique<TData>())
{
    data_->settings = settings;
}

THtmlSite::~THtmlSite() = default;

std::size_t THtmlSite::size() const
{
    return data_->sources.size();
}

std::string THtmlSite::pageName(std::size_t index) const
{
    return data_->sources.at(index)->page;
}

namespace {
// Reads and scans a source; the message of the reading error when it cannot be read.
// A source too large for the memory left is left out alone.
std::string scan_source(THtmlSource& source)
{
    try {
        const std::string bytes = read_file_bytes(source.path);
        scan_unit_interface(bytes, source);
    } catch (const EFOpenError& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "Cannot list " + source.path + ": " + std::generic_category().message(ENOMEM);
    }
    return {};
}

std::unique_ptr<THtmlSource> new_source(const std::string& path)
{
    auto source = std::make_unique<THtmlSource>();
    const fs::path file = fs::path(path).lexically_normal();
    source->path = path;
    source->folder = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    source->name = file.filename().string();
    source->unit = file.stem().string();
    return source;
}
}  // namespace

void THtmlSite::TData::keep(std::unique_ptr<THtmlSource> source)
{
    source->page = uniquePageName(source->name);
    units[source->unit].push_back(sources.size());
    sources.push_back(std::move(source));
}

void THtmlSite::add(const std::string& path)
{
    auto source = new_source(path);
    if (const std::string error = scan_source(*source); !error.empty())
        throw EFOpenError(path);
    data_->keep(std::move(source));
}

void THtmlSite::add(const std::vector<std::string>& paths, unsigned jobs,
                    const std::function<void(const std::string& message)>& failure)
{
    std::vector<std::unique_ptr<THtmlSource>> scanned(paths.size());
    std::vector<std::string> errors(paths.size());
    parallel_for(paths.size(), jobs, [&](std::size_t i) {
        scanned[i] = new_source(paths[i]);
        errors[i] = scan_source(*scanned[i]);
    });
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (errors[i].empty())
            data_->keep(std::move(scanned[i]));
        else
            failure(errors[i]);
    }
}

bool THtmlSite::write(const std::string& dir,
                      const std::function<void(const std::string& path)>& failure)
{
    return write(dir, 1, failure);
}

bool THtmlSite::write(const std::string& dir, unsigned jobs,
                      const std::function<void(const std::string& path)>& failure)
{
    return write(dir, jobs, [&](const std::string& path, const std::string&) { failure(path); });
}

bool THtmlSite::write(const std::string& dir, unsigned jobs, const TFailure& failure)
{
    const fs::path folder(dir);
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error)) {
        failure(dir, error ? error.message() : std::generic_category().message(ENOTDIR));
        return false;
    }
    // No file of the edition ever replaces one of its sources.
    TSourceIds ids;
    for (const auto& source : data_->sources)
        ids.add(source->path);
    bool complete = true;
    const auto put = [&](std::string_view name, std::string_view bytes) {
        const std::string reason = write_output_in(dir, std::string(name), bytes, &ids);
        if (!reason.empty()) {
            failure((folder / name).string(), reason);
            complete = false;
        }
    };
    put(kStyleSheetName, style_sheet());
    put(kScriptName, page_script());

    // Pages only read what other sources keep (their page names and interface names), so
    // they are written in parallel.
    const std::size_t count = data_->sources.size();
    std::vector<std::optional<TWriteFailure>> failed(count);
    parallel_for(count, jobs, [&](std::size_t i) {
        std::string buffer;
        failed[i] = data_->writePage(folder, *data_->sources[i], buffer, ids);
    });
    std::vector<const THtmlSource*> written;
    for (std::size_t i = 0; i < count; ++i) {
        if (!failed[i]) {
            written.push_back(data_->sources[i].get());
            continue;
        }
        failure(failed[i]->path, failed[i]->reason);
        complete = false;
    }
    std::string page;
    append_index_page(page, written);
    put(kIndexName, page);
    return complete;
}

}  // namespace tabulex
