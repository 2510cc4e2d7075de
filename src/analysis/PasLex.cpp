#include "analysis/PasLex.h"

#include <array>

namespace tabulex {

namespace {

// ---------------------------------------------------------------------------------------
// Byte tables, all built at compile time and read-only afterwards.
// ---------------------------------------------------------------------------------------

/// How a token starting with a given byte is read.
enum THandler : std::uint8_t {
    hEndOfText,
    hBlanks,
    hLineFeed,
    hCarriageReturn,
    hCharCode,
    hHexNumber,
    hString,
    hParenOpen,
    hParenClose,
    hNumber,
    hDot,
    hSlash,
    hColon,
    hLess,
    hGreater,
    hAtSign,
    hWord,
    hBraceOpen,
    hBracketOpen,
    hBracketClose,
    hSingle,  // one byte whose kind comes from kSingleKind
};

constexpr bool is_blank_byte(unsigned c)
{
    return (c >= 1 && c <= 32) && c != 10 && c != 13;
}
constexpr bool is_letter_byte(unsigned c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool is_digit_byte(unsigned c)
{
    return c >= '0' && c <= '9';
}

struct TByteTables {
    std::array<THandler, 256> handler{};
    std::array<TTokenKind, 256> single_kind{};
    std::array<bool, 256> identifier{};  // "0".."9", "A".."Z", "a".."z", "_"
    std::array<bool, 256> blank{};       // 1..9, 11, 12, 14..32
    std::array<bool, 256> hex_digit{};
    std::array<bool, 256> name_use{};              // bytes after a context word that make it a name
    std::array<std::int32_t, 256> letter_value{};  // A/a = 1 .. Z/z = 26, "_" = 31
    std::array<std::int32_t, 256> letter_only_value{};  // the same for letters, 0 for "_"
};

constexpr TByteTables make_byte_tables()
{
    TByteTables t{};
    for (unsigned c = 0; c < 256; ++c) {
        t.identifier[c] = is_letter_byte(c) || is_digit_byte(c) || c == '_';
        t.blank[c] = is_blank_byte(c);
        t.hex_digit[c] = is_digit_byte(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (c >= 'A' && c <= 'Z')
            t.letter_value[c] = static_cast<std::int32_t>(c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            t.letter_value[c] = static_cast<std::int32_t>(c - 'a' + 1);
        else if (c == '_')
            t.letter_value[c] = 31;
        if (is_letter_byte(c))
            t.letter_only_value[c] = t.letter_value[c];

        t.handler[c] = hSingle;
        t.single_kind[c] = (c == 124 || c >= 127) ? tkOtherChar : tkSymbol;
        if (t.blank[c])
            t.handler[c] = hBlanks;
        else if (is_letter_byte(c) || c == '_')
            t.handler[c] = hWord;
        else if (is_digit_byte(c))
            t.handler[c] = hNumber;
    }
    t.handler[0] = hEndOfText;
    t.handler[10] = hLineFeed;
    t.handler[13] = hCarriageReturn;
    t.handler['#'] = hCharCode;
    t.handler['$'] = hHexNumber;
    t.handler['\''] = hString;
    t.handler['('] = hParenOpen;
    t.handler[')'] = hParenClose;
    t.handler['.'] = hDot;
    t.handler['/'] = hSlash;
    t.handler[':'] = hColon;
    t.handler['<'] = hLess;
    t.handler['>'] = hGreater;
    t.handler['@'] = hAtSign;
    t.handler['{'] = hBraceOpen;
    t.handler['['] = hBracketOpen;
    t.handler[']'] = hBracketClose;
    t.single_kind['='] = tkEqual;
    t.single_kind[','] = tkComma;
    t.single_kind[';'] = tkSemiColon;
    t.single_kind['*'] = tkStar;
    t.single_kind['+'] = tkPlus;
    t.single_kind['-'] = tkMinus;
    t.single_kind['^'] = tkCaret;
    t.single_kind['}'] = tkBraceClose;

    for (unsigned char c : std::string_view("#$&'()*+,./:;<=>@[]^"))
        t.name_use[c] = true;
    t.name_use[150] = true;  // the en dash of the Windows code pages; the hyphen-minus is not one
    return t;
}

constexpr TByteTables kBytes = make_byte_tables();

// ---------------------------------------------------------------------------------------
// Keywords, selected by the sum of the letter values of the word's leading letters.
// ---------------------------------------------------------------------------------------

struct TKeyword {
    std::string_view text;
    TTokenKind kind;
    bool context;  // a context word: a name when a name-use character follows it
};

constexpr TKeyword kKeywords[] = {
    {"Absolute", tkAbsolute, false},
    {"Abstract", tkAbstract, false},
    {"And", tkAnd, false},
    {"Array", tkArray, false},
    {"As", tkAs, false},
    {"At", tkAt, false},
    {"Asm", tkAsm, false},
    {"Assembler", tkAssembler, false},
    {"Automated", tkAutomated, true},
    {"Begin", tkBegin, false},
    {"Case", tkCase, false},
    {"Cdecl", tkCdecl, false},
    {"Class", tkClass, false},
    {"Const", tkConst, false},
    {"Constructor", tkConstructor, false},
    {"Default", tkDefault, false},
    {"Destructor", tkDestructor, false},
    {"Dispid", tkDispid, false},
    {"Dispinterface", tkDispinterface, false},
    {"Div", tkDiv, false},
    {"Do", tkDo, false},
    {"Downto", tkDownto, false},
    {"Dynamic", tkDynamic, false},
    {"Else", tkElse, false},
    {"End", tkEnd, false},
    {"Except", tkExcept, false},
    {"Export", tkExport, false},
    {"Exports", tkExports, false},
    {"External", tkExternal, false},
    {"Far", tkFar, false},
    {"File", tkFile, false},
    {"Finalization", tkFinalization, false},
    {"Finally", tkFinally, false},
    {"For", tkFor, false},
    {"Forward", tkForward, false},
    {"Function", tkFunction, false},
    {"Goto", tkGoto, false},
    {"If", tkIf, false},
    {"Implementation", tkImplementation, false},
    {"In", tkIn, false},
    {"Index", tkIndex, true},
    {"Inherited", tkInherited, false},
    {"Initialization", tkInitialization, false},
    {"Inline", tkInline, false},
    {"Interface", tkInterface, false},
    {"Is", tkIs, false},
    {"Label", tkLabel, false},
    {"Library", tkLibrary, false},
    {"Message", tkMessage, false},
    {"Mod", tkMod, false},
    {"Name", tkName, true},
    {"Near", tkNear, false},
    {"Nil", tkNil, false},
    {"Nodefault", tkNodefault, false},
    {"Not", tkNot, false},
    {"Object", tkObject, false},
    {"Of", tkOf, false},
    {"On", tkOn, false},
    {"Or", tkOr, false},
    {"Out", tkOut, false},
    {"Override", tkOverride, false},
    {"Packed", tkPacked, false},
    {"Pascal", tkPascal, false},
    {"Private", tkPrivate, true},
    {"Procedure", tkProcedure, false},
    {"Program", tkProgram, false},
    {"Property", tkProperty, false},
    {"Protected", tkProtected, true},
    {"Public", tkPublic, true},
    {"Published", tkPublished, true},
    {"Raise", tkRaise, false},
    {"Read", tkRead, true},
    {"Readonly", tkReadonly, false},
    {"Record", tkRecord, false},
    {"Register", tkRegister, false},
    {"Repeat", tkRepeat, false},
    {"Resident", tkResident, false},
    {"Resourcestring", tkResourcestring, false},
    {"Safecall", tkSafecall, false},
    {"Set", tkSet, false},
    {"Shl", tkShl, false},
    {"Shr", tkShr, false},
    {"Stdcall", tkStdcall, false},
    {"Stored", tkStored, false},
    {"String", tkString, false},
    {"Stringresource", tkStringresource, false},
    {"Then", tkThen, false},
    {"Threadvar", tkThreadvar, false},
    {"To", tkTo, false},
    {"Try", tkTry, false},
    {"Type", tkType, false},
    {"Unit", tkUnit, false},
    {"Until", tkUntil, false},
    {"Uses", tkUses, false},
    {"Var", tkVar, false},
    {"Virtual", tkVirtual, false},
    {"While", tkWhile, false},
    {"With", tkWith, false},
    {"Write", tkWrite, true},
    {"Writeonly", tkWriteonly, false},
    {"Xor", tkXor, false},
};

constexpr int kKeywordSlots = 192;
constexpr int kKeywordsPerSlot = 5;

constexpr int keyword_hash(std::string_view text)
{
    int sum = 0;
    for (char c : text)
        sum += kBytes.letter_value[static_cast<unsigned char>(c)];
    return sum;
}

/// Slot table: for each hash value the indexes + 1 of its keywords (0 ends the slot).
using TKeywordSlots = std::array<std::array<std::uint8_t, kKeywordsPerSlot>, kKeywordSlots>;

constexpr TKeywordSlots make_keyword_slots()
{
    TKeywordSlots slots{};
    for (std::size_t i = 0; i < std::size(kKeywords); ++i) {
        int h = keyword_hash(kKeywords[i].text);
        if (h >= kKeywordSlots)
            throw "keyword hash outside the slot table";
        std::size_t n = 0;
        while (n < kKeywordsPerSlot && slots[h][n] != 0)
            ++n;
        if (n == kKeywordsPerSlot)
            throw "too many keywords in one slot";
        slots[h][n] = static_cast<std::uint8_t>(i + 1);
    }
    return slots;
}

constexpr TKeywordSlots kKeywordSlotTable = make_keyword_slots();

static_assert(std::size(kKeywords) == 101);
static_assert(keyword_hash("Resourcestring") == 191 && keyword_hash("Stringresource") == 191);
static_assert(keyword_hash("Public") == 63 && keyword_hash("Inline") == 63);

/// Whether the letters at `word` spell `keyword` without regard to ASCII case. The caller
/// guarantees that `word` starts with keyword.size() letters, so clearing bit 5 of each byte
/// folds the case.
inline bool same_letters(const char* word, std::string_view keyword)
{
    for (std::size_t i = 0; i < keyword.size(); ++i)
        if ((word[i] & ~0x20) != (keyword[i] & ~0x20))
            return false;
    return true;
}

inline unsigned char byte_at(const char* p)
{
    return static_cast<unsigned char>(*p);
}

}  // namespace

// ---------------------------------------------------------------------------------------

void TPasLex::SetText(const char* text)
{
    text_ = text;
    CommentState_ = csNone;
    LineNumber_ = 0;
    LineStart_ = 0;
    RunPosition_ = 0;
    Next();
}

void TPasLex::NextSignificant()
{
    do {
        Next();
    } while (TokenKind_ == tkAnsiComment || TokenKind_ == tkBorComment || TokenKind_ == tkCRLF ||
             TokenKind_ == tkCRLFInComment || TokenKind_ == tkSpace);
}

void TPasLex::Next()
{
    if (TokenKind_ == tkIdentifier)
        LastIdentifierPosition_ = TokenPosition_;
    if (TokenKind_ != tkSpace) {
        LastNonSpaceKind_ = TokenKind_;
        LastNonSpacePosition_ = TokenPosition_;
    }
    TokenPosition_ = RunPosition_;

    if (CommentState_ != csNone) {
        ContinueComment();
        return;
    }

    const char* p = text_ + RunPosition_;
    const unsigned char c = byte_at(p);
    switch (kBytes.handler[c]) {
    case hEndOfText:
        TokenKind_ = tkNull;
        return;
    case hBlanks: {
        const char* q = p + 1;
        while (kBytes.blank[byte_at(q)])
            ++q;
        RunPosition_ = static_cast<std::int32_t>(q - text_);
        TokenKind_ = tkSpace;
        return;
    }
    case hLineFeed:
    case hCarriageReturn:
        ScanLineBreak();
        return;
    case hCharCode: {
        const char* q = p + 1;
        while (is_digit_byte(byte_at(q)))
            ++q;
        RunPosition_ = static_cast<std::int32_t>(q - text_);
        TokenKind_ = tkCharCode;
        return;
    }
    case hHexNumber: {
        const char* q = p + 1;
        while (kBytes.hex_digit[byte_at(q)])
            ++q;
        RunPosition_ = static_cast<std::int32_t>(q - text_);
        TokenKind_ = tkHexNumber;
        return;
    }
    case hString:
        ScanString();
        return;
    case hParenOpen:
        ++RunPosition_;
        if (p[1] == '*') {
            if (p[2] == '$') {
                TokenKind_ = tkDirective;
            } else {
                TokenKind_ = tkAnsiComment;
                CommentState_ = csAnsi;
            }
            ++RunPosition_;
            ScanComment(')');
        } else if (p[1] == '.') {
            ++RunPosition_;
            TokenKind_ = tkBracketOpen;
            ++BracketDepth_;
        } else {
            TokenKind_ = tkParenOpen;
            ++ParenDepth_;
        }
        return;
    case hParenClose:
        ++RunPosition_;
        TokenKind_ = tkParenClose;
        --ParenDepth_;
        return;
    case hNumber:
        ScanNumber();
        return;
    case hDot:
        if (p[1] == ')') {
            RunPosition_ += 2;
            TokenKind_ = tkBracketClose;
            --BracketDepth_;
        } else if (p[1] == '.') {
            RunPosition_ += 2;
            TokenKind_ = tkDotDot;
        } else {
            ++RunPosition_;
            TokenKind_ = tkDot;
        }
        return;
    case hSlash:
        if (p[1] == '/') {
            const char* q = p + 2;
            while (*q != 0 && *q != '\r' && *q != '\n')
                ++q;
            RunPosition_ = static_cast<std::int32_t>(q - text_);
            TokenKind_ = tkSlashesComment;
        } else {
            ++RunPosition_;
            TokenKind_ = tkSlash;
        }
        return;
    case hColon:
        if (p[1] == '=') {
            RunPosition_ += 2;
            TokenKind_ = tkAssign;
        } else {
            ++RunPosition_;
            TokenKind_ = tkColon;
        }
        return;
    case hLess:
        if (p[1] == '=') {
            RunPosition_ += 2;
            TokenKind_ = tkLessEqual;
        } else if (p[1] == '>') {
            RunPosition_ += 2;
            TokenKind_ = tkNotEqual;
        } else {
            ++RunPosition_;
            TokenKind_ = tkLess;
        }
        return;
    case hGreater:
        if (p[1] == '=') {
            RunPosition_ += 2;
            TokenKind_ = tkGreaterEqual;
        } else {
            ++RunPosition_;
            TokenKind_ = tkGreater;
        }
        return;
    case hAtSign:
        if (p[1] == '@') {
            RunPosition_ += 2;
            TokenKind_ = tkDoubleAtSign;
        } else {
            ++RunPosition_;
            TokenKind_ = tkAtSign;
        }
        return;
    case hWord:
        ScanWord();
        return;
    case hBraceOpen:
        if (p[1] == '$') {
            TokenKind_ = p[2] == 'R' ? tkDirectiveR : tkDirective;
        } else {
            TokenKind_ = tkBorComment;
            CommentState_ = csBor;
        }
        ++RunPosition_;
        ScanComment('}');
        return;
    case hBracketOpen:
        ++RunPosition_;
        TokenKind_ = tkBracketOpen;
        ++BracketDepth_;
        return;
    case hBracketClose:
        ++RunPosition_;
        TokenKind_ = tkBracketClose;
        --BracketDepth_;
        return;
    case hSingle:
        ++RunPosition_;
        TokenKind_ = kBytes.single_kind[c];
        return;
    }
}

void TPasLex::ScanLineBreak()
{
    const char* p = text_ + RunPosition_;
    RunPosition_ += (p[0] == '\r' && p[1] == '\n') ? 2 : 1;
    TokenKind_ = CommentState_ == csNone ? tkCRLF : tkCRLFInComment;
    ++LineNumber_;
    LineStart_ = RunPosition_;
}

void TPasLex::ContinueComment()
{
    const char c = text_[RunPosition_];
    if (c == 0) {
        TokenKind_ = tkNull;
        return;
    }
    if (c == '\n' || c == '\r') {
        ScanLineBreak();
        return;
    }
    if (CommentState_ == csBor) {
        TokenKind_ = tkBorComment;
        ScanComment('}');
    } else {
        TokenKind_ = tkAnsiComment;
        ScanComment(')');
    }
}

// Consumes up to the line end (comment stays open) or through the closer: "}" for a brace
// comment, "*)" when `closer` is ")".
void TPasLex::ScanComment(char closer)
{
    const char* q = text_ + RunPosition_;
    for (;;) {
        const char c = *q;
        if (c == 0 || c == '\r' || c == '\n')
            break;
        if (closer == '}' ? c == '}' : (c == '*' && q[1] == ')')) {
            q += closer == '}' ? 1 : 2;
            CommentState_ = csNone;
            break;
        }
        ++q;
    }
    RunPosition_ = static_cast<std::int32_t>(q - text_);
}

void TPasLex::ScanNumber()
{
    TokenKind_ = tkNumber;
    const char* q = text_ + RunPosition_ + 1;
    for (;;) {
        const char c = *q;
        if (is_digit_byte(byte_at(q)) || c == 'E' || c == 'e') {
            ++q;
        } else if (c == '.') {
            if (q[1] == '.')
                break;
            ++q;
            TokenKind_ = tkFloat;
        } else {
            break;
        }
    }
    RunPosition_ = static_cast<std::int32_t>(q - text_);
}

// A literal ends at the first quote after the opening one (so "''" inside a literal splits
// it into two tokens), or before the line break or the end of the text when unclosed. A
// literal that starts with three quotes ("''''") is one token.
void TPasLex::ScanString()
{
    TokenKind_ = tkString;
    const char* q = text_ + RunPosition_;
    if (q[1] == '\'' && q[2] == '\'')
        q += 2;
    for (;;) {
        const char c = *q;
        if (c == 0 || c == '\r' || c == '\n')
            break;
        ++q;
        if (*q == '\'')
            break;
    }
    if (*q == '\'')
        ++q;
    RunPosition_ = static_cast<std::int32_t>(q - text_);
}

// The first byte after the word reached by skipping blanks (line breaks are not skipped).
char TPasLex::LookAheadByte() const
{
    const char* q = text_ + RunPosition_;
    while (kBytes.blank[byte_at(q)])
        ++q;
    return *q;
}

bool TPasLex::ContextLookAheadIsNameUse() const
{
    return kBytes.name_use[static_cast<unsigned char>(LookAheadByte())];
}

void TPasLex::ScanWord()
{
    const char* start = text_ + RunPosition_;
    const char* q = start;
    int hash = 0;
    for (int value; (value = kBytes.letter_only_value[byte_at(q)]) != 0; ++q)
        hash += value;
    // The key is the letter run, one byte longer when a digit or "_" follows it; a key longer
    // than the letter run can never match a keyword (keywords are letters only), so such a
    // word is an identifier without looking at the slot table.
    const std::size_t key_length = static_cast<std::size_t>(q - start);
    const bool letters_only = !kBytes.identifier[byte_at(q)];
    while (kBytes.identifier[byte_at(q)])
        ++q;
    RunPosition_ = static_cast<std::int32_t>(q - text_);

    TokenKind_ = tkIdentifier;
    if (!letters_only || hash >= kKeywordSlots)
        return;
    const TKeyword* found = nullptr;
    for (std::uint8_t index : kKeywordSlotTable[hash]) {
        if (index == 0)
            return;
        const TKeyword& keyword = kKeywords[index - 1];
        if (keyword.text.size() == key_length && same_letters(start, keyword.text)) {
            found = &keyword;
            break;
        }
    }
    if (found == nullptr)
        return;

    if (found->context) {
        if (!ContextLookAheadIsNameUse())
            TokenKind_ = found->kind;
        return;
    }
    TokenKind_ = found->kind;
    if (found->kind == tkClass)
        ClassAfterEqual_ = LastNonSpaceKind_ == tkEqual &&
                           !kBytes.identifier[static_cast<unsigned char>(LookAheadByte())];
    else if (found->kind == tkInterface)
        InterfaceAfterEqual_ = LastNonSpaceKind_ == tkEqual;
}

}  // namespace tabulex
