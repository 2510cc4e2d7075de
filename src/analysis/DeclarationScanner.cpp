#include "DeclarationScanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "DecimalText.h"
#include "PasLex.h"

namespace tabulex {

namespace {

/// One declaration: a name followed by ":".
struct tvariavel {
    std::string linha;  ///< declaration line, zero-padded to four digits
    std::string nome;   ///< the name as written
    std::string tipo;   ///< text of the first significant token after the ":"
    std::string refs;   ///< reference marks, a CR after every eighth
    std::int32_t nrefs = 0;
};

/// One routine header of the implementation section.
struct tprocfunc {
    std::int32_t linha = 0;  ///< 1-based line of the header keyword
    std::string nome;        ///< keyword up to the first ":", "(" or ";" token
    std::string parametros;  ///< "(" up to the first ")", or empty
    std::string retorno;     ///< ":" up to the next ";", or empty
    TTokenKind chave = tkProcedure;
};

// ---------------------------------------------------------------------------------------
// Name collation: ASCII case folding, then "_" before the digits before the letters; any
// other ASCII byte sorts before "_" by its value, and bytes 128 to 255 sort after the
// letters by their value. A name that is a prefix of another sorts first.
// ---------------------------------------------------------------------------------------

struct TNameTables {
    std::array<unsigned char, 256> fold{};         // ASCII upper case to lower case
    std::array<std::uint16_t, 256> weight{};       // collation weight of a byte
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
        if (kNames.fold[static_cast<unsigned char>(a[i])] != kNames.fold[static_cast<unsigned char>(b[i])])
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

/// The declarations of one scan. Entries are kept in declaration order with a hash index
/// on the case-folded name that points at the latest entry of each name, so a lookup is
/// one hash probe and allocates nothing. The collated order (equal names latest first) is
/// produced once, at the end.
class TVariableList {
public:
    TVariableList() : slots_(1024) {}

    void add(tvariavel entry)
    {
        if ((entries_.size() + 1) * 2 > slots_.size())
            grow();
        const std::uint64_t hash = name_hash(entry.nome);
        entries_.push_back(std::move(entry));
        // A name declared again: its latest entry takes the references that follow.
        slots_[find_slot(entries_.back().nome, hash)] = {static_cast<std::uint32_t>(entries_.size()), tag_of(hash)};
    }

    tvariavel* find(std::string_view name)
    {
        std::uint32_t index = slots_[find_slot(name, name_hash(name))].index;
        return index == 0 ? nullptr : &entries_[index - 1];
    }

    /// Entry indexes in list order: collated names, equal names latest declaration first.
    std::vector<std::uint32_t> sorted_order() const
    {
        std::vector<std::uint32_t> order(entries_.size());
        for (std::uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
            int c = collate_names(entries_[a].nome, entries_[b].nome);
            return c != 0 ? c < 0 : a > b;
        });
        return order;
    }

    const tvariavel& operator[](std::uint32_t index) const { return entries_[index]; }

private:
    /// Entry index + 1 (0: empty) and the high half of the name's hash, which spares most
    /// probes a visit to the entry itself.
    struct TSlot {
        std::uint32_t index = 0;
        std::uint32_t tag = 0;
    };

    static std::uint32_t tag_of(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

    // The slot holding `name`, or the empty slot where it would go.
    std::size_t find_slot(std::string_view name, std::uint64_t hash) const
    {
        const std::size_t mask = slots_.size() - 1;
        const std::uint32_t tag = tag_of(hash);
        std::size_t slot = static_cast<std::size_t>(hash) & mask;
        for (;;) {
            const TSlot& s = slots_[slot];
            if (s.index == 0 || (s.tag == tag && same_name(entries_[s.index - 1].nome, name)))
                return slot;
            slot = (slot + 1) & mask;
        }
    }

    void grow()
    {
        std::vector<TSlot> old(slots_.size() * 2);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const TSlot& s : old) {
            if (s.index == 0)
                continue;
            std::size_t slot = static_cast<std::size_t>(name_hash(entries_[s.index - 1].nome)) & mask;
            while (slots_[slot].index != 0)
                slot = (slot + 1) & mask;
            slots_[slot] = s;
        }
    }

    std::vector<tvariavel> entries_;
    std::vector<TSlot> slots_;
};

const char* const kRuler = "------------------------------------------------";
const char* const kUnitsRuler = "--------------------------- ";

/// One run of the declaration scan over one text.
class TDeclarationScanner {
public:
    explicit TDeclarationScanner(const std::string& bytes) : bytes_(bytes) {}

    TDeclarationLists scan();

private:
    void step();
    void uses_clause();
    void routine_header();
    void record_reference(std::string_view name, const char* mark);
    void fill_xref();
    void fill_procs();
    std::int32_t current_line() const { return lex_.LineNumber() + 1; }

    const std::string& bytes_;
    TPasLex lex_;
    TDeclarationLists lists_;
    TVariableList variaveis_;
    std::vector<tprocfunc> procs_;

