#include "cli/SourceText.h"

#include "analysis/FileBytes.h"
#include "analysis/LargePages.h"

namespace tabulex {

namespace {

// Below this, the plain read costs less than setting up a mapping.
constexpr std::size_t kMappedFrom = 256 * 1024;

}  // namespace

TSourceText::TSourceText(const std::string& path)
{
    if (!readDirectly(path)) {
        string_ = read_file_bytes(path);
        view_ = string_;
    } else if (has_utf16_mark(view_)) {
        // Read as read_file_bytes reads it: as UTF-8.
        std::string text = utf16_as_utf8(view_);
        map_ = TLargePageMap();
        view_ = {};
        if (text.size() > kMaxSourceBytes)
            throw EFOpenError(path);
        string_ = std::move(text);
        view_ = string_;
    }
}

TSourceText::~TSourceText() = default;

// Reads a regular file through one descriptor: a large one into anonymous memory in large
// pages where the system gives them, faulted in by the read itself. False leaves the reading to
// read_file_bytes (special or changing files, and every failure, which it reports in its words).
bool TSourceText::readDirectly(const std::string& path)
{
    const std::optional<std::string_view> text = read_regular_file(path, [this](std::size_t n) {
        if (n < kMappedFrom) {
            string_.resize(n);
            return string_.data();
        }
        map_ = TLargePageMap(n);
        return map_.data();
    });
    if (!text) {
        map_ = TLargePageMap();
        string_.clear();
        return false;
    }
    if (map_.empty())
        string_.resize(text->size());
    view_ = *text;
    return true;
}

}  // namespace tabulex
