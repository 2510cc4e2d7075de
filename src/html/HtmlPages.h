#pragma once
// What the writers of the HTML edition share: the run's pages and the lookups between the
// project's files and them. Internal to the HTML library.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ListingSettings.h"
#include "analysis/SourceEncoding.h"
#include "project/ProjectIndex.h"

namespace tabulex {

class TListingWriter;

/// File names of the style sheet, the script and the folder of data the pages load, at the
/// root of the output folder, and the name of every folder's index page.
inline constexpr std::string_view kStyleSheetName = "tabulex.css";
inline constexpr std::string_view kScriptName = "tabulex.js";
inline constexpr std::string_view kDataFolder = "tabulex-dados";
inline constexpr std::string_view kIndexName = "index.html";

/// One page of the edition: a file of the project.
struct THtmlPage {
    std::uint32_t file = kNoId;  ///< the project's file
    std::string path;            ///< the page, relative to the output folder ("rtl/inc/a.pp.html")
    std::string folder;          ///< its folder there ("rtl/inc"; empty at the root)
    std::string name;            ///< the source's file name
    // Figures for the index, known once the page is written.
    bool written = false;
    std::size_t lines = 0;
    std::size_t routines = 0;
    std::size_t names = 0;
};

/// The pages of one run and what every writer looks up: built once, read by the page writers
/// in parallel.
struct THtmlRun {
    const TProjectIndex& project;
    TListingSettings settings;
    std::vector<THtmlPage> pages;
    std::vector<std::uint32_t> page_of_file;              ///< per project file: its page, or kNoId
    std::vector<std::vector<std::uint32_t>> declared_in;  ///< per file: the declarations it holds
    std::vector<std::vector<std::uint32_t>> line_starts;  ///< per file: where each line begins
    std::vector<SourceEncoding> encodings;                ///< per file
    std::vector<std::uint32_t> references_bundle;         ///< per page: its references script
    std::vector<std::string> references_scripts;  ///< per script: its path, empty if unwritten

    THtmlRun(const TProjectIndex& index, const TListingSettings& listing);
    /// The page of a project file, or nullptr when it has none.
    const THtmlPage* page_of(std::uint32_t file) const;
    /// The text of line `line` (1-based) of a file, without its line break.
    std::string_view line_text(std::uint32_t file, int line) const;
};

/// Appends the start of a page up to its header: the title (`title`, a file or folder name),
/// the style sheet and the script at `root` (the way back to the output folder), the body's
/// classes and, when `references` is given, the script that holds the references of the
/// page numbered `page`, below `root`.
void append_head(std::string& out, std::string_view root, std::string_view title,
                 std::string_view body, std::string_view references = {}, std::uint32_t page = 0);

/// Appends the page of `page`: its listing as `writer` writes it, every name a link to its
/// declaration and every declaration a handle for its references, then the lists the
/// settings' switches select. Sets the page's figures.
void append_source_page(std::string& out, THtmlRun& run, std::uint32_t page,
                        const TListingWriter& writer);

/// Appends the references to the names declared in `page` (a script object), which the page
/// loads when its references are first asked for. `slots` is scratch kept from one page to the
/// next by the caller (one per thread): every entry kNoId, or empty, between calls.
void append_references_data(std::string& out, const THtmlRun& run, std::uint32_t page,
                            std::vector<std::uint32_t>& slots);
/// Appends a script with the references of several pages, `data[i]` those of `pages[i]`:
/// pages with few references share one, which spares the disk thousands of small files.
void append_references_script(std::string& out, std::span<const std::uint32_t> pages,
                              std::span<const std::string> data);

/// The path, relative to the output folder, of the references script `script`: named after
/// its content, so that pages an earlier edition left in the folder keep the script they were
/// written with.
std::string references_script_path(std::string_view script);

/// The search data: for each key (two leading characters of a name, folded), the script
/// that holds the declared names beginning with them, made on up to `jobs` threads.
std::vector<std::pair<std::string, std::string>> search_scripts(const THtmlRun& run, unsigned jobs);
/// The path, relative to the output folder, of the search script of `key`.
std::string search_script_path(std::string_view key);

/// Appends the index of the whole edition: the folders as a tree with their pages, the
/// search box, and `graph_svg` (the project's units, when small enough to show at once).
void append_index_page(std::string& out, const THtmlRun& run, std::string_view graph_svg);
/// Appends the index page of one folder: its pages and the picture of its units.
void append_folder_page(std::string& out, const THtmlRun& run, std::string_view folder,
                        std::string_view graph_svg);

/// The style sheet and the script, as written into the output folder.
std::string_view style_sheet();
std::string_view page_script();

}  // namespace tabulex
