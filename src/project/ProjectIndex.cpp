#include "project/ProjectIndex.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace tabulex {

namespace {

// Free Pascal 3.2.2 on x86-64 Linux, as `fpc -va` lists them for a program (mode FPC).
constexpr std::array<std::string_view, 22> kFpcSymbols = {"FPC",
                                                          "VER3",
                                                          "VER3_2",
                                                          "VER3_2_2",
                                                          "FPC_LINK_DYNAMIC",
                                                          "UNIX",
                                                          "LINUX",
                                                          "CPUX86_64",
                                                          "CPUAMD64",
                                                          "CPUX64",
                                                          "CPU64",
                                                          "CPUINTEL",
                                                          "ENDIAN_LITTLE",
                                                          "FPC_LITTLE_ENDIAN",
                                                          "FPC_HAS_TYPE_EXTENDED",
                                                          "FPC_HAS_TYPE_DOUBLE",
                                                          "FPC_HAS_TYPE_SINGLE",
                                                          "FPC_HAS_TYPE_COMP",
                                                          "FPC_STATICRIPFIXED",
                                                          "FPC_HAS_UNICODESTRING",
                                                          "FPC_HAS_FEATURE_SUPPORT",
                                                          "FPC_HAS_INTERNAL_ROX"};

// Delphi 11 for 32-bit Windows.
constexpr std::array<std::string_view, 12> kDelphiSymbols = {"DCC",
                                                             "VER350",
                                                             "MSWINDOWS",
                                                             "WIN32",
                                                             "CPUX86",
                                                             "CPU386",
                                                             "CPU32BITS",
                                                             "UNICODE",
                                                             "NATIVECODE",
                                                             "ASSEMBLER",
                                                             "CONDITIONALEXPRESSIONS",
                                                             "UNDERSCOREIMPORTNAME"};

}  // namespace

std::span<const std::string_view> predefined_symbols(TCompiler compiler)
{
    if (compiler == TCompiler::Delphi)
        return kDelphiSymbols;
    return kFpcSymbols;
}

std::span<const TProjectReference> TProjectIndex::references_in(std::uint32_t file) const
{
    if (file + 1 >= file_offsets_.size())
        return {};
    return std::span(references_)
        .subspan(file_offsets_[file], file_offsets_[file + 1] - file_offsets_[file]);
}

std::span<const std::uint32_t> TProjectIndex::references_of(std::uint32_t declaration) const
{
    if (declaration + 1 >= declaration_offsets_.size())
        return {};
    const std::uint32_t first = declaration_offsets_[declaration];
    return std::span(by_declaration_).subspan(first, declaration_offsets_[declaration + 1] - first);
}

const TProjectReference* TProjectIndex::reference_at(std::uint32_t file, int line, int column) const
{
    const auto refs = references_in(file);
    // The last reference starting at or before the position; names never overlap.
    auto it = std::upper_bound(refs.begin(), refs.end(), std::pair(line, column),
                               [](const std::pair<int, int>& pos, const TProjectReference& r) {
                                   return pos < std::pair(r.line, r.column);
                               });
    if (it == refs.begin())
        return nullptr;
    --it;
    if (it->line != line || column >= it->column + it->length)
        return nullptr;
    return &*it;
}

std::uint32_t TProjectIndex::file_id(std::string_view path) const
{
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i].path == path)
            return static_cast<std::uint32_t>(i);
    return kNoId;
}

// Sorts the references and builds the two lookups over them.
void TProjectIndex::finish()
{
    std::stable_sort(references_.begin(), references_.end(),
                     [](const TProjectReference& a, const TProjectReference& b) {
                         return std::tie(a.file, a.line, a.column) <
                                std::tie(b.file, b.line, b.column);
                     });
    file_offsets_.assign(files_.size() + 1, 0);
    declaration_offsets_.assign(declarations_.size() + 1, 0);
    for (const TProjectReference& r : references_) {
        ++file_offsets_[r.file + 1];
        ++declaration_offsets_[r.declaration + 1];
    }
    for (std::size_t i = 1; i < file_offsets_.size(); ++i)
        file_offsets_[i] += file_offsets_[i - 1];
    for (std::size_t i = 1; i < declaration_offsets_.size(); ++i)
        declaration_offsets_[i] += declaration_offsets_[i - 1];
    by_declaration_.resize(references_.size());
    std::vector<std::uint32_t> next(declaration_offsets_.begin(), declaration_offsets_.end() - 1);
    for (std::size_t i = 0; i < references_.size(); ++i)
        by_declaration_[next[references_[i].declaration]++] = static_cast<std::uint32_t>(i);
}

}  // namespace tabulex
