#pragma once
#include <cstdint>
#include <vector>

#include "project/ProjectModel.h"

namespace tabulex::project {

/// Parses one unit, program or library and resolves its names as it goes, the way a
/// one-pass compiler does: a name is looked up when it is met, among what is declared so far.
/// Units are parsed in two stages (the interface, then the rest) so that the interface of every
/// unit a unit uses is known before its names are resolved.
class TParser {
public:
    TParser(TModel& model, std::uint32_t module);
    ~TParser();
    /// The header, the uses clause and, for a unit, its interface part.
    void parse_head();
    /// The rest of the file.
    void parse_rest();

private:
    struct TFrame;
    struct THeader;
    struct TChain;
    class TDepth;

    // tokens
    const TToken& tok() const;
    TTokenKind kind() const;
    void next();
    bool accept(TTokenKind k);
    bool is_word() const;
    bool is_word(const TToken& t) const;
    bool word_is(std::string_view w) const;
    void skip_to(TTokenKind k);

    // symbols and references
    std::uint32_t declare(const TToken& at, TDeclarationKind kind, std::uint32_t table);
    std::uint32_t add_symbol(const TToken& at, TDeclarationKind kind);
    void insert(std::uint32_t table, std::uint32_t symbol);
    std::size_t refer(std::uint32_t symbol, const TToken& at, TReferenceKind kind);
    void make_write(std::size_t reference, bool keep_read);
    std::uint32_t owner() const;
    std::uint32_t table() const;

    // lookup
    /// A name with its hash, which serves every table the name is looked up in.
    struct TName {
        TName(std::string_view t) : text(t), hash(TNameTable::hash(t)) {}
        std::string_view text;
        std::uint32_t hash;
    };
    std::uint32_t lookup(const TName& name);
    std::uint32_t lookup_in_units(const TName& name) const;
    std::uint32_t find_in(std::uint32_t table, const TName& name) const;
    std::uint32_t find_member(std::uint32_t type, const TName& name) const;
    std::uint32_t structure_of(std::uint32_t type) const;
    std::uint32_t value_type(std::uint32_t symbol) const;
    bool reference_type(std::uint32_t type) const;
    std::uint32_t unaliased(std::uint32_t type) const;

    // units
    void module_header();
    void implicit_units();
    void uses_clause(TUsesSection section);
    void interface_part();
    void implementation_part();
    void program_block();
    void init_sections();

    // declarations
    void declarations(bool interface, bool in_routine);
    void const_section(TDeclarationKind kind);
    void type_section();
    void var_section(TDeclarationKind kind);
    void note_later(std::uint32_t symbol);
    void label_section();
    std::uint32_t type_ref();
    std::uint32_t typedef_(std::uint32_t named);
    void structure(std::uint32_t type, TTokenKind word);
    void members(std::uint32_t type);
    void field_list(std::uint32_t type);
    void variant_part(std::uint32_t type);
    void property(std::uint32_t type);
    void enum_values(std::uint32_t type);
    void skip_generic_params();
    THeader header(std::uint32_t in_struct);
    void params(THeader& h);
    void directives(THeader& h);
    void routine(bool interface, std::uint32_t in_struct);
    std::uint32_t bind_header(THeader& h, std::uint32_t in_struct, bool interface);
    void body(std::uint32_t routine, const std::vector<std::uint32_t>& params);
    void routine_notes(std::uint32_t routine, const std::vector<std::uint32_t>& locals,
                       const std::vector<std::uint32_t>& params);
    void variable_note(std::uint32_t symbol);
    void add_note(TProjectNote note);

    // statements and expressions
    void statement();
    void statement_list();
    void case_statement();
    void with_statement();
    void try_statement();
    void for_statement();
    void skip_asm();
    std::uint32_t expression();
    TChain designator();
    void mark_write(const TChain& chain, bool keep_read);
    void arguments(TTokenKind closer, std::uint32_t callee, std::string_view intrinsic);
    void record_constant(std::uint32_t type);

    TModel& m_;
    std::uint32_t module_;
    TTokenStream& ts_;
    std::vector<TFrame> frames_;
    std::vector<std::pair<std::uint32_t, TToken>> deferred_;  // pointer targets of a type section
    std::vector<std::uint32_t> unit_variables_;               // checked at the end
    std::uint64_t consumed_ = 0;
    int depth_ = 0;
    std::uint32_t used_cache_ = kNoId;  // a name table of what the used units give for a name
    static constexpr std::uint32_t kNotFound = kNoId - 1;
};

}  // namespace tabulex::project
