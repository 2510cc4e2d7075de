#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "graph/ProjectGraph.h"
#include "project/ProjectIndex.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

// A program and two units that use each other: the picture of a part of a project draws only
// the files asked for and the uses between them.
TEST(ProjectGraph, DrawsTheFilesAskedForAndTheUsesBetweenThem)
{
    const fs::path dir =
        fs::temp_directory_path() / ("tabulex_graph_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "P.dpr") << "program P;\nuses A, B;\nbegin\nend.\n";
    std::ofstream(dir / "A.pas") << "unit A;\ninterface\nimplementation\nuses B;\nend.\n";
    std::ofstream(dir / "B.pas") << "unit B;\ninterface\nuses A;\nimplementation\nend.\n";
    const TProjectIndex index = build_project_index({{(dir / "P.dpr").string()}}, {});
    fs::remove_all(dir);
    std::uint32_t p = kNoId, a = kNoId, b = kNoId;
    for (std::uint32_t id = 0; id < index.files().size(); ++id)
        (index.files()[id].unit_name == "P" ? p : index.files()[id].unit_name == "A" ? a : b) = id;
    ASSERT_NE(p, kNoId);

    const std::vector<std::uint32_t> units{a, b};
    TUnitGraph graph = project_unit_graph(
        index, units, [&](std::uint32_t file) { return "f" + std::to_string(file); });
    ASSERT_EQ(graph.nodes.size(), 2u);
    EXPECT_EQ(graph.nodes[0].name, "A");
    EXPECT_EQ(graph.nodes[1].link, "f" + std::to_string(b));
    EXPECT_TRUE(graph.nodes[0].on_cycle && graph.nodes[1].on_cycle);
    // The program is not drawn, so neither are its uses; A uses B in its implementation.
    ASSERT_EQ(graph.edges.size(), 2u);
    for (const TGraphEdge& edge : graph.edges)
        EXPECT_EQ(edge.implementation, edge.from == 0);

    // Node groups keep the layout library's ids unless ids are given.
    EXPECT_NE(render_unit_graph_svg(graph).find("id=\"node1\""), std::string::npos);
    graph.nodes[1].id = "unit1";
    const std::string svg = render_unit_graph_svg(graph);
    EXPECT_NE(svg.find("id=\"unit1\""), std::string::npos);
    EXPECT_NE(svg.find("id=\"node1\""), std::string::npos);
}

}  // namespace
