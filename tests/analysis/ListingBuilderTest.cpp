#include <gtest/gtest.h>
#include <string>

#include "SourceLines.h"
#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"

using namespace tabulex;

namespace {

using tabulex::testing::source;

TListingSettings style(int identacao, bool numeracao = true, bool final_ref = true)
{
    TListingSettings s;
    s.Identacao = identacao;
    s.Numeracao = numeracao;
    s.Final = final_ref;
    return s;
}

const std::string kExample = source({
    "unit Exemplo;",
    "interface",
    "implementation",
    "Function Form1.IntPower (vlr,exp:integer):Integer;",
    "Var  F_int:integer;",
    "Begin",
    "    Result := 1;",
    "    For f_int := 1 To exp Do Begin",
    "        Result := Result * vlr;",
    "    End;",
    "End;",
    "end.",
});

}  // namespace

TEST(PreencheZeros, PadsToWidthAndKeepsLongerNumbers)
{
    EXPECT_EQ(preenche_zeros(7, 4), "0007");
    EXPECT_EQ(preenche_zeros(0, 4), "0000");
    EXPECT_EQ(preenche_zeros(1234, 4), "1234");
    EXPECT_EQ(preenche_zeros(123456, 4), "123456");
    EXPECT_EQ(preenche_zeros(5, 0), "5");
    EXPECT_EQ(preenche_zeros(-5, 4), "-005");
    EXPECT_EQ(preenche_zeros(10, 0), "10");
    EXPECT_EQ(preenche_zeros(100907, 4), "100907");
    EXPECT_EQ(preenche_zeros(-9223372036854775807LL - 1, 0), "-9223372036854775808");
}

TEST(ListingBuilder, WorkedExampleInEachStyle)
{
    EXPECT_EQ(build_listing(kExample, style(0)),
              (StringList{
                  "0001   unit Exemplo;",
                  "0002   interface",
                  "0003   implementation",
                  "0004 {1}Function Form1.IntPower (vlr,exp:integer):Integer;",
                  "0005 |Var  F_int:integer;",
                  "0006 >>>Begin",
                  "0007 |    Result := 1;",
                  "0008 |{2}    For f_int := 1 To exp Do Begin",
                  "0009 ||        Result := Result * vlr;",
                  "0010 |{2}    End; ///-8-///",
                  "0011 {1}End; ///-6-///",
                  "0012   end.",
              }));
    EXPECT_EQ(build_listing(kExample, style(1)),
              (StringList{
                  "0001    unit Exemplo;",
                  "0002    interface",
                  "0003    implementation",
                  "0004  1 Function Form1.IntPower (vlr,exp:integer):Integer;",
                  "0005  1 Var  F_int:integer;",
                  "0006  1 Begin",
                  "0007  1     Result := 1;",
                  "0008  2     For f_int := 1 To exp Do Begin",
                  "0009  2         Result := Result * vlr;",
                  "0010  2     End; ///-8-///",
                  "0011  1 End; ///-6-///",
                  "0012    end.",
              }));
    StringList none = build_listing(kExample, style(2));
    ASSERT_EQ(none.size(), 12u);
    EXPECT_EQ(none[3], "0004   Function Form1.IntPower (vlr,exp:integer):Integer;");
    EXPECT_EQ(none[9], "0010       End; ///-8-///");
    EXPECT_EQ(none[10], "0011   End; ///-6-///");
    EXPECT_EQ(none[11], "0012   end.");
}

TEST(ListingBuilder, NumberingAndBlockEndReferenceSwitches)
{
    StringList unnumbered = build_listing(kExample, style(0, false));
    ASSERT_EQ(unnumbered.size(), 12u);
    EXPECT_EQ(unnumbered[0], "  unit Exemplo;");
    EXPECT_EQ(unnumbered[2], "  implementation");
    EXPECT_EQ(unnumbered[3], "{1}Function Form1.IntPower (vlr,exp:integer):Integer;");
    EXPECT_EQ(unnumbered[4], "|Var  F_int:integer;");
    EXPECT_EQ(unnumbered[5], ">>>Begin");
    EXPECT_EQ(unnumbered[9], "|{2}    End; ///-8-///");

    StringList no_final = build_listing(kExample, style(0, true, false));
    EXPECT_EQ(no_final[9], "0010 |{2}    End;");
    EXPECT_EQ(no_final[10], "0011 {1}End;");
    EXPECT_EQ(build_listing(kExample, style(1, true, false))[9], "0010  2     End;");
    EXPECT_EQ(build_listing(kExample, style(2, false, false))[10], "  End;");
}

