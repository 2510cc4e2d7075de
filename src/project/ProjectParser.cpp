#include "project/ProjectParser.h"

#include <algorithm>
#include <array>

#include "project/LargeArrays.h"

namespace tabulex::project {

struct TParser::TFrame {
    enum class TKind : std::uint8_t {
        Interface,
        Implementation,
        Routine,
        Struct,
        With,
        Local,
        Generic
    };
    explicit TFrame(TKind k, std::uint32_t o = kNoId, std::uint32_t t = kNoId)
        : kind(k), owner(o), table(t)
    {}
    TKind kind = TKind::Local;
    std::uint32_t owner = kNoId;
    std::uint32_t table = kNoId;
    std::uint32_t with_type = kNoId;
    std::uint32_t method_class = kNoId;
    std::vector<std::uint32_t> locals;
    std::vector<std::uint32_t> params;
    bool has_asm = false;
};

/// Counts how deeply the parser has recursed, so that a file of nothing but nested
/// parentheses cannot exhaust the stack: past the limit a token is skipped instead.
class TParser::TDepth {
public:
    explicit TDepth(int& depth) : depth_(depth) { ++depth_; }
    ~TDepth() { --depth_; }
    TDepth(const TDepth&) = delete;
    TDepth& operator=(const TDepth&) = delete;
    bool too_deep() const { return depth_ > 400; }

private:
    int& depth_;
};

struct TParser::THeader {
    struct TParam {
        TToken name;
        TParamMode mode = TParamMode::Value;
        std::uint32_t type = kNoId;
        bool untyped = false;
    };
    TToken name;
    std::uint32_t owner_type = kNoId;  // the class of `procedure TFoo.Bar`
    bool qualified = false;
    bool no_body = false;  // external
    bool forward = false;
    bool has_params = false;
    std::vector<TParam> params;
    std::uint32_t result = kNoId;
    bool function = false;
    TToken result_name;
};

struct TParser::TChain {
    struct TElement {
        std::uint32_t symbol = kNoId;
        std::size_t reference = 0;
        bool via_reference = false;  // reached through a pointer, a class or a call
    };
    // The last elements of the chain (a write reaches back only through a few of them).
    std::array<TElement, 6> elements{};
    std::size_t count = 0;
    void push(const TElement& e)
    {
        if (count == elements.size()) {
            std::move(elements.begin() + 1, elements.end(), elements.begin());
            --count;
        }
        elements[count++] = e;
    }
    std::uint32_t type = kNoId;
    bool deref_tail = false;  // the chain ends in `^`, a dynamic array index or a call
};

namespace {

using TKindSet = std::array<bool, kTokenKindCount>;

constexpr TKindSet make_set(std::initializer_list<TTokenKind> kinds)
{
    TKindSet s{};
    for (TTokenKind k : kinds)
        s[k] = true;
    return s;
}

// Keywords of the lexer that Pascal code may use as names.
constexpr TKindSet kWordKinds =
    make_set({tkIdentifier, tkAbsolute,  tkAbstract, tkAt,        tkAssembler, tkAutomated,
              tkCdecl,      tkDefault,   tkDispid,   tkDynamic,   tkExport,    tkExternal,
              tkFar,        tkForward,   tkIndex,    tkInline,    tkMessage,   tkName,
              tkNear,       tkNodefault, tkOn,       tkOut,       tkOverride,  tkPascal,
              tkPrivate,    tkProtected, tkPublic,   tkPublished, tkRead,      tkReadonly,
              tkRegister,   tkResident,  tkSafecall, tkStdcall,   tkStored,    tkStringresource,
              tkVirtual,    tkWrite,     tkWriteonly});

constexpr TKindSet kVisibility =
    make_set({tkPrivate, tkProtected, tkPublic, tkPublished, tkAutomated});

// Tokens that end an expression.
constexpr TKindSet kExpressionEnd = make_set({tkNull,
                                              tkSemiColon,
                                              tkComma,
                                              tkParenClose,
                                              tkBracketClose,
                                              tkAssign,
                                              tkColon,
                                              tkThen,
                                              tkDo,
                                              tkOf,
                                              tkTo,
                                              tkDownto,
                                              tkElse,
                                              tkEnd,
                                              tkUntil,
                                              tkExcept,
                                              tkFinally,
                                              tkBegin,
                                              tkIf,
                                              tkWhile,
                                              tkFor,
                                              tkRepeat,
                                              tkCase,
                                              tkWith,
                                              tkTry,
                                              tkRaise,
                                              tkGoto,
                                              tkVar,
                                              tkConst,
                                              tkType,
                                              tkProcedure,
                                              tkFunction,
                                              tkConstructor,
                                              tkDestructor,
                                              tkImplementation,
                                              tkInitialization,
                                              tkFinalization,
                                              tkLabel,
                                              tkAt});

constexpr TKindSet kRoutineDirectives =
    make_set({tkVirtual,  tkAbstract, tkOverride, tkDynamic,  tkCdecl,    tkStdcall,   tkSafecall,
              tkRegister, tkPascal,   tkInline,   tkExternal, tkForward,  tkAssembler, tkExport,
              tkFar,      tkNear,     tkMessage,  tkDispid,   tkResident, tkLibrary});

constexpr std::string_view kDirectiveWords[] = {
    "overload",       "reintroduce",  "static",         "final",         "deprecated",
    "platform",       "experimental", "unimplemented",  "varargs",       "alias",
    "nostackframe",   "interrupt",    "iocheck",        "local",         "noreturn",
    "compilerproc",   "internproc",   "internconst",    "rtlproc",       "hardfloat",
    "winapi",         "vectorcall",   "cppdecl",        "syscall",       "mwpascal",
    "oldfpccall",     "softfloat",    "ms_abi_default", "ms_abi_cdecl",  "sysv_abi_default",
    "sysv_abi_cdecl", "enumerator",   "weakexternal",   "saveregisters", "cblock",
    "mwpascal",       "safecall",     "far16",          "normal",        "cvar"};

// Whether `name` has no upper-case ASCII letter.
constexpr bool is_lower_case(std::string_view name)
{
    return std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Names the compiler knows by itself: they have no declaration in any source.
constexpr std::string_view kIntrinsics[] = {"write",
                                            "writeln",
                                            "read",
                                            "readln",
                                            "inc",
                                            "dec",
                                            "include",
                                            "exclude",
                                            "setlength",
                                            "length",
                                            "high",
                                            "low",
                                            "sizeof",
                                            "bitsizeof",
                                            "ord",
                                            "chr",
                                            "succ",
                                            "pred",
                                            "val",
                                            "str",
                                            "new",
                                            "dispose",
                                            "assigned",
                                            "exit",
                                            "break",
                                            "continue",
                                            "halt",
                                            "copy",
                                            "concat",
                                            "typeinfo",
                                            "typeof",
                                            "assert",
                                            "abs",
                                            "sqr",
                                            "odd",
                                            "pi",
                                            "default",
                                            "initialize",
                                            "finalize",
                                            "addr",
                                            "ptr",
                                            "slice",
                                            "unaligned",
                                            "insert",
                                            "delete",
                                            "pack",
                                            "unpack",
                                            "self",
                                            "result",
                                            "true",
                                            "false",
                                            "shortint",
                                            "smallint",
                                            "longint",
                                            "int64",
                                            "byte",
                                            "word",
                                            "longword",
                                            "dword",
                                            "qword",
                                            "boolean",
                                            "bytebool",
                                            "wordbool",
                                            "longbool",
                                            "qwordbool",
                                            "char",
                                            "ansichar",
                                            "widechar",
                                            "unicodechar",
                                            "single",
                                            "double",
                                            "extended",
                                            "comp",
                                            "currency",
                                            "real",
                                            "pointer",
                                            "shortstring",
                                            "ansistring",
                                            "widestring",
                                            "unicodestring",
                                            "rawbytestring",
                                            "openstring",
                                            "variant",
                                            "olevariant",
                                            "text",
                                            "file",
                                            "ofs",
                                            "seg",
                                            "fpc_in_const_ptr",
                                            "objcselector",
                                            "get_frame",
                                            "get_caller_addr",
                                            "get_caller_frame",
                                            "isconstvalue",
                                            "ismanagedtype",
                                            "gettypekind",
                                            "rol",
                                            "ror",
                                            "sar",
                                            "bsf",
                                            "bsr",
                                            "popcnt",
                                            "uint64",
                                            "fillchar",
                                            "move",
                                            "trunc",
                                            "round",
                                            "frac",
                                            "int",
                                            "sqrt",
                                            "sin",
                                            "cos",
                                            "arctan",
                                            "ln",
                                            "exp",
                                            "upcase",
                                            "lo",
                                            "hi",
                                            "swap",
                                            "setstring",
                                            "getmem",
                                            "freemem",
                                            "reallocmem",
                                            "assign",
                                            "reset",
                                            "rewrite",
                                            "append",
                                            "close",
                                            "eof",
                                            "eoln",
                                            "blockread",
                                            "blockwrite",
                                            "seek",
                                            "filepos",
                                            "filesize",
                                            "paramstr",
                                            "paramcount",
                                            "cardinal",
                                            "integer",
                                            "string",
                                            "randomize",
                                            "random",
                                            "ioresult",
                                            "sizeint",
                                            "ptrint",
                                            "ptruint",
                                            "nil",
                                            "inherited",
                                            "exitcode",
                                            "pchar",
                                            "pansichar",
                                            "pwidechar"};

// The names above in order, for a binary search: a name that no scope declares is looked up
// here, hundreds of thousands of times a large run.
constexpr auto kSortedIntrinsics = [] {
    std::array<std::string_view, std::size(kIntrinsics)> sorted{};
    std::copy(std::begin(kIntrinsics), std::end(kIntrinsics), sorted.begin());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}();
constexpr std::size_t kLongestIntrinsic = 32;
static_assert(std::all_of(std::begin(kIntrinsics), std::end(kIntrinsics), [](std::string_view i) {
    return i.size() <= kLongestIntrinsic && is_lower_case(i);
}));

bool is_intrinsic(std::string_view name)
{
    if (name.size() > kLongestIntrinsic)
        return false;
    char lower[kLongestIntrinsic];
    for (std::size_t i = 0; i < name.size(); ++i)
        lower[i] = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    return std::binary_search(kSortedIntrinsics.begin(), kSortedIntrinsics.end(),
                              std::string_view(lower, name.size()));
}

// How an intrinsic treats its argument at `index`: 0 reads it, 1 only writes it, 2 reads
// and writes it. `more` tells whether more arguments follow (the first argument of Read and
// ReadLn is then usually the file).
int intrinsic_argument(std::string_view name, int index, bool more)
{
    auto is = [&](std::string_view n) { return same_name(name, n); };
    if (is("inc") || is("dec") || is("include") || is("exclude") || is("fillchar") || is("delete"))
        return index == 0 ? 2 : 0;
    if (is("setlength") || is("new") || is("setstring"))
        return index == 0 ? 1 : 0;
    if (is("val"))
        return index >= 1 ? 1 : 0;
    if (is("str"))
        return index == 1 ? 1 : 0;
    if (is("move") || is("insert"))
        return index == 1 ? 2 : 0;
    if (is("read") || is("readln"))
        return index == 0 && more ? 2 : 1;
    return 0;
}

bool is_value_kind(TDeclarationKind k)
{
    return k == TDeclarationKind::Variable || k == TDeclarationKind::Local ||
           k == TDeclarationKind::Field || k == TDeclarationKind::Parameter ||
           k == TDeclarationKind::Property || k == TDeclarationKind::Routine ||
           k == TDeclarationKind::Method;
}

}  // namespace

TModule::~TModule() = default;

TParser::TParser(TModel& model, std::uint32_t module)
    : m_(model), module_(module), ts_(*model.modules[module].stream), used_cache_(model.new_table())
{}

TParser::~TParser() = default;

// ---------------------------------------------------------------------------------------
// Tokens
// ---------------------------------------------------------------------------------------

inline const TToken& TParser::tok() const
{
    return ts_.current();
}
inline TTokenKind TParser::kind() const
{
    return ts_.current().kind;
}
inline void TParser::next()
{
    ++consumed_;
    ts_.next();
}
inline bool TParser::accept(TTokenKind k)
{
    if (kind() != k)
        return false;
    next();
    return true;
}
inline bool TParser::is_word(const TToken& t) const
{
    return kWordKinds[t.kind];
}
inline bool TParser::is_word() const
{
    return is_word(tok());
}
bool TParser::word_is(std::string_view w) const
{
    return is_word() && same_name(tok().text, w);
}
void TParser::skip_to(TTokenKind k)
{
    while (kind() != k && kind() != tkNull)
        next();
}

// ---------------------------------------------------------------------------------------
// Symbols and references
// ---------------------------------------------------------------------------------------

std::uint32_t TParser::owner() const
{
    for (auto f = frames_.rbegin(); f != frames_.rend(); ++f)
        if (f->kind != TFrame::TKind::With && f->kind != TFrame::TKind::Generic &&
            f->owner != kNoId)
            return f->owner;
    return m_.modules[module_].symbol;
}

std::uint32_t TParser::table() const
{
    for (auto f = frames_.rbegin(); f != frames_.rend(); ++f)
        if (f->table != kNoId && f->kind != TFrame::TKind::Generic)
            return f->table;
    return m_.modules[module_].interface_table;
}

std::uint32_t TParser::add_symbol(const TToken& at, TDeclarationKind k)
{
    TSymbol s;
    s.name = at.text;
    s.kind = k;
    s.scope = owner();
    s.file = at.file;
    s.line = at.line;
    s.column = at.column;
    s.module = module_;
    s.hints_off = at.hints_off();
    s.notes_off = at.notes_off();
    const std::uint32_t id = m_.add_symbol(s);
    refer(id, at, TReferenceKind::Declaration);
    return id;
}

void TParser::insert(std::uint32_t t, std::uint32_t symbol)
{
    if (t != kNoId)
        m_.names.insert(t, m_.symbols[symbol].name, symbol);
}

std::uint32_t TParser::declare(const TToken& at, TDeclarationKind k, std::uint32_t t)
{
    const std::uint32_t id = add_symbol(at, k);
    insert(t, id);
    return id;
}

std::size_t TParser::refer(std::uint32_t symbol, const TToken& at, TReferenceKind k)
{
    TProjectReference r;
    r.declaration = symbol;
    r.file = at.file;
    r.line = at.line;
    r.column = at.column;
    r.length = static_cast<std::uint16_t>(std::min<std::size_t>(at.text.size(), 0xFFFF));
    r.kind = k;
    room_for_one(m_.references);
    m_.references.push_back(r);
    if (k == TReferenceKind::Read)
        ++m_.symbols[symbol].reads;
    else if (k == TReferenceKind::Write)
        ++m_.symbols[symbol].writes;
    return m_.references.size() - 1;
}

void TParser::make_write(std::size_t reference, bool keep_read)
{
    TProjectReference& r = m_.references[reference];
    TSymbol& s = m_.symbols[r.declaration];
    if (r.kind != TReferenceKind::Read || !is_value_kind(s.kind))
        return;
    r.kind = TReferenceKind::Write;
    ++s.writes;
    if (!keep_read)
        --s.reads;
}

// ---------------------------------------------------------------------------------------
// Lookup
// ---------------------------------------------------------------------------------------

std::uint32_t TParser::find_in(std::uint32_t t, const TName& name) const
{
    return m_.names.find(t, name.text, name.hash);
}

// The record, class, enum or unit that a type stands for, through aliases and pointers.
std::uint32_t TParser::structure_of(std::uint32_t type) const
{
    for (int guard = 0; guard < 16 && type != kNoId; ++guard) {
        const TSymbol& s = m_.symbols[type];
        if (s.kind == TDeclarationKind::Unit)
            return type;
        switch (s.shape) {
        case TTypeShape::Alias:
        case TTypeShape::Pointer:
        case TTypeShape::ClassOf:
            type = s.type;
            break;
        case TTypeShape::Structured:
        case TTypeShape::Enum:
            return type;
        default:
            return kNoId;
        }
    }
    return kNoId;
}

std::uint32_t TParser::find_member(std::uint32_t type, const TName& name) const
{
    std::uint32_t t = structure_of(type);
    for (int guard = 0; guard < 64 && t != kNoId; ++guard) {
        const std::uint32_t found = find_in(m_.symbols[t].table, name);
        if (found != kNoId)
            return found;
        t = structure_of(m_.symbols[t].ancestor);
    }
    return kNoId;
}

std::uint32_t TParser::value_type(std::uint32_t symbol) const
{
    if (symbol == kNoId)
        return kNoId;
    const TSymbol& s = m_.symbols[symbol];
    if (s.kind == TDeclarationKind::Type || s.kind == TDeclarationKind::Unit)
        return symbol;
    return s.type;
}

// Whether a value of the type is reached through a pointer (a class, an interface, a pointer, a
// dynamic array, a class reference), so that writing into a part of it does not write the
// variable; a type not known counts as one.
bool TParser::reference_type(std::uint32_t type) const
{
    type = unaliased(type);
    if (type == kNoId)
        return true;
    const TSymbol& s = m_.symbols[type];
    return s.kind == TDeclarationKind::Unit || s.reference || s.shape == TTypeShape::None ||
           s.shape == TTypeShape::Procedural || s.shape == TTypeShape::Alias;
}

// The type an alias (`TB = TA`) stands for, through any number of aliases.
std::uint32_t TParser::unaliased(std::uint32_t type) const
{
    for (int guard = 0; guard < 16 && type != kNoId; ++guard) {
        if (m_.symbols[type].shape != TTypeShape::Alias)
            return type;
        type = m_.symbols[type].type;
    }
    return type;
}

std::uint32_t TParser::lookup(const TName& name)
{
    for (auto f = frames_.rbegin(); f != frames_.rend(); ++f) {
        std::uint32_t found = kNoId;
        switch (f->kind) {
        case TFrame::TKind::With:
            found = find_member(f->with_type, name);
            break;
        case TFrame::TKind::Struct:
            found = find_member(f->owner, name);
            break;
        case TFrame::TKind::Routine:
            found = find_in(f->table, name);
            if (found == kNoId && same_name(name.text, "result") &&
                m_.symbols[f->owner].type != kNoId)
                found = f->owner;
            if (found == kNoId && f->method_class != kNoId) {
                found = find_member(f->method_class, name);
                if (found == kNoId && same_name(name.text, "self"))
                    found = f->method_class;
            }
            break;
        default:
            found = find_in(f->table, name);
            break;
        }
        if (found != kNoId)
            return found;
    }
    TModule& mod = m_.modules[module_];
    // What the used units give for a name does not change while this part is parsed, so it
    // is looked up once (the cache starts again with the implementation's uses).
    std::uint32_t found = find_in(used_cache_, name);
    if (found == kNoId) {
        found = lookup_in_units(name);
        if (found == kNoId)
            found = kNotFound;
        m_.names.insert(used_cache_, name.text, name.hash, found);
    }
    if (found == kNotFound)
        return kNoId;
    if (m_.symbols[found].kind == TDeclarationKind::Unit)
        return found;
    const std::uint32_t used = m_.symbols[found].module;
    if (std::find(mod.used_modules.begin(), mod.used_modules.end(), used) == mod.used_modules.end())
        mod.used_modules.push_back(used);
    return found;
}

// The first of the used units, from the last named to the first and then ObjPas and System,
// whose interface declares `name`.
std::uint32_t TParser::lookup_in_units(const TName& name) const
{
    const TModule& mod = m_.modules[module_];
    // Unit names come before what the units declare.
    if (same_name(name.text, m_.symbols[mod.symbol].name))
        return mod.symbol;
    for (const auto* units : {&mod.implementation_units, &mod.interface_units, &mod.implicit_units})
        for (std::uint32_t u : *units)
            if (same_name(name.text, m_.symbols[u].name))
                return u;
    for (const auto* units : {&mod.implementation_units, &mod.interface_units}) {
        for (auto u = units->rbegin(); u != units->rend(); ++u) {
            const std::uint32_t found = find_in(m_.symbols[*u].table, name);
            if (found != kNoId)
                return found;
        }
    }
    for (std::uint32_t u : mod.implicit_units) {
        const std::uint32_t found = find_in(m_.symbols[u].table, name);
        if (found != kNoId)
            return found;
    }
    return kNoId;
}

// ---------------------------------------------------------------------------------------
// Units, programs and libraries
// ---------------------------------------------------------------------------------------

void TParser::parse_head()
{
    module_header();
    implicit_units();
    TModule& mod = m_.modules[module_];
    if (m_.files[mod.file].kind == TProjectFileKind::Unit) {
        accept(tkInterface);
        frames_.emplace_back(TFrame::TKind::Interface, mod.symbol, mod.interface_table);
        if (kind() == tkUses)
            uses_clause(TUsesSection::Interface);
        declarations(true, false);
        return;
    }
    if (kind() == tkUses)
        uses_clause(TUsesSection::Interface);
    frames_.emplace_back(TFrame::TKind::Implementation, mod.symbol, mod.interface_table);
}

void TParser::module_header()
{
    TModule& mod = m_.modules[module_];
    TProjectFile& file = m_.files[mod.file];
    const TTokenKind k = kind();
    if (k != tkUnit && k != tkProgram && k != tkLibrary) {
        file.kind = TProjectFileKind::Program;
        m_.symbols[mod.symbol].kind = TDeclarationKind::Program;
        return;
    }
    file.kind = k == tkUnit      ? TProjectFileKind::Unit
                : k == tkProgram ? TProjectFileKind::Program
                                 : TProjectFileKind::Library;
    next();
    if (is_word()) {
        TSymbol& s = m_.symbols[mod.symbol];
        s.kind = k == tkUnit      ? TDeclarationKind::Unit
                 : k == tkProgram ? TDeclarationKind::Program
                                  : TDeclarationKind::Library;
        s.name = tok().text;
        s.file = tok().file;
        s.line = tok().line;
        s.column = tok().column;
        refer(mod.symbol, tok(), TReferenceKind::Declaration);
        file.unit_name = std::string(tok().text);
        next();
        while (kind() == tkDot && is_word(ts_.peek())) {
            next();
            file.unit_name += "." + std::string(tok().text);
            next();
        }
    }
    skip_to(tkSemiColon);
    accept(tkSemiColon);
}

// Every unit uses System without saying so, and in the object modes also ObjPas; they are
// searched after all the units named in uses clauses (ObjPas first).
void TParser::implicit_units()
{
    const char* names[] = {"objpas", "system"};
    for (const char* name : names) {
        if (name[0] == 'o' && !ts_.object_mode())
            continue;
        const std::uint32_t used = m_.find_unit(name, m_.modules[module_].file, {});
        if (used == kNoId || used == module_)
            continue;
        m_.ensure_interface(used);
        if (m_.modules[used].stage != TModule::TStage::Interface)
            m_.modules[module_].implicit_units.push_back(m_.modules[used].symbol);
    }
}

void TParser::uses_clause(TUsesSection section)
{
    next();
    TModule& mod = m_.modules[module_];
    while (is_word()) {
        const TToken first = tok();
        TProjectUses entry;
        entry.section = section;
        entry.line = first.line;
        entry.column = first.column;
        entry.name = std::string(first.text);
        next();
        while (kind() == tkDot && is_word(ts_.peek())) {
            next();
            entry.name += "." + std::string(tok().text);
            next();
        }
        std::string in_path;
        if (accept(tkIn) && kind() == tkString) {
            in_path = std::string(tok().text.substr(1, tok().text.size() - 2));
            next();
        }
        const std::uint32_t used = m_.find_unit(entry.name, mod.file, in_path);
        std::uint32_t symbol = kNoId;
        if (used != kNoId && used != module_) {
            m_.ensure_interface(used);
            entry.file = m_.modules[used].file;
            symbol = m_.modules[used].symbol;
        } else {
            auto [it, added] = m_.external_units.try_emplace(lower_name(entry.name), 0);
            if (added) {
                TSymbol s;
                s.name = first.text;
                s.kind = TDeclarationKind::Unit;
                s.module = kNoId;
                it->second = m_.add_symbol(s);
            }
            symbol = it->second;
        }
        refer(symbol, first, TReferenceKind::Read);
        (section == TUsesSection::Interface ? mod.interface_units : mod.implementation_units)
            .push_back(symbol);
        m_.files[mod.file].uses.push_back(std::move(entry));
        if (!accept(tkComma))
            break;
    }
    used_cache_ = m_.new_table();
    skip_to(tkSemiColon);
    accept(tkSemiColon);
}

void TParser::parse_rest()
{
    TModule& mod = m_.modules[module_];
    const bool unit = m_.files[mod.file].kind == TProjectFileKind::Unit;
    if (unit && accept(tkImplementation)) {
        frames_.emplace_back(TFrame::TKind::Implementation, mod.symbol, mod.implementation_table);
        if (kind() == tkUses)
            uses_clause(TUsesSection::Implementation);
    }
    declarations(false, false);
    init_sections();
    for (std::uint32_t v : unit_variables_)
        variable_note(v);
    // Whether a used unit counts as used is decided once every unit is parsed (its
    // initialization may come later than this unit).
    m_.unit_checks.push_back(module_);
    frames_.clear();
}

void TParser::init_sections()
{
    TModule& mod = m_.modules[module_];
    TProjectFile& file = m_.files[mod.file];
    auto section = [&](bool& flag) {
        next();
        flag = true;
        if (kind() != tkEnd && kind() != tkFinalization && kind() != tkNull)
            mod.init_code = true;
        statement_list();
    };
    if (kind() == tkBegin) {
        const bool program = file.kind != TProjectFileKind::Unit;
        bool flag = false;
        section(program ? flag : file.has_initialization);
    }
    if (kind() == tkInitialization)
        section(file.has_initialization);
    if (kind() == tkFinalization)
        section(file.has_finalization);
    accept(tkEnd);
}

// ---------------------------------------------------------------------------------------
// Declarations
// ---------------------------------------------------------------------------------------

void TParser::declarations(bool interface, bool in_routine)
{
    for (;;) {
        const std::uint64_t before = consumed_;
        switch (kind()) {
        case tkConst:
            next();
            const_section(TDeclarationKind::Constant);
            break;
        case tkResourcestring:
            next();
            const_section(TDeclarationKind::ResourceString);
            break;
        case tkType:
            next();
            type_section();
            break;
        case tkVar:
        case tkThreadvar:
            next();
            var_section(in_routine ? TDeclarationKind::Local : TDeclarationKind::Variable);
            break;
        case tkLabel:
            next();
            label_section();
            break;
        case tkProcedure:
        case tkFunction:
        case tkConstructor:
        case tkDestructor:
        case tkClass:
            routine(interface, kNoId);
            break;
        case tkExports:
            skip_to(tkSemiColon);
            accept(tkSemiColon);
            break;
        case tkBracketOpen:
            skip_to(tkBracketClose);
            accept(tkBracketClose);
            break;
        default:
            if (word_is("operator") || word_is("generic")) {
                if (word_is("generic"))
                    next();
                routine(interface, kNoId);
                break;
            }
            // Outside routines only these end the declarations; anything else is skipped.
            if (in_routine || kind() == tkImplementation || kind() == tkBegin || kind() == tkAsm ||
                kind() == tkInitialization || kind() == tkFinalization || kind() == tkNull ||
                (kind() == tkEnd && ts_.peek().kind == tkDot))
                return;
            next();
        }
        if (consumed_ == before)
            return;
    }
}

void TParser::const_section(TDeclarationKind k)
{
    while (is_word() && !kVisibility[kind()]) {
        const TToken name = tok();
        next();
        std::uint32_t type = kNoId;
        const bool typed = accept(tkColon);
        if (typed)
            type = typedef_(kNoId);
        if (accept(tkEqual))
            record_constant(type);
        const std::uint32_t s = declare(name, k, table());
        m_.symbols[s].type = type;
        if (typed && k == TDeclarationKind::Constant)
            note_later(s);  // a typed constant is a variable with a first value
        skip_to(tkSemiColon);
        accept(tkSemiColon);
        while (word_is("deprecated") || word_is("platform") || word_is("experimental")) {
            skip_to(tkSemiColon);
            accept(tkSemiColon);
        }
    }
}

void TParser::label_section()
{
    while (is_word() || kind() == tkNumber) {
        declare(tok(), TDeclarationKind::Label, table());
        next();
        if (!accept(tkComma))
            break;
    }
    skip_to(tkSemiColon);
    accept(tkSemiColon);
}

void TParser::var_section(TDeclarationKind k)
{
    const bool struct_frame = !frames_.empty() && frames_.back().kind == TFrame::TKind::Struct;
    while (is_word() && !kVisibility[kind()] && !word_is("strict")) {
        std::vector<TToken> names;
        const std::uint64_t before = consumed_;
        while (is_word()) {
            names.push_back(tok());
            next();
            if (!accept(tkComma))
                break;
        }
        if (!accept(tkColon)) {
            if (consumed_ == before)
                next();
            skip_to(tkSemiColon);
            accept(tkSemiColon);
            continue;
        }
        const std::uint32_t type = typedef_(kNoId);
        std::vector<std::uint32_t> declared;
        for (const TToken& n : names) {
            const std::uint32_t s = declare(n, struct_frame ? TDeclarationKind::Field : k, table());
            m_.symbols[s].type = type;
            if (struct_frame)
                m_.symbols[s].member_of = frames_.back().owner;
            declared.push_back(s);
        }
        if (accept(tkAbsolute)) {
            expression();
        } else if (accept(tkEqual)) {
            record_constant(type);
        }
        for (;;) {
            skip_to(tkSemiColon);
            accept(tkSemiColon);
            if (!(word_is("cvar") || word_is("external") || kind() == tkExternal ||
                  (kind() == tkPublic && !struct_frame) || kind() == tkExport ||
                  word_is("deprecated") || word_is("platform") || word_is("experimental")))
                break;
        }
        if (struct_frame)
            continue;
        for (std::uint32_t s : declared)
            note_later(s);
    }
}

// Variables of routines are checked when the routine ends, those of a program or of a unit's
// implementation when the file ends; a unit's interface variables are for other units.
void TParser::note_later(std::uint32_t symbol)
{
    if (frames_.empty())
        return;
    TFrame& f = frames_.back();
    if (f.kind == TFrame::TKind::Routine)
        f.locals.push_back(symbol);
    else if (f.kind == TFrame::TKind::Implementation)
        unit_variables_.push_back(symbol);
}

void TParser::type_section()
{
    while (is_word() && !kVisibility[kind()] && !word_is("strict")) {
        if (word_is("generic") && is_word(ts_.peek()))
            next();
        const TToken name = tok();
        next();
        std::vector<TToken> generic_params;
        if (kind() == tkLess) {
            next();
            while (kind() != tkGreater && kind() != tkNull && kind() != tkEqual) {
                if (is_word()) {
                    generic_params.push_back(tok());
                    next();
                    if (accept(tkColon))  // constraints
                        while (kind() != tkSemiColon && kind() != tkGreater && kind() != tkNull)
                            next();
                } else {
                    next();
                }
            }
            accept(tkGreater);
        }
        if (!accept(tkEqual)) {
            skip_to(tkSemiColon);
            accept(tkSemiColon);
            continue;
        }
        std::uint32_t s = find_in(table(), name.text);
        if (s != kNoId && m_.symbols[s].forward && m_.symbols[s].kind == TDeclarationKind::Type) {
            refer(s, name, TReferenceKind::Declaration);
        } else {
            s = declare(name, TDeclarationKind::Type, table());
        }
        TFrame params(TFrame::TKind::Generic, s, m_.new_table());
        std::vector<std::uint32_t> generic_symbols;
        for (const TToken& p : generic_params)
            generic_symbols.push_back(declare(p, TDeclarationKind::Type, params.table));
        frames_.push_back(std::move(params));
        typedef_(s);
        frames_.pop_back();
        if (m_.symbols[s].table != kNoId)
            for (std::uint32_t id : generic_symbols)
                insert(m_.symbols[s].table, id);
        for (;;) {
            skip_to(tkSemiColon);
            accept(tkSemiColon);
            if (!(kRoutineDirectives[kind()] || word_is("deprecated") || word_is("platform") ||
                  word_is("experimental") || word_is("is") || word_is("winapi")))
                break;
        }
    }
    // Pointer types may name a type declared further down the same section.
    for (auto& [pointer, target] : deferred_) {
        const std::uint32_t found = lookup(target.text);
        if (found == kNoId) {
            ++m_.unresolved;
            continue;
        }
        m_.symbols[pointer].type = found;
        refer(found, target, TReferenceKind::Read);
    }
    deferred_.clear();
}

void TParser::skip_generic_params()
{
    int depth = 0;
    do {
        if (kind() == tkLess)
            ++depth;
        else if (kind() == tkGreater)
            --depth;
        if (is_word() && depth > 0) {
            type_ref();
            continue;
        }
        next();
    } while (depth > 0 && kind() != tkNull && kind() != tkSemiColon);
}

std::uint32_t TParser::type_ref()
{
    if (kind() == tkString || kind() == tkFile) {
        next();
        if (kind() == tkBracketOpen) {
            next();
            expression();
            accept(tkBracketClose);
        }
        return kNoId;
    }
    if (word_is("specialize"))
        next();
    if (!is_word())
        return kNoId;
    const TToken name = tok();
    std::uint32_t s = lookup(name.text);
    if (s != kNoId)
        refer(s, name, TReferenceKind::Read);
    else if (!is_intrinsic(name.text))
        ++m_.unresolved;
    next();
    if (kind() == tkLess)
        skip_generic_params();
    while (kind() == tkDot && is_word(ts_.peek())) {
        next();
        const std::uint32_t member = s == kNoId ? kNoId : find_member(s, tok().text);
        if (member != kNoId)
            refer(member, tok(), TReferenceKind::Read);
        else
            ++m_.unresolved;
        s = member;
        next();
        if (kind() == tkLess)
            skip_generic_params();
    }
    return s;
}

std::uint32_t TParser::typedef_(std::uint32_t named)
{
    const TDepth depth(depth_);
    if (depth.too_deep()) {
        next();
        return named;
    }
    auto type_symbol = [&](TTypeShape shape) {
        std::uint32_t s = named;
        if (s == kNoId) {
            TSymbol anon;
            anon.kind = TDeclarationKind::Type;
            anon.anonymous = true;
            anon.scope = owner();
            anon.module = module_;
            s = m_.add_symbol(anon);
        }
        m_.symbols[s].shape = shape;
        return s;
    };
    accept(tkPacked);
    if (word_is("bitpacked"))
        next();
    const TTokenKind k = kind();
    switch (k) {
    case tkClass:
        if (ts_.peek().kind == tkOf) {
            next();
            next();
            const std::uint32_t s = type_symbol(TTypeShape::ClassOf);
            m_.symbols[s].reference = true;
            const std::uint32_t target = type_ref();
            m_.symbols[s].type = target;
            return s;
        }
        [[fallthrough]];
    case tkRecord:
    case tkObject:
    case tkInterface:
    case tkDispinterface: {
        const std::uint32_t s = type_symbol(TTypeShape::Structured);
        structure(s, k);
        return s;
    }
    case tkCaret: {
        next();
        const std::uint32_t s = type_symbol(TTypeShape::Pointer);
        m_.symbols[s].reference = true;
        if (is_word() && lookup(tok().text) == kNoId && !is_intrinsic(tok().text)) {
            deferred_.emplace_back(s, tok());
            next();
        } else {
            const std::uint32_t target = type_ref();
            m_.symbols[s].type = target;
        }
        return s;
    }
    case tkArray: {
        next();
        bool dynamic = true;
        if (kind() == tkBracketOpen) {
            dynamic = false;
            next();
            arguments(tkBracketClose, kNoId, {});
        }
        accept(tkOf);
        const std::uint32_t s = type_symbol(TTypeShape::Array);
        m_.symbols[s].reference = dynamic;
        if (accept(tkConst))
            return s;
        const std::uint32_t element = typedef_(kNoId);
        m_.symbols[s].type = element;
        return s;
    }
    case tkSet: {
        next();
        accept(tkOf);
        const std::uint32_t s = type_symbol(TTypeShape::Set);
        typedef_(kNoId);
        return s;
    }
    case tkFile:
        next();
        if (accept(tkOf))
            typedef_(kNoId);
        return named;
    case tkParenOpen: {
        const std::uint32_t s = type_symbol(TTypeShape::Enum);
        m_.symbols[s].table = m_.new_table();
        enum_values(s);
        return s;
    }
    case tkProcedure:
    case tkFunction: {
        const std::uint32_t s = type_symbol(TTypeShape::Procedural);
        next();
        THeader h;
        if (kind() == tkParenOpen)
            params(h);
        if (accept(tkColon))
            h.result = type_ref();
        m_.symbols[s].type = h.result;
        for (const auto& p : h.params) {
            const std::uint32_t ps = add_symbol(p.name, TDeclarationKind::Parameter);
            m_.symbols[ps].scope = s;
            m_.symbols[ps].type = p.type;
        }
        if (accept(tkOf))
            accept(tkObject);
        if (word_is("is")) {
            next();
            next();
        }
        return s;
    }
    case tkType:
        if (same_name(ts_.peek().text, "helper")) {
            const std::uint32_t s = type_symbol(TTypeShape::Structured);
            structure(s, tkRecord);
            return s;
        }
        next();
        return typedef_(named);
    case tkString:
        type_ref();
        return named;
    default:
        break;
    }
    if (word_is("reference") && ts_.peek().kind == tkTo) {
        next();
        next();
        return typedef_(named);
    }
    if (is_word()) {
        const std::uint32_t target = type_ref();
        if (kind() == tkDotDot) {
            next();
            expression();
            return named;
        }
        if (named == kNoId)
            return target;
        const std::uint32_t s = type_symbol(TTypeShape::Alias);
        m_.symbols[s].type = target;
        return s;
    }
    expression();  // a subrange of literals
    return named;
}

void TParser::enum_values(std::uint32_t type)
{
    next();
    while (kind() != tkParenClose && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        if (is_word()) {
            const std::uint32_t v = declare(tok(), TDeclarationKind::EnumValue, table());
            m_.symbols[v].type = type;
            insert(m_.symbols[type].table, v);
            next();
            if (accept(tkEqual) || accept(tkAssign))
                expression();
        }
        if (!accept(tkComma) && consumed_ == before)
            next();
    }
    accept(tkParenClose);
}

void TParser::structure(std::uint32_t type, TTokenKind word)
{
    if (m_.symbols[type].table == kNoId)
        m_.symbols[type].table = m_.new_table();
    m_.symbols[type].reference = word == tkClass || word == tkInterface || word == tkDispinterface;
    next();
    if (word_is("sealed") || word_is("abstract") || kind() == tkAbstract)
        next();
    if (word_is("helper")) {
        next();
        if (kind() == tkParenOpen) {
            skip_to(tkParenClose);
            accept(tkParenClose);
        }
        if (word_is("for")) {
            next();
            m_.symbols[type].ancestor = type_ref();
        } else if (kind() == tkFor) {
            next();
            const std::uint32_t helped = type_ref();
            m_.symbols[type].ancestor = helped;
        }
    }
    bool parents = false;
    if (kind() == tkParenOpen) {
        parents = true;
        next();
        bool first = true;
        while (is_word()) {
            const std::uint32_t t = type_ref();
            if (first)
                m_.symbols[type].ancestor = t;
            first = false;
            if (!accept(tkComma))
                break;
        }
        skip_to(tkParenClose);
        accept(tkParenClose);
    }
    if (kind() == tkSemiColon && word != tkRecord) {
        m_.symbols[type].forward = !parents;
        return;
    }
    m_.symbols[type].forward = false;
    if (kind() == tkBracketOpen) {  // an interface's GUID
        skip_to(tkBracketClose);
        accept(tkBracketClose);
    }
    frames_.emplace_back(TFrame::TKind::Struct, type, m_.symbols[type].table);
    members(type);
    frames_.pop_back();
    accept(tkEnd);
}

void TParser::members(std::uint32_t type)
{
    for (;;) {
        const std::uint64_t before = consumed_;
        const TTokenKind k = kind();
        if (k == tkEnd || k == tkNull)
            return;
        if (kVisibility[k] || word_is("strict")) {
            next();
        } else if (k == tkVar || k == tkThreadvar) {
            next();
            var_section(TDeclarationKind::Field);
        } else if (k == tkClass && (ts_.peek().kind == tkVar || ts_.peek().kind == tkThreadvar)) {
            next();
            next();
            var_section(TDeclarationKind::Field);
        } else if (k == tkClass && ts_.peek().kind == tkProperty) {
            next();
            property(type);
        } else if (k == tkConst) {
            next();
            const_section(TDeclarationKind::Constant);
        } else if (k == tkType) {
            next();
            type_section();
        } else if (k == tkProcedure || k == tkFunction || k == tkConstructor || k == tkDestructor ||
                   k == tkClass || word_is("operator") || word_is("generic")) {
            if (word_is("generic"))
                next();
            routine(false, type);
        } else if (k == tkProperty) {
            property(type);
        } else if (k == tkCase) {
            variant_part(type);
        } else if (k == tkBracketOpen) {
            skip_to(tkBracketClose);
            accept(tkBracketClose);
        } else if (is_word()) {
            field_list(type);
        }
        if (consumed_ == before)
            next();
    }
}

void TParser::field_list(std::uint32_t type)
{
    std::vector<TToken> names;
    while (is_word()) {
        names.push_back(tok());
        next();
        if (!accept(tkComma))
            break;
    }
    if (!accept(tkColon))
        return;
    const std::uint32_t field_type = typedef_(kNoId);
    for (const TToken& n : names) {
        const std::uint32_t f = declare(n, TDeclarationKind::Field, table());
        m_.symbols[f].type = field_type;
        m_.symbols[f].member_of = type;
    }
    while (kind() != tkSemiColon && kind() != tkEnd && kind() != tkParenClose && kind() != tkNull)
        next();
    accept(tkSemiColon);
}

void TParser::variant_part(std::uint32_t type)
{
    next();
    if (is_word() && ts_.peek().kind == tkColon) {
        const std::uint32_t f = declare(tok(), TDeclarationKind::Field, table());
        m_.symbols[f].member_of = type;
        next();
        next();
        m_.symbols[f].type = type_ref();
    } else {
        type_ref();
    }
    accept(tkOf);
    while (kind() != tkEnd && kind() != tkParenClose && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        expression();
        if (accept(tkComma))
            continue;
        accept(tkColon);
        if (accept(tkParenOpen)) {
            while (kind() != tkParenClose && kind() != tkNull) {
                const std::uint64_t inner = consumed_;
                if (kind() == tkCase)
                    variant_part(type);
                else if (is_word())
                    field_list(type);
                if (consumed_ == inner)
                    next();
            }
            accept(tkParenClose);
        }
        accept(tkSemiColon);
        if (consumed_ == before)
            next();
    }
}

void TParser::property(std::uint32_t type)
{
    next();
    if (!is_word())
        return;
    const std::uint32_t p = declare(tok(), TDeclarationKind::Property, table());
    m_.symbols[p].member_of = type;
    next();
    if (kind() == tkBracketOpen) {
        THeader h;
        next();
        while (kind() != tkBracketClose && kind() != tkNull) {
            const std::uint64_t before = consumed_;
            if (kind() == tkConst || kind() == tkVar || kind() == tkOut)
                next();
            if (is_word()) {
                const std::uint32_t ps = add_symbol(tok(), TDeclarationKind::Parameter);
                m_.symbols[ps].scope = p;
                next();
            } else if (accept(tkColon)) {
                type_ref();
            } else if (consumed_ == before) {
                next();
            }
        }
        accept(tkBracketClose);
    }
    if (accept(tkColon)) {
        const std::uint32_t t = type_ref();
        m_.symbols[p].type = t;
    } else {
        const std::uint32_t inherited = find_member(m_.symbols[type].ancestor, m_.symbols[p].name);
        if (inherited != kNoId)
            m_.symbols[p].type = m_.symbols[inherited].type;
    }
    while (kind() != tkSemiColon && kind() != tkEnd && kind() != tkNull) {
        const bool accessor =
            kind() == tkRead || kind() == tkWrite || word_is("implements") || kind() == tkStored;
        next();
        if (accessor && is_word())
            designator();
    }
    accept(tkSemiColon);
    if (kind() == tkDefault && ts_.peek().kind == tkSemiColon) {
        next();
        next();
    }
}

// ---------------------------------------------------------------------------------------
// Routines
// ---------------------------------------------------------------------------------------

TParser::THeader TParser::header(std::uint32_t in_struct)
{
    THeader h;
    accept(tkClass);
    const bool is_operator = word_is("operator");
    next();  // procedure, function, constructor, destructor, operator
    h.name = tok();
    next();
    if (kind() == tkLess)
        skip_generic_params();
    // `TFoo.Bar`, `TOuter.TInner.Bar`: the owner's path, then the method's name.
    std::uint32_t owner_type = kNoId;
    bool first = true;
    while (in_struct == kNoId && kind() == tkDot && !is_operator) {
        const std::uint32_t part =
            first ? lookup(h.name.text)
                  : (owner_type == kNoId ? kNoId : find_member(owner_type, h.name.text));
        if (part != kNoId)
            refer(part, h.name, TReferenceKind::Read);
        else if (!is_intrinsic(h.name.text))
            ++m_.unresolved;
        owner_type = part;
        first = false;
        h.qualified = true;
        next();
        h.name = tok();
        next();
        if (kind() == tkLess)
            skip_generic_params();
    }
    h.owner_type = owner_type;
    if (kind() == tkParenOpen)
        params(h);
    if (is_operator && is_word()) {  // the result's name
        h.result_name = tok();
        next();
    }
    if (accept(tkColon)) {
        h.function = true;
        h.result = type_ref();
    }
    if (kind() == tkEqual || word_is("is")) {  // interface method mapping, nested procvar
        skip_to(tkSemiColon);
    }
    accept(tkSemiColon);
    directives(h);
    return h;
}

void TParser::params(THeader& h)
{
    h.has_params = true;
    next();
    while (kind() != tkParenClose && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        TParamMode mode = TParamMode::Value;
        if (kind() == tkConst) {
            mode = TParamMode::Const;
            next();
        } else if (kind() == tkVar) {
            mode = TParamMode::Var;
            next();
        } else if (kind() == tkOut && is_word(ts_.peek())) {
            mode = TParamMode::Out;
            next();
        } else if (word_is("constref") && is_word(ts_.peek())) {
            mode = TParamMode::ConstRef;
            next();
        }
        if (kind() == tkBracketOpen) {  // an attribute such as [ref]
            skip_to(tkBracketClose);
            accept(tkBracketClose);
        }
        const std::size_t group = h.params.size();
        while (is_word()) {
            h.params.push_back({tok(), mode, kNoId, true});
            next();
            if (!accept(tkComma))
                break;
        }
        if (accept(tkColon)) {
            const std::uint32_t type = typedef_(kNoId);
            for (std::size_t i = group; i < h.params.size(); ++i) {
                h.params[i].type = type;
                h.params[i].untyped = false;
            }
        }
        if (accept(tkEqual))
            expression();
        if (!accept(tkSemiColon) && consumed_ == before)
            next();
    }
    accept(tkParenClose);
}

void TParser::directives(THeader& h)
{
    for (;;) {
        const bool word =
            is_word() && std::any_of(std::begin(kDirectiveWords), std::end(kDirectiveWords),
                                     [&](std::string_view d) { return same_name(d, tok().text); });
        const bool in_struct = !frames_.empty() && frames_.back().kind == TFrame::TKind::Struct;
        const bool keyword = kRoutineDirectives[kind()] || (kind() == tkPublic && !in_struct);
        if (kind() == tkBracketOpen) {  // [attributes] between directives
            skip_to(tkBracketClose);
            accept(tkBracketClose);
            accept(tkSemiColon);
            continue;
        }
        if (!(word || keyword))
            return;
        if (ts_.peek().kind == tkColon || ts_.peek().kind == tkComma)
            return;  // a field named like a directive
        if (kind() == tkExternal || word_is("external"))
            h.no_body = true;
        if (kind() == tkForward)
            h.forward = true;
        next();
        while (kind() != tkSemiColon && kind() != tkNull && kind() != tkEnd)
            next();
        accept(tkSemiColon);
    }
}

std::uint32_t TParser::bind_header(THeader& h, std::uint32_t in_struct, bool interface)
{
    auto make_params = [&](std::uint32_t routine) {
        for (const auto& p : h.params) {
            const std::uint32_t ps = add_symbol(p.name, TDeclarationKind::Parameter);
            TSymbol& s = m_.symbols[ps];
            s.scope = routine;
            s.mode = p.mode;
            s.type = p.type;
            s.untyped = p.untyped;
            // Parameters are declared one after the other: the routine keeps the first and
            // the count.
            TSymbol& r = m_.symbols[routine];
            if (r.param_count++ == 0)
                r.first_param = ps;
        }
    };
    auto new_routine = [&](TDeclarationKind k, std::uint32_t t, std::uint32_t member_of) {
        const std::uint32_t s = declare(h.name, k, t);
        m_.symbols[s].member_of = member_of;
        if (member_of != kNoId)
            m_.symbols[s].scope = member_of;
        m_.symbols[s].type = h.result;
        m_.symbols[s].function = h.function;
        make_params(s);
        return s;
    };
    if (in_struct != kNoId)
        return new_routine(TDeclarationKind::Method, table(), in_struct);

    // An implementation of a method, of an interface routine or of a forward declaration.
    std::vector<std::uint32_t> candidates;
    auto collect = [&](std::uint32_t t, TDeclarationKind k) {
        if (t == kNoId)
            return;
        m_.names.each(t, h.name.text, [&](std::uint32_t id) {
            if (m_.symbols[id].kind == k && !m_.symbols[id].has_body)
                candidates.push_back(id);
        });
    };
    if (h.qualified) {
        const std::uint32_t cls = structure_of(h.owner_type);
        if (cls != kNoId)
            collect(m_.symbols[cls].table, TDeclarationKind::Method);
    } else if (!interface) {
        collect(table(), TDeclarationKind::Routine);
        if (!frames_.empty() && frames_.back().kind == TFrame::TKind::Implementation)
            collect(m_.modules[module_].interface_table, TDeclarationKind::Routine);
    }
    std::uint32_t found = kNoId;
    for (std::uint32_t c : candidates)
        if (m_.symbols[c].param_count == h.params.size() || !h.has_params) {
            found = c;
            break;
        }
    if (found == kNoId && !candidates.empty() && h.qualified)
        found = candidates.front();
    if (found == kNoId) {
        if (h.qualified)
            return new_routine(TDeclarationKind::Method, kNoId, structure_of(h.owner_type));
        return new_routine(TDeclarationKind::Routine, table(), kNoId);
    }
    refer(found, h.name, TReferenceKind::Declaration);
    const TSymbol& declared = m_.symbols[found];
    const std::uint32_t first = declared.first_param;
    if (h.has_params && declared.param_count == h.params.size()) {
        for (std::uint32_t i = 0; i < h.params.size(); ++i)
            refer(first + i, h.params[i].name, TReferenceKind::Declaration);
    }
    return found;
}

void TParser::routine(bool interface, std::uint32_t in_struct)
{
    THeader h = header(in_struct);
    const std::uint32_t s = bind_header(h, in_struct, interface);
    if (interface || in_struct != kNoId || h.forward)
        return;
    if (h.no_body) {
        m_.symbols[s].has_body = true;  // external: no body will follow
        return;
    }
    m_.symbols[s].has_body = true;
    // The body sees the parameters by the names of this header.
    std::vector<std::uint32_t> params;
    for (std::uint32_t i = 0; i < m_.symbols[s].param_count; ++i)
        params.push_back(m_.symbols[s].first_param + i);
    TFrame frame(TFrame::TKind::Routine, s, m_.new_table());
    frame.method_class = m_.symbols[s].member_of;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::string_view name = i < h.params.size() && h.has_params
                                          ? h.params[i].name.text
                                          : m_.symbols[params[i]].name;
        m_.names.insert(frame.table, name, params[i]);
    }
    if (!h.result_name.text.empty())
        m_.names.insert(frame.table, h.result_name.text, s);
    frame.params = params;
    frames_.push_back(std::move(frame));
    body(s, params);
}

void TParser::body(std::uint32_t routine, const std::vector<std::uint32_t>& params)
{
    declarations(false, true);
    if (kind() == tkAsm) {
        skip_asm();
    } else if (accept(tkBegin)) {
        statement_list();
        accept(tkEnd);
    }
    accept(tkSemiColon);
    TFrame frame = std::move(frames_.back());
    frames_.pop_back();
    if (!frame.has_asm)
        routine_notes(routine, frame.locals, params);
}

void TParser::routine_notes(std::uint32_t, const std::vector<std::uint32_t>& locals,
                            const std::vector<std::uint32_t>& params)
{
    for (std::uint32_t l : locals)
        variable_note(l);
    for (std::uint32_t p : params) {
        const TSymbol& s = m_.symbols[p];
        if (s.hints_off || s.reads > 0)
            continue;
        std::string text;
        if (s.writes == 0)
            text = "Parameter \"" + std::string(s.name) + "\" not used";
        else if (s.mode == TParamMode::Value)
            text = "Value parameter \"" + std::string(s.name) + "\" is assigned but never used";
        else
            continue;
        add_note({s.file, s.line, s.column, TNoteSeverity::Hint, std::move(text)});
    }
}

void TParser::add_note(TProjectNote note)
{
    m_.notes.push_back(std::move(note));
    m_.note_modules.push_back(module_);
}

void TParser::variable_note(std::uint32_t symbol)
{
    const TSymbol& s = m_.symbols[symbol];
    if (s.notes_off || s.reads > 0)
        return;
    add_note({s.file, s.line, s.column, TNoteSeverity::Note,
              "Local variable \"" + std::string(s.name) +
                  (s.writes == 0 ? "\" not used" : "\" is assigned but never used")});
}

// ---------------------------------------------------------------------------------------
// Statements
// ---------------------------------------------------------------------------------------

void TParser::skip_asm()
{
    for (auto f = frames_.rbegin(); f != frames_.rend(); ++f)
        if (f->kind == TFrame::TKind::Routine) {
            f->has_asm = true;
            break;
        }
    next();
    while (kind() != tkEnd && kind() != tkNull)
        next();
    accept(tkEnd);
}

void TParser::statement_list()
{
    for (;;) {
        const TTokenKind k = kind();
        if (k == tkEnd || k == tkUntil || k == tkExcept || k == tkFinally || k == tkNull ||
            k == tkFinalization || k == tkInitialization)
            return;
        const std::uint64_t before = consumed_;
        statement();
        if (!accept(tkSemiColon) && consumed_ == before)
            next();
    }
}

void TParser::statement()
{
    const TDepth depth(depth_);
    if (depth.too_deep()) {
        next();
        return;
    }
    switch (kind()) {
    case tkBegin:
        next();
        statement_list();
        accept(tkEnd);
        return;
    case tkIf:
        next();
        expression();
        accept(tkThen);
        statement();
        if (accept(tkElse))
            statement();
        return;
    case tkWhile:
        next();
        expression();
        accept(tkDo);
        statement();
        return;
    case tkRepeat:
        next();
        statement_list();
        accept(tkUntil);
        expression();
        return;
    case tkFor:
        for_statement();
        return;
    case tkCase:
        case_statement();
        return;
    case tkWith:
        with_statement();
        return;
    case tkTry:
        try_statement();
        return;
    case tkRaise:
        next();
        expression();
        if (accept(tkAt))
            expression();
        return;
    case tkGoto:
        next();
        expression();
        return;
    case tkAsm:
        skip_asm();
        return;
    default:
        break;
    }
    if (is_word() && ts_.peek().kind == tkColon) {  // a label
        const std::uint32_t l = lookup(tok().text);
        if (l != kNoId)
            refer(l, tok(), TReferenceKind::Read);
        next();
        next();
        statement();
        return;
    }
    if (kind() == tkNumber && ts_.peek().kind == tkColon) {
        next();
        next();
        statement();
        return;
    }
    if (!(is_word() || kind() == tkInherited || kind() == tkParenOpen || kind() == tkAtSign ||
          kind() == tkCaret))
        return;
    const TChain target = designator();
    if (kind() == tkAssign) {
        mark_write(target, false);
        next();
        expression();
    } else if ((kind() == tkPlus || kind() == tkMinus || kind() == tkStar || kind() == tkSlash) &&
               ts_.peek().kind == tkEqual) {
        mark_write(target, true);
        next();
        next();
        expression();
    } else if (!kExpressionEnd[kind()]) {
        expression();
    }
}

void TParser::for_statement()
{
    next();
    const TChain control = designator();
    mark_write(control, true);
    if (accept(tkAssign)) {
        expression();
        if (!accept(tkTo))
            accept(tkDownto);
        expression();
    } else if (accept(tkIn)) {
        expression();
    }
    accept(tkDo);
    statement();
}

void TParser::case_statement()
{
    next();
    expression();
    accept(tkOf);
    while (kind() != tkEnd && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        if (accept(tkElse) || (word_is("otherwise") && (next(), true))) {
            statement_list();
            break;
        }
        expression();
        if (accept(tkComma))
            continue;
        if (accept(tkColon))
            statement();
        accept(tkSemiColon);
        if (consumed_ == before)
            next();
    }
    accept(tkEnd);
}

void TParser::with_statement()
{
    next();
    std::size_t pushed = 0;
    for (;;) {
        const std::uint32_t type = expression();
        TFrame f(TFrame::TKind::With);
        f.with_type = type;
        frames_.push_back(std::move(f));
        ++pushed;
        if (!accept(tkComma))
            break;
    }
    accept(tkDo);
    statement();
    frames_.erase(frames_.end() - static_cast<std::ptrdiff_t>(pushed), frames_.end());
}

void TParser::try_statement()
{
    next();
    statement_list();
    if (accept(tkFinally)) {
        statement_list();
    } else if (accept(tkExcept)) {
        while (kind() == tkOn) {
            next();
            TFrame handler(TFrame::TKind::Local, owner(), m_.new_table());
            std::uint32_t variable = kNoId;
            if (is_word() && ts_.peek().kind == tkColon) {
                variable = add_symbol(tok(), TDeclarationKind::Local);
                insert(handler.table, variable);
                next();
                next();
            }
            const std::uint32_t type = type_ref();
            if (variable != kNoId)
                m_.symbols[variable].type = type;
            accept(tkDo);
            frames_.push_back(std::move(handler));
            statement();
            frames_.pop_back();
            accept(tkSemiColon);
        }
        if (accept(tkElse))
            statement_list();
        else
            statement_list();
    }
    accept(tkEnd);
}

// ---------------------------------------------------------------------------------------
// Expressions
// ---------------------------------------------------------------------------------------

std::uint32_t TParser::expression()
{
    const TDepth depth(depth_);
    if (depth.too_deep()) {
        next();
        return kNoId;
    }
    std::uint32_t type = kNoId;
    int operands = 0;
    while (!kExpressionEnd[kind()]) {
        const TTokenKind k = kind();
        const std::uint64_t before = consumed_;
        if (operands > 0 &&
            (word_is("deprecated") || word_is("platform") || word_is("experimental")))
            break;
        if (k == tkAs || k == tkIs) {
            next();
            const TChain cast = designator();
            if (k == tkAs)
                type = cast.type;
            continue;
        }
        if (is_word() || k == tkInherited || k == tkParenOpen ||
            (k == tkString && !tok().text.starts_with('\''))) {
            const TChain c = designator();
            type = c.type;
            ++operands;
        } else if (k == tkBracketOpen) {
            next();
            arguments(tkBracketClose, kNoId, {});
            ++operands;
            type = kNoId;
        } else {
            if (k != tkAtSign && k != tkNot && k != tkMinus && k != tkPlus && k != tkCaret)
                ++operands;
            next();
        }
        if (consumed_ == before)
            next();
    }
    return operands <= 1 ? type : kNoId;
}

TParser::TChain TParser::designator()
{
    TChain c;
    const TDepth depth(depth_);
    if (depth.too_deep()) {
        next();
        return c;
    }
    std::uint32_t type = kNoId;
    std::uint32_t last = kNoId;
    bool known = true;
    bool deref = false;
    std::string_view intrinsic;
    auto add = [&](std::uint32_t symbol, const TToken& at, bool via) {
        c.push({symbol, refer(symbol, at, TReferenceKind::Read), via});
        last = symbol;
        type = value_type(symbol);
        const TSymbol& s = m_.symbols[symbol];
        // A call's value cannot be written into; `Result` (bound to its function) can.
        deref = (s.kind == TDeclarationKind::Routine || s.kind == TDeclarationKind::Method) &&
                !same_name(at.text, "result");
    };
    if (kind() == tkInherited) {
        next();
        std::uint32_t cls = kNoId;
        for (auto f = frames_.rbegin(); f != frames_.rend(); ++f)
            if (f->kind == TFrame::TKind::Routine && f->method_class != kNoId) {
                cls = f->method_class;
                break;
            }
        if (!is_word()) {  // `inherited;` passes the parameters on
            for (auto f = frames_.rbegin(); f != frames_.rend(); ++f)
                if (f->kind == TFrame::TKind::Routine) {
                    for (std::uint32_t p : f->params)
                        ++m_.symbols[p].reads;
                    break;
                }
            return c;
        }
        const std::uint32_t s =
            cls == kNoId ? kNoId : find_member(m_.symbols[cls].ancestor, tok().text);
        if (s != kNoId)
            add(s, tok(), true);
        else {
            ++m_.unresolved;
            known = false;
        }
        next();
    } else if (kind() == tkParenOpen) {
        next();
        type = expression();
        while (accept(tkComma))
            expression();
        accept(tkParenClose);
        known = type != kNoId;
        deref = true;
    } else if (kind() == tkString) {
        next();
        known = false;
    } else if (is_word()) {
        if (word_is("specialize"))
            next();
        const std::uint32_t s = lookup(tok().text);
        if (s != kNoId) {
            add(s, tok(), false);
        } else {
            if (is_intrinsic(tok().text))
                intrinsic = tok().text;
            else
                ++m_.unresolved;
            known = false;
        }
        next();
    } else {
        return c;
    }
    for (;;) {
        const TTokenKind k = kind();
        if (k == tkDot && is_word(ts_.peek())) {
            next();
            const std::uint32_t s = known ? find_member(type, tok().text) : kNoId;
            if (s == kNoId) {
                ++m_.unresolved;
                known = false;
                type = kNoId;
            } else {
                if (m_.symbols[type].kind == TDeclarationKind::Unit) {
                    TModule& mod = m_.modules[module_];
                    const std::uint32_t used = m_.symbols[s].module;
                    if (std::find(mod.used_modules.begin(), mod.used_modules.end(), used) ==
                        mod.used_modules.end())
                        mod.used_modules.push_back(used);
                }
                add(s, tok(), deref || reference_type(type));
            }
            intrinsic = {};
            next();
        } else if (k == tkCaret) {
            next();
            const std::uint32_t pointer = unaliased(type);
            const bool is_pointer =
                pointer != kNoId && m_.symbols[pointer].shape == TTypeShape::Pointer;
            const std::uint32_t target = is_pointer ? m_.symbols[pointer].type : kNoId;
            type = target;
            known = known && target != kNoId;
            deref = true;
        } else if (k == tkBracketOpen) {
            next();
            arguments(tkBracketClose, kNoId, {});
            const std::uint32_t array = unaliased(type);
            const bool is_array = array != kNoId && m_.symbols[array].shape == TTypeShape::Array;
            const std::uint32_t element = is_array ? m_.symbols[array].type : kNoId;
            const bool dynamic = !is_array || m_.symbols[array].reference;
            type = element;
            known = known && element != kNoId;
            deref = dynamic;
        } else if (k == tkParenOpen) {
            next();
            const bool cast = last != kNoId && m_.symbols[last].kind == TDeclarationKind::Type;
            arguments(tkParenClose, cast ? kNoId : last, intrinsic);
            if (!cast && last != kNoId)
                type = m_.symbols[last].type;
            known = known && type != kNoId;
            deref = true;
            intrinsic = {};
        } else if (k == tkLess && c.count > 0 && ts_.delphi_mode() &&
                   m_.symbols[last].kind == TDeclarationKind::Type) {
            skip_generic_params();
        } else {
            break;
        }
    }
    c.type = known ? type : kNoId;
    c.deref_tail = deref;
    return c;
}

void TParser::mark_write(const TChain& chain, bool keep_read)
{
    if (chain.count == 0 || chain.deref_tail)
        return;
    std::size_t i = chain.count - 1;
    make_write(chain.elements[i].reference, keep_read);
    while (i > 0 && !chain.elements[i].via_reference) {
        --i;
        make_write(chain.elements[i].reference, keep_read);
    }
}

void TParser::arguments(TTokenKind closer, std::uint32_t callee, std::string_view intrinsic)
{
    const std::uint32_t first_param = callee == kNoId ? kNoId : m_.symbols[callee].first_param;
    const int param_count = callee == kNoId ? 0 : m_.symbols[callee].param_count;
    int index = 0;
    while (kind() != closer && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        int mode = 0;  // 0 read, 1 write, 2 read and write
        if (index < param_count) {
            const TSymbol& p = m_.symbols[first_param + static_cast<std::uint32_t>(index)];
            if (p.mode == TParamMode::Out || p.mode == TParamMode::Var)
                mode = 2;  // the compiler counts a var or out argument as used
        }
        if (is_word() || kind() == tkInherited || kind() == tkParenOpen) {
            const TChain c = designator();
            const TTokenKind after = kind();
            if (!intrinsic.empty() && param_count == 0)
                mode = intrinsic_argument(intrinsic, index, after == tkComma);
            if (after == tkComma || after == closer || after == tkColon) {
                if (mode != 0)
                    mark_write(c, mode == 2);
            } else {
                expression();
            }
        } else {
            expression();
        }
        if (accept(tkComma))
            ++index;
        else if (!accept(tkColon) && consumed_ == before)
            next();
    }
    accept(closer);
}

void TParser::record_constant(std::uint32_t type)
{
    const TDepth depth(depth_);
    if (depth.too_deep()) {
        next();
        return;
    }
    if (kind() != tkParenOpen) {
        expression();
        return;
    }
    next();
    std::uint32_t element = kNoId;
    if (type != kNoId && m_.symbols[type].shape == TTypeShape::Array)
        element = m_.symbols[type].type;
    while (kind() != tkParenClose && kind() != tkNull) {
        const std::uint64_t before = consumed_;
        if (is_word() && ts_.peek().kind == tkColon) {
            const std::uint32_t field = find_member(type, tok().text);
            if (field != kNoId)
                refer(field, tok(), TReferenceKind::Write);
            next();
            next();
            record_constant(field == kNoId ? kNoId : m_.symbols[field].type);
        } else {
            record_constant(element);
        }
        if (!accept(tkSemiColon) && !accept(tkComma) && consumed_ == before)
            next();
    }
    accept(tkParenClose);
    if (!kExpressionEnd[kind()])
        expression();
}

}  // namespace tabulex::project
