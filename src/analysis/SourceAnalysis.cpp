#include "analysis/SourceAnalysis.h"

#include <algorithm>
#include <exception>
#include <latch>
#include <optional>
#include <system_error>
#include <thread>

#include "analysis/DeclarationScan.h"
#include "analysis/LargePages.h"
#include "analysis/TokenKinds_p.h"

namespace tabulex {

namespace {

using namespace token_kinds;

bool is_line_break(TTokenKind kind)
{
    return has(kind, kLineBreak);
}

bool is_routine_header(TTokenKind kind)
{
    return has(kind, kRoutineHeader);
}

// Blanks, line breaks, comments and compiler directives: everything but the tokens that
// carry the program.
bool is_significant(TTokenKind kind)
{
    return has(kind, kSignificant);
}

// A procedure or function word after "=", ":", "of" or "to" names a procedural type
// ("TProc = procedure of object", "array of function: Integer", "reference to procedure").
bool names_a_type(TTokenKind kind, TTokenKind previous)
{
    return (kind == tkProcedure || kind == tkFunction) &&
           (previous == tkEqual || previous == tkColon || previous == tkOf || previous == tkTo);
}

/// One open block: the kind of the token that opened it (tkBegin once a routine's body
/// began), the line on which that token stood, and for a routine the line of its header.
struct TLevelEntry {
    TTokenKind kind = tkAbsolute;
    std::int32_t start_line = 0;
    std::int32_t routine_line = 0;
};

}  // namespace

/// One run of the lexer over one text: tracks the block levels line by line, classes the
/// tokens, and feeds the declaration scan from the same tokens.
class TAnalysisBuilder {
public:
    /// `scan` false leaves the declaration scan to another reading of the text; a
    /// `line_sink` takes the lines instead of the result.
    TAnalysisBuilder(TSourceAnalysis& result, bool token_runs, bool scan,
                     const TSourceAnalysis::TLineSink& line_sink)
        : out_(result),
          bytes_(result.bytes_),
          token_runs_(token_runs),
          line_sink_(line_sink),
          niveis_(51)
    {
        if (scan)
            scan_.emplace(bytes_);
        if (!line_sink_)
            reserve_in_large_pages(out_.lines_, bytes_.size() / 32 + 16);
        if (token_runs_)
            reserve_in_large_pages(out_.runs_, bytes_.size() / 8 + 16);
    }

    void build();

private:
    void start();
    // Makes the next token current and hands it to the declaration scan.
    void advance()
    {
        if (is_significant(lex_.TokenKind()))
            last_significant_ = lex_.TokenKind();
        lex_.Next();
        took_token();
    }
    void took_token();
    void handle_token();
    void class_scan();
    bool class_scan_phase(bool phase_two);
    void emit_line(std::size_t text_end, bool phase_two);
    void open_or_close(TTokenKind kind);
    bool withdraws_routine_level(TTokenKind kind) const;
    void add_run(std::uint32_t start, std::uint32_t end, TRunClass cls);

    TSourceAnalysis& out_;
    std::string_view bytes_;  // followed by a NUL, the lexer's terminator
    bool token_runs_;
    const TSourceAnalysis::TLineSink& line_sink_;
    std::size_t lines_made_ = 0;
    std::optional<TDeclarationScan> scan_;
    TPasLex lex_;

    // Level table: index 0 stands for the outside of all blocks and is never written; it
    // grows when the nesting goes deeper than it has room for.
    std::vector<TLevelEntry> niveis_;
    std::int32_t nivel_ = 0;
    std::uint8_t tipo_linha_ = 0;
    bool opened_ = false;
    bool closed_ = false;
    std::int32_t closed_level_ = 0;
    std::int32_t closed_start_ = 0;
    bool implementation_seen_ = false;
    TTokenKind last_significant_ = tkNull;  // the last significant token before the current one
    bool seen_significant_ = false;         // for telling a unit from other files