    bool in_implementation_ = false;
    bool globals_header_ = false;
    bool locals_header_ = false;
    std::string pending_units_;
    int pending_count_ = 0;
};

TDeclarationLists TDeclarationScanner::scan()
{
    lex_.SetText(bytes_.c_str());
    const auto size = static_cast<std::int32_t>(bytes_.size());
    while (lex_.TokenKind() != tkNull && lex_.RunPosition() <= size)
        step();
    fill_xref();
    fill_procs();
    return std::move(lists_);
}

// The parts of one step run in this order, each on the token current when it is reached.
void TDeclarationScanner::step()
{
    if (lex_.TokenKind() == tkImplementation)
        in_implementation_ = true;
    if (lex_.TokenKind() == tkUses)
        uses_clause();
    const TTokenKind kind = lex_.TokenKind();
    if ((kind == tkConstructor || kind == tkDestructor || kind == tkFunction || kind == tkProcedure)
        && in_implementation_)
        routine_header();
    if (lex_.TokenKind() == tkParenOpen) {
        // Not nested: the first ")" ends the skip.
        do
            lex_.NextSignificant();
        while (lex_.TokenKind() != tkParenClose && lex_.TokenKind() != tkNull);
    }
    if (lex_.TokenKind() != tkIdentifier) {
        lex_.NextSignificant();
        return;
    }

    const std::string_view name = lex_.TokenView();
    lex_.NextSignificant();
    switch (lex_.TokenKind()) {
    case tkColon: {
        lex_.NextSignificant();
        tvariavel entry;
        append_zero_padded(entry.linha, current_line(), 4);
        entry.nome = name;
        entry.tipo = lex_.TokenView();
        variaveis_.add(std::move(entry));
        break;  // the type token is examined by the next step
    }
    case tkAssign:
        record_reference(name, "=(");
        break;
    default:
        record_reference(name, ".(");
        break;
    }
}

// Names are only cross-referenced after their declaration. The line is that of the token
// after the name.
void TDeclarationScanner::record_reference(std::string_view name, const char* mark)
{
    tvariavel* entry = variaveis_.find(name);
    if (entry == nullptr)
        return;
    entry->refs += mark;
    append_zero_padded(entry->refs, current_line(), 4);
    entry->refs += ")  ";
    if (++entry->nrefs % 8 == 0)
        entry->refs += '\r';
}

void TDeclarationScanner::uses_clause()
{
    StringList& out = lists_.ListBox5;
    do {
        lex_.NextSignificant();
        if (!globals_header_) {
            globals_header_ = true;
            out.insert(out.end(), {" ", "                 Units: ", kUnitsRuler, "Globais: ", kUnitsRuler});
        }
        if (lex_.TokenKind() == tkIdentifier) {
            if (in_implementation_ && !locals_header_) {
                out.insert(out.end(), {" ", kUnitsRuler, "Locais: ", kUnitsRuler});
                locals_header_ = true;
                pending_units_.clear();
                pending_count_ = 0;
            }
            pending_units_ += lex_.TokenView();
            pending_units_ += "  ";
            if (++pending_count_ % 5 == 0) {
                out.push_back(std::move(pending_units_));
                out.push_back(" ");
                pending_units_.clear();
            }
        }
    } while (lex_.TokenKind() != tkSemiColon && lex_.TokenKind() != tkNull);
    if (!pending_units_.empty())
        out.push_back(std::move(pending_units_));
    pending_units_.clear();
    pending_count_ = 0;
}

// Read with Next, so blanks, comments and line breaks stay in the header texts.
void TDeclarationScanner::routine_header()
{
    tprocfunc entry;
    entry.linha = current_line();
    entry.chave = lex_.TokenKind();
    auto kind = [this] { return lex_.TokenKind(); };
    do {
        entry.nome += lex_.TokenView();
        lex_.Next();
    } while (kind() != tkColon && kind() != tkParenOpen && kind() != tkSemiColon && kind() != tkNull);

    if (kind() == tkParenOpen) {
        entry.parametros = "(";
        do {
            lex_.Next();
            entry.parametros += lex_.TokenView();
        } while (kind() != tkParenClose && kind() != tkNull);
    }
    while (kind() != tkColon && kind() != tkSemiColon && kind() != tkNull)
        lex_.Next();
    if (kind() == tkColon) {
        entry.retorno = ":";
        do {
            lex_.Next();
            entry.retorno += lex_.TokenView();
        } while (kind() != tkSemiColon && kind() != tkNull);
    }
    procs_.push_back(std::move(entry));
}

void TDeclarationScanner::fill_xref()
{
    StringList& out = lists_.listbox3;
    // "Referência cruzada" in the Windows-1252 code page of the lists.
    out.insert(out.end(), {" ", "         Refer\xEA" "ncia cruzada", kRuler});
    for (std::uint32_t index : variaveis_.sorted_order()) {
        const tvariavel& v = variaveis_[index];
        out.push_back(" ");
        std::string heading;
        heading.reserve(v.nome.size() + v.tipo.size() + v.linha.size() + 7);
        heading.append(v.nome).append(" : ").append(v.tipo).append(" D(").append(v.linha).append(")");
        out.push_back(std::move(heading));

        // Each CR ends a line of eight marks; the last piece, with one extra blank, always follows.
        std::string_view refs = v.refs;
        std::size_t start = 0;
        for (std::size_t cr = refs.find('\r'); cr != std::string_view::npos; cr = refs.find('\r', start)) {
            out.emplace_back(refs.substr(start, cr - start));
            start = cr + 1;
        }
        std::string last(refs.substr(start));
        last += ' ';
        out.push_back(std::move(last));
    }
}

void TDeclarationScanner::fill_procs()
{
    StringList& out = lists_.ListBox4;
    std::string heading = "         Procedures / Functions : ";
    append_decimal(heading, static_cast<long long>(procs_.size()));
    out.insert(out.end(), {" ", heading, kRuler});
    for (const tprocfunc& p : procs_) {
        std::string line;
        append_zero_padded(line, p.linha, 4);
        line.append(" : ").append(p.nome).append(" ").append(p.parametros).append("     ").append(p.retorno);
        out.push_back(std::move(line));
        out.push_back(" ");
    }
}

}  // namespace

TDeclarationLists scan_declarations(const std::string& bytes)
{
    return TDeclarationScanner(bytes).scan();
}

}  // namespace tabulex
