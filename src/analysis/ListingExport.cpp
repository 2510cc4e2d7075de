#include "analysis/ListingExport.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "analysis/DeclarationScan.h"
#include "analysis/SourceEncoding.h"

namespace tabulex {

namespace {

std::size_t section_size(const StringList& items)
{
    std::size_t size = 0;
    for (const std::string& item : items)
        size += item.size() + 2;
    return size;
}

void append_section(std::string& out, const StringList& items)
{
    for (const std::string& item : items) {
        out += item;
        out += "\r\n";
    }
}

void append_section_without_tabs(std::string& out, const StringList& items)
{
    for (const std::string& item : items) {
        const std::size_t start = out.size();
        out += item;
        std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '\t', ' ');
        out += "\r\n";
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string export_listing(const TListingSections& sections, const TListingSettings& settings)
{
    std::size_t size = 0;
    if (settings.listagem)
        size += section_size(sections.listing);
    if (settings.xref)
        size += section_size(sections.xref);
    if (settings.proc_func)
        size += section_size(sections.procs);
    if (settings.units)
        size += section_size(sections.uses);

    std::string out;
    out.reserve(size);
    if (settings.listagem)
        append_section(out, sections.listing);
    if (settings.xref)
        append_section_without_tabs(out, sections.xref);
    if (settings.proc_func)
        append_section(out, sections.procs);
    if (settings.units)
        append_section(out, sections.uses);
    return out;
}

void stream_export(std::string_view bytes, const TListingSettings& settings,
                   const std::function<void(std::string_view bytes)>& write)
{
    static constexpr std::string_view kLineEnd = "\r\n";
    const TLineSink item = [&](std::string_view line) {
        write(line);
        write(kLineEnd);
    };
    TDeclarationScan scan(bytes, detect_source_encoding(bytes) == SourceEncoding::Utf8);
    if (settings.listagem)
        analyse_source(bytes, settings, item, scan);
    else
        scan_text(bytes, scan);

    if (settings.xref) {
        std::string untabbed;
        scan.write_xref([&](std::string_view line) {
            if (line.find('\t') == std::string_view::npos)
                return item(line);
            untabbed.assign(line);
            std::replace(untabbed.begin(), untabbed.end(), '\t', ' ');
            item(untabbed);
        });
    }
    if (settings.proc_func)
        scan.write_procs(item);
    if (settings.units)
        for (const std::string& line : scan.uses())
            item(line);
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
