#pragma once
// What the analysis needs to know of each token kind, in tables so that the per-token work is
// a load and a test instead of a chain of comparisons.
#include <array>
#include <cstdint>

#include "analysis/PasLex.h"
#include "analysis/SourceAnalysis.h"

namespace tabulex::token_kinds {

enum TFlag : std::uint8_t {
    kSignificant = 1,     ///< not a blank, line break, comment or compiler directive
    kSkipped = 2,         ///< passed over by NextSignificant: blanks, line breaks, { } and (* *)
    kLineBreak = 4,       ///< tkCRLF or tkCRLFInComment
    kOpensLevel = 8,      ///< begin, case, repeat, try and the routine headers
    kRoutineHeader = 16,  ///< procedure, function, constructor, destructor
    kLevelWord = 32,      ///< opens, closes or withdraws a level: the openers, end, until,
                          ///< forward and external
};

/// No run class: blanks, symbols and other plain bytes.
inline constexpr std::uint8_t kNoClass = 0xFF;

struct TKindTables {
    std::array<std::uint8_t, 256> flags{};
    std::array<std::uint8_t, 256> run_class{};
};

constexpr TKindTables make_kind_tables()
{
    TKindTables t{};
    // Kinds that are not words: everything else (every keyword) is a reserved or directive word.
    constexpr TTokenKind kNotWords[] = {
        tkAtSign,       tkAnsiComment,  tkCharCode,       tkAssign,       tkBorComment,
        tkColon,        tkComma,        tkDirective,      tkCRLF,         tkCRLFInComment,
        tkDoubleAtSign, tkDotDot,       tkEqual,          tkBraceClose,   tkFloat,
        tkGreater,      tkGreaterEqual, tkIdentifier,     tkHexNumber,    tkLess,
        tkLessEqual,    tkMinus,        tkNotEqual,       tkNull,         tkNumber,
        tkPlus,         tkDot,          tkCaret,          tkParenClose,   tkParenOpen,
        tkSemiColon,    tkSlash,        tkSlashesComment, tkBracketClose, tkBracketOpen,
        tkSpace,        tkStar,         tkSymbol,         tkOtherChar,    tkDirectiveR};
    for (std::size_t kind = 0; kind < 256; ++kind) {
        t.flags[kind] = kSignificant;
        t.run_class[kind] =
            kind < kTokenKindCount ? static_cast<std::uint8_t>(TRunClass::Keyword) : kNoClass;
    }
    for (TTokenKind kind : kNotWords)
        t.run_class[kind] = kNoClass;
    for (TTokenKind kind : {tkSpace, tkCRLF, tkCRLFInComment, tkAnsiComment, tkBorComment})
        t.flags[kind] = kSkipped;
    for (TTokenKind kind : {tkSlashesComment, tkDirective, tkDirectiveR})
        t.flags[kind] = 0;
    for (TTokenKind kind : {tkCRLF, tkCRLFInComment})
        t.flags[kind] |= kLineBreak;
    for (TTokenKind kind : {tkBegin, tkCase, tkRepeat, tkTry})
        t.flags[kind] |= kOpensLevel;
    for (TTokenKind kind : {tkProcedure, tkFunction, tkConstructor, tkDestructor})
        t.flags[kind] |= kOpensLevel | kRoutineHeader;
    for (TTokenKind kind : {tkBegin, tkCase, tkRepeat, tkTry, tkProcedure, tkFunction,
                            tkConstructor, tkDestructor, tkEnd, tkUntil, tkForward, tkExternal})
        t.flags[kind] |= kLevelWord;
    const auto set = [&t](TRunClass cls, std::initializer_list<TTokenKind> kinds) {
        for (TTokenKind kind : kinds)
            t.run_class[kind] = static_cast<std::uint8_t>(cls);
    };
    set(TRunClass::Identifier, {tkIdentifier});
    set(TRunClass::Comment, {tkAnsiComment, tkBorComment, tkSlashesComment});
    set(TRunClass::String, {tkCharCode});
    set(TRunClass::Number, {tkNumber, tkFloat, tkHexNumber});
    set(TRunClass::Directive, {tkDirective, tkDirectiveR});
    return t;
}

inline constexpr TKindTables kKinds = make_kind_tables();

inline bool has(TTokenKind kind, TFlag flag)
{
    return (kKinds.flags[kind] & flag) != 0;
}

}  // namespace tabulex::token_kinds