TEST(ListingBuilder, MarkerStringsComeFromTheSettings)
{
    TListingSettings s;
    s.prenivel = "<";
    s.sufnivel = ">";
    s.prefnivel = "[";
    s.suffnivel = "]";
    s.preend = "(";
    s.sufend = ")";
    s.begin = "BB";
    s.coluna = ":";
    StringList out = build_listing(kExample, s);
    EXPECT_EQ(out[3], "0004 <1>Function Form1.IntPower (vlr,exp:integer):Integer;");
    EXPECT_EQ(out[5], "0006 BBBegin");
    EXPECT_EQ(out[7], "0008 :<2>    For f_int := 1 To exp Do Begin");
    EXPECT_EQ(out[9], "0010 :[2]    End; (8)");
    EXPECT_EQ(out[10], "0011 [1]End; (6)");
}

TEST(ListingBuilder, CloseAndOpenOnOneLine)
{
    std::string text = source({
        "unit U;",
        "interface",
        "implementation",
        "procedure P;",
        "begin",
        "  if A then begin",
        "    X;",
        "  end else begin",
        "    Y;",
        "  end;",
        "end;",
    });
    StringList out = build_listing(text, style(0));
    EXPECT_EQ(StringList(out.begin() + 3, out.end()), (StringList{
                                                          "0004 {1}procedure P;",
                                                          "0005 >>>begin",
                                                          "0006 |{2}  if A then begin",
                                                          "0007 ||    X;",
                                                          "0008 |{2}  end else begin ///-6-///",
                                                          "0009 ||    Y;",
                                                          "0010 |{2}  end; ///-8-///",
                                                          "0011 {1}end; ///-5-///",
                                                      }));
    StringList numbers = build_listing(text, style(1));
    for (int i = 5; i <= 9; ++i)
        EXPECT_EQ(numbers[i].substr(0, 8), preenche_zeros(i + 1, 4) + "  2 ") << i;
}

TEST(ListingBuilder, RepeatTryAndCaseNestLikeBegin)
{
    std::string text = source({
        "implementation",
        "",
        "procedure P;",
        "var i: Integer;",
        "begin",
        "  repeat",
        "    try",
        "      case i of",
        "        1: i := 2;",
        "      end;",
        "    finally",
        "    end;",
        "  until i > 0;",
        "end;",
    });
    StringList out = build_listing(text, style(0));
    EXPECT_EQ(StringList(out.begin() + 2, out.end()), (StringList{
                                                          "0003 {1}procedure P;",
                                                          "0004 |var i: Integer;",
                                                          "0005 >>>begin",
                                                          "0006 |{2}  repeat",
                                                          "0007 ||{3}    try",
                                                          "0008 |||{4}      case i of",
                                                          "0009 ||||        1: i := 2;",
                                                          "0010 |||{4}      end; ///-8-///",
                                                          "0011 |||    finally",
                                                          "0012 ||{3}    end; ///-7-///",
                                                          "0013 |{2}  until i > 0; ///-6-///",
                                                          "0014 {1}end; ///-5-///",
                                                      }));
}

TEST(ListingBuilder, EmptyBeginMarkerGivesThePlainPrefixButKeepsTheStartLine)
{
    TListingSettings s;
    s.begin = "";
    StringList out = build_listing(kExample, s);
    EXPECT_EQ(out[5], "0006 |Begin");
    EXPECT_EQ(out[10], "0011 {1}End; ///-6-///");
}

TEST(ListingBuilder, HeaderAndBeginOnOneLine)
{
    std::string text = source({"implementation", "procedure P; begin", "  X;", "end;"});
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002 >>>procedure P; begin",
                                                 "0003 |  X;",
                                                 "0004 {1}end; ///-2-///",
                                             }));
}

TEST(ListingBuilder, TwoCharacterColumnLosesOnlyItsFirstCharacter)
{
    TListingSettings s;
    s.coluna = "| ";
    std::string text = source({
        "implementation",
        "procedure A;",
        "  procedure B;",
        "  begin",
        "  end;",
        "begin",
        "end;",
    });
    EXPECT_EQ(build_listing(text, s), (StringList{
                                          "0001   implementation",
                                          "0002 {1}procedure A;",
                                          "0003 | {2}  procedure B;",
                                          "0004  | >>>  begin",
                                          "0005 | {2}  end; ///-4-///",
                                          "0006  >>>begin",
                                          "0007 {1}end; ///-6-///",
                                      }));
}

