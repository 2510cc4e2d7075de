#include "analysis/DeclarationScan.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "analysis/LargePages.h"
#include "analysis/TokenKinds_p.h"

namespace tabulex {

namespace {

// ---------------------------------------------------------------------------------------
// Name collation: ASCII case folding, then "_" before the digits before the letters; any
// other ASCII byte sorts before "_" by its value, and bytes 128 to 255 sort after the
// letters by their value. A name that is a prefix of another sorts first.
// ---------------------------------------------------------------------------------------

struct TNameTables {
    std::array<std::uint16_t, 256> weight{};  // collation weight of a byte
};

constexpr TNameTables make_name_tables()
{
    TNameTables t{};
    for (unsigned c = 0; c < 256; ++c) {
        const unsigned folded = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        if (folded == '_')
            t.weight[c] = 128;
        else if (folded >= '0' && folded <= '9')
            t.weight[c] = static_cast<std::uint16_t>(129 + (folded - '0'));
        else if (folded >= 'a' && folded <= 'z')
            t.weight[c] = static_cast<std::uint16_t>(139 + (folded - 'a'));
        else if (c >= 128)
            t.weight[c] = static_cast<std::uint16_t>(165 + (c - 128));
        else
            t.weight[c] = static_cast<std::uint16_t>(c);
    }
    return t;
}

constexpr TNameTables kNames = make_name_tables();

/// Negative, zero or positive as `a` sorts before, with or after `b`.
int collate_names(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int wa = kNames.weight[static_cast<unsigned char>(a[i])];
        int wb = kNames.weight[static_cast<unsigned char>(b[i])];
        if (wa != wb)
            return wa - wb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The collation weights of seven bytes of a name from `from` on, nine bits each and one more
// than the weight, so that the end of a shorter name (0) sorts first.
std::uint64_t collation_key(std::string_view name, std::size_t from)
{
    std::uint64_t key = 0;
    for (std::size_t i = from; i < from + 7; ++i) {
        key <<= 9;
        if (i < name.size())
            key |= kNames.weight[static_cast<unsigned char>(name[i])] + 1u;
    }
    return key;
}

// Names here are identifier tokens: letters, digits and "_". Setting bit 5 of each byte folds
// the case of the letters and leaves digits alone ("_" becomes a byte no other name byte
// becomes), so names are compared and hashed eight bytes at a time.
constexpr std::uint64_t kFoldBits = 0x2020202020202020ULL;

// Up to eight bytes of `p` as one word, each with bit 5 set; bytes past `count` are zero.
std::uint64_t folded_word(const char* p, std::size_t count)
{
    std::uint64_t word = 0;
    std::memcpy(&word, p, count);
    const std::uint64_t mask = count >= 8 ? ~0ULL : (1ULL << (count * 8)) - 1;
    return (word | kFoldBits) & mask;
}

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i += 8) {
        const std::size_t count = std::min<std::size_t>(8, a.size() - i);
        if (folded_word(a.data() + i, count) != folded_word(b.data() + i, count))
            return false;
    }
    return true;
}

std::uint64_t name_hash(std::string_view name)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ name.size();
    for (std::size_t i = 0; i < name.size(); i += 8) {
        h ^= folded_word(name.data() + i, std::min<std::size_t>(8, name.size() - i));
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    h *= 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 29);
}

// The tokens NextSignificant stops at: all but blanks, line breaks and block comments.
bool stops_next_significant(TTokenKind kind)
{
    return !token_kinds::has(kind, token_kinds::kSkipped);
}

bool is_routine_keyword(TTokenKind kind)
{
    return kind == tkConstructor || kind == tkDestructor || kind == tkFunction ||
           kind == tkProcedure;
}

std::int32_t line_of(const TPasLex& lex)
{
    return lex.LineNumber() + 1;
}

}  // namespace

TDeclarationScan::TDeclarationScan(std::string_view text) : text_(text)
{
    // Rough guesses from real units, so the tables seldom regrow: about one declaration in
    // 500 bytes, the index at most half full.
    std::size_t slots = 1024;
    while (slots < text.size() / 256)
        slots *= 2;
    slots_.resize(slots);
    reserve_in_large_pages(variables_, text.size() / 128);
    reserve_in_large_pages(refs_, text.size() / 64);
    reserve_in_large_pages(routines_, text.size() / 512);
}

