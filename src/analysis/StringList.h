#pragma once
#include <string>
#include <vector>

namespace tabulex {

/// A list of single-byte strings, one item per output line (the hand-over format between
/// the builders, the export and the report).
using StringList = std::vector<std::string>;

}  // namespace tabulex