    std::size_t line_text_start_ = 0;  // offset of the current line's first byte
    std::int32_t line_number_ = 1;     // 1-based number of the current line
    bool in_phase_two_ = false;        // inside the second phase of a class scan
};

void TAnalysisBuilder::build()
{
    lex_.SetText(bytes_.data());
    took_token();

    const auto size = static_cast<std::int32_t>(bytes_.size());
    while (lex_.TokenKind() != tkNull && lex_.RunPosition() <= size)
        handle_token();

    // The text after the last line break is listed too, when it reaches the real end of the
    // file; a NUL byte inside the file ends the listing without its unfinished line.
    const bool at_file_end = static_cast<std::size_t>(lex_.TokenPosition()) == bytes_.size();
    if (at_file_end && line_text_start_ < bytes_.size())
        emit_line(bytes_.size(), in_phase_two_);
    if (!scan_)
        return;
    // The scan sees the end of the text even when the listing stopped short of it.
    while (!scan_->finished())
        advance();
    scan_->finish_into(out_);
}

void TAnalysisBuilder::took_token()
{
    if (scan_)
        scan_->feed(lex_);
    const TTokenKind kind = lex_.TokenKind();
    if (!seen_significant_ && kind != tkNull && is_significant(kind)) {
        seen_significant_ = true;
        out_.is_unit_ = kind == tkUnit;
    }
    if (!token_runs_)
        return;
    std::uint8_t cls = kKinds.run_class[kind];
    // The keyword String and quoted literals share their kind.
    if (kind == tkString && bytes_[static_cast<std::size_t>(lex_.TokenPosition())] == '\'')
        cls = static_cast<std::uint8_t>(TRunClass::String);
    if (cls == kNoClass)
        return;
    const auto start = static_cast<std::uint32_t>(lex_.TokenPosition());
    auto end = static_cast<std::uint32_t>(lex_.RunPosition());
    // Never end a run inside a UTF-8 sequence: the bytes that continue it go with it.
    while (end < bytes_.size() && (bytes_[end] & 0xC0) == 0x80 && (bytes_[end - 1] & 0x80))
        ++end;
    add_run(start, end, static_cast<TRunClass>(cls));
}

void TAnalysisBuilder::add_run(std::uint32_t start, std::uint32_t end, TRunClass cls)
{
    std::vector<TTokenRun>& runs = out_.runs_;
    // The extension of the run before may already cover this token's first bytes.
    if (!runs.empty()) {
        const TTokenRun& last = runs.back();
        start = std::max(start, last.offset() + last.length());
    }
    while (start < end) {
        const std::uint32_t length = std::min(end - start, TTokenRun::kMaxLength);
        runs.emplace_back(start, length, cls);
        start += length;
    }
}

void TAnalysisBuilder::handle_token()
{
    if (is_line_break(lex_.TokenKind()))
        emit_line(static_cast<std::size_t>(lex_.TokenPosition()), false);

    if (lex_.TokenKind() == tkImplementation)
        implementation_seen_ = true;
    if (lex_.TokenKind() == tkClass)
        class_scan();
    open_or_close(lex_.TokenKind());
    advance();
}

void TAnalysisBuilder::open_or_close(TTokenKind kind)
{
    if (!has(kind, kLevelWord))
        return;
    if (withdraws_routine_level(kind)) {
        // A routine declared forward or external has no body here: the level its header
        // opened is taken back. On the header's own line the line is listed plain.
        --nivel_;
        if (opened_) {
            opened_ = false;
            tipo_linha_ = closed_ ? 3 : 0;
        }
        return;
    }
    if (has(kind, kOpensLevel) && implementation_seen_ && !names_a_type(kind, last_significant_)) {
        if (kind == tkBegin && is_routine_header(niveis_[nivel_].kind)) {
            // The begin of a routine's body: same level, and the routine's entry now names
            // the begin line.
            tipo_linha_ = 2;
            niveis_[nivel_].kind = kind;
            niveis_[nivel_].start_line = line_number_;
            return;
        }
        ++nivel_;
        if (static_cast<std::size_t>(nivel_) >= niveis_.size())
            niveis_.resize(niveis_.size() * 2);
        tipo_linha_ = 1;
        opened_ = true;
        niveis_[nivel_] = {kind, line_number_, is_routine_header(kind) ? line_number_ : 0};
        return;
    }
    if ((kind == tkEnd || kind == tkUntil) && nivel_ > 0) {
        const TLevelEntry& entry = niveis_[nivel_];
        closed_ = true;
        closed_level_ = nivel_;
        closed_start_ = entry.start_line;
        tipo_linha_ = 3;
        if (entry.routine_line != 0)
            out_.routine_blocks_.push_back({entry.routine_line, line_number_});
        --nivel_;
    }
}

// "forward" or "external" right after the ";" of a routine header whose body has not begun.
bool TAnalysisBuilder::withdraws_routine_level(TTokenKind kind) const
{
    return (kind == tkForward || kind == tkExternal) && implementation_seen_ && nivel_ > 0 &&
           is_routine_header(niveis_[nivel_].kind) && last_significant_ == tkSemiColon;
}

// A class declaration, and whatever follows the word class up to the first colon or
// semicolon, passes without level processing. After a colon the scan goes on up to the
// next end, so the methods of a class whose first member has a colon open no levels.
void TAnalysisBuilder::class_scan()
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
bool TAnalysisBuilder::class_scan_phase(bool phase_two)
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

void TAnalysisBuilder::emit_line(std::size_t text_end, bool phase_two)
{
    TListingLine line;
    line.text_offset = static_cast<std::uint32_t>(line_text_start_);
    line.text_length = static_cast<std::uint32_t>(text_end - line_text_start_);
    line.level = nivel_;
    line.closed_level = closed_level_;
    line.closed_start = closed_start_;
    line.first_run = out_.listed_runs_;
    out_.listed_runs_ = static_cast<std::uint32_t>(out_.runs_.size());
    line.type = tipo_linha_;
    line.opened = opened_;
    line.closed = closed_;
    line.class_body = phase_two;
    if (line_sink_)
        line_sink_(line, lines_made_++);
    else
        out_.lines_.push_back(line);

    opened_ = false;
    closed_ = false;
    tipo_linha_ = 0;
    line_text_start_ = static_cast<std::size_t>(lex_.RunPosition());
    line_number_ = lex_.LineNumber() + 1;
}

TSourceAnalysis::TSourceAnalysis(std::string bytes, bool token_runs) : owned_(std::move(bytes))
{
    bytes_ = owned_;
    analyse(token_runs, TAnalysisThreads::One, {});
}

TSourceAnalysis::TSourceAnalysis(TBorrowed bytes, bool token_runs, TAnalysisThreads threads,
                                 const TLineSink& line_sink)
    : bytes_(bytes.bytes)
{
    analyse(token_runs, threads, line_sink);
}

namespace {

// Below this a second thread costs more than it spares.
constexpr std::size_t kTwoThreadsFrom = 1 << 20;

}  // namespace

void TSourceAnalysis::analyse(bool token_runs, TAnalysisThreads threads, const TLineSink& line_sink)
{
    if (threads == TAnalysisThreads::One || bytes_.size() < kTwoThreadsFrom) {
        find_encoding();
        TAnalysisBuilder(*this, token_runs, true, line_sink).build();
        return;
    }
    // The two halves write disjoint members: the second thread what the declaration scan
    // finds, this one the lines, runs and routine blocks, which it may hand on to a sink while
    // the scan goes on, and then the encoding (the scan is the longer half). Once the text is
    // scanned, the second thread gathers each declaration's references while this one sorts
    // the declarations.
    TDeclarationScan scan(bytes_);
    std::latch scanned(1);
    std::exception_ptr failure;
    std::jthread second;
    try {
        second = std::jthread([this, &scan, &scanned, &failure] {
            bool counted = false;
            try {
                scan_text(scan);
                scanned.count_down();
                counted = true;
                scan.gather_into(*this);
            } catch (...) {
                failure = std::current_exception();
                if (!counted)
                    scanned.count_down();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: all of it on this one.
        analyse(token_runs, TAnalysisThreads::One, line_sink);
        return;
    }
    TAnalysisBuilder(*this, token_runs, false, line_sink).build();
    find_encoding();
    scanned.wait();
    std::vector<std::uint32_t> order = scan.sorted_order();
    second.join();
    if (failure)
        std::rethrow_exception(failure);
    xref_order_ = std::move(order);
}

void TSourceAnalysis::find_encoding()
{
    encoding_ = detect_source_encoding(bytes_);
    if (const std::size_t nul = bytes_.find('\0'); nul != std::string_view::npos)
        nul_offset_ = nul;
}

// The declaration scan over a lexer of its own: every token up to and with the first tkNull,
// as the builder's lexer would hand them over.
void TSourceAnalysis::scan_text(TDeclarationScan& scan)
{
    TPasLex lex;
    lex.SetText(bytes_.data());
    for (scan.feed(lex); !scan.finished(); scan.feed(lex))
        lex.Next();
}

std::span<const TTokenRun> TSourceAnalysis::runs(std::size_t index) const
{
    const std::size_t first = lines_[index].first_run;
    const std::size_t end = index + 1 < lines_.size() ? lines_[index + 1].first_run : listed_runs_;
    return std::span<const TTokenRun>(runs_).subspan(first, end - first);
}

std::span<const TReference> TSourceAnalysis::references(const TDeclaration& declaration) const
{
    return std::span<const TReference>(references_)
        .subspan(declaration.first_reference,
                 declaration.end_reference - declaration.first_reference);
}

}  // namespace tabulex
