#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "ProjectTestSupport.h"
#include "project/ProjectIndex.h"
#include "project/ProjectOutputs.h"

namespace tabulex {
namespace {

using testing::declaration_at;
using testing::multi_project_dir;

TProjectIndex demo_index(std::vector<std::string> defines = {})
{
    TProjectOptions options;
    options.defines = std::move(defines);
    return build_project_index({{multi_project_dir() + "/demo.lpr"}}, options);
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Every use of a name in the test project is bound to a declaration of that name, and the
// places where Pascal's rules decide between several are bound to the right one.
TEST(ProjectIndexTest, EveryReferenceOfTheTestProjectFindsItsDeclaration)
{
    const TProjectIndex index = demo_index();
    EXPECT_EQ(index.unresolved_count(), 0u);
    std::size_t checked = 0;
    for (const TProjectReference& r : index.references()) {
        const TProjectFile& file = index.files()[r.file];
        std::size_t start = 0;
        for (int line = 1; line < r.line; ++line)
            start = file.bytes.find('\n', start) + 1;
        const std::string text(file.bytes.substr(start + r.column - 1, r.length));
        EXPECT_EQ(lower(text), lower(index.declarations()[r.declaration].name))
            << file.path << "(" << r.line << "," << r.column << ")";
        ++checked;
    }
    EXPECT_GT(checked, 60u);

    struct TExpected {
        const char* file;
        int line, column;
        const char* declared_in;
        int declared_line;
    };
    const TExpected expected[] = {
        {"demo.lpr", 14, 3, "demo.lpr", 11},         // the local Count shadows the global one
        {"demo.lpr", 22, 3, "demo.lpr", 7},          // the global Count in the main block
        {"demo.lpr", 22, 21, "geometry.pas", 6},     // Geometry.Twice
        {"demo.lpr", 25, 13, "shapes.pas", 13},      // Side inside `with Square do`
        {"demo.lpr", 25, 19, "demo.lpr", 7},         // Count inside the with, not a member
        {"shapes.pas", 22, 3, "shapes.pas", 9},      // the field in a method
        {"shapes.pas", 20, 20, "shapes.pas", 11},    // the constructor's body binds to its header
        {"geometry.pas", 19, 21, "factor.inc", 2},   // a constant from an include file
        {"geometry.pas", 25, 19, "shapes.pas", 13},  // a property of a class of another unit
    };
    for (const TExpected& e : expected) {
        const TProjectDeclaration* d = declaration_at(index, e.file, e.line, e.column);
        ASSERT_NE(d, nullptr) << e.file << " " << e.line;
        EXPECT_TRUE(index.files()[d->file].path.ends_with(e.declared_in)) << e.file << e.line;
        EXPECT_EQ(d->line, e.declared_line) << e.file << " " << e.line;
    }
}

TEST(ProjectIndexTest, ReferencesAreFoundByDeclarationAndByPlace)
{
    const TProjectIndex index = demo_index();
    const TProjectDeclaration* count = declaration_at(index, "demo.lpr", 7, 3);
    ASSERT_NE(count, nullptr);
    std::vector<TReferenceKind> kinds;
    for (std::uint32_t r : index.references_of(count->id))
        kinds.push_back(index.references()[r].kind);
    EXPECT_EQ(kinds, (std::vector{TReferenceKind::Declaration, TReferenceKind::Write,
                                  TReferenceKind::Read}));
    // Any column inside the name finds it, the column after it does not.
    EXPECT_EQ(declaration_at(index, "demo.lpr", 22, 7), count);
    EXPECT_EQ(declaration_at(index, "demo.lpr", 22, 8), nullptr);
    EXPECT_EQ(count->kind, TDeclarationKind::Variable);
    EXPECT_EQ(index.declarations()[declaration_at(index, "demo.lpr", 14, 3)->scope].name, "Report");
    const TProjectDeclaration* side = declaration_at(index, "shapes.pas", 13, 14);
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(index.declarations()[side->member_of].name, "TShape");
}

TEST(ProjectIndexTest, UnitsUsesIncludesAndTheImplementationCycle)
{
    const TProjectIndex index = demo_index();
    const std::uint32_t demo = index.file_id(multi_project_dir() + "/demo.lpr");
    ASSERT_NE(demo, kNoId);
    const TProjectFile& program = index.files()[demo];
    EXPECT_EQ(program.kind, TProjectFileKind::Program);
    ASSERT_EQ(program.uses.size(), 3u);
    EXPECT_EQ(program.uses[2].name, "Spare");
    EXPECT_EQ(program.uses[2].line, 4);
    EXPECT_EQ(program.uses[2].column, 24);
    EXPECT_TRUE(index.files()[program.uses[2].file].path.ends_with("spare.pas"));

    const TProjectFile& geometry = index.files()[program.uses[1].file];
    EXPECT_TRUE(geometry.has_initialization);
    EXPECT_FALSE(geometry.has_finalization);
    ASSERT_EQ(geometry.includes.size(), 1u);
    const TProjectFile& factor = index.files()[geometry.includes[0].file];
    EXPECT_EQ(factor.kind, TProjectFileKind::Include);
    EXPECT_EQ(factor.included_by, (std::vector{program.uses[1].file}));

    ASSERT_EQ(index.unit_cycles().size(), 1u);
    const TUnitCycle& cycle = index.unit_cycles()[0];
    EXPECT_EQ(cycle.section, TUsesSection::Implementation);
    std::vector<std::string> names;
    for (std::uint32_t f : cycle.files)
        names.push_back(index.files()[f].unit_name);
    EXPECT_EQ(names, (std::vector<std::string>{"Shapes", "Geometry"}));
}

TEST(ProjectIndexTest, CheckNotesComeInTheCompilersWords)
{
    std::string text;
    write_check_notes(demo_index(), [&](std::string_view s) { text += s; });
    const std::string dir = multi_project_dir() + "/";
    EXPECT_EQ(text,
              dir +
                  "geometry.pas(16,3) Note: Local variable \"Side\" is assigned but never used\n" +
                  dir + "demo.lpr(12,3) Note: Local variable \"Unused\" not used\n" + dir +
                  "demo.lpr(9,39) Hint: Parameter \"Verbose\" not used\n" + dir +
                  "demo.lpr(4,24) Hint: Unit \"Spare\" not used in Demo\n" + dir +
                  "shapes.pas(18,6) Note: Circular unit reference (implementation): "
                  "Shapes -> Geometry -> Shapes\n");
}

TEST(ProjectIndexTest, DefinesChooseTheBranchThatIsIndexed)
{
    const auto scale_lines = [](const TProjectIndex& index) {
        std::vector<int> lines;
        const TProjectDeclaration* scale = declaration_at(index, "shapes.pas", 27, 3);
        for (std::uint32_t r : index.references_of(scale->id))
            lines.push_back(index.references()[r].line);
        return lines;
    };
    const TProjectIndex plain = demo_index();
    const TProjectIndex big = demo_index({"BIG"});
    EXPECT_EQ(scale_lines(plain), (std::vector{27, 32, 34}));
    EXPECT_EQ(scale_lines(big), (std::vector{27, 30, 34}));
    const TProjectFile& shapes = plain.files()[declaration_at(plain, "shapes.pas", 27, 3)->file];
    ASSERT_EQ(shapes.inactive_lines.size(), 1u);
    EXPECT_EQ(shapes.inactive_lines[0].first, 30);
    EXPECT_EQ(shapes.inactive_lines[0].last, 30);
}

}  // namespace
}  // namespace tabulex