void TDeclarationScan::feed(const TPasLex& lex)
{
    if (state_ == State::Done)
        return;
    const TTokenKind kind = lex.TokenKind();
    switch (state_) {
    case State::RoutineName:
    case State::RoutineParams:
    case State::RoutineSkip:
    case State::RoutineReturn:
        // A routine header keeps its blanks, comments and line breaks.
        routine_token(lex);
        break;
    default:
        // Everywhere else the scan moves from one significant token to the next.
        if (!stops_next_significant(kind))
            return;
        switch (state_) {
        case State::Step:
            step(lex);
            break;
        case State::AfterName:
            after_name(lex);
            break;
        case State::AfterColon:
            add_variable(name_, lex.TokenView(), line_of(lex));
            state_ = State::Step;
            step(lex);  // the type token starts the next step
            break;
        case State::ParenSkip:
            // Not nested: the first ")" ends the skip.
            if (kind == tkParenClose)
                state_ = State::Step;
            break;
        case State::Uses:
            uses_token(lex);
            break;
        default:
            break;
        }
        break;
    }
    if (kind == tkNull)
        state_ = State::Done;
}

void TDeclarationScan::step(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkImplementation) {
        in_implementation_ = true;
    } else if (kind == tkUses) {
        clauses_.push_back({in_implementation_, static_cast<std::uint32_t>(uses_.size()), 0});
        uses_last_kind_ = tkUses;
        state_ = State::Uses;
    } else if (is_routine_keyword(kind) && in_implementation_) {
        routine_ = TRoutine{line_of(lex), kind, span_of(lex.TokenView()), {}, {}};
        state_ = State::RoutineName;
    } else if (kind == tkParenOpen) {
        state_ = State::ParenSkip;
    } else if (kind == tkIdentifier) {
        name_ = lex.TokenView();
        state_ = State::AfterName;
    }
}

// Names are only cross-referenced after their declaration. The line is that of the token
// after the name.
void TDeclarationScan::after_name(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkColon) {
        state_ = State::AfterColon;
        return;
    }
    if (TVariable* entry = find_variable(name_)) {
        const auto line = static_cast<std::uint32_t>(line_of(lex));
        refs_.push_back({TReference(line, kind == tkAssign), 0});
        const auto added = static_cast<std::uint32_t>(refs_.size());
        if (entry->last != 0)
            refs_[entry->last - 1].next = added;
        else
            entry->first = added;
        entry->last = added;
    }
    state_ = State::Step;
    if (kind != tkAssign)
        step(lex);  // the follower starts the next step
}

// Every identifier of a clause up to its ";" names a unit (or a part of a dotted name).
void TDeclarationScan::uses_token(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkIdentifier) {
        uses_.push_back({span_of(lex.TokenView()), line_of(lex), uses_last_kind_ == tkDot});
        ++clauses_.back().unit_count;
    }
    uses_last_kind_ = kind;
    if (kind == tkSemiColon || kind == tkNull)
        state_ = State::Step;
}

// The keyword up to the first ":", "(" or ";" is the name; "(" up to the first ")" the
// parameters; ":" up to the next ";" the result.
void TDeclarationScan::routine_token(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    const bool ends = kind == tkSemiColon || kind == tkNull;
    const auto token_start = static_cast<std::uint32_t>(lex.TokenPosition());
    const auto token_end = static_cast<std::uint32_t>(lex.RunPosition());
    auto extend = [&](TSpan& span) { span.length = token_end - span.offset; };
    switch (state_) {
    case State::RoutineName:
        if (kind == tkParenOpen) {
            routine_.parameters = {token_start, token_end - token_start};
            state_ = State::RoutineParams;
        } else if (kind == tkColon) {
            routine_.result = {token_start, token_end - token_start};
            state_ = State::RoutineReturn;
        } else if (ends) {
            finish_routine();
        } else {
            extend(routine_.name);
        }
        break;
    case State::RoutineParams:
        extend(routine_.parameters);
        if (kind == tkParenClose)
            state_ = State::RoutineSkip;
        else if (kind == tkNull)
            finish_routine();
        break;
    case State::RoutineSkip:
        if (kind == tkColon) {
            routine_.result = {token_start, token_end - token_start};
            state_ = State::RoutineReturn;
        } else if (ends) {
            finish_routine();
        }
        break;
    default:  // RoutineReturn
        extend(routine_.result);
        if (ends)
            finish_routine();
        break;
    }
}

