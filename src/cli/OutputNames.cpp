#include "cli/OutputNames.h"

#include "analysis/ListingExport.h"

namespace tabulex {

namespace {

std::string foldedCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The file name of `path` with its extension (from the last dot of the name on) left out.
std::string stemOf(const std::string& path)
{
    const std::string txt = proposed_export_name(path);
    return txt.substr(0, txt.size() - 4);
}

}  // namespace

TOutputNames::TOutputNames(std::string folder, std::string suffix)
    : folder_(std::move(folder)), suffix_(std::move(suffix))
{
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
}

bool TOutputNames::take(const std::string& relative)
{
    return given_.insert(foldedCase(relative)).second;
}

std::string TOutputNames::next(const TSourceFile& source)
{
    const std::string base = source.fromFolder() ? source.relative : stemOf(source.path);
    std::string relative = base + suffix_;
    for (int number = 2; !take(relative); ++number)
        relative = base + "~" + std::to_string(number) + suffix_;
    return folder_ + relative;
}

}  // namespace tabulex
