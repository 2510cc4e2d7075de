#include "project/ProjectIndex.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "analysis/ParallelFor.h"
#include "project/LargeArrays.h"

namespace tabulex {

namespace {

// Free Pascal 3.2.2 for x86-64 Linux: the macros `fpc -va` reports as defined for a program.
constexpr std::array<std::string_view, 75> kFpcSymbols = {"LINUX",
                                                          "UNIX",
                                                          "HASUNIX",
                                                          "FPC_HAS_WINLIKERESOURCES",
                                                          "CONSOLE",
                                                          "FPC",
                                                          "VER3",
                                                          "VER3_2",
                                                          "VER3_2_2",
                                                          "FPC_HAS_OPERATOR_ENUMERATOR",
                                                          "FPC_HAS_CONSTREF",
                                                          "FPC_STATICRIPFIXED",
                                                          "FPC_VARIANTCOPY_FIXED",
                                                          "FPC_DYNARRAYCOPY_FIXED",
                                                          "FPC_HAS_MEMBAR",
                                                          "FPC_SETBASE_USED",
                                                          "FPC_HAS_FEATURE_SUPPORT",
                                                          "CPUATHLON64",
                                                          "FPUSSE64",
                                                          "FPC_ABI_DEFAULT",
                                                          "CPUX86_64",
                                                          "CPUAMD64",
                                                          "CPU64",
                                                          "CPUX64",
                                                          "CPUINT64",
                                                          "FPC_HAS_INTERNAL_ABS_LONG",
                                                          "FPC_HAS_INTERNAL_ABS_INT64",
                                                          "FPC_HAS_UNICODESTRING",
                                                          "FPC_RTTI_PACKSET1",
                                                          "FPC_HAS_CPSTRING",
                                                          "FPC_HAS_RIP_RELATIVE",
                                                          "FPC_HAS_CEXTENDED",
                                                          "FPC_HAS_RESSTRINITS",
                                                          "FPC_HAS_INTERNAL_ROX",
                                                          "FPC_HAS_INTERNAL_SAR",
                                                          "INTERNAL_BACKTRACE",
                                                          "STR_CONCAT_PROCS",
                                                          "REGCALL",
                                                          "ENDIAN_LITTLE",
                                                          "FPC_LITTLE_ENDIAN",
                                                          "CPUX86_HAS_CMOV",
                                                          "CPUX86_HAS_SSEUNIT",
                                                          "CPUX86_HAS_SSE2",
                                                          "FPC_HAS_TYPE_SINGLE",
                                                          "FPC_HAS_TYPE_DOUBLE",
                                                          "FPC_HAS_TYPE_EXTENDED",
                                                          "FPC_HAS_INTERNAL_BSF",
                                                          "FPC_HAS_INTERNAL_BSR",
                                                          "FPC_LINK_STATIC",
                                                          "FPC_HAS_INDIRECT_ENTRY_INFORMATION",
                                                          "FPC_WIDESTRING_EQUAL_UNICODESTRING",
                                                          "FPC_HAS_FEATURE_HEAP",
                                                          "FPC_HAS_FEATURE_INITFINAL",
                                                          "FPC_HAS_FEATURE_RTTI",
                                                          "FPC_HAS_FEATURE_CLASSES",
                                                          "FPC_HAS_FEATURE_EXCEPTIONS",
                                                          "FPC_HAS_FEATURE_EXITCODE",
                                                          "FPC_HAS_FEATURE_ANSISTRINGS",
                                                          "FPC_HAS_FEATURE_WIDESTRINGS",
                                                          "FPC_HAS_FEATURE_TEXTIO",
                                                          "FPC_HAS_FEATURE_CONSOLEIO",
                                                          "FPC_HAS_FEATURE_FILEIO",
                                                          "FPC_HAS_FEATURE_RANDOM",
                                                          "FPC_HAS_FEATURE_VARIANTS",
                                                          "FPC_HAS_FEATURE_OBJECTS",
                                                          "FPC_HAS_FEATURE_DYNARRAYS",
                                                          "FPC_HAS_FEATURE_THREADING",
                                                          "FPC_HAS_FEATURE_COMMANDARGS",
                                                          "FPC_HAS_FEATURE_PROCESSES",
                                                          "FPC_HAS_FEATURE_STACKCHECK",
                                                          "FPC_HAS_FEATURE_DYNLIBS",
                                                          "FPC_HAS_FEATURE_SOFTFPU",
                                                          "FPC_HAS_FEATURE_OBJECTIVEC1",
                                                          "FPC_HAS_FEATURE_RESOURCES",
                                                          "FPC_HAS_FEATURE_UNICODESTRINGS"};

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

std::span<const TUnitEdge> TProjectIndex::unit_edges_from(std::uint32_t from) const
{
    const auto [first, last] =
        std::equal_range(unit_edges_.begin(), unit_edges_.end(), TUnitEdge{from, 0, {}},
                         [](const TUnitEdge& a, const TUnitEdge& b) { return a.from < b.from; });
    return {first, last};
}

std::uint32_t TProjectIndex::file_id(std::string_view path) const
{
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i].path == path)
            return static_cast<std::uint32_t>(i);
    return kNoId;
}

void TProjectIndex::finish()
{
    // References come file by file in parse order, which is already their order within a
    // file but for the files an include brings in between: bucket them by file, keeping
    // that order, and sort only a file whose references are out of order.
    for (std::size_t i = 1; i < file_offsets_.size(); ++i)
        file_offsets_[i] += file_offsets_[i - 1];
    {
        std::vector<TProjectReference> sorted;
        project::reserve_large(sorted, references_.size());
        sorted.resize(references_.size());
        std::vector<std::uint32_t> next(file_offsets_.begin(), file_offsets_.end() - 1);
        for (const TProjectReference& r : references_)
            sorted[next[r.file]++] = r;
        references_ = std::move(sorted);
    }
    const auto before = [](const TProjectReference& a, const TProjectReference& b) {
        return std::tie(a.line, a.column) < std::tie(b.line, b.column);
    };
    const auto sort_files = [&](std::size_t from, std::size_t to) {
        for (std::size_t f = from; f < to; ++f) {
            const auto first = references_.begin() + file_offsets_[f];
            const auto last = references_.begin() + file_offsets_[f + 1];
            if (!std::is_sorted(first, last, before))
                std::stable_sort(first, last, before);
        }
    };
    // On two threads, each with the files of about half of the references.
    const std::size_t files = file_offsets_.size() - 1;
    const auto middle = std::min<std::size_t>(
        files, static_cast<std::size_t>(std::upper_bound(file_offsets_.begin(), file_offsets_.end(),
                                                         references_.size() / 2) -
                                        file_offsets_.begin()));
    const std::size_t bounds[] = {0, middle, files};
    parallel_for(2, 2, [&](std::size_t half) { sort_files(bounds[half], bounds[half + 1]); });
    for (std::size_t i = 1; i < declaration_offsets_.size(); ++i)
        declaration_offsets_[i] += declaration_offsets_[i - 1];
    project::reserve_large(by_declaration_, references_.size());
    by_declaration_.resize(references_.size());
    std::vector<std::uint32_t> next(declaration_offsets_.begin(), declaration_offsets_.end() - 1);
    for (std::size_t i = 0; i < references_.size(); ++i)
        by_declaration_[next[references_[i].declaration]++] = static_cast<std::uint32_t>(i);
}

}  // namespace tabulex
