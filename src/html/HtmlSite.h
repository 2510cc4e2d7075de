#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/ListingSettings.h"

namespace tabulex {

/// A browsable HTML edition of a set of Pascal sources, written into one folder: an index of
/// the sources by folder, one page per source (the numbered listing with coloured tokens and
/// line anchors, then the cross reference, routine list and uses list, every line number a
/// link), one style sheet and one script. Names are linked to their declarations, also across
/// the units of the same run; nothing is fetched from anywhere when the pages are viewed.
class THtmlSite {
public:
    explicit THtmlSite(const TListingSettings& settings);
    ~THtmlSite();
    THtmlSite(const THtmlSite&) = delete;
    THtmlSite& operator=(const THtmlSite&) = delete;

    /// Reads and scans one source. Throws EFOpenError when it cannot be read.
    void add(const std::string& path);
    /// Reads and scans several sources, `jobs` at a time. A source that cannot be read is left
    /// out and its error message handed to `failure`, in the order of `paths`.
    void add(const std::vector<std::string>& paths, unsigned jobs,
             const std::function<void(const std::string& message)>& failure);
    /// Number of sources added.
    std::size_t size() const;

    /// Writes the index, the pages, the style sheet and the script into `dir`, creating it
    /// when missing. Each file that cannot be written (or source that can no longer be read)
    /// is reported to `failure` with its path and skipped; returns false when any was.
    bool write(const std::string& dir, const std::function<void(const std::string& path)>& failure);
    /// The same, writing `jobs` pages at a time; failures are still reported in source order.
    bool write(const std::string& dir, unsigned jobs,
               const std::function<void(const std::string& path)>& failure);
    /// A failure with its reason: the system's ("No space left on device"), why the file was
    /// refused ("it is a source of this run"), or empty for a source that can no longer be read.
    using TFailure = std::function<void(const std::string& path, const std::string& reason)>;
    /// The same, telling why each file failed. Every file goes to a temporary file renamed
    /// over the old one when complete, never over a source of the edition and never through a
    /// link in `dir`; a page too large for the memory left fails alone.
    bool write(const std::string& dir, unsigned jobs, const TFailure& failure);

    /// File name of the page of the source added as number `index` (0-based), in the folder.
    std::string pageName(std::size_t index) const;

private:
    struct TData;
    std::unique_ptr<TData> data_;
};

}  // namespace tabulex
