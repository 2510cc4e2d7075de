#pragma once
#include <cstddef>
#include <vector>

#include "project/ProjectIndex.h"

namespace tabulex::project {

/// The circles of the unit graph: one per group of units that reach each other through
/// interface uses alone (section Interface), then one per larger group that needs an
/// implementation use to close (section Implementation). Each circle starts at the group's
/// first file and follows the fewest uses back to it.
std::vector<TUnitCycle> find_unit_cycles(std::size_t file_count,
                                         const std::vector<TUnitEdge>& edges);

}  // namespace tabulex::project
