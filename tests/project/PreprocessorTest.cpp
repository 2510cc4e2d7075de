#include <gtest/gtest.h>
#include <set>
#include <string>

#include "ProjectTestSupport.h"
#include "SourceLines.h"
#include "project/Preprocessor.h"
#include "project/ProjectIndex.h"

namespace tabulex {
namespace {

using testing::declared_names;
using testing::source;
using testing::TTempDir;

TProjectIndex index_of(const std::string& path, TProjectOptions options = {})
{
    return build_project_index({{path}}, options);
}

bool declares(const TProjectIndex& index, const std::string& name)
{
    return declared_names(index).find("\n" + name + "\n") != std::string::npos;
}

const std::string kConditionals = source({
    "unit Cond;",                                                  // 1
    "interface",                                                   // 2
    "{$DEFINE A}",                                                 // 3
    "{$IFDEF A}",                                                  // 4
    "const InA = 1;",                                              // 5
    "{$ELSE}",                                                     // 6
    "const NotA = 1;",                                             // 7
    "{$ENDIF}",                                                    // 8
    "{$UNDEF A}",                                                  // 9
    "{$IFNDEF A} const AfterUndef = 1; {$ENDIF}",                  // 10
    "{$IF defined(FPC) and (FPC_FULLVERSION >= 30200)}",           // 11
    "const Recent = 1;",                                           // 12
    "{$IFEND}",                                                    // 13
    "{$IF defined(A) and (FPC_FULLVERSION >= 30200)}",             // 14
    "const Never = 1;",                                            // 15
    "{$ENDIF}",                                                    // 16
    "{$IFDEF X} const InX = 1;",                                   // 17
    "{$ELSEIF not defined(Y) or defined(Z)} const InElseIf = 1;",  // 18
    "{$ELSE} const InElse = 1; {$ENDIF}",                          // 19
    "{$IFOPT R+} const WithRangeChecks = 1; {$ENDIF}",             // 20
    "{$IFDEF FPC}{$IFDEF NOPE}",                                   // 21
    "const Nested = 1;",                                           // 22
    "{$ELSE}",                                                     // 23
    "const NestedElse = 1;",                                       // 24
    "{$ENDIF}{$ENDIF}",                                            // 25
    "{$IF CompilerVersion >= 20} const Delphi2009 = 1; {$IFEND}",  // 26
    "{$IFDEF DCC} const DelphiOnly = 1; {$ENDIF}",                 // 27
    "implementation",                                              // 28
    "end.",                                                        // 29
});

TEST(PreprocessorTest, ConditionalsFollowDefinesAndTheCompiler)
{
    TTempDir dir;
    const std::string path = dir.file("cond.pas", kConditionals);
    const TProjectIndex fpc = index_of(path);
    for (const char* name : {"InA", "AfterUndef", "Recent", "InElseIf", "NestedElse"})
        EXPECT_TRUE(declares(fpc, name)) << name;
    for (const char* name : {"NotA", "Never", "InX", "InElse", "WithRangeChecks", "Nested",
                             "Delphi2009", "DelphiOnly"})
        EXPECT_FALSE(declares(fpc, name)) << name;
    const auto& inactive = fpc.files()[0].inactive_lines;
    ASSERT_GE(inactive.size(), 3u);
    EXPECT_EQ(inactive[0].first, 7);
    EXPECT_EQ(inactive[0].last, 7);
    EXPECT_EQ(inactive[1].first, 15);
    EXPECT_EQ(inactive[1].last, 15);

    TProjectOptions options;
    options.compiler = TCompiler::Delphi;
    options.defines = {"X"};
    const TProjectIndex delphi = index_of(path, options);
    for (const char* name : {"InX", "Delphi2009", "DelphiOnly"})
        EXPECT_TRUE(declares(delphi, name)) << name;
    for (const char* name : {"Recent", "InElseIf", "InElse"})
        EXPECT_FALSE(declares(delphi, name)) << name;
}

TEST(PreprocessorTest, IncludeLoopsAndMissingIncludesAreRecorded)
{
    TTempDir dir;
    dir.file("loop.inc", "const FromLoop = 1;\r\n{$I loop.inc}\r\n");
    std::filesystem::create_directories(dir.path() + "/paths");
    dir.file("paths/found.inc", "const FromPath = 1;\r\n");
    std::filesystem::create_directories(dir.path() + "/sub");
    dir.file("sub/win.inc", "const FromWindowsPath = 1;\r\n");
    const std::string path = dir.file("inc.pas", source({
                                                     "unit Inc;",
                                                     "interface",
                                                     "{$I loop.inc}",
                                                     "{$INCLUDE 'missing.inc'}",
                                                     "{$I found}",
                                                     "{$I sub\\win.inc}",
                                                     "implementation",
                                                     "end.",
                                                 }));
    TProjectOptions options;
    options.include_paths = {dir.path() + "/paths"};
    const TProjectIndex index = index_of(path, options);
    EXPECT_TRUE(declares(index, "FromLoop"));
    EXPECT_TRUE(declares(index, "FromPath"));
    EXPECT_TRUE(declares(index, "FromWindowsPath"));
    const TProjectFile& unit = index.files()[0];
    ASSERT_EQ(unit.includes.size(), 4u);
    EXPECT_EQ(unit.includes[1].problem, TIncludeProblem::Missing);
    EXPECT_EQ(unit.includes[1].name, "missing.inc");
    EXPECT_EQ(unit.includes[1].line, 4);
    EXPECT_EQ(unit.includes[2].problem, TIncludeProblem::None);
    const TProjectFile& loop = index.files()[unit.includes[0].file];
    ASSERT_EQ(loop.includes.size(), 1u);
    EXPECT_EQ(loop.includes[0].problem, TIncludeProblem::Loop);
    EXPECT_FALSE(loop.diagnostics.empty());
}

TEST(PreprocessorTest, BranchesThatOpenDifferentBlocksAreReported)
{
    TTempDir dir;
    const std::string path =
        dir.file("blocks.pas", source({
                                   "program Blocks;",
                                   "procedure P;",
                                   "begin",
                                   "{$IFDEF FPC}",
                                   "  if True then begin",
                                   "{$ELSE}",
                                   "  if True then",
                                   "{$ENDIF}",
                                   "  end;",
                                   "end;",
                                   "type",
                                   "{$IFDEF FPC}",
                                   "  R = record case Integer of 0: (A: Byte); end;",
                                   "  C = class;",
                                   "  D = class(TObject);",
                                   "{$ELSE}",
                                   "  R = record A: Byte; end;",
                                   "{$ENDIF}",
                                   "begin",
                                   "end.",
                               }));
    const TProjectIndex index = index_of(path);
    const auto& diagnostics = index.files()[0].diagnostics;
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 4);
    EXPECT_NE(diagnostics[0].message.find("begin/end unbalanced"), std::string::npos);
}

// Blocks made ahead in one piece and blocks made later go round alike: each is given to one
// row at a time and can hold a whole block of tokens.
TEST(TokenPoolTest, PrefilledAndLaterBlocksGoRound)
{
    project::TTokenPool pool;
    pool.prefill(3);
    project::TTokenRow row;
    for (int i = 0; i < 5; ++i)
        row.blocks.push_back(pool.take());
    std::set<project::TTokenBlock*> distinct(row.blocks.begin(), row.blocks.end());
    EXPECT_EQ(distinct.size(), 5u);
    for (project::TTokenBlock* block : row.blocks) {
        block->tokens[0].line = 1;
        block->tokens[project::TTokenBlock::kSize - 1].line = 2;
    }
    pool.give_back(row);
    EXPECT_TRUE(row.blocks.empty());
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(distinct.count(pool.take()));
}

}  // namespace
}  // namespace tabulex
