#include "project/UnitCycles.h"

#include <algorithm>
#include <deque>

namespace tabulex::project {

namespace {

using TGraph = std::vector<std::vector<std::uint32_t>>;

// Strongly connected components (Tarjan), walked without recursion; components of one node
// count only with an edge to itself.
std::vector<std::vector<std::uint32_t>> components(const TGraph& graph)
{
    const std::size_t n = graph.size();
    std::vector<std::uint32_t> order(n, kNoId), low(n, 0), stack;
    std::vector<bool> on_stack(n, false);
    std::vector<std::vector<std::uint32_t>> result;
    std::uint32_t counter = 0;
    for (std::uint32_t root = 0; root < n; ++root) {
        if (order[root] != kNoId)
            continue;
        std::vector<std::pair<std::uint32_t, std::size_t>> walk{{root, 0}};
        order[root] = low[root] = counter++;
        stack.push_back(root);
        on_stack[root] = true;
        while (!walk.empty()) {
            auto& [v, i] = walk.back();
            if (i < graph[v].size()) {
                const std::uint32_t w = graph[v][i++];
                if (order[w] == kNoId) {
                    order[w] = low[w] = counter++;
                    stack.push_back(w);
                    on_stack[w] = true;
                    walk.emplace_back(w, 0);
                } else if (on_stack[w]) {
                    low[v] = std::min(low[v], order[w]);
                }
                continue;
            }
            const std::uint32_t done = v;
            walk.pop_back();
            if (!walk.empty())
                low[walk.back().first] = std::min(low[walk.back().first], low[done]);
            if (low[done] != order[done])
                continue;
            std::vector<std::uint32_t> group;
            std::uint32_t w = kNoId;
            do {
                w = stack.back();
                stack.pop_back();
                on_stack[w] = false;
                group.push_back(w);
            } while (w != done);
            const bool self_loop =
                std::find(graph[done].begin(), graph[done].end(), done) != graph[done].end();
            if (group.size() > 1 || self_loop) {
                std::sort(group.begin(), group.end());
                result.push_back(std::move(group));
            }
        }
    }
    return result;
}

// The shortest way from the group's first node back to it, inside the group.
std::vector<std::uint32_t> circle(const TGraph& graph, const std::vector<std::uint32_t>& group)
{
    const std::uint32_t start = group.front();
    std::vector<std::uint32_t> parent(graph.size(), kNoId);
    std::deque<std::uint32_t> queue{start};
    auto inside = [&](std::uint32_t v) {
        return std::binary_search(group.begin(), group.end(), v);
    };
    while (!queue.empty()) {
        const std::uint32_t v = queue.front();
        queue.pop_front();
        for (std::uint32_t w : graph[v]) {
            if (w == start) {
                std::vector<std::uint32_t> path;
                for (std::uint32_t x = v; x != start; x = parent[x])
                    path.push_back(x);
                path.push_back(start);
                std::reverse(path.begin(), path.end());
                return path;
            }
            if (inside(w) && parent[w] == kNoId) {
                parent[w] = v;
                queue.push_back(w);
            }
        }
    }
    return {start};
}

}  // namespace

std::vector<TUnitCycle> find_unit_cycles(std::size_t file_count,
                                         const std::vector<TUnitEdge>& edges)
{
    TGraph interface_graph(file_count), full_graph(file_count);
    for (const TUnitEdge& e : edges) {
        full_graph[e.from].push_back(e.to);
        if (e.section == TUsesSection::Interface)
            interface_graph[e.from].push_back(e.to);
    }
    std::vector<TUnitCycle> cycles;
    const auto interface_groups = components(interface_graph);
    for (const auto& group : interface_groups)
        cycles.push_back({TUsesSection::Interface, circle(interface_graph, group)});
    for (const auto& group : components(full_graph)) {
        if (std::find(interface_groups.begin(), interface_groups.end(), group) !=
            interface_groups.end())
            continue;
        cycles.push_back({TUsesSection::Implementation, circle(full_graph, group)});
    }
    return cycles;
}

}  // namespace tabulex::project
