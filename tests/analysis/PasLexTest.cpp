#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/PasLex.h"

using namespace tabulex;

namespace {

using Tokens = std::vector<std::pair<TTokenKind, std::string>>;

Tokens lex_all(const std::string& text)
{
    TPasLex lex;
    lex.SetText(text.c_str());
    Tokens tokens;
    while (lex.TokenKind() != tkNull) {
        tokens.emplace_back(lex.TokenKind(), lex.TokenText());
        lex.Next();
    }
    return tokens;
}

/// Kinds of the tokens of `text`, blanks left out.
std::vector<TTokenKind> kinds(const std::string& text)
{
    std::vector<TTokenKind> result;
    for (const auto& [kind, token] : lex_all(text))
        if (kind != tkSpace)
            result.push_back(kind);
    return result;
}

TTokenKind first_kind(const std::string& text)
{
    TPasLex lex;
    lex.SetText(text.c_str());
    return lex.TokenKind();
}

}  // namespace

TEST(PasLex, TokenKindNumberingIsFixed)
{
    EXPECT_EQ(tkAbsolute, 0);
    EXPECT_EQ(tkBegin, 13);
    EXPECT_EQ(tkBorComment, 15);
    EXPECT_EQ(tkIdentifier, 55);
    EXPECT_EQ(tkIn, 59);
    EXPECT_EQ(tkLabel, 68);
    EXPECT_EQ(tkNot, 80);
    EXPECT_EQ(tkOverride, 90);
    EXPECT_EQ(tkRepeat, 109);
    EXPECT_EQ(tkString, 127);
    EXPECT_EQ(tkDirectiveR, 146);
    EXPECT_EQ(kTokenKindCount, 147);
}

TEST(PasLex, KeywordsIgnoreCaseButOnlyAsWholeWords)
{
    EXPECT_EQ(first_kind("begin"), tkBegin);
    EXPECT_EQ(first_kind("BEGIN"), tkBegin);
    EXPECT_EQ(first_kind("Begin"), tkBegin);
    for (const char* word : {"Begin1", "begin_", "Beginx", "_begin", "Begi"}) {
        Tokens t = lex_all(word);
        ASSERT_EQ(t.size(), 1u) << word;
        EXPECT_EQ(t[0].first, tkIdentifier) << word;
        EXPECT_EQ(t[0].second, word);
    }
    EXPECT_EQ(first_kind("resourcestring"), tkResourcestring);
    EXPECT_EQ(first_kind("StringResource"), tkStringresource);
    EXPECT_EQ(first_kind("string"), tkString);
    EXPECT_EQ(first_kind("Implementation"), tkImplementation);
    EXPECT_EQ(kinds("public record try array inline"),
              (std::vector<TTokenKind>{tkPublic, tkRecord, tkTry, tkArray, tkInline}));
    // A word whose letter sum lies beyond the slot table is never a keyword.
    EXPECT_EQ(first_kind("zzzzzzzzzz"), tkIdentifier);
}

TEST(PasLex, ContextWordsDependOnWhatFollows)
{
    EXPECT_EQ(kinds("x:=Read(f);"),
              (std::vector<TTokenKind>{tkIdentifier, tkAssign, tkIdentifier, tkParenOpen,
                                       tkIdentifier, tkParenClose, tkSemiColon}));
    EXPECT_EQ(kinds("property P: Integer read FP write SetP;"),
              (std::vector<TTokenKind>{tkProperty, tkIdentifier, tkColon, tkIdentifier, tkRead,
                                       tkIdentifier, tkWrite, tkIdentifier, tkSemiColon}));
    EXPECT_EQ(kinds("read\r\n"), (std::vector<TTokenKind>{tkRead, tkCRLF}));
    EXPECT_EQ(kinds("read - 1"), (std::vector<TTokenKind>{tkRead, tkMinus, tkNumber}));
    EXPECT_EQ(kinds("read \x96"), (std::vector<TTokenKind>{tkIdentifier, tkOtherChar}));
    EXPECT_EQ(kinds("private {x}"), (std::vector<TTokenKind>{tkPrivate, tkBorComment}));
    EXPECT_EQ(kinds("name;"), (std::vector<TTokenKind>{tkIdentifier, tkSemiColon}));
    EXPECT_EQ(first_kind("index"), tkIndex);
}

TEST(PasLex, CommentsSpanningLinesGiveOneTokenPerLine)
{
    std::string text = "{ a\r\n b }x";
    TPasLex lex;
    lex.SetText(text.c_str());
    EXPECT_EQ(lex.TokenKind(), tkBorComment);
    EXPECT_EQ(lex.TokenText(), "{ a");
    EXPECT_EQ(lex.LineNumber(), 0);
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkCRLFInComment);
    EXPECT_EQ(lex.TokenText(), "\r\n");
    EXPECT_EQ(lex.LineNumber(), 1);
    EXPECT_EQ(lex.LineStart(), 5);
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkBorComment);
    EXPECT_EQ(lex.TokenText(), " b }");
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkIdentifier);
    EXPECT_EQ(lex.LineNumber(), 1);

    Tokens ansi = lex_all("(* a\n\n*) (**) (*)*)");
    ASSERT_EQ(ansi.size(), 8u);
    EXPECT_EQ(ansi[0], std::make_pair(tkAnsiComment, std::string("(* a")));
    EXPECT_EQ(ansi[1].first, tkCRLFInComment);
    EXPECT_EQ(ansi[2].first, tkCRLFInComment);  // an empty line inside gives only the break
    EXPECT_EQ(ansi[3], std::make_pair(tkAnsiComment, std::string("*)")));
    EXPECT_EQ(ansi[5], std::make_pair(tkAnsiComment, std::string("(**)")));
    EXPECT_EQ(ansi[7], std::make_pair(tkAnsiComment, std::string("(*)*)")));
}

