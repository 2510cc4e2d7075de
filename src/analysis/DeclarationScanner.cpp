#include "analysis/DeclarationScanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "analysis/DecimalText.h"
#include "analysis/DeclarationScan.h"
#include "analysis/PasLex.h"
#include "analysis/SourceEncoding.h"

namespace tabulex {

namespace {

// ---------------------------------------------------------------------------------------
// Name collation: ASCII case folding, then "_" before the digits before the letters; any
// other ASCII byte sorts before "_" by its value, and bytes 128 to 255 sort after the
// letters by their value. A name that is a prefix of another sorts first.
// ---------------------------------------------------------------------------------------

struct TNameTables {
    std::array<unsigned char, 256> fold{};    // ASCII upper case to lower case
    std::array<std::uint16_t, 256> weight{};  // collation weight of a byte
};

constexpr TNameTables make_name_tables()
{
    TNameTables t{};
    for (unsigned c = 0; c < 256; ++c) {
        unsigned folded = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        t.fold[c] = static_cast<unsigned char>(folded);
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

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (kNames.fold[static_cast<unsigned char>(a[i])] !=
            kNames.fold[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

std::uint64_t name_hash(std::string_view name)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (char c : name)
        h = (h ^ kNames.fold[static_cast<unsigned char>(c)]) * 1099511628211ULL;
    return h;
}

const char* const kRuler = "------------------------------------------------";
const char* const kUnitsRuler = "--------------------------- ";

bool isSignificant(TTokenKind kind)
{
    return kind != tkAnsiComment && kind != tkBorComment && kind != tkCRLF &&
           kind != tkCRLFInComment && kind != tkSpace;
}

bool isRoutineKeyword(TTokenKind kind)
{
    return kind == tkConstructor || kind == tkDestructor || kind == tkFunction ||
           kind == tkProcedure;
}

std::int32_t lineOf(const TPasLex& lex)
{
    return lex.LineNumber() + 1;
}

}  // namespace

TDeclarationScan::TDeclarationScan(std::string_view text, bool utf8) : text_(text), utf8_(utf8)
{
    // Rough guesses from real units, so the tables seldom regrow.
    slots_.resize(1024);
    variables_.reserve(text.size() / 128);
    refs_.reserve(text.size() / 64);
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
        routineToken(lex);
        break;
    default:
        // Everywhere else the scan moves from one significant token to the next.
        if (!isSignificant(kind))
            return;
        switch (state_) {
        case State::Step:
            step(lex);
            break;
        case State::AfterName:
            afterName(lex);
            break;
        case State::AfterColon:
            addVariable(name_, lex.TokenView(), lineOf(lex));
            state_ = State::Step;
            step(lex);  // the type token starts the next step
            break;
        case State::ParenSkip:
            // Not nested: the first ")" ends the skip.
            if (kind == tkParenClose)
                state_ = State::Step;
            break;
        case State::Uses:
            usesToken(lex);
            break;
        default:
            break;
        }
        break;
    }
    if (kind == tkNull)
        finish();
}

void TDeclarationScan::step(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkImplementation) {
        in_implementation_ = true;
    } else if (kind == tkUses) {
        state_ = State::Uses;
    } else if (isRoutineKeyword(kind) && in_implementation_) {
        routine_ = TRoutine{lineOf(lex), spanOf(lex.TokenView()), {}, {}};
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
void TDeclarationScan::afterName(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkColon) {
        state_ = State::AfterColon;
        return;
    }
    if (TVariable* entry = findVariable(name_)) {
        const auto line = static_cast<std::uint32_t>(lineOf(lex));
        refs_.push_back({kind == tkAssign ? line | kAssigned : line, 0});
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

void TDeclarationScan::usesToken(const TPasLex& lex)
{
    if (!globals_header_) {
        globals_header_ = true;
        uses_.insert(uses_.end(),
                     {" ", "                 Units: ", kUnitsRuler, "Globais: ", kUnitsRuler});
    }
    const TTokenKind kind = lex.TokenKind();
    if (kind == tkIdentifier) {
        if (in_implementation_ && !locals_header_) {
            uses_.insert(uses_.end(), {" ", kUnitsRuler, "Locais: ", kUnitsRuler});
            locals_header_ = true;
            pending_units_.clear();
            pending_count_ = 0;
        }
        pending_units_ += lex.TokenView();
        pending_units_ += "  ";
        if (++pending_count_ % 5 == 0) {
            uses_.push_back(std::move(pending_units_));
            uses_.push_back(" ");
            pending_units_.clear();
        }
    }
    if (kind != tkSemiColon && kind != tkNull)
        return;
    if (!pending_units_.empty())
        uses_.push_back(std::move(pending_units_));
    pending_units_.clear();
    pending_count_ = 0;
    state_ = State::Step;
}

// The keyword up to the first ":", "(" or ";" is the name; "(" up to the first ")" the
// parameters; ":" up to the next ";" the result.
void TDeclarationScan::routineToken(const TPasLex& lex)
{
    const TTokenKind kind = lex.TokenKind();
    const bool ends = kind == tkSemiColon || kind == tkNull;
    const auto tokenStart = static_cast<std::uint32_t>(lex.TokenPosition());
    const auto tokenEnd = static_cast<std::uint32_t>(lex.RunPosition());
    auto extend = [&](TSpan& span) { span.length = tokenEnd - span.offset; };
    switch (state_) {
    case State::RoutineName:
        if (kind == tkParenOpen) {
            routine_.parametros = {tokenStart, tokenEnd - tokenStart};
            state_ = State::RoutineParams;
        } else if (kind == tkColon) {
            routine_.retorno = {tokenStart, tokenEnd - tokenStart};
            state_ = State::RoutineReturn;
        } else if (ends) {
            finishRoutine();
        } else {
            extend(routine_.nome);
        }
        break;
    case State::RoutineParams:
        extend(routine_.parametros);
        if (kind == tkParenClose)
            state_ = State::RoutineSkip;
        else if (kind == tkNull)
            finishRoutine();
        break;
    case State::RoutineSkip:
        if (kind == tkColon) {
            routine_.retorno = {tokenStart, tokenEnd - tokenStart};
            state_ = State::RoutineReturn;
        } else if (ends) {
            finishRoutine();
        }
        break;
    default:  // RoutineReturn
        extend(routine_.retorno);
        if (ends)
            finishRoutine();
        break;
    }
}

void TDeclarationScan::finishRoutine()
{
    routines_.push_back(routine_);
    state_ = State::Step;
}

void TDeclarationScan::finish()
{
    if (state_ == State::Uses) {
        // A uses clause cut off by the end of the text.
        if (!pending_units_.empty())
            uses_.push_back(std::move(pending_units_));
        pending_units_.clear();
    }
    state_ = State::Done;
}

// Declarations are kept in declaration order with a hash index on the case-folded name that
// points at the latest entry of each name, so a lookup is one probe and allocates nothing.
void TDeclarationScan::addVariable(std::string_view name, std::string_view type, std::int32_t line)
{
    if ((variables_.size() + 1) * 2 > slots_.size())
        growSlots();
    const std::uint64_t hash = name_hash(name);
    variables_.push_back({spanOf(name), spanOf(type), line, 0, 0});
    // A name declared again: its latest entry takes the references that follow.
    slots_[findSlot(name, hash)] = {static_cast<std::uint32_t>(variables_.size()),
                                    static_cast<std::uint32_t>(hash >> 32)};
}

TDeclarationScan::TVariable* TDeclarationScan::findVariable(std::string_view name)
{
    const std::uint32_t index = slots_[findSlot(name, name_hash(name))].index;
    return index == 0 ? nullptr : &variables_[index - 1];
}

// The slot holding `name`, or the empty slot where it would go.
std::size_t TDeclarationScan::findSlot(std::string_view name, std::uint64_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    for (;;) {
        const TSlot& s = slots_[slot];
        if (s.index == 0 || (s.tag == tag && same_name(text(variables_[s.index - 1].nome), name)))
            return slot;
        slot = (slot + 1) & mask;
    }
}

void TDeclarationScan::growSlots()
{
    std::vector<TSlot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const TSlot& s : old) {
        if (s.index == 0)
            continue;
        std::size_t slot =
            static_cast<std::size_t>(name_hash(text(variables_[s.index - 1].nome))) & mask;
        while (slots_[slot].index != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = s;
    }
}

// Entry indexes in list order: collated names, equal names latest declaration first.
std::vector<std::uint32_t> TDeclarationScan::sortedOrder() const
{
    std::vector<std::uint32_t> order(variables_.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
        const int c = collate_names(text(variables_[a].nome), text(variables_[b].nome));
        return c != 0 ? c < 0 : a > b;
    });
    return order;
}

void TDeclarationScan::write_xref(const TLineSink& sink) const
{
    sink(" ");
    // "Referência cruzada" in the encoding of the source, so the lists read in one encoding.
    sink(utf8_ ? "         Refer\xC3\xAA"
                 "ncia cruzada"
               : "         Refer\xEA"
                 "ncia cruzada");
    sink(kRuler);
    std::string line;
    for (std::uint32_t index : sortedOrder()) {
        const TVariable& v = variables_[index];
        sink(" ");
        line.clear();
        line.append(text(v.nome)).append(" : ").append(text(v.tipo)).append(" D(");
        append_zero_padded(line, v.linha, 4);
        line += ')';
        sink(line);

        // Eight marks a line; the last line, with one extra blank, always follows.
        line.clear();
        int onLine = 0;
        for (std::uint32_t r = v.first; r != 0; r = refs_[r - 1].next) {
            const std::uint32_t ref = refs_[r - 1].line;
            line += (ref & kAssigned) != 0 ? "=(" : ".(";
            append_zero_padded(line, static_cast<long long>(ref & ~kAssigned), 4);
            line += ")  ";
            if (++onLine == 8) {
                sink(line);
                line.clear();
                onLine = 0;
            }
        }
        line += ' ';
        sink(line);
    }
}

void TDeclarationScan::write_procs(const TLineSink& sink) const
{
    std::string line = "         Procedures / Functions : ";
    append_decimal(line, static_cast<long long>(routines_.size()));
    sink(" ");
    sink(line);
    sink(kRuler);
    for (const TRoutine& p : routines_) {
        line.clear();
        append_zero_padded(line, p.linha, 4);
        line.append(" : ")
            .append(text(p.nome))
            .append(" ")
            .append(text(p.parametros))
            .append("     ");
        line.append(text(p.retorno));
        sink(line);
        sink(" ");
    }
}

TDeclarationLists declaration_lists(TDeclarationScan& scan)
{
    TDeclarationLists lists;
    scan.write_xref([&](std::string_view line) { lists.listbox3.emplace_back(line); });
    scan.write_procs([&](std::string_view line) { lists.ListBox4.emplace_back(line); });
    lists.ListBox5 = std::move(scan.uses());
    return lists;
}

void scan_text(std::string_view bytes, TDeclarationScan& scan)
{
    TPasLex lex;
    lex.SetText(bytes.data());
    scan.feed(lex);
    while (!scan.finished()) {
        lex.Next();
        scan.feed(lex);
    }
}

TDeclarationLists scan_declarations(const std::string& bytes)
{
    TDeclarationScan scan(bytes, detect_source_encoding(bytes) == SourceEncoding::Utf8);
    scan_text(bytes, scan);
    return declaration_lists(scan);
}

}  // namespace tabulex
