#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "graph/UnitGraph.h"
#include "project/ProjectIndex.h"

namespace tabulex {

/// The picture of some of a project's units: node i stands for `files[i]` (file ids), named by
/// its unit name (its file name when it has none) and marked when one of the project's unit
/// cycles passes through it; `link_of` gives each node's link. Only the uses between these
/// files are drawn; a unit's use of itself is left out.
TUnitGraph project_unit_graph(const TProjectIndex& project, std::span<const std::uint32_t> files,
                              const std::function<std::string(std::uint32_t file)>& link_of);

}  // namespace tabulex
