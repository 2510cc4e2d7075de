#include "analysis/ListingBuilder.h"

#include <algorithm>
#include <vector>

#include "analysis/DecimalText.h"
#include "analysis/DeclarationScan.h"
#include "analysis/PasLex.h"
#include "analysis/SourceEncoding.h"

namespace tabulex {

std::string preenche_zeros(long long number, int width)
{
    std::string text;
    append_zero_padded(text, number, width);
    return text;
}

namespace {

// Appends `count` copies of `marker` by doubling what is already there: deep nesting costs a
// few block copies instead of one append per level.
void append_repeated(std::string& out, const std::string& marker, int count)
{
    if (count <= 0 || marker.empty())
        return;
    const std::size_t start = out.size();
    const std::size_t total = marker.size() * static_cast<std::size_t>(count);
    out.reserve(start + total + 16);
    out += marker;
    while (out.size() - start < total) {
        const std::size_t have = out.size() - start;
        out.append(out, start, std::min(have, total - have));
    }
}

// Appends the prefix of one line to `out` (see monta_prelinha), so that the composed line is
// written once, without an intermediate prefix string.
void append_prelinha(std::string& out, bool& opened, int level, int line_type,
                     TPrelinhaState& state, const TListingSettings& settings)
{
    const std::size_t start = out.size();
    state.ref_fim.clear();

    int columns = level;
    if (opened) {
        opened = false;
        columns = level - 1;
    }

    switch (settings.Identacao) {
    case 1:
        // "Só números": the level number alone, or the number of the level that closed.
        if (state.closed || level > 0) {
            out += ' ';
            append_decimal(out, state.closed ? state.closed_level : level);
            out += ' ';
        } else {
            out += "   ";
        }
        break;
    case 2:
        break;  // "Nenhum": no columns, markers or numbers
    default:
        switch (line_type) {
        case 1:
            append_repeated(out, settings.coluna, columns);
            out += settings.prenivel;
            append_decimal(out, level);
            out += settings.sufnivel;
            break;
        case 2:
            // The column part loses its first character, whatever the length of the marker.
            if (columns > 0 && !settings.coluna.empty()) {
                out.append(settings.coluna, 1);
                append_repeated(out, settings.coluna, columns - 1);
            }
            out += settings.begin;
            break;
        case 3:
            append_repeated(out, settings.coluna, columns);
            out += settings.prefnivel;
            append_decimal(out, static_cast<long long>(level) + 1);
            out += settings.suffnivel;
            break;
        default:
            append_repeated(out, settings.coluna, columns);
            break;
        }
        break;
    }

    if (state.closed) {
        state.closed = false;
        if (settings.Final) {
            state.ref_fim += ' ';
            state.ref_fim += settings.preend;
            append_decimal(state.ref_fim, state.closed_start_line);
            state.ref_fim += settings.sufend;
        }
    }
    if (out.size() == start)
        out += "  ";
}

}  // namespace

void monta_prelinha(bool& opened, int level, std::string& prefix, int line_type,
                    TPrelinhaState& state, const TListingSettings& settings)
{
    prefix.clear();
    append_prelinha(prefix, opened, level, line_type, state, settings);
}

namespace {

bool is_line_break(TTokenKind kind)
{
    return kind == tkCRLF || kind == tkCRLFInComment;
}

bool is_routine_header(TTokenKind kind)
{
    return kind == tkConstructor || kind == tkDestructor || kind == tkFunction ||
           kind == tkProcedure;
}

// Blanks, line breaks, comments and compiler directives: everything but the tokens that
// carry the program.
bool is_significant(TTokenKind kind)
{
    switch (kind) {
    case tkSpace:
    case tkCRLF:
    case tkCRLFInComment:
    case tkAnsiComment:
    case tkBorComment:
    case tkSlashesComment:
    case tkDirective:
    case tkDirectiveR:
        return false;
    default:
        return true;
    }
}

// A procedure or function word after "=", ":", "of" or "to" names a procedural type
// ("TProc = procedure of object", "array of function: Integer", "reference to procedure").
bool names_a_type(TTokenKind kind, TTokenKind previous)
{
    return (kind == tkProcedure || kind == tkFunction) &&
           (previous == tkEqual || previous == tkColon || previous == tkOf || previous == tkTo);
}

bool opens_level(TTokenKind kind)
{
    return kind == tkBegin || kind == tkCase || kind == tkRepeat || kind == tkTry ||
           is_routine_header(kind);
}

/// One open block: the kind of the token that opened it (tkBegin once a routine's body
/// began) and the line on which that token stood.
struct TLevelEntry {
    TTokenKind kind = tkAbsolute;
    long long start_line = 0;
};

/// One run of the listing builder over one text.
class TListingBuilder {
public:
    TListingBuilder(std::string_view bytes, const TListingSettings& settings, const TLineSink& sink,
                    TDeclarationScan* scan)
        : bytes_(bytes), settings_(settings), sink_(sink), scan_(scan), niveis_(51)
    {
        prefix_capacity_ = 48 +
                           std::max({settings.prenivel.size() + settings.sufnivel.size(),
                                     settings.prefnivel.size() + settings.suffnivel.size(),
                                     settings.begin.size()}) +
                           settings.preend.size() + settings.sufend.size();
    }

