#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "analysis/ListingSettings.h"

namespace tabulex {

class TProjectIndex;

/// A browsable HTML edition of a program's sources, written into one folder that mirrors the
/// sources' folders: an index with the folders as a tree, a search over every declared name
/// and the units' dependency picture; one page per source and per include file (the numbered
/// listing with coloured tokens and line anchors, then the cross reference, routine list and
/// uses list); a page per folder with the picture of its units. Every name links to its
/// declaration in whatever file it is, every declaration opens the list of its references
/// across the program, code that conditional compilation leaves out is greyed. The pages need
/// nothing from outside the folder and work from file://.
class THtmlSite {
public:
    /// The edition of every file of `project` that could be read, its listings written with
    /// `settings` (whose switches also choose the lists).
    THtmlSite(std::shared_ptr<const TProjectIndex> project, const TListingSettings& settings);
    ~THtmlSite();
    THtmlSite(const THtmlSite&) = delete;
    THtmlSite& operator=(const THtmlSite&) = delete;

    /// Number of pages of sources.
    std::size_t size() const;
    /// The page of the project's file `file`, relative to the output folder ("rtl/a.pp.html");
    /// empty when it has none.
    std::string pageName(std::uint32_t file) const;

    /// Whether the index of the output folder also lists the pages earlier editions left
    /// there (the window exports one file or program after another into the same folder);
    /// off by default, when the index lists this edition's pages only.
    void setKeepEarlierPages(bool keep);

    /// Writes everything into `dir`, creating it when missing, `jobs` pages at a time. Each
    /// file that cannot be written is reported to `failure` with its path and the run goes
    /// on; returns false when any was.
    bool write(const std::string& dir, unsigned jobs,
               const std::function<void(const std::string& path)>& failure);
    /// A failure with its reason: the system's ("No space left on device") or why the file was
    /// refused ("it is a source of this run").
    using TFailure = std::function<void(const std::string& path, const std::string& reason)>;
    /// The same, telling why each file failed.
    bool write(const std::string& dir, unsigned jobs, const TFailure& failure);

private:
    struct TData;
    std::unique_ptr<TData> data_;
};

}  // namespace tabulex
