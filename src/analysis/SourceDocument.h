#pragma once
#include <array>
#include <memory>
#include <string>

#include "analysis/ListingSettings.h"
#include "analysis/ListingWriter.h"
#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// A source loaded for reading: its path, the analysis of its bytes, and the writer of its
/// text lines with the Listing settings it was loaded with. Immutable: a reload or a change
/// of settings makes a new document, so views that still hold the old one stay valid.
class TSourceDocument {
public:
    TSourceDocument(std::string path, std::shared_ptr<const TSourceAnalysis> analysis,
                    const TListingSettings& settings);

    /// Reads and analyses the file at `path`. Throws EFOpenError when it cannot be read.
    static std::shared_ptr<const TSourceDocument> load(const std::string& path,
                                                       const TListingSettings& settings);

    /// The path as it was loaded (bytes of the local file name).
    const std::string& path() const { return path_; }
    const TSourceAnalysis& analysis() const { return writer_->analysis(); }
    const std::shared_ptr<const TListingWriter>& writer() const { return writer_; }
    /// The settings the listing was written with.
    const TListingSettings& settings() const { return writer_->settings(); }
    /// The lines of the four sections, in section order.
    std::array<std::shared_ptr<const TLineSource>, 4> sections() const;

private:
    std::string path_;
    std::shared_ptr<const TListingWriter> writer_;
};

}  // namespace tabulex