TEST(ListingBuilder, ProjectFileHasNoLevelMarkers)
{
    std::string text =
        source({"program P;", "uses A;", "procedure Q;", "begin", "  repeat until X;", "end."});
    StringList out = build_listing(text, style(0));
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[3], "0004   begin");
    EXPECT_EQ(out[4], "0005     repeat until X;");
    EXPECT_EQ(out[5], "0006   end.");
}

// A routine declared forward or external has no body where it is declared: the level its
// header opened is taken back, on the header's line or on a later one.
TEST(ListingBuilder, ForwardAndExternalRoutinesOpenNoLastingLevel)
{
    std::string text = source({
        "implementation",
        "procedure F; forward;",
        "procedure X; overload; forward;",
        "function C(A: Integer): Integer; cdecl; external 'lib' name 'c';",
        "procedure D(A: Integer;",
        "  B: Integer);",
        "  external;",
        "procedure G;",
        "begin",
        "end;",
        "procedure F;",
        "begin",
        "end;",
        "end.",
    });
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002   procedure F; forward;",
                                                 "0003   procedure X; overload; forward;",
                                                 "0004   function C(A: Integer): Integer; "
                                                 "cdecl; external 'lib' name 'c';",
                                                 "0005 {1}procedure D(A: Integer;",
                                                 "0006 |  B: Integer);",
                                                 "0007     external;",
                                                 "0008 {1}procedure G;",
                                                 "0009 >>>begin",
                                                 "0010 {1}end; ///-9-///",
                                                 "0011 {1}procedure F;",
                                                 "0012 >>>begin",
                                                 "0013 {1}end; ///-12-///",
                                                 "0014   end.",
                                             }));
}

// "external" that does not follow the header's ";" (a name, an expression) and a forward
// declaration in the interface change nothing; a line that also closed a level keeps its
// closing marker.
TEST(ListingBuilder, ForwardWithdrawsOnlyAfterTheHeadersSemicolon)
{
    std::string text = source({
        "interface",
        "procedure I; forward;",
        "implementation",
        "procedure P;",
        "begin",
        "  repeat until X; procedure Q; forward;",
        "end;",
        "end.",
    });
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   interface",
                                                 "0002   procedure I; forward;",
                                                 "0003   implementation",
                                                 "0004 {1}procedure P;",
                                                 "0005 >>>begin",
                                                 "0006 |{2}  repeat until X; procedure Q; "
                                                 "forward; ///-6-///",
                                                 "0007 {1}end; ///-5-///",
                                                 "0008   end.",
                                             }));
}

// A procedure or function word after "=", ":", "of" or "to" is a type; anonymous methods
// after ":=" still open their level.
TEST(ListingBuilder, ProceduralTypesOpenNoLevel)
{
    std::string text = source({
        "implementation",
        "type",
        "  TProc = procedure of object;",
        "  TList = array of function: Integer;",
        "  TRef = reference to procedure;",
        "procedure P;",
        "var",
        "  V: procedure(A: Integer);",
        "begin",
        "  V := procedure begin end;",
        "end;",
        "end.",
    });
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002   type",
                                                 "0003     TProc = procedure of object;",
                                                 "0004     TList = array of function: Integer;",
                                                 "0005     TRef = reference to procedure;",
                                                 "0006 {1}procedure P;",
                                                 "0007 |var",
                                                 "0008 |  V: procedure(A: Integer);",
                                                 "0009 >>>begin",
                                                 "0010 {2}  V := procedure begin end; ///-10-///",
                                                 "0011 {1}end; ///-9-///",
                                                 "0012   end.",
                                             }));
}

TEST(ListingBuilder, RecordInsideRoutineClosesTheRoutineLevel)
{
    std::string text = source({
        "implementation",
        "procedure P;",
        "type R = record",
        "  A: Integer;",
        "end;",
        "begin",
        "end;",
    });
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002 {1}procedure P;",
                                                 "0003 |type R = record",
                                                 "0004 |  A: Integer;",
                                                 "0005 {1}end; ///-2-///",
                                                 "0006 {1}begin",
                                                 "0007 {1}end; ///-6-///",
                                             }));
}

