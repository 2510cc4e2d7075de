#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "ProjectTestSupport.h"
#include "project/ProjectIndex.h"
#include "project/ProjectOutputs.h"

namespace tabulex {
namespace {

using testing::multi_project_dir;
using testing::TTempDir;

// The notes both sides give: unused locals, parameters and units, as "FILE(LINE,COL) TEXT"
// with the file name alone.
std::set<std::string> notes_of(const std::string& text)
{
    std::set<std::string> notes;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const bool wanted = line.find(") Note: Local variable") != std::string::npos ||
                            line.find(") Hint: Parameter") != std::string::npos ||
                            line.find(") Hint: Value parameter") != std::string::npos ||
                            (line.find(") Hint: Unit \"") != std::string::npos &&
                             line.find("\" not used in ") != std::string::npos);
        if (!wanted)
            continue;
        const std::size_t slash = line.rfind('/', line.find('('));
        notes.insert(slash == std::string::npos ? line : line.substr(slash + 1));
    }
    return notes;
}

// Debian's compiler is the yardstick: on the test project, --check gives the notes it gives.
TEST(FpcCompareTest, CheckGivesTheCompilersNotesOnTheTestProject)
{
    TTempDir dir;
    std::string output;
    const std::string command = "command -v fpc >/dev/null && cd '" + multi_project_dir() +
                                "' && fpc -vhn -Cn -FU'" + dir.path() + "' -FE'" + dir.path() +
                                "' demo.lpr 2>&1";
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            output.append(buffer.data(), n);
        if (::pclose(pipe) != 0 && output.empty())
            GTEST_SKIP() << "fpc is not installed";
    }
    ASSERT_NE(output.find(" lines compiled"), std::string::npos) << output;
    const std::set<std::string> compiler = notes_of(output);
    EXPECT_EQ(compiler.size(), 4u) << output;

    std::string ours;
    write_check_notes(build_project_index({{multi_project_dir() + "/demo.lpr"}}, {}),
                      [&](std::string_view s) { ours += s; });
    EXPECT_EQ(notes_of(ours), compiler);
}

}  // namespace
}  // namespace tabulex
