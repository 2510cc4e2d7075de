#include "graph/UnitGraph.h"

#include <gvc.h>
#include <memory>
#include <mutex>

namespace tabulex {

namespace {

// The layout library keeps global state: one graph at a time.
std::mutex& layout_lock()
{
    static std::mutex lock;
    return lock;
}

struct TContextCloser {
    void operator()(GVC_t* context) const { gvFreeContext(context); }
};
struct TGraphCloser {
    void operator()(Agraph_t* graph) const { agclose(graph); }
};

// One layout context for the whole run, made on first use and kept (call under the lock): the
// text layout plugin remembers the last font it measured by a pointer into the context's font
// table, so a context freed between two pictures would leave it reading freed memory.
GVC_t* layout_context()
{
    static const std::unique_ptr<GVC_t, TContextCloser> context(gvContext());
    return context.get();
}

// Sets an attribute, declaring it with an empty default the first time.
template <typename Object>
void set(Object* object, const char* name, const std::string& value)
{
    agsafeset(object, const_cast<char*>(name), const_cast<char*>(value.c_str()),
              const_cast<char*>(""));
}

void set_graph_defaults(Agraph_t* graph)
{
    set(graph, "rankdir", "TB");
    set(graph, "nodesep", "0.25");
    set(graph, "ranksep", "0.45");
    set(graph, "fontname", "Liberation Sans");
    agattr(graph, AGNODE, const_cast<char*>("shape"), const_cast<char*>("box"));
    agattr(graph, AGNODE, const_cast<char*>("style"), const_cast<char*>("rounded,filled"));
    agattr(graph, AGNODE, const_cast<char*>("fillcolor"), const_cast<char*>("#eef3fb"));
    agattr(graph, AGNODE, const_cast<char*>("color"), const_cast<char*>("#5b7db1"));
    agattr(graph, AGNODE, const_cast<char*>("fontname"), const_cast<char*>("Liberation Sans"));
    agattr(graph, AGNODE, const_cast<char*>("fontsize"), const_cast<char*>("10"));
    agattr(graph, AGEDGE, const_cast<char*>("color"), const_cast<char*>("#7a869a"));
    agattr(graph, AGEDGE, const_cast<char*>("arrowsize"), const_cast<char*>("0.6"));
}

void add_node(Agraph_t* graph, const TGraphNode& unit, std::size_t index,
              std::vector<Agnode_t*>& nodes)
{
    // Nodes are named by their index, so that two units of one name stay apart; the label
    // shows the name.
    const std::string id = "n" + std::to_string(index);
    Agnode_t* node = agnode(graph, const_cast<char*>(id.c_str()), 1);
    set(node, "label", unit.name);
    set(node, "tooltip", unit.name);
    if (!unit.id.empty())
        set(node, "id", unit.id);
    if (unit.external) {
        set(node, "fillcolor", "#f2f2f2");
        set(node, "color", "#a0a0a0");
        set(node, "fontcolor", "#707070");
        set(node, "style", "rounded,filled,dashed");
    } else if (!unit.link.empty()) {
        set(node, "URL", unit.link);
        set(node, "target", "_top");
    }
    if (unit.on_cycle) {
        set(node, "fillcolor", "#fde2dc");
        set(node, "color", "#c0392b");
        set(node, "penwidth", "1.6");
    }
    nodes.push_back(node);
}

}  // namespace

std::string render_unit_graph_svg(const TUnitGraph& graph)
{
    const std::lock_guard guard(layout_lock());
    GVC_t* const context = layout_context();
    if (context == nullptr)
        return {};
    std::unique_ptr<Agraph_t, TGraphCloser> g(
        agopen(const_cast<char*>("unidades"), Agdirected, nullptr));
    if (!g)
        return {};
    set_graph_defaults(g.get());
    // Crossings are reduced with less effort as the picture grows: the layout of a few
    // hundred units would otherwise take minutes.
    const std::size_t size = graph.nodes.size() + graph.edges.size();
    if (size > 60) {
        set(g.get(), "splines", "line");
        set(g.get(), "mclimit", size > 400 ? "0.05" : "0.3");
        set(g.get(), "nslimit", "2");
        set(g.get(), "nslimit1", "2");
        set(g.get(), "remincross", "false");
    }
    std::vector<Agnode_t*> nodes;
    nodes.reserve(graph.nodes.size());
    for (std::size_t i = 0; i < graph.nodes.size(); ++i)
        add_node(g.get(), graph.nodes[i], i, nodes);
    for (const TGraphEdge& edge : graph.edges) {
        if (edge.from >= nodes.size() || edge.to >= nodes.size())
            continue;
        Agedge_t* e = agedge(g.get(), nodes[edge.from], nodes[edge.to], nullptr, 1);
        if (edge.implementation)
            set(e, "style", "dashed");
        if (graph.nodes[edge.from].on_cycle && graph.nodes[edge.to].on_cycle)
            set(e, "color", "#c0392b");
    }
    if (gvLayout(context, g.get(), "dot") != 0)
        return {};
    char* data = nullptr;
    unsigned int length = 0;
    std::string svg;
    if (gvRenderData(context, g.get(), "svg", &data, &length) == 0 && data != nullptr)
        svg.assign(data, length);
    if (data != nullptr)
        gvFreeRenderData(data);
    gvFreeLayout(context, g.get());
    return svg;
}

}  // namespace tabulex