    void build();

private:
    // Makes the next token current and hands it to the declaration scan, if there is one.
    void advance()
    {
        if (is_significant(lex_.TokenKind()))
            last_significant_ = lex_.TokenKind();
        lex_.Next();
        if (scan_ != nullptr)
            scan_->feed(lex_);
    }
    void handle_token();
    void class_scan();
    bool class_scan_phase(bool phase_two);
    void emit_line(std::size_t text_end, bool phase_two);
    void open_or_close(TTokenKind kind);
    bool withdraws_routine_level(TTokenKind kind) const;

    std::string_view bytes_;  // followed by a NUL, the lexer's terminator
    const TListingSettings& settings_;
    const TLineSink& sink_;
    TDeclarationScan* scan_;
    TPasLex lex_;
    std::string line_;  // the line being composed, its buffer kept from line to line

    // Level table: index 0 stands for the outside of all blocks and is never written; it
    // grows when the nesting goes deeper than it has room for.
    std::vector<TLevelEntry> niveis_;
    int nivel_ = 0;
    int tipo_linha_ = 0;
    bool opened_ = false;
    TPrelinhaState marks_;
    bool implementation_seen_ = false;
    TTokenKind last_significant_ = tkNull;  // the last significant token before the current one

    std::size_t line_text_start_ = 0;  // offset of the current line's first byte
    long long line_number_ = 1;        // 1-based number of the current line
    bool in_phase_two_ = false;        // inside the second phase of a class scan
    // Room for everything of a line but its columns and source text: number, markers, reference.
    std::size_t prefix_capacity_ = 0;
};

void TListingBuilder::build()
{
    lex_.SetText(bytes_.data());
    if (scan_ != nullptr)
        scan_->feed(lex_);

    const auto size = static_cast<std::int32_t>(bytes_.size());
    while (lex_.TokenKind() != tkNull && lex_.RunPosition() <= size)
        handle_token();

    // The text after the last line break is listed too, when it reaches the real end of the
    // file; a NUL byte inside the file ends the listing without its unfinished line.
    const bool at_file_end = static_cast<std::size_t>(lex_.TokenPosition()) == bytes_.size();
    if (at_file_end && line_text_start_ < bytes_.size())
        emit_line(bytes_.size(), in_phase_two_);
    // The scan sees the end of the text even when the listing stopped short of it.
    while (scan_ != nullptr && !scan_->finished())
        advance();
}

void TListingBuilder::handle_token()
{
    if (is_line_break(lex_.TokenKind()))
        emit_line(static_cast<std::size_t>(lex_.TokenPosition()), false);

    if (lex_.TokenKind() == tkImplementation)
        implementation_seen_ = true;
    if (lex_.TokenKind() == tkClass)
        class_scan();
    open_or_close(lex_.TokenKind());
    // The token's bytes need no copying: the line text is the byte range of the line.
    advance();
}

void TListingBuilder::open_or_close(TTokenKind kind)
{
    if (withdraws_routine_level(kind)) {
        // A routine declared forward or external has no body here: the level its header
        // opened is taken back. On the header's own line the line is listed plain.
        --nivel_;
        if (opened_) {
            opened_ = false;
            tipo_linha_ = marks_.closed ? 3 : 0;
        }
        return;
    }
    if (opens_level(kind) && implementation_seen_ && !names_a_type(kind, last_significant_)) {
        if (kind == tkBegin && is_routine_header(niveis_[nivel_].kind)) {
            // The begin of a routine's body: same level, and the routine's entry now names
            // the begin line.
            tipo_linha_ = settings_.begin.empty() ? 0 : 2;
        } else {
            ++nivel_;
            if (static_cast<std::size_t>(nivel_) >= niveis_.size())
                niveis_.resize(niveis_.size() * 2);
            tipo_linha_ = 1;
            opened_ = true;
        }
        niveis_[nivel_] = {kind, line_number_};
        return;
    }
    if ((kind == tkEnd || kind == tkUntil) && nivel_ > 0) {
        marks_.closed = true;
        marks_.closed_level = nivel_;
        marks_.closed_start_line = niveis_[nivel_].start_line;
        tipo_linha_ = 3;
        --nivel_;
    }
}

// "forward" or "external" right after the ";" of a routine header whose body has not begun.
bool TListingBuilder::withdraws_routine_level(TTokenKind kind) const
{
    return (kind == tkForward || kind == tkExternal) && implementation_seen_ && nivel_ > 0 &&
           is_routine_header(niveis_[nivel_].kind) && last_significant_ == tkSemiColon;
}

// A class declaration, and whatever follows the word class up to the first colon or
// semicolon, passes without level processing. After a colon the scan goes on up to the
// next end, so the methods of a class whose first member has a colon open no levels.
void TListingBuilder::class_scan()
{
    if (!class_scan_phase(false))
        return;
    if (lex_.TokenKind() != tkColon)
        return;
    in_phase_two_ = true;
    if (class_scan_phase(true))
        in_phase_two_ = false;
}

// Runs one phase; returns false when the text ended during it.
bool TListingBuilder::class_scan_phase(bool phase_two)
{
    for (;;) {
        if (is_line_break(lex_.TokenKind()))
            emit_line(static_cast<std::size_t>(lex_.TokenPosition()), phase_two);
        advance();
        const TTokenKind kind = lex_.TokenKind();
        if (kind == tkNull)
            return false;
        if (phase_two ? kind == tkEnd : (kind == tkColon || kind == tkSemiColon))
            return true;
    }
}

void TListingBuilder::emit_line(std::size_t text_end, bool phase_two)
{
    const std::size_t text_length = text_end - line_text_start_;
    std::string& line = line_;
    line.clear();
    line.reserve(prefix_capacity_ + static_cast<std::size_t>(nivel_) * settings_.coluna.size() +
                 text_length);
    if (settings_.Numeracao) {
        append_zero_padded(line, line_number_, 4);
        line += ' ';
    } else if (phase_two) {
        line.append(5, ' ');
    }
    append_prelinha(line, opened_, nivel_, tipo_linha_, marks_, settings_);
    line.append(bytes_, line_text_start_, text_length);
    line += marks_.ref_fim;
    sink_(line);

    tipo_linha_ = 0;
    line_text_start_ = static_cast<std::size_t>(lex_.RunPosition());
    line_number_ = static_cast<long long>(lex_.LineNumber()) + 1;
}

}  // namespace

StringList build_listing(const std::string& bytes, const TListingSettings& settings)
{
    StringList listing;
    // One listing line per source line; a rough guess of the line count saves regrowing.
    listing.reserve(bytes.size() / 32 + 16);
    build_listing(bytes, settings, [&](std::string_view line) { listing.emplace_back(line); });
    return listing;
}

void build_listing(const std::string& bytes, const TListingSettings& settings,
                   const TLineSink& sink)
{
    TListingBuilder(bytes, settings, sink, nullptr).build();
}

TDeclarationLists analyse_source(const std::string& bytes, const TListingSettings& settings,
                                 const TLineSink& sink)
{
    TDeclarationScan scan(bytes, detect_source_encoding(bytes) == SourceEncoding::Utf8);
    TListingBuilder(bytes, settings, sink, &scan).build();
    return declaration_lists(scan);
}

void analyse_source(std::string_view bytes, const TListingSettings& settings, const TLineSink& sink,
                    TDeclarationScan& scan)
{
    TListingBuilder(bytes, settings, sink, &scan).build();
}

}  // namespace tabulex
