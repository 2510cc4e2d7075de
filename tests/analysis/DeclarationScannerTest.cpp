#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "SourceLines.h"
#include "analysis/DeclarationScanner.h"

using namespace tabulex;

namespace {

using tabulex::testing::source;

const std::string kRuler(48, '-');
const char* const kXrefTitle = "         Refer\xEA"
                               "ncia cruzada";

/// The cross-reference items after the three heading items.
StringList xref_body(const std::string& text)
{
    StringList items = scan_declarations(text).xref;
    return StringList(items.begin() + 3, items.end());
}

/// The units of the uses list after the five globals-header items.
StringList uses_body(const std::string& text)
{
    StringList items = scan_declarations(text).uses;
    return StringList(items.begin() + 5, items.end());
}

const std::string kWorkedExample = source({
    "unit Exemplo;",
    "interface",
    "uses Windows, SysUtils;",
    "var",
    "  Total: Integer;",
    "implementation",
    "uses Classes;",
    "procedure Soma(A: Integer);",
    "var",
    "  I: Integer;",
    "begin",
    "  for I := 1 to A do",
    "    Total := Total + I;",
    "end;",
    "end.",
});

}  // namespace

TEST(DeclarationScanner, WorkedExampleAllThreeLists)
{
    TDeclarationLists lists = scan_declarations(kWorkedExample);
    EXPECT_EQ(lists.xref, (StringList{" ", kXrefTitle, kRuler, " ", "I : Integer D(0010)",
                                      "=(0012)  .(0013)   ", " ", "Total : Integer D(0005)",
                                      "=(0013)  .(0013)   "}));
    EXPECT_EQ(lists.routines, (StringList{" ", "         Procedures / Functions : 1", kRuler,
                                          "0008 : procedure Soma (A: Integer)     ", " "}));
    EXPECT_EQ(lists.uses,
              (StringList{" ", "                 Units: ", "--------------------------- ",
                          "Globais: ", "--------------------------- ", "Windows  SysUtils  ", " ",
                          "--------------------------- ",
                          "Locais: ", "--------------------------- ", "Classes  "}));
}

TEST(DeclarationScanner, EmptyTextGivesOnlyHeadings)
{
    TDeclarationLists lists = scan_declarations("");
    EXPECT_EQ(lists.xref, (StringList{" ", kXrefTitle, kRuler}));
    EXPECT_EQ(lists.routines, (StringList{" ", "         Procedures / Functions : 0", kRuler}));
    EXPECT_TRUE(lists.uses.empty());
}

TEST(DeclarationScanner, DeclarationsAndReferences)
{
    // Only the name right before ":" is declared; uses before the declaration count nothing.
    EXPECT_EQ(xref_body(source({"X := 1;", "var A, B: Integer;", "X: Byte;", "X := B;"})),
              (StringList{" ", "B : Integer D(0002)", ".(0004)   ", " ", "X : Byte D(0003)",
                          "=(0004)   "}));

    // Parentheses are skipped up to the first ")".
    StringList body =
        xref_body(source({"var X, Y, Z: Integer;", "X := F(Y);", "F(Y, Z);", "F(G(Y), Z);"}));
    EXPECT_EQ(body, (StringList{" ", "Z : Integer D(0001)", ".(0004)   "}));
    body = xref_body(source({"var X: Integer; Y: Integer;", "X := F(Y);"}));
    EXPECT_EQ(body, (StringList{" ", "X : Integer D(0001)", "=(0002)   ", " ",
                                "Y : Integer D(0001)", " "}));

    // The line of a reference is that of the token after the name.
    EXPECT_EQ(xref_body(source({"V: Integer;", "V", "  := 2;"})),
              (StringList{" ", "V : Integer D(0001)", "=(0003)   "}));
}

TEST(DeclarationScanner, NamesMatchWithoutCaseAndRedeclarationsListFirst)
{
    EXPECT_EQ(xref_body(source({"Total: Integer;", "total := TOTAL;"})),
              (StringList{" ", "Total : Integer D(0001)", "=(0002)  .(0002)   "}));

    StringList body =
        xref_body(source({"Count: Integer;", "Count := 1;", "count: Byte;", "x := COUNT;"}));
    EXPECT_EQ(body, (StringList{" ", "count : Byte D(0003)", ".(0004)   ", " ",
                                "Count : Integer D(0001)", "=(0002)   "}));
}

TEST(DeclarationScanner, CollationPutsUnderscoreBeforeDigitsBeforeLetters)
{
    StringList body = xref_body(source({"bz: T;", "B1: T;", "b_: T;", "B: T;", "a: T;", "Ab: T;"}));
    StringList names;
    for (std::size_t i = 1; i < body.size(); i += 3)
        names.push_back(body[i].substr(0, body[i].find(' ')));
    EXPECT_EQ(names, (StringList{"a", "Ab", "B", "b_", "B1", "bz"}));

    // Names alike in their first seven bytes, or one the start of another.
    body = xref_body(source({"Counter_b: T;", "COUNTER1: T;", "countera: T;", "Counter: T;",
                             "countER_: T;", "CounterAB: T;", "Counte: T;", "counter_a: T;"}));
    names.clear();
    for (std::size_t i = 1; i < body.size(); i += 3)
        names.push_back(body[i].substr(0, body[i].find(' ')));
    EXPECT_EQ(names, (StringList{"Counte", "Counter", "countER_", "counter_a", "Counter_b",
                                 "COUNTER1", "countera", "CounterAB"}));

    // The same past fourteen bytes; a name declared again comes before its earlier declaration.
    body = xref_body(source({"SameFourteenAbc: T;", "samefourteenab_: T;", "SameFourteenAb: T;",
                             "SAMEFOURTEENAB1: T;", "SameFourteenA: T;", "SAMEFOURTEENABC: T;"}));
    names.clear();
    for (std::size_t i = 1; i < body.size(); i += 3)
        names.push_back(body[i].substr(0, body[i].find(' ')));
    EXPECT_EQ(names, (StringList{"SameFourteenA", "SameFourteenAb", "samefourteenab_",
                                 "SAMEFOURTEENAB1", "SAMEFOURTEENABC", "SameFourteenAbc"}));
}

