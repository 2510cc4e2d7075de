#include "analysis/SourceDocument.h"

#include "analysis/FileBytes.h"

namespace tabulex {

TSourceDocument::TSourceDocument(std::string path, std::shared_ptr<const TSourceAnalysis> analysis,
                                 const TListingSettings& settings)
    : path_(std::move(path)),
      writer_(std::make_shared<const TListingWriter>(std::move(analysis), settings))
{}

std::shared_ptr<const TSourceDocument> TSourceDocument::load(const std::string& path,
                                                             const TListingSettings& settings)
{
    auto analysis = std::make_shared<const TSourceAnalysis>(read_file_bytes(path));
    return std::make_shared<const TSourceDocument>(path, std::move(analysis), settings);
}

std::array<std::shared_ptr<const TLineSource>, 4> TSourceDocument::sections() const
{
    return {section_lines(writer_, TSection::Listing), section_lines(writer_, TSection::Xref),
            section_lines(writer_, TSection::Procs), section_lines(writer_, TSection::Uses)};
}

}  // namespace tabulex