TEST(PasLex, DirectivesNeverLeaveACommentOpen)
{
    EXPECT_EQ(lex_all("{$R *.res}"), (Tokens{{tkDirectiveR, "{$R *.res}"}}));
    EXPECT_EQ(first_kind("{$r x}"), tkDirective);
    EXPECT_EQ(lex_all("(*$I x*)"), (Tokens{{tkDirective, "(*$I x*)"}}));
    EXPECT_EQ(kinds("{$IFDEF X\r\nbegin"), (std::vector<TTokenKind>{tkDirective, tkCRLF, tkBegin}));
    EXPECT_EQ(kinds("(*$I\nend"), (std::vector<TTokenKind>{tkDirective, tkCRLF, tkEnd}));
}

TEST(PasLex, NumbersStringsAndCharCodes)
{
    EXPECT_EQ(lex_all("#13#10"), (Tokens{{tkCharCode, "#13"}, {tkCharCode, "#10"}}));
    EXPECT_EQ(lex_all("#$0D"), (Tokens{{tkCharCode, "#"}, {tkHexNumber, "$0D"}}));
    EXPECT_EQ(lex_all("$FF"), (Tokens{{tkHexNumber, "$FF"}}));
    EXPECT_EQ(lex_all("1.5"), (Tokens{{tkFloat, "1.5"}}));
    EXPECT_EQ(lex_all("1.2.3"), (Tokens{{tkFloat, "1.2.3"}}));
    EXPECT_EQ(lex_all("1E-5"), (Tokens{{tkNumber, "1E"}, {tkMinus, "-"}, {tkNumber, "5"}}));
    EXPECT_EQ(lex_all("1e5"), (Tokens{{tkNumber, "1e5"}}));
    EXPECT_EQ(lex_all("1..9"), (Tokens{{tkNumber, "1"}, {tkDotDot, ".."}, {tkNumber, "9"}}));

    EXPECT_EQ(lex_all("'it''s'"), (Tokens{{tkString, "'it'"}, {tkString, "'s'"}}));
    EXPECT_EQ(lex_all("''''"), (Tokens{{tkString, "''''"}}));
    EXPECT_EQ(lex_all("''"), (Tokens{{tkString, "''"}}));
    EXPECT_EQ(lex_all("'''"), (Tokens{{tkString, "'''"}}));

    std::string unclosed = "'abc\r\nx";
    TPasLex lex;
    lex.SetText(unclosed.c_str());
    EXPECT_EQ(lex.TokenText(), "'abc");
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkCRLF);
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkIdentifier);
    EXPECT_EQ(lex.LineNumber(), 1);
}

TEST(PasLex, LineBreaksCountLines)
{
    std::string text = "a\r\n\r\nb";
    TPasLex lex;
    lex.SetText(text.c_str());
    std::vector<TTokenKind> seen;
    while (lex.TokenKind() != tkIdentifier || lex.TokenText() != "b") {
        seen.push_back(lex.TokenKind());
        lex.Next();
    }
    EXPECT_EQ(seen, (std::vector<TTokenKind>{tkIdentifier, tkCRLF, tkCRLF}));
    EXPECT_EQ(lex.LineNumber(), 2);

    EXPECT_EQ(lex_all("\n\r"), (Tokens{{tkCRLF, "\n"}, {tkCRLF, "\r"}}));  // LF CR is two breaks
    EXPECT_EQ(lex_all("\r\r\n"), (Tokens{{tkCRLF, "\r"}, {tkCRLF, "\r\n"}}));
}

TEST(PasLex, EndOfTextIsSticky)
{
    std::string text = "x ";
    TPasLex lex;
    lex.SetText(text.c_str());
    lex.Next();
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkNull);
    for (int i = 0; i < 3; ++i) {
        lex.Next();
        EXPECT_EQ(lex.TokenKind(), tkNull);
        EXPECT_EQ(lex.RunPosition(), 2);
    }
    TPasLex empty;
    empty.SetText("");
    EXPECT_EQ(empty.TokenKind(), tkNull);
    EXPECT_EQ(empty.RunPosition(), 0);
}