TEST(ListingBuilder, KeywordsInCommentsAndStringsOpenNothing)
{
    std::string text = source({
        "implementation",
        "{ begin",
        "  end begin }",
        "// begin",
        "X := 'begin'; (* case",
        "end *)",
    });
    StringList out = build_listing(text, style(0));
    ASSERT_EQ(out.size(), 6u);
    for (const std::string& line : out)
        EXPECT_EQ(line.substr(4, 3), "   ") << line;
    EXPECT_EQ(out[2], "0003     end begin }");
    EXPECT_EQ(out[5], "0006   end *)");
}

TEST(ListingBuilder, TabsAndBlanksStayAsInTheSource)
{
    std::string text = "\tx :=\t1;  \r\n";
    EXPECT_EQ(build_listing(text, style(0)), (StringList{"0001   \tx :=\t1;  "}));
}

TEST(ListingBuilder, FiveDigitNumbersFromLineTenThousand)
{
    std::string text;
    for (int i = 0; i < 10001; ++i)
        text += "x;\n";
    StringList out = build_listing(text, style(0));
    ASSERT_EQ(out.size(), 10001u);
    EXPECT_EQ(out[9998], "9999   x;");
    EXPECT_EQ(out[9999], "10000   x;");
    EXPECT_EQ(out[10000], "10001   x;");
}

TEST(ListingBuilder, ClassDeclarationPassesWithoutLevels)
{
    std::string text = source({
        "implementation",
        "",
        "type",
        "  TFoo = class",
        "    A: Integer;",
        "    procedure P;",
        "  end;",
        "procedure TFoo.P;",
        "begin",
        "end;",
    });
    StringList numbered = build_listing(text, style(0));
    EXPECT_EQ(StringList(numbered.begin() + 2, numbered.end()), (StringList{
                                                                    "0003   type",
                                                                    "0004     TFoo = class",
                                                                    "0005       A: Integer;",
                                                                    "0006       procedure P;",
                                                                    "0007     end;",
                                                                    "0008 {1}procedure TFoo.P;",
                                                                    "0009 >>>begin",
                                                                    "0010 {1}end; ///-9-///",
                                                                }));
    StringList plain = build_listing(text, style(0, false));
    EXPECT_EQ(plain[2], "  type");
    EXPECT_EQ(plain[3], "    TFoo = class");
    // Five spaces, then the two-space prefix, then the source line.
    EXPECT_EQ(plain[4], "     "
                        "  "
                        "    A: Integer;");
    EXPECT_EQ(plain[5], "     "
                        "  "
                        "    procedure P;");
    EXPECT_EQ(plain[6], "    end;");
    EXPECT_EQ(plain[7], "{1}procedure TFoo.P;");
}

TEST(ListingBuilder, ClassWhoseFirstMemberEndsInASemicolon)
{
    // The scan stops at the first semicolon: the later method opens a level that the
    // class's end closes.
    std::string text = source({
        "implementation",
        "type",
        "  TFoo = class;",
        "  TBar = class",
        "    procedure Q;",
        "    procedure R(X: Integer);",
        "  end;",
    });
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002   type",
                                                 "0003     TFoo = class;",
                                                 "0004     TBar = class",
                                                 "0005       procedure Q;",
                                                 "0006 {1}    procedure R(X: Integer);",
                                                 "0007 {1}  end; ///-6-///",
                                             }));
}

TEST(ListingBuilder, LineBreakForms)
{
    EXPECT_EQ(build_listing("a\rb\rc\r", style(0)),
              (StringList{"0001   a", "0002   b", "0003   c"}));
    EXPECT_EQ(build_listing("a\nb\n", style(0)), (StringList{"0001   a", "0002   b"}));
    // LF CR is two breaks, so an empty line between.
    EXPECT_EQ(build_listing("a\n\rb\r\n", style(0)),
              (StringList{"0001   a", "0002   ", "0003   b"}));
    EXPECT_EQ(build_listing("a\r\n\r\nb\r\n", style(0)),
              (StringList{"0001   a", "0002   ", "0003   b"}));
}

