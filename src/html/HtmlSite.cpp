#include "html/HtmlSite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <span>
#include <system_error>

#include "analysis/ListingWriter.h"
#include "analysis/ParallelFor.h"
#include "files/OutputFile.h"
#include "graph/ProjectGraph.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"
#include "project/ProjectIndex.h"
#include "project/SourceLines.h"

namespace fs = std::filesystem;

namespace tabulex {

namespace {

// The picture of all the program's units at once stays readable up to about this many; a
// larger program shows one picture per folder.
constexpr std::size_t kWholeGraphUpTo = 150;
// A folder's picture is left out above this many units: its layout would take long and read
// badly.
constexpr std::size_t kFolderGraphUpTo = 150;
// Pages share a script of references until it holds about this many bytes: few enough that a
// page still loads little more than its own, enough that a large program does not make one
// file per page.
constexpr std::size_t kReferencesBundleBytes = 96 * 1024;

std::string lower_ascii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

// The folder that holds every readable file of the project.
fs::path common_root(const TProjectIndex& project)
{
    std::optional<fs::path> root;
    for (const TProjectFile& file : project.files()) {
        if (!file.readable)
            continue;
        std::error_code error;
        fs::path folder = fs::absolute(file.path, error).lexically_normal().parent_path();
        if (!root) {
            root = folder;
            continue;
        }
        fs::path shared;
        auto a = root->begin();
        for (auto b = folder.begin(); a != root->end() && b != folder.end() && *a == *b; ++a, ++b)
            shared /= *a;
        root = shared;
    }
    return root.value_or(fs::path());
}

// The pages an edition wrote, one a line: path, folder, name and the three figures, separated by
// tabs; kept with the data so that a later edition into the same folder can list them.
constexpr std::string_view kManifestName = "paginas.tsv";

std::string manifest_line(const THtmlPage& page)
{
    return page.path + '\t' + page.folder + '\t' + page.name + '\t' + std::to_string(page.lines) +
           '\t' + std::to_string(page.routines) + '\t' + std::to_string(page.names) + '\n';
}

// The pages listed in the manifest of `folder` that are still there.
std::vector<THtmlPage> earlier_pages(const fs::path& folder)
{
    std::vector<THtmlPage> pages;
    std::FILE* file = std::fopen((folder / kDataFolder / kManifestName).c_str(), "rb");
    if (file == nullptr)
        return pages;
    std::string text;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    std::fclose(file);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> fields;
        for (std::size_t at = start; at <= end;) {
            const std::size_t tab = std::min(text.find('\t', at), end);
            fields.emplace_back(text, at, tab - at);
            at = tab + 1;
        }
        start = end + 1;
        std::error_code error;
        if (fields.size() != 6 || fields[0].find("..") != std::string::npos ||
            !fs::is_regular_file(folder / fields[0], error))
            continue;
        THtmlPage page;
        page.path = fields[0];
        page.folder = fields[1];
        page.name = fields[2];
        page.written = true;
        page.lines = std::strtoull(fields[3].c_str(), nullptr, 10);
        page.routines = std::strtoull(fields[4].c_str(), nullptr, 10);
        page.names = std::strtoull(fields[5].c_str(), nullptr, 10);
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace

THtmlRun::THtmlRun(const TProjectIndex& index, const TListingSettings& listing)
    : project(index), settings(listing)
{
    const auto& files = project.files();
    page_of_file.assign(files.size(), kNoId);
    declared_in.resize(files.size());
    line_starts.resize(files.size());
    encodings.resize(files.size(), SourceEncoding::Windows1252);
    for (const TProjectDeclaration& declaration : project.declarations())
        if (declaration.file < files.size())
            declared_in[declaration.file].push_back(declaration.id);

    // Pages mirror the sources' folders below the folder they share. A page name already
    // taken in its folder (by another page on a file system that ignores case, or by the
    // folder's own index) gets "-2", "-3", ... before ".html".
    const fs::path root = common_root(project);
    std::set<std::string> taken{std::string(kIndexName)};
    for (std::uint32_t id = 0; id < files.size(); ++id) {
        const TProjectFile& file = files[id];
        if (!file.readable)
            continue;
        std::error_code error;
        const fs::path absolute = fs::absolute(file.path, error).lexically_normal();
        THtmlPage page;
        page.file = id;
        page.name = absolute.filename().string();
        page.folder = absolute.lexically_relative(root).parent_path().generic_string();
        const std::string stem = page.folder.empty() ? page.name : page.folder + "/" + page.name;
        if (!page.folder.empty())
            taken.insert(lower_ascii(page.folder + "/" + std::string(kIndexName)));
        for (int n = 1;; ++n) {
            page.path = stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".html";
            if (taken.insert(lower_ascii(page.path)).second)
                break;
        }
        page_of_file[id] = static_cast<std::uint32_t>(pages.size());
        pages.push_back(std::move(page));
    }
}

const THtmlPage* THtmlRun::page_of(std::uint32_t file) const
{
    if (file >= page_of_file.size() || page_of_file[file] == kNoId)
        return nullptr;
    return &pages[page_of_file[file]];
}

std::string_view THtmlRun::line_text(std::uint32_t file, int line) const
{
    return tabulex::line_text(project.files()[file].bytes, line_starts[file], line);
}

struct THtmlSite::TData {
    std::shared_ptr<const TProjectIndex> project;
    THtmlRun run;
    bool keepEarlier = false;

    TData(std::shared_ptr<const TProjectIndex> index, const TListingSettings& settings)
        : project(std::move(index)), run(*project, settings)
    {}

    // The picture of `units` (page indexes) and the uses between them, links relative to
    // the page at `from`.
    std::string graph(const std::vector<std::uint32_t>& units, std::string_view from) const
    {
        std::vector<std::uint32_t> files;
        for (std::uint32_t index : units)
            files.push_back(run.pages[index].file);
        const TUnitGraph graph = project_unit_graph(*project, files, [&](std::uint32_t file) {
            return relative_url(from, run.page_of(file)->path);
        });
        // Units that use none of the others make no picture worth drawing.
        return graph.edges.empty() ? std::string() : render_unit_graph_svg(graph);
    }

    // The written pages of units, all of them and by folder.
    struct TUnitPages {
        std::vector<std::uint32_t> all;
        std::map<std::string, std::vector<std::uint32_t>> by_folder;
    };
    TUnitPages unit_pages() const
    {
        TUnitPages units;
        for (std::uint32_t i = 0; i < run.pages.size(); ++i) {
            const THtmlPage& page = run.pages[i];
            if (page.written && page.file != kNoId &&
                is_unit_kind(project->files()[page.file].kind)) {
                units.all.push_back(i);
                units.by_folder[page.folder].push_back(i);
            }
        }
        return units;
    }
};

THtmlSite::THtmlSite(std::shared_ptr<const TProjectIndex> project, const TListingSettings& settings)
    : data_(std::make_unique<TData>(std::move(project), settings))
{}

THtmlSite::~THtmlSite() = default;

void THtmlSite::setKeepEarlierPages(bool keep)
{
    data_->keepEarlier = keep;
}

std::size_t THtmlSite::size() const
{
    return data_->run.pages.size();
}

std::string THtmlSite::pageName(std::uint32_t file) const
{
    const THtmlPage* page = data_->run.page_of(file);
    return page != nullptr ? page->path : std::string();
}

namespace {

// Writes the references of every page into the scripts that hold them: pages in path order
// (neighbours in a folder), one after another into a script until it is full; a page with
// more gets a script of its own. Sets each page's script in `run`; returns the failures (path,
// reason), empty paths for none.
std::vector<std::pair<std::string, std::string>> write_references_scripts(THtmlRun& run,
                                                                          const std::string& dir,
                                                                          const TSourceIds& ids,
                                                                          unsigned jobs)
{
    const std::size_t count = run.pages.size();
    const fs::path folder(dir);
    std::vector<std::string> references(count);
    std::vector<std::vector<std::uint32_t>> slots(std::max(jobs, 1u));
    parallel_for_workers(count, jobs, [&](unsigned worker, std::size_t i) {
        try {
            append_references_data(references[i], run, static_cast<std::uint32_t>(i),
                                   slots[worker]);
        } catch (const std::bad_alloc&) {
            std::string().swap(references[i]);  // the page opens no references
        }
    });
    std::vector<std::uint32_t> order(count);
    for (std::uint32_t i = 0; i < count; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return run.pages[a].path < run.pages[b].path;
    });
    run.references_bundle.assign(count, 0);
    std::vector<std::size_t> bundleStarts;  // into `order`
    std::size_t filled = kReferencesBundleBytes;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t size = references[order[k]].size();
        if (filled + size > kReferencesBundleBytes) {
            bundleStarts.push_back(k);
            filled = 0;
        }
        filled += size;
        run.references_bundle[order[k]] = static_cast<std::uint32_t>(bundleStarts.size() - 1);
    }
    bundleStarts.push_back(count);
    std::vector<std::pair<std::string, std::string>> failed(bundleStarts.size());
    run.references_scripts.assign(bundleStarts.size() - 1, std::string());
    // A script that is not written leaves its pages without references; the pages themselves
    // are still written.
    parallel_for(bundleStarts.size() - 1, jobs, [&](std::size_t b) {
        const std::size_t first = bundleStarts[b], last = bundleStarts[b + 1];
        try {
            std::vector<std::string> data(last - first);
            for (std::size_t k = first; k < last; ++k)
                data[k - first] = std::move(references[order[k]]);
            std::string script;
            append_references_script(script, std::span(order).subspan(first, last - first), data);
            std::string path = references_script_path(script);
            if (std::string reason = write_output_in(dir, path, script, &ids); !reason.empty())
                failed[b] = {(folder / path).string(), std::move(reason)};
            else
                run.references_scripts[b] = std::move(path);
        } catch (const std::bad_alloc&) {
            failed[b] = {(folder / kDataFolder).string(), std::generic_category().message(ENOMEM)};
        }
    });
    return failed;
}

}  // namespace

bool THtmlSite::write(const std::string& dir, unsigned jobs,
                      const std::function<void(const std::string& path)>& failure)
{
    return write(dir, jobs, [&](const std::string& path, const std::string&) { failure(path); });
}

bool THtmlSite::write(const std::string& dir, unsigned jobs, const TFailure& failure)
{
    THtmlRun& run = data_->run;
    const TProjectIndex& project = *data_->project;
    const fs::path folder(dir);
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error)) {
        failure(dir, error ? error.message() : std::generic_category().message(ENOTDIR));
        return false;
    }
    // No file of the edition ever replaces one of its sources; every file is written whole
    // beside the old one and never through a link planted in the folder.
    TSourceIds ids;
    for (const TProjectFile& file : project.files())
        if (file.readable)
            ids.add(file.path);
    bool complete = true;
    const auto put = [&](const std::string& name, std::string_view bytes) {
        const std::string reason = write_output_in(dir, name, bytes, &ids);
        if (!reason.empty()) {
            failure((folder / name).string(), reason);
            complete = false;
        }
    };
    put(std::string(kStyleSheetName), style_sheet());
    put(std::string(kScriptName), page_script());

    // What other pages need of a file: where its lines begin and its encoding.
    parallel_for(project.files().size(), jobs, [&](std::size_t file) {
        const std::string_view bytes = project.files()[file].bytes;
        run.line_starts[file] = line_starts_of(bytes);
        run.encodings[file] = detect_source_encoding(bytes);
    });

    const std::size_t count = run.pages.size();
    std::vector<std::pair<std::string, std::string>> bundleFailed =
        write_references_scripts(run, dir, ids, jobs);

    // Pages read only what the run keeps of other files, so they are written in parallel; a
    // page too large for the memory left fails alone. Each thread makes its pages in one
    // buffer, whose memory is taken once rather than for every page.
    std::vector<std::pair<std::string, std::string>> failed(count);  // path, reason
    std::vector<std::string> buffers(std::max(jobs, 1u));
    parallel_for_workers(count, jobs, [&](unsigned worker, std::size_t i) {
        THtmlPage& page = run.pages[i];
        const auto fail = [&](const std::string& name, std::string reason) {
            failed[i] = {(folder / name).string(), std::move(reason)};
        };
        try {
            const TListingWriter writer(
                std::make_shared<const TSourceAnalysis>(
                    TSourceAnalysis::TBorrowed{project.files()[page.file].bytes}),
                run.settings);
            std::string& html = buffers[worker];
            html.clear();
            // About what a page takes for its source, so that it is seldom copied as it grows.
            html.reserve(writer.analysis().bytes().size() * 5 + 4096);
            append_source_page(html, run, static_cast<std::uint32_t>(i), writer);
            std::string reason = write_output_in(dir, page.path, html, &ids);
            page.written = reason.empty();
            if (!page.written)
                fail(page.path, std::move(reason));
        } catch (const std::bad_alloc&) {
            std::string().swap(buffers[worker]);  // what it held goes back for the other pages
            page.written = false;
            fail(page.path, std::generic_category().message(ENOMEM));
        }
    });
    std::vector<std::string>().swap(buffers);
    failed.insert(failed.end(), bundleFailed.begin(), bundleFailed.end());
    for (const auto& [path, reason] : failed) {
        if (path.empty())
            continue;
        failure(path, reason);
        complete = false;
    }

    // The pages an earlier edition left in the folder stay in the index (not in the search,
    // whose data this edition replaces).
    if (data_->keepEarlier) {
        std::set<std::string> ours;
        for (const THtmlPage& page : run.pages)
            ours.insert(page.path);
        for (THtmlPage& page : earlier_pages(folder))
            if (!ours.contains(page.path))
                run.pages.push_back(std::move(page));
    }
    std::string manifest;
    for (const THtmlPage& page : run.pages)
        if (page.written)
            manifest += manifest_line(page);
    put(std::string(kDataFolder) + "/" + std::string(kManifestName), manifest);
    // The search is this edition's alone; so are the references, unless earlier pages stay
    // (each keeps the script it was written with).
    const std::set<std::string> scripts(run.references_scripts.begin(),
                                        run.references_scripts.end());
    for (const auto& entry : fs::directory_iterator(folder / kDataFolder, error)) {
        const std::string name = entry.path().filename().string();
        const bool earlier_references = name.starts_with("r") && name.ends_with(".js") &&
                                        !scripts.contains(std::string(kDataFolder) + "/" + name);
        if (name.starts_with("b-") || (earlier_references && !data_->keepEarlier))
            fs::remove(entry.path(), error);
    }
    for (const auto& [key, script] : search_scripts(run, jobs))
        put(search_script_path(key), script);
    std::string names = "TX.p([";
    for (std::size_t i = 0; i < run.pages.size(); ++i) {
        names += i == 0 ? "\"" : ",\"";
        append_js_string(names, run.pages[i].path, SourceEncoding::Utf8);
        names += '"';
    }
    names += "]);\n";
    put(std::string(kDataFolder) + "/paginas.js", names);

    // A page per folder with the picture of its units, then the index.
    std::set<std::string> withPages;
    for (const THtmlPage& page : run.pages)
        if (page.written)
            for (std::string name = page.folder; !name.empty();
                 name = name.substr(0, name.rfind('/') == std::string::npos ? 0 : name.rfind('/')))
                withPages.insert(name);
    const TData::TUnitPages units = data_->unit_pages();
    for (const std::string& name : withPages) {
        const std::string self = name + "/" + std::string(kIndexName);
        const auto in_folder = units.by_folder.find(name);
        std::string page;
        append_folder_page(page, run, name,
                           in_folder == units.by_folder.end() ||
                                   in_folder->second.size() > kFolderGraphUpTo
                               ? ""
                               : data_->graph(in_folder->second, self));
        put(self, page);
    }
    std::string index;
    append_index_page(
        index, run, units.all.size() <= kWholeGraphUpTo ? data_->graph(units.all, kIndexName) : "");
    put(std::string(kIndexName), index);
    return complete;
}

}  // namespace tabulex
