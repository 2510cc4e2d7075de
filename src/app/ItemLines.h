#pragma once
#include <string_view>
#include <vector>

namespace tabulex {

/// The source line numbers an item of the "Variáveis" or "Proc/Func" list points at, in the
/// order they stand in it, each once: the header line of a routine item ("0008 : procedure
/// ..."), the declaration line of a cross-reference entry ("Total : Integer D(0005)"), or the
/// lines of a reference line ("=(0012)  .(0013)  "). Empty for headings, rulers and blanks.
std::vector<int> item_line_numbers(std::string_view item);

}  // namespace tabulex
