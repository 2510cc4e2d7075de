#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/DeclarationScanner.h"
#include "analysis/ListingBuilder.h"
#include "analysis/PasLex.h"

namespace tabulex {

/// The declaration scan as a consumer of tokens, so that one lexer can feed it and the listing
/// builder together. `feed` is called with the lexer after every token made current, in order,
/// up to and including the first tkNull (later calls are ignored); the lists are ready then.
/// Names and types are kept as views into the text, which must outlive the scan.
class TDeclarationScan {
public:
    /// `utf8`: the source is UTF-8, so the scan's own non-ASCII headings are written in UTF-8
    /// (Windows-1252 otherwise).
    /// `text` is the whole source the lexer walks.
    TDeclarationScan(std::string_view text, bool utf8);

    void feed(const TPasLex& lex);
    bool finished() const { return state_ == State::Done; }

    /// The cross reference, line by line.
    void write_xref(const TLineSink& sink) const;
    /// The routine list, line by line.
    void write_procs(const TLineSink& sink) const;
    /// The uses list, which the scan builds as it goes.
    StringList& uses() { return uses_; }

private:
    enum class State : std::uint8_t {
        Step,           // a significant token starts a step
        AfterName,      // an identifier was read; its follower decides what it is
        AfterColon,     // "name :" was read; the next significant token is the type
        ParenSkip,      // skipping to the first ")"
        Uses,           // inside a uses clause, up to ";"
        RoutineName,    // a routine header, every token, up to ":", "(" or ";"
        RoutineParams,  // its parameters, every token, up to ")"
        RoutineSkip,    // after the parameters, up to ":" or ";"
        RoutineReturn,  // its result type, every token, up to ";"
        Done,
    };

    /// A stretch of the source text.
    struct TSpan {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    /// One declaration: a name followed by ":". Its references are a chain through refs_,
    /// from `first` to `last` (indexes + 1, 0 for none).
    struct TVariable {
        TSpan nome;
        TSpan tipo;
        std::int32_t linha = 0;
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };

    /// One later use of a name: its 1-based line, with kAssigned set for an assignment (lines
    /// become text only when written), and the next use of the same entry.
    struct TReference {
        std::uint32_t line = 0;
        std::uint32_t next = 0;
    };
    static constexpr std::uint32_t kAssigned = 0x80000000u;

    std::string_view text(TSpan span) const { return text_.substr(span.offset, span.length); }
    TSpan spanOf(std::string_view view) const
    {
        return {static_cast<std::uint32_t>(view.data() - text_.data()),
                static_cast<std::uint32_t>(view.size())};
    }

    /// One routine header. Its parts are stretches of the text, since the tokens they gather
    /// follow one another without gaps: the keyword up to the first ":", "(" or ";"; "(" up to
    /// the first ")"; ":" up to and with the next ";".
    struct TRoutine {
        std::int32_t linha = 0;
        TSpan nome;
        TSpan parametros;
        TSpan retorno;
    };

    struct TSlot {
        std::uint32_t index = 0;  // entry index + 1, 0 for an empty slot
        std::uint32_t tag = 0;    // high half of the name's hash
    };

    void step(const TPasLex& lex);
    void afterName(const TPasLex& lex);
    void usesToken(const TPasLex& lex);
    void routineToken(const TPasLex& lex);
    void finishRoutine();
    void finish();

    void addVariable(std::string_view name, std::string_view type, std::int32_t line);
    TVariable* findVariable(std::string_view name);
    std::size_t findSlot(std::string_view name, std::uint64_t hash) const;
    void growSlots();
    std::vector<std::uint32_t> sortedOrder() const;

    std::string_view text_;
    bool utf8_;
    State state_ = State::Step;
    bool in_implementation_ = false;
    std::string_view name_;  // the identifier of AfterName/AfterColon

    std::vector<TVariable> variables_;
    std::vector<TReference> refs_;
    std::vector<TSlot> slots_;
    std::vector<TRoutine> routines_;
    TRoutine routine_;  // the header being read

    StringList uses_;
    bool globals_header_ = false;
    bool locals_header_ = false;
    std::string pending_units_;
    int pending_count_ = 0;
};

/// The three lists of a finished scan; takes the uses list out of it.
TDeclarationLists declaration_lists(TDeclarationScan& scan);

/// Runs `scan` over the whole of `bytes` (followed by a NUL) with a lexer of its own.
void scan_text(std::string_view bytes, TDeclarationScan& scan);

/// The listing of `bytes` (followed by a NUL) to `sink`, feeding `scan` from the same lexer.
void analyse_source(std::string_view bytes, const TListingSettings& settings, const TLineSink& sink,
                    TDeclarationScan& scan);

}  // namespace tabulex
