#include <gtest/gtest.h>
#include <string>

#include "ProjectTestSupport.h"
#include "SourceLines.h"
#include "project/NameTable.h"
#include "project/ProjectIndex.h"
#include "project/ProjectOutputs.h"
#include "project/UnitCycles.h"

namespace tabulex {
namespace {

using testing::declaration_at;
using testing::source;
using testing::TTempDir;

std::string notes_of(const TProjectIndex& index)
{
    std::string text;
    write_check_notes(index, [&](std::string_view s) { text += s; });
    return text;
}

// Pascal's scope rules where several declarations share a name: the last used unit wins, the
// unit's own declarations come first, a class's ancestors give their members, a pointer type
// may name a type declared below it, and enum values are found directly and through the type.
TEST(ResolverTest, NamesFollowPascalsScopeRules)
{
    TTempDir dir;
    dir.file("ua.pas", source({"unit UA;", "interface", "const Shared = 1; OnlyA = 2;",
                               "implementation", "end."}));
    dir.file("ub.pas",
             source({"unit UB;", "interface", "const Shared = 3;", "implementation", "end."}));
    const std::string main =
        dir.file("main.pas",
                 source({
                     "unit Main;",                                                   // 1
                     "{$mode objfpc}",                                               // 2
                     "interface",                                                    // 3
                     "uses UA, UB;",                                                 // 4
                     "type",                                                         // 5
                     "  PNode = ^TNode;",                                            // 6
                     "  TNode = record Next: PNode; Value: Integer; end;",           // 7
                     "  TBase = class Count: Integer; end;",                         // 8
                     "  TChild = class(TBase) procedure Bump(Step: Integer); end;",  // 9
                     "  TColor = (Red, Green);",                                     // 10
                     "implementation",                                               // 11
                     "const OnlyA = 5;",                                             // 12
                     "procedure TChild.Bump(Step: Integer);",                        // 13
                     "var N: PNode; C: TColor;",                                     // 14
                     "begin",                                                        // 15
                     "  Count := Shared + OnlyA + UA.Shared + Step;",                // 16
                     "  N^.Next^.Value := 1;",                                       // 17
                     "  C := TColor.Green;",                                         // 18
                     "  if C = Red then Exit;",                                      // 19
                     "end;",                                                         // 20
                     "end.",                                                         // 21
                 }));
    const TProjectIndex index = build_project_index({{main}}, {});
    EXPECT_EQ(index.unresolved_count(), 0u);
    struct TCase {
        int line, column;
        const char* file;
        int declared_line;
    };
    const TCase cases[] = {
        {16, 3, "main.pas", 8},    // a member of the ancestor inside a method
        {16, 12, "ub.pas", 3},     // the unit named last wins
        {16, 21, "main.pas", 12},  // the unit's own implementation before the used units
        {16, 32, "ua.pas", 3},     // UA.Shared
        {16, 41, "main.pas", 9},   // the parameter, declared with the method in its class
        {17, 6, "main.pas", 7},    // a pointer declared before its target
        {17, 12, "main.pas", 7},  {18, 15, "main.pas", 10},  // TColor.Green
        {19, 10, "main.pas", 10},                            // Red without its type
        {13, 18, "main.pas", 9},  // the implementation header names the method
    };
    for (const TCase& c : cases) {
        const TProjectDeclaration* d = declaration_at(index, "main.pas", c.line, c.column);
        ASSERT_NE(d, nullptr) << c.line << "," << c.column;
        EXPECT_TRUE(index.files()[d->file].path.ends_with(c.file)) << c.line << "," << c.column;
        EXPECT_EQ(d->line, c.declared_line) << c.line << "," << c.column;
    }
    const TProjectDeclaration* step = declaration_at(index, "main.pas", 16, 41);
    EXPECT_EQ(step->kind, TDeclarationKind::Parameter);
    EXPECT_EQ(index.references_of(step->id).size(), 3u);  // declared, repeated, read
}

// What the compiler counts as a use: var and out arguments, Inc; what it does not: an
// assignment, SetLength, a field written through the record. Typed constants are variables,
// {%H-} is only a comment, routines with asm blocks are not checked, a unit with an
// initialization that runs code is used.
TEST(ResolverTest, NotesCountUsesAsTheCompilerDoes)
{
    TTempDir dir;
    dir.file("inits.pas", source({"unit Inits;", "interface", "implementation", "var X: Integer;",
                                  "initialization", "  X := 1;", "  if X = 0 then ;", "end."}));
    const std::string program =
        dir.file("p.pas", source({
                              "program P;",                                              // 1
                              "{$mode objfpc}",                                          // 2
                              "uses Inits;",                                             // 3
                              "type TRec = record F: Integer; end;",                     // 4
                              "const Typed: Integer = 1;",                               // 5
                              "procedure Take(var V: Integer; out O: Integer);",         // 6
                              "begin V := 1; O := 2; end;",                              // 7
                              "procedure Run(A: Integer; {%H-}B: Integer);",             // 8
                              "var ByVar, ByOut, Counted, Assigned: Integer; R: TRec;",  // 9
                              "  S: array of Integer;",                                  // 10
                              "begin",                                                   // 11
                              "  Take(ByVar, ByOut); Inc(Counted); Assigned := 1;",      // 12
                              "  R.F := 1; SetLength(S, 2); A := 3;",                    // 13
                              "end;",                                                    // 14
                              "procedure Low(Unused: Integer);",                         // 15
                              "begin",                                                   // 16
                              "  asm",                                                   // 17
                              "  end;",                                                  // 18
                              "end;",                                                    // 19
                              "begin",                                                   // 20
                              "  Run(1, 2); Low(0);",                                    // 21
                              "end.",                                                    // 22
                          }));
    const std::string path = dir.path() + "/p.pas";
    EXPECT_EQ(notes_of(build_project_index({{program}}, {})),
              path + "(9,28) Note: Local variable \"Assigned\" is assigned but never used\n" +
                  path + "(9,47) Note: Local variable \"R\" is assigned but never used\n" + path +
                  "(10,3) Note: Local variable \"S\" is assigned but never used\n" + path +
                  "(8,15) Hint: Value parameter \"A\" is assigned but never used\n" + path +
                  "(8,32) Hint: Parameter \"B\" not used\n" + path +
                  "(5,7) Note: Local variable \"Typed\" not used\n");
}

TEST(ResolverTest, CyclesOfInterfaceUsesAreToldApart)
{
    const std::vector<TUnitEdge> edges = {
        {0, 1, TUsesSection::Interface}, {1, 0, TUsesSection::Interface},
        {2, 3, TUsesSection::Interface}, {3, 4, TUsesSection::Implementation},
        {4, 2, TUsesSection::Interface}, {5, 5, TUsesSection::Implementation},
    };
    const std::vector<TUnitCycle> cycles = project::find_unit_cycles(6, edges);
    ASSERT_EQ(cycles.size(), 3u);
    EXPECT_EQ(cycles[0].section, TUsesSection::Interface);
    EXPECT_EQ(cycles[0].files, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(cycles[1].section, TUsesSection::Implementation);
    EXPECT_EQ(cycles[1].files, (std::vector<std::uint32_t>{2, 3, 4}));
    EXPECT_EQ(cycles[2].files, (std::vector<std::uint32_t>{5}));
}

// Overloads keep the order they were declared in, also after the table has grown many times.
TEST(ResolverTest, NameTableKeepsDeclarationOrderAcrossGrowth)
{
    project::TNameTable table;
    const std::uint32_t scope = table.new_table();
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i)
        names.push_back("Name" + std::to_string(i % 700));
    for (std::uint32_t i = 0; i < names.size(); ++i)
        table.insert(scope, names[i], i);
    std::vector<std::uint32_t> overloads;
    table.each(scope, "NAME5", [&](std::uint32_t s) { overloads.push_back(s); });
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 5; i < names.size(); i += 700)
        expected.push_back(i);
    EXPECT_EQ(overloads, expected);
    EXPECT_EQ(table.find(scope, "name699"), 699u);
    EXPECT_EQ(table.find(table.new_table(), "Name1"), kNoId);
}

}  // namespace
}  // namespace tabulex