TEST(PasLex, HighBytesAreTokensOfTheirOwn)
{
    EXPECT_EQ(lex_all("fun\xE7\xE3o"), (Tokens{{tkIdentifier, "fun"},
                                               {tkOtherChar, "\xE7"},
                                               {tkOtherChar, "\xE3"},
                                               {tkIdentifier, "o"}}));
    EXPECT_EQ(kinds("|\x7F!\"%&?\\`~"),
              (std::vector<TTokenKind>{tkOtherChar, tkOtherChar, tkSymbol, tkSymbol, tkSymbol,
                                       tkSymbol, tkSymbol, tkSymbol, tkSymbol, tkSymbol}));
    EXPECT_EQ(kinds("\x01\t\x0B\x0C\x1F"), std::vector<TTokenKind>{});
}

TEST(PasLex, ClassAndInterfaceAfterEqual)
{
    auto class_flag = [](const std::string& text) {
        TPasLex lex;
        lex.SetText(text.c_str());
        while (lex.TokenKind() != tkClass)
            lex.Next();
        return lex.ClassAfterEqual();
    };
    EXPECT_TRUE(class_flag("TFoo = class(TBar)"));
    EXPECT_TRUE(class_flag("TFoo = class\r\n"));
    EXPECT_FALSE(class_flag("TFoo = class of TBar"));
    EXPECT_FALSE(class_flag("TFoo = {c} class(TBar)"));
    EXPECT_FALSE(class_flag("class function F"));

    auto interface_flag = [](const std::string& text) {
        TPasLex lex;
        lex.SetText(text.c_str());
        while (lex.TokenKind() != tkInterface)
            lex.Next();
        return lex.InterfaceAfterEqual();
    };
    EXPECT_TRUE(interface_flag("IFoo = interface"));
    EXPECT_FALSE(interface_flag("unit X; interface"));
}

TEST(PasLex, NextSignificantSkipsOnlyBlanksCommentsAndBreaks)
{
    std::string text = "{a} (*b*)\r\n x // c";
    TPasLex lex;
    lex.SetText(text.c_str());
    lex.NextSignificant();
    EXPECT_EQ(lex.TokenKind(), tkIdentifier);
    EXPECT_EQ(lex.TokenText(), "x");
    lex.NextSignificant();
    EXPECT_EQ(lex.TokenKind(), tkSlashesComment);
    EXPECT_EQ(lex.TokenText(), "// c");
    lex.NextSignificant();
    EXPECT_EQ(lex.TokenKind(), tkNull);
}

TEST(PasLex, DepthsAndLastTokenFields)
{
    std::string text = "(.a.) ( [ x ";
    TPasLex lex;
    lex.SetText(text.c_str());
    EXPECT_EQ(lex.TokenKind(), tkBracketOpen);
    EXPECT_EQ(lex.BracketDepth(), 1);
    lex.Next();
    lex.Next();
    EXPECT_EQ(lex.TokenKind(), tkBracketClose);
    EXPECT_EQ(lex.BracketDepth(), 0);
    EXPECT_EQ(lex.LastIdentifierPosition(), 2);
    while (lex.TokenKind() != tkNull)
        lex.Next();
    EXPECT_EQ(lex.ParenDepth(), 1);
    EXPECT_EQ(lex.BracketDepth(), 1);
    EXPECT_EQ(lex.LastIdentifierPosition(), 10);
    EXPECT_EQ(lex.LastNonSpaceKind(), tkIdentifier);
    EXPECT_EQ(lex.LastNonSpacePosition(), 10);

    EXPECT_EQ(kinds(") ]"), (std::vector<TTokenKind>{tkParenClose, tkBracketClose}));
    TPasLex negative;
    negative.SetText(")");
    EXPECT_EQ(negative.ParenDepth(), -1);
}

TEST(PasLex, OperatorsAndSingleBytes)
{
    EXPECT_EQ(kinds(":= : <= <> < >= > @@ @ .. . / = , ; * + - ^ [ ] }"),
              (std::vector<TTokenKind>{
                  tkAssign,  tkColon,        tkLessEqual,    tkNotEqual,  tkLess, tkGreaterEqual,
                  tkGreater, tkDoubleAtSign, tkAtSign,       tkDotDot,    tkDot,  tkSlash,
                  tkEqual,   tkComma,        tkSemiColon,    tkStar,      tkPlus, tkMinus,
                  tkCaret,   tkBracketOpen,  tkBracketClose, tkBraceClose}));
}

// Every token ends inside the text: runs over buffers that end right after a byte that
// starts a look-ahead, placed at the end of an exactly sized allocation.
TEST(PasLex, NeverReadsPastTheTerminator)
{
    for (const char* tail : {"(", "(*", "{", "{$", "'", "''", ".", "/", ":", "<", ">", "@", "1.",
                             "read", "x := (*$"}) {
        std::size_t n = std::strlen(tail);
        std::unique_ptr<char[]> buffer(new char[n + 1]);
        std::memcpy(buffer.get(), tail, n + 1);
        TPasLex lex;
        lex.SetText(buffer.get());
        int guard = 0;
        while (lex.TokenKind() != tkNull && ++guard < 100)
            lex.Next();
        EXPECT_EQ(lex.TokenKind(), tkNull) << tail;
        EXPECT_EQ(static_cast<std::size_t>(lex.RunPosition()), n) << tail;
    }
}
