#include <array>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "ProjectTestSupport.h"
#include "cli/CliRunner.h"
#include "project/ProjectIndex.h"
#include "project/ProjectOutputs.h"

namespace tabulex {
namespace {

using testing::multi_project_dir;
using testing::TTempDir;

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string run_command(const std::string& command)
{
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            output.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return output;
}

TEST(ProjectOutputsTest, CommandWritesIndexTagsAndNotesWithStatusZero)
{
    TTempDir dir;
    const std::string json = dir.path() + "/index.json";
    const std::string tags = dir.path() + "/tags";
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = run_cli({"--index", json, "--tags", tags, "--check", "--define", "BIG",
                                multi_project_dir() + "/demo.lpr"},
                               out, err);
    EXPECT_EQ(status, 0);
    std::rewind(out);
    std::array<char, 256> line{};
    ASSERT_NE(std::fgets(line.data(), line.size(), out), nullptr);
    EXPECT_NE(std::string(line.data()).find("Local variable \"Side\""), std::string::npos);
    std::fclose(out);
    std::fclose(err);

    const std::string index = read_all(json);
    EXPECT_TRUE(index.starts_with("{\"format\":\"tabulex-project-index\",\"version\":1,"));
    EXPECT_NE(index.find("\"name\":\"Spare\",\"section\":\"interface\",\"line\":4,\"column\":24"),
              std::string::npos);
    EXPECT_NE(index.find("{\"section\":\"implementation\",\"units\":[\"Shapes\",\"Geometry\"]"),
              std::string::npos);
    EXPECT_NE(index.find("\"unresolved\":0}"), std::string::npos);

    const std::string tag_text = read_all(tags);
    EXPECT_TRUE(tag_text.starts_with("!_TAG_FILE_FORMAT\t2\t"));
    EXPECT_NE(tag_text.find("\nFSide\t" + multi_project_dir() +
                            "/shapes.pas\t9;\"\tkind:field\tline:9\tclass:TShape\n"),
              std::string::npos);
}

// Paths are bytes: quotes, backslashes, control bytes and bytes that are not UTF-8 still make
// valid JSON strings, and plain ASCII around them is kept as it is.
TEST(ProjectOutputsTest, IndexEscapesWhatJsonStringsCannotHold)
{
    TTempDir dir;
    const std::string name = std::string("q\"b\\s\x01l\xE9 \xC3\xA9.pas");
    dir.file(name, "unit x;\ninterface\nvar Plain: Integer;\nimplementation\nend.\n");
    std::string json;
    const TProjectIndex index = build_project_index({{dir.path() + "/" + name}}, {});
    write_index_json(index, [&](std::string_view text) { json += text; });
    EXPECT_NE(json.find("q\\\"b\\\\s\\u0001l\xC3\xA9 \xC3\xA9.pas\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\":\"Plain\",\"kind\":\"variable\""), std::string::npos);
}

TEST(ProjectOutputsTest, CommandRefusesProjectOptionsWithTextOutputs)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(run_cli({"--check", "--out-dir", "x", "a.pas"}, out, err), CliUsage);
    EXPECT_EQ(run_cli({"--unit-path", "x", "a.pas"}, out, err), CliUsage);
    EXPECT_EQ(run_cli({"--check", "--compiler", "tp", "a.pas"}, out, err), CliUsage);
    EXPECT_EQ(run_cli({"--check", "/nonexistent/a.pas"}, out, err), CliSourceFailed);
    std::fclose(out);
    std::fclose(err);
}

// The tags file is the one editors read: readtags (Universal Ctags) finds names in it.
TEST(ProjectOutputsTest, ReadtagsFindsTheDeclarations)
{
    if (run_command("command -v readtags").empty())
        GTEST_SKIP() << "readtags is not installed";
    TTempDir dir;
    std::string text;
    write_tags(build_project_index({{multi_project_dir() + "/demo.lpr"}}, {}),
               [&](std::string_view s) { text += s; });
    const std::string tags = dir.file("tags", text);
    EXPECT_EQ(run_command("readtags -t '" + tags + "' TShape"),
              "TShape\t" + multi_project_dir() + "/shapes.pas\t7\n");
    EXPECT_EQ(run_command("readtags -t '" + tags + "' -i twice | cut -f1,3"), "Twice\t6\n");
    const std::string fields = run_command("readtags -t '" + tags + "' -e -p Cou");
    EXPECT_NE(fields.find("Count\t" + multi_project_dir() + "/demo.lpr\t11;\"\tkind:local"),
              std::string::npos);
}

}  // namespace
}  // namespace tabulex