TEST(ListingBuilder, EmptyFirstLineAndUnterminatedLastLineAreListed)
{
    EXPECT_EQ(build_listing("\r\nx;\r\n", style(0)), (StringList{"0001   ", "0002   x;"}));
    EXPECT_EQ(build_listing("\n\nx", style(0)), (StringList{"0001   ", "0002   ", "0003   x"}));
    EXPECT_EQ(build_listing("", style(0)), StringList{});
    EXPECT_EQ(build_listing("x", style(0)), StringList{"0001   x"});

    // The last line is composed like any other: here a block closes on it.
    std::string text = "implementation\nprocedure P;\nbegin\nend;";
    EXPECT_EQ(build_listing(text, style(0)).back(), "0004 {1}end; ///-3-///");
    // An unterminated comment runs to the end of the file and its last line is listed.
    EXPECT_EQ(build_listing("{ a\r\n b", style(0)), (StringList{"0001   { a", "0002    b"}));
}

TEST(ListingBuilder, NulInsideTheFileEndsTheListing)
{
    std::string text("a;\r\nb;\0c;\r\nd;\r\n", 15);
    EXPECT_EQ(build_listing(text, style(0)), (StringList{"0001   a;"}));
    std::string at_line_start("a;\r\n\0b", 6);
    EXPECT_EQ(build_listing(at_line_start, style(0)), (StringList{"0001   a;"}));
}

TEST(ListingBuilder, UnbalancedBlocks)
{
    // A closing keyword at level 0 is ignored; a block never closed just leaves the level up.
    std::string text =
        source({"implementation", "end;", "until x;", "procedure P;", "begin", "x;"});
    EXPECT_EQ(build_listing(text, style(0)), (StringList{
                                                 "0001   implementation",
                                                 "0002   end;",
                                                 "0003   until x;",
                                                 "0004 {1}procedure P;",
                                                 "0005 >>>begin",
                                                 "0006 |x;",
                                             }));
}

TEST(ListingBuilder, DeepNestingGrowsTheLevelTable)
{
    std::string text = "implementation\n";
    for (int i = 0; i < 60; ++i)
        text += "begin\n";
    for (int i = 0; i < 60; ++i)
        text += "end;\n";
    StringList out = build_listing(text, style(1));
    ASSERT_EQ(out.size(), 121u);
    EXPECT_EQ(out[60], "0061  60 begin");
    EXPECT_EQ(out[61], "0062  60 end; ///-61-///");
    EXPECT_EQ(out[120], "0121  1 end; ///-2-///");
}

TEST(ListingBuilder, TextEndingInsideAClassScan)
{
    std::string text = "implementation\ntype T = class\n  A: Integer;\n  B";
    StringList numbered = build_listing(text, style(0));
    EXPECT_EQ(numbered, (StringList{"0001   implementation", "0002   type T = class",
                                    "0003     A: Integer;", "0004     B"}));
    StringList plain = build_listing(text, style(0, false));
    EXPECT_EQ(plain.back(), "     "
                            "  "
                            "  B");
}

// The prefix of a line comes from its state alone: a level opened on it counts one column
// less, a closed level shows the next number, and nothing ever gives a negative count.
TEST(MontaPrelinha, PrefixFollowsTheLineState)
{
    const TListingSettings s;
    const auto prefix = [&](TListingLine line) {
        std::string out;
        monta_prelinha(line, s, out);
        return out;
    };
    TListingLine opened;
    opened.level = 2;
    opened.type = 1;
    opened.opened = true;
    EXPECT_EQ(prefix(opened), "|{2}");
    TListingLine closed;
    closed.level = 1;
    closed.type = 3;
    closed.closed = true;
    EXPECT_EQ(prefix(closed), "|{2}");
    EXPECT_EQ(prefix(TListingLine{}), "  ");
    TListingLine body;
    body.type = 2;
    body.opened = true;
    EXPECT_EQ(prefix(body), ">>>");
}

TEST(ListingBuilder, EverySourceLineGivesOneListingLineWithItsBytes)
{
    std::string text = read_file_bytes(std::string(TABULEX_SOURCE_DIR) + "/samples/Exemplo.pas");
    text += "\r{ open\n\n comment\r\n} 'str\n\t\xE7\xE3o";  // mixed breaks, no final break
    const auto lines = tabulex::testing::source_lines(text);

    StringList out = build_listing(text, style(2, true, false));
    ASSERT_EQ(out.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(out[i],
                  preenche_zeros(static_cast<long long>(i) + 1, 4) + "   " + std::string(lines[i]));
}
