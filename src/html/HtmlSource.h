#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/DeclarationScanner.h"

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

/// What the HTML run keeps of one source between scanning it and writing its page.
struct THtmlSource {
    std::string path;               ///< as given
    std::string folder;             ///< the folder it is listed under in the index
    std::string name;               ///< file name
    std::string page;               ///< page file name in the output folder
    std::string unit;               ///< file name without extension: the name other units use it by
    TDeclarationLists lists;        ///< while its page is written
    std::vector<std::string> uses;  ///< units of its uses clauses, in order (from `lists`)
    TNameMap<long long> interfaceNames;  ///< names declared in a unit's interface, and their lines

    // Index figures, known once the page is written.
    bool written = false;
    std::size_t lines = 0;
    std::size_t routines = 0;
    std::size_t names = 0;
};

/// A declaration item of the cross reference ("Total : Integer D(0005)"): the name and line.
struct TXrefDeclaration {
    std::string_view name;
    long long line = 0;
    std::size_t numberStart = 0;  ///< where the line number's digits begin in the item
    std::size_t numberLength = 0;
};
/// Reads a declaration item; false for headings and reference items.
bool parse_xref_declaration(std::string_view item, TXrefDeclaration& declaration);

/// Calls `mark` with the offset and length of each line number of a reference item
/// ("=(0012)  .(0013)   "); false, calling nothing, when the item is not one.
template <typename Mark>
bool for_each_reference(std::string_view item, Mark&& mark);

/// The unit names of a uses-list item, with their offsets; headings and rulers hold none.
template <typename Name>
void for_each_used_unit(std::string_view item, Name&& name);

/// Pass one over a source: for a unit, the names its interface declares and their lines, found
/// as the cross reference finds declarations (a name followed by ":", outside parentheses).
void scan_unit_interface(const std::string& bytes, THtmlSource& source);

/// Fills `source.uses` from the uses list of `source.lists`.
void collect_uses(THtmlSource& source);

// --- templates -------------------------------------------------------------------------------

template <typename Mark>
bool for_each_reference(std::string_view item, Mark&& mark)
{
    // Shape check first, so that nothing is reported for an item that is not all marks.
    std::size_t i = 0;
    bool any = false;
    while (i < item.size()) {
        if (item[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 2 >= item.size() || (item[i] != '=' && item[i] != '.') || item[i + 1] != '(')
            return false;
        std::size_t j = i + 2;
        while (j < item.size() && item[j] >= '0' && item[j] <= '9')
            ++j;
        if (j == i + 2 || j >= item.size() || item[j] != ')')
            return false;
        i = j + 1;
        any = true;
    }
    if (!any)
        return false;
    for (i = 0; i < item.size(); ++i) {
        if (item[i] != '(')
            continue;
        std::size_t j = i + 1;
        while (item[j] != ')')
            ++j;
        mark(i + 1, j - i - 1);
        i = j;
    }
    return true;
}

template <typename Name>
void for_each_used_unit(std::string_view item, Name&& name)
{
    // Headings and rulers end with ": " or are made of hyphens; unit lines are names
    // separated by two blanks.
    if (item.find(':') != std::string_view::npos || item.find('-') != std::string_view::npos)
        return;
    std::size_t i = 0;
    while (i < item.size()) {
        while (i < item.size() && item[i] == ' ')
            ++i;
        std::size_t j = i;
        while (j < item.size() && item[j] != ' ')
            ++j;
        if (j > i)
            name(i, j - i);
        i = j;
    }
}

}  // namespace tabulex
