#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "DeclarationScanner.h"
#include "ListingBuilder.h"
#include "PasLex.h"

namespace tabulex {


/// The declaration scan as a consumer of tokens, so that one lexer can feed it and the listing
/// builder together. `feed` is called with the lexer after every token made current, in order,
/// up to and including the first tkNull (later calls are ignored); the lists are ready then.
/// Names and types are kept as views into the text, which must outlive the scan.
class TDeclarationScan {
public:
    /// `utf8`: the source is UTF-8, so the scan's own non-ASCII headings are written in UTF-8
    /// (Windows-1252 otherwise).
    explicit TDeclarationScan(bool utf8) : utf8_(utf8), slots_(1024) {}

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

    /// One declaration: a name followed by ":". `refs` holds the 1-based line of each later
    /// use, with kAssigned set for an assignment; lines become text only when written.
    struct TVariable {
        std::string_view nome;
        std::string_view tipo;
        std::int32_t linha = 0;
        std::vector<std::uint32_t> refs;
    };
    static constexpr std::uint32_t kAssigned = 0x80000000u;

    struct TRoutine {
        std::int32_t linha = 0;
        std::string nome;
        std::string parametros;
        std::string retorno;
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

    bool utf8_;
    State state_ = State::Step;
    bool in_implementation_ = false;
    std::string_view name_;  // the identifier of AfterName/AfterColon

    std::vector<TVariable> variables_;
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

/// Runs `scan` over the whole of `bytes` with a lexer of its own.
void scan_text(const std::string& bytes, TDeclarationScan& scan);

/// The listing of `bytes` to `sink`, feeding `scan` from the same lexer.
void analyse_source(const std::string& bytes, const TListingSettings& settings, const TLineSink& sink,
                    TDeclarationScan& scan);

}  // namespace tabulex
