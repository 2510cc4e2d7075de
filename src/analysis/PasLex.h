#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulex {

/// Kind of a lexical token. The numbering is fixed: other units index bit sets by it.
/// Values 14, 58, 67, 79, 89 and 108 are never produced.
enum TTokenKind : std::uint8_t {
    tkAbsolute = 0,
    tkAbstract = 1,
    tkAtSign = 2,
    tkAnd = 3,
    tkAnsiComment = 4,
    tkArray = 5,
    tkAs = 6,
    tkAt = 7,
    tkCharCode = 8,
    tkAsm = 9,
    tkAssembler = 10,
    tkAssign = 11,
    tkAutomated = 12,
    tkBegin = 13,
    tkBorComment = 15,
    tkCase = 16,
    tkCdecl = 17,
    tkClass = 18,
    tkColon = 19,
    tkComma = 20,
    tkDirective = 21,
    tkConst = 22,
    tkConstructor = 23,
    tkCRLF = 24,
    tkCRLFInComment = 25,
    tkDefault = 26,
    tkDestructor = 27,
    tkDispid = 28,
    tkDispinterface = 29,
    tkDiv = 30,
    tkDo = 31,
    tkDoubleAtSign = 32,
    tkDotDot = 33,
    tkDownto = 34,
    tkDynamic = 35,
    tkElse = 36,
    tkEnd = 37,
    tkEqual = 38,
    tkBraceClose = 39,
    tkExcept = 40,
    tkExport = 41,
    tkExports = 42,
    tkExternal = 43,
    tkFar = 44,
    tkFile = 45,
    tkFinalization = 46,
    tkFinally = 47,
    tkFloat = 48,
    tkFor = 49,
    tkForward = 50,
    tkFunction = 51,
    tkGoto = 52,
    tkGreater = 53,
    tkGreaterEqual = 54,
    tkIdentifier = 55,
    tkIf = 56,
    tkImplementation = 57,
    tkIn = 59,
    tkIndex = 60,
    tkInherited = 61,
    tkInitialization = 62,
    tkInline = 63,
    tkHexNumber = 64,
    tkInterface = 65,
    tkIs = 66,
    tkLabel = 68,
    tkLibrary = 69,
    tkLess = 70,
    tkLessEqual = 71,
    tkMessage = 72,
    tkMinus = 73,
    tkMod = 74,
    tkName = 75,
    tkNear = 76,
    tkNil = 77,
    tkNodefault = 78,
    tkNot = 80,
    tkNotEqual = 81,
    tkNull = 82,
    tkNumber = 83,
    tkObject = 84,
    tkOf = 85,
    tkOn = 86,
    tkOr = 87,
    tkOut = 88,
    tkOverride = 90,
    tkPacked = 91,
    tkPascal = 92,
    tkPlus = 93,
    tkDot = 94,
    tkCaret = 95,
    tkPrivate = 96,
    tkProcedure = 97,
    tkProgram = 98,
    tkProperty = 99,
    tkProtected = 100,
    tkPublic = 101,
    tkPublished = 102,
    tkRaise = 103,
    tkRead = 104,
    tkReadonly = 105,
    tkRecord = 106,
    tkRegister = 107,
    tkRepeat = 109,
    tkResident = 110,
    tkResourcestring = 111,
    tkParenClose = 112,
    tkParenOpen = 113,
    tkSafecall = 114,
    tkSemiColon = 115,
    tkSet = 116,
    tkShl = 117,
    tkShr = 118,
    tkSlash = 119,
    tkSlashesComment = 120,
    tkBracketClose = 121,
    tkBracketOpen = 122,
    tkSpace = 123,
    tkStar = 124,
    tkStdcall = 125,
    tkStored = 126,
    tkString = 127,
    tkStringresource = 128,
    tkSymbol = 129,
    tkThen = 130,
    tkThreadvar = 131,
    tkTo = 132,
    tkTry = 133,
    tkType = 134,
    tkUnit = 135,
    tkOtherChar = 136,
    tkUntil = 137,
    tkUses = 138,
    tkVar = 139,
    tkVirtual = 140,
    tkWhile = 141,
    tkWith = 142,
    tkWrite = 143,
    tkWriteonly = 144,
    tkXor = 145,
    tkDirectiveR = 146,
};

/// Number of token kind values (0 .. tkDirectiveR).
inline constexpr int kTokenKindCount = 147;

/// Tokenizer for Object Pascal text. Walks a NUL-terminated byte buffer owned by the caller
/// and makes one token current per call. Nothing is dropped: blanks, comments and line
/// breaks are tokens too, so the token texts between two line breaks rebuild the line.
/// The lexer never reports an error, never allocates per token and never reads past the
/// NUL terminator.
class TPasLex {
public:
    TPasLex() = default;

    /// Starts on `text` (NUL-terminated, must stay valid and unchanged while in use) and makes
    /// the first token current. Depths and last-token fields are not reset.
    void SetText(const char* text);
    /// Makes the following token current; at the end of the text the kind stays tkNull.
    void Next();
    /// Calls Next until the kind is none of the comment, line-break and blank kinds
    /// (`//` comments and directives are returned like any other token).
    void NextSignificant();
    /// A new string with the bytes of the current token.
    std::string TokenText() const { return std::string(TokenView()); }
    /// The bytes of the current token, without allocating.
    std::string_view TokenView() const
    {
        return {text_ + TokenPosition_, static_cast<std::size_t>(RunPosition_ - TokenPosition_)};
    }

    TTokenKind TokenKind() const { return TokenKind_; }
    std::int32_t TokenPosition() const { return TokenPosition_; }
    std::int32_t RunPosition() const { return RunPosition_; }
    std::int32_t LineNumber() const { return LineNumber_; }
    std::int32_t LineStart() const { return LineStart_; }
    std::int32_t ParenDepth() const { return ParenDepth_; }
    std::int32_t BracketDepth() const { return BracketDepth_; }
    std::int32_t LastIdentifierPosition() const { return LastIdentifierPosition_; }
    TTokenKind LastNonSpaceKind() const { return LastNonSpaceKind_; }
    std::int32_t LastNonSpacePosition() const { return LastNonSpacePosition_; }
    bool ClassAfterEqual() const { return ClassAfterEqual_; }
    bool InterfaceAfterEqual() const { return InterfaceAfterEqual_; }

private:
    /// The comment a line break does not end that the lexer is inside, if any.
    enum TCommentState : std::uint8_t { csAnsi = 0, csBor = 1, csNone = 2 };

    void ScanWord();
    void ScanNumber();
    void ScanString();
    void ScanComment(char closer);
    void ScanLineBreak();
    void ContinueComment();
    bool ContextLookAheadIsNameUse() const;
    char LookAheadByte() const;

    const char* text_ = "";
    TCommentState CommentState_ = csAnsi;
    std::int32_t RunPosition_ = 0;
    std::int32_t ParenDepth_ = 0;
    std::int32_t BracketDepth_ = 0;
    std::int32_t TokenPosition_ = 0;
    std::int32_t LineNumber_ = 0;
    TTokenKind TokenKind_ = tkAbsolute;
    std::int32_t LastIdentifierPosition_ = 0;
    TTokenKind LastNonSpaceKind_ = tkAbsolute;
    std::int32_t LastNonSpacePosition_ = 0;
    std::int32_t LineStart_ = 0;
    bool InterfaceAfterEqual_ = false;
    bool ClassAfterEqual_ = false;
};

}  // namespace tabulex
