#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace tabulex {

/// A unit of a dependency picture.
struct TGraphNode {
    std::string name;       ///< shown in the box (bytes of the unit's name, UTF-8)
    std::string link;       ///< where a click on it leads (a relative URL), empty for none
    bool on_cycle = false;  ///< part of a circle of units: drawn in a colour of its own
    bool external = false;  ///< outside the project: drawn apart, grey and without a link
    /// The id of the node's group in the SVG, so that a viewer can find where it was drawn;
    /// empty: the layout library numbers the groups itself.
    std::string id;
};

/// `from` uses `to`: solid when the interface uses it, dashed for the implementation.
struct TGraphEdge {
    std::size_t from = 0;
    std::size_t to = 0;
    bool implementation = false;
};

/// The units of one picture and the uses between them.
struct TUnitGraph {
    std::vector<TGraphNode> nodes;
    std::vector<TGraphEdge> edges;
};

/// Lays the graph out (Graphviz's hierarchical layout, the used units below their users) and
/// draws it as an SVG document in which every node with a link is one. Empty when the layout
/// cannot be made. Calls from several threads are serialised: the layout library keeps
/// global state.
std::string render_unit_graph_svg(const TUnitGraph& graph);

}  // namespace tabulex