void TDeclarationScan::finish_routine()
{
    routines_.push_back(routine_);
    state_ = State::Step;
}

// Declarations are kept in declaration order with a hash index on the case-folded name that
// points at the latest entry of each name, so a lookup is one probe and allocates nothing.
void TDeclarationScan::add_variable(std::string_view name, std::string_view type, std::int32_t line)
{
    if ((variables_.size() + 1) * 2 > slots_.size())
        grow_slots();
    const std::uint64_t hash = name_hash(name);
    TVariable entry;
    entry.declaration.name = span_of(name);
    entry.declaration.type = span_of(type);
    entry.declaration.line = line;
    entry.declaration.in_interface = !in_implementation_;
    entry.collation_key = {collation_key(name, 0), collation_key(name, 7)};
    variables_.push_back(entry);
    // A name declared again: its latest entry takes the references that follow.
    slots_[find_slot(name, hash)] = {static_cast<std::uint32_t>(variables_.size()),
                                     static_cast<std::uint32_t>(hash >> 32)};
}

TDeclarationScan::TVariable* TDeclarationScan::find_variable(std::string_view name)
{
    const std::uint32_t index = slots_[find_slot(name, name_hash(name))].index;
    return index == 0 ? nullptr : &variables_[index - 1];
}

// The slot holding `name`, or the empty slot where it would go.
std::size_t TDeclarationScan::find_slot(std::string_view name, std::uint64_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    for (;;) {
        const TSlot& s = slots_[slot];
        if (s.index == 0 ||
            (s.tag == tag && same_name(text(variables_[s.index - 1].declaration.name), name)))
            return slot;
        slot = (slot + 1) & mask;
    }
}

void TDeclarationScan::grow_slots()
{
    std::vector<TSlot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const TSlot& s : old) {
        if (s.index == 0)
            continue;
        std::size_t slot =
            static_cast<std::size_t>(name_hash(text(variables_[s.index - 1].declaration.name))) &
            mask;
        while (slots_[slot].index != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = s;
    }
}

// Entry indexes in list order: collated names, equal names latest declaration first.
std::vector<std::uint32_t> TDeclarationScan::sorted_order() const
{
    // Sorted by keys of the leading bytes, which decide most comparisons without reading the
    // names; names alike in their first fourteen bytes are compared.
    struct TKeyed {
        std::array<std::uint64_t, 2> key;
        std::uint32_t index;
    };
    std::vector<TKeyed> keyed(variables_.size());
    for (std::uint32_t i = 0; i < keyed.size(); ++i)
        keyed[i] = {variables_[i].collation_key, i};
    std::sort(keyed.begin(), keyed.end(), [this](const TKeyed& a, const TKeyed& b) {
        if (a.key != b.key)
            return a.key < b.key;
        // Equal keys of names shorter than fourteen bytes (their last group empty) are names
        // that collate as equal.
        const int c = (a.key[1] & 0x1FF) == 0
                          ? 0
                          : collate_names(text(variables_[a.index].declaration.name),
                                          text(variables_[b.index].declaration.name));
        return c != 0 ? c < 0 : a.index > b.index;
    });
    std::vector<std::uint32_t> order(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].index;
    return order;
}

void TDeclarationScan::finish_into(TSourceAnalysis& analysis)
{
    gather_into(analysis);
    analysis.xref_order_ = sorted_order();
    std::vector<TVariable>().swap(variables_);
}

void TDeclarationScan::gather_into(TSourceAnalysis& analysis)
{
    // Each declaration's references, gathered in the order of the text. The entries themselves
    // are only read: sorted_order may be reading them at the same time.
    reserve_in_large_pages(analysis.references_, refs_.size());
    reserve_in_large_pages(analysis.declarations_, variables_.size());
    for (const TVariable& v : variables_) {
        TDeclaration& declaration = analysis.declarations_.emplace_back(v.declaration);
        declaration.first_reference = static_cast<std::uint32_t>(analysis.references_.size());
        for (std::uint32_t r = v.first; r != 0; r = refs_[r - 1].next)
            analysis.references_.push_back(refs_[r - 1].reference);
        declaration.end_reference = static_cast<std::uint32_t>(analysis.references_.size());
    }
    analysis.routines_ = std::move(routines_);
    analysis.uses_ = std::move(uses_);
    analysis.uses_clauses_ = std::move(clauses_);
    std::vector<TChainedReference>().swap(refs_);
}

}  // namespace tabulex
