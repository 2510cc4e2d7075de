#pragma once
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "analysis/PasLex.h"
#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// The declaration scan as a consumer of tokens, so that one lexer feeds it and the listing
/// together. `feed` is called with the lexer after every token made current, in order, up to
/// and including the first tkNull (later calls are ignored); the results are then ready for
/// finish_into.
class TDeclarationScan {
public:
    /// `text` is the whole source the lexer walks; it must outlive the scan.
    explicit TDeclarationScan(std::string_view text);

    void feed(const TPasLex& lex);
    bool finished() const { return state_ == State::Done; }
    /// Moves the declarations (with their references gathered and their cross-reference
    /// order), the routine headers and the uses clauses into `analysis`.
    void finish_into(TSourceAnalysis& analysis);
    /// The two halves of finish_into, which two threads may run at the same time once the scan
    /// has finished: everything but the order, and the order (indexes into the declarations in
    /// cross-reference order), which is for the caller to store.
    void gather_into(TSourceAnalysis& analysis);
    std::vector<std::uint32_t> sorted_order() const;

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

    /// One declaration while the scan runs: its references are a chain through refs_, from
    /// `first` to `last` (indexes + 1, 0 for none).
    struct TVariable {
        TDeclaration declaration;
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        /// Collation keys of the name's first 7 and next 7 bytes, taken while it is at hand.
        std::array<std::uint64_t, 2> collation_key{};
    };
    struct TChainedReference {
        TReference reference;
        std::uint32_t next = 0;
    };
    struct TSlot {
        std::uint32_t index = 0;  // entry index + 1, 0 for an empty slot
        std::uint32_t tag = 0;    // high half of the name's hash
    };

    std::string_view text(TSpan span) const { return text_.substr(span.offset, span.length); }
    TSpan span_of(std::string_view view) const
    {
        return {static_cast<std::uint32_t>(view.data() - text_.data()),
                static_cast<std::uint32_t>(view.size())};
    }

    void step(const TPasLex& lex);
    void after_name(const TPasLex& lex);
    void uses_token(const TPasLex& lex);
    void routine_token(const TPasLex& lex);
    void finish_routine();

    void add_variable(std::string_view name, std::string_view type, std::int32_t line);
    TVariable* find_variable(std::string_view name);
    std::size_t find_slot(std::string_view name, std::uint64_t hash) const;
    void grow_slots();

    std::string_view text_;
    State state_ = State::Step;
    bool in_implementation_ = false;
    std::string_view name_;  // the identifier of AfterName/AfterColon

    std::vector<TVariable> variables_;
    std::vector<TChainedReference> refs_;
    std::vector<TSlot> slots_;
    std::vector<TRoutine> routines_;
    TRoutine routine_;  // the header being read
    std::vector<TUsedUnit> uses_;
    std::vector<TUsesClause> clauses_;
    TTokenKind uses_last_kind_ = tkUses;  // the clause's token before the current one
};

}  // namespace tabulex
