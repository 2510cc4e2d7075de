#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// Hash and equality that ignore ASCII letter case, as Pascal names do.
struct TNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept
    {
        std::size_t hash = 14695981039346656037ULL;
        for (char c : name) {
            hash ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            hash *= 1099511628211ULL;
        }
        return hash;
    }
};
struct TNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};
template <typename T>
using TNameMap = std::unordered_map<std::string, T, TNameHash, TNameEqual>;

/// What the HTML run keeps of one source between reading it and writing its page.
struct THtmlSource {
    std::string path;    ///< as given
    std::string folder;  ///< the folder it is listed under in the index
    std::string name;    ///< file name
    std::string page;    ///< page file name in the output folder
    std::string unit;    ///< file name without extension: the name other units use it by
    /// The analysis of its text, held until its page is written.
    std::shared_ptr<const TSourceAnalysis> analysis;
    TNameMap<long long> interfaceNames;  ///< names declared in a unit's interface, and their lines

    // Index figures, known once the page is written.
    bool written = false;
    std::size_t lines = 0;
    std::size_t routines = 0;
    std::size_t names = 0;
};

/// Takes the names a unit's interface declares, and their lines, from its analysis; a name
/// declared twice (overloads) keeps its first line. Programs, libraries and forms export nothing.
void collect_interface_names(THtmlSource& source);

}  // namespace tabulex
