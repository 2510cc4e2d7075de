#include "graph/ProjectGraph.h"

#include <filesystem>
#include <map>
#include <set>

namespace tabulex {

TUnitGraph project_unit_graph(const TProjectIndex& project, std::span<const std::uint32_t> files,
                              const std::function<std::string(std::uint32_t file)>& link_of)
{
    std::set<std::uint32_t> cycles;
    for (const TUnitCycle& cycle : project.unit_cycles())
        cycles.insert(cycle.files.begin(), cycle.files.end());
    TUnitGraph graph;
    std::map<std::uint32_t, std::size_t> node_of;  // file -> node
    for (std::uint32_t id : files) {
        const TProjectFile& file = project.files()[id];
        node_of[id] = graph.nodes.size();
        std::string name = file.unit_name.empty()
                               ? std::filesystem::path(file.path).filename().string()
                               : file.unit_name;
        graph.nodes.push_back({std::move(name), link_of(id), cycles.contains(id), false, {}});
    }
    // Only the drawn units' own uses are looked at, in the order of the project's edges.
    for (const auto& [file, from] : node_of)
        for (const TUnitEdge& edge : project.unit_edges_from(file)) {
            const auto to = node_of.find(edge.to);
            if (to != node_of.end() && edge.from != edge.to)
                graph.edges.push_back(
                    {from, to->second, edge.section == TUsesSection::Implementation});
        }
    return graph;
}

}  // namespace tabulex