TEST(DeclarationScanner, EightMarksPerReferenceLine)
{
    std::string text = "N: Integer;\r\n";
    for (int i = 0; i < 9; ++i)
        text += "x := N;\r\n";
    StringList body = xref_body(text);
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[2], ".(0002)  .(0003)  .(0004)  .(0005)  .(0006)  .(0007)  .(0008)  .(0009)  ");
    EXPECT_EQ(body[3], ".(0010)   ");

    std::string eight = "N: Integer;\r\n";
    for (int i = 0; i < 8; ++i)
        eight += "N := 0;\r\n";
    body = xref_body(eight);
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[3], " ");
}

TEST(DeclarationScanner, UsesClauses)
{
    EXPECT_EQ(uses_body("interface uses A, B, C, D, E, F, G;"),
              (StringList{"A  B  C  D  E  ", " ", "F  G  "}));
    EXPECT_EQ(uses_body("program P; uses A in 'a.pas', {x} B; begin end."), (StringList{"A  B  "}));
    EXPECT_TRUE(scan_declarations("unit U; interface implementation end.").uses.empty());
    EXPECT_EQ(uses_body("unit U; interface implementation uses X; end."),
              (StringList{" ", "--------------------------- ",
                          "Locais: ", "--------------------------- ", "X  "}));
    // An unfinished clause at the end of the file still lists its units.
    EXPECT_EQ(uses_body("uses A, B"), (StringList{"A  B  "}));
}

TEST(DeclarationScanner, ProgramFileHasNoRoutineList)
{
    TDeclarationLists lists = scan_declarations(
        source({"program P;", "uses A;", "procedure Q;", "begin", "end;", "begin", "end."}));
    EXPECT_EQ(lists.routines, (StringList{" ", "         Procedures / Functions : 0", kRuler}));
}

TEST(DeclarationScanner, InterfaceDeclarationsFieldsAndProperties)
{
    StringList body = xref_body(
        source({"interface", "type TF = class", "  Button1: TButton;",
                "  property Count: Integer read FCount;", "end;", "function GetValue: Integer;"}));
    EXPECT_EQ(body,
              (StringList{" ", "Button1 : TButton D(0003)", " ", " ", "Count : Integer D(0004)",
                          " ", " ", "GetValue : Integer D(0006)", " "}));
    // A "//" comment after the colon is taken as the type.
    EXPECT_EQ(xref_body("X: // note\r\n  Integer;"), (StringList{" ", "X : // note D(0001)", " "}));
    // A form file: each "object Name: TType" line declares the name.
    EXPECT_EQ(
        xref_body("object Form1: TForm1\r\n  object Button1: TButton\r\n  end\r\nend\r\n"),
        (StringList{" ", "Button1 : TButton D(0002)", " ", " ", "Form1 : TForm1 D(0001)", " "}));
}

TEST(DeclarationScanner, RoutineHeaders)
{
    std::string text = source({
        "unit U;",
        "interface",
        "implementation",
        "",
        "",
        "",
        "",
        "",
        "",
        "function TFoo.GetX: Integer;",
        "class procedure TFoo.Bar;",
        "procedure Foo; forward;",
        "procedure Foo;",
        "constructor TFoo.Create(A: Integer;",
        "  B: Byte);",
        "destructor TFoo.Destroy; override;",
    });
    StringList procs = scan_declarations(text).routines;
    EXPECT_EQ(procs,
              (StringList{" ", "         Procedures / Functions : 6", kRuler,
                          "0010 : function TFoo.GetX      : Integer;", " ",
                          "0011 : procedure TFoo.Bar      ", " ", "0012 : procedure Foo      ", " ",
                          "0013 : procedure Foo      ", " ",
                          "0014 : constructor TFoo.Create (A: Integer;\r\n  B: Byte)     ", " ",
                          "0016 : destructor TFoo.Destroy      ", " "}));
}

TEST(DeclarationScanner, EndOfTextInsideInnerLoops)
{
    EXPECT_EQ(scan_declarations("implementation procedure P(A: Integer").routines.at(3),
              "0001 : procedure P (A: Integer     ");
    EXPECT_EQ(xref_body("X: Integer; F(X"), (StringList{" ", "X : Integer D(0001)", " "}));
    EXPECT_EQ(xref_body("X:"), (StringList{" ", "X :  D(0001)", " "}));
}

TEST(DeclarationScanner, NulInsideTheFileEndsTheScan)
{
    std::string text("A: Integer;\0B: Integer;", 23);
    EXPECT_EQ(xref_body(text), (StringList{" ", "A : Integer D(0001)", " "}));
}

TEST(DeclarationScanner, ManyDeclarationsStayFindable)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "V" + std::to_string(i) + ": T;\n";
    text += "x := V4321;\n";
    StringList body = xref_body(text);
    ASSERT_EQ(body.size(), 15000u);
    auto it = std::find(body.begin(), body.end(), "V4321 : T D(4322)");
    ASSERT_NE(it, body.end());
    EXPECT_EQ(*(it + 1), ".(5001)   ");
}
