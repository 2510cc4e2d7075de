#pragma once
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tabulex {

namespace project {
class TTextArena;
}

/// The "none" value of every file and declaration id below.
inline constexpr std::uint32_t kNoId = std::numeric_limits<std::uint32_t>::max();

enum class TProjectFileKind : std::uint8_t { Program, Library, Unit, Include, Other };

/// Whether a file of this kind is a unit of the program's graph (a program, library or unit).
inline bool is_unit_kind(TProjectFileKind kind)
{
    return kind == TProjectFileKind::Unit || kind == TProjectFileKind::Program ||
           kind == TProjectFileKind::Library;
}
enum class TUsesSection : std::uint8_t { Interface, Implementation };

/// One name of a `uses` clause. A program's or library's uses count as interface uses.
struct TProjectUses {
    std::string name;  ///< as written, dotted names included ("System.SysUtils")
    TUsesSection section = TUsesSection::Interface;
    int line = 0;
    int column = 0;
    std::uint32_t file = kNoId;  ///< the unit's file, kNoId when the unit is external
};

enum class TIncludeProblem : std::uint8_t { None, Missing, Loop };

/// One `{$I name}` / `{$INCLUDE name}` directive of a file, in active code.
struct TProjectInclude {
    int line = 0;
    int column = 0;
    std::string name;            ///< as written
    std::uint32_t file = kNoId;  ///< the file it resolved to, kNoId when not followed
    TIncludeProblem problem = TIncludeProblem::None;
};

/// Lines `first` to `last` (1-based, inclusive).
struct TLineRange {
    int first = 0;
    int last = 0;
};

/// Something worth telling about a line of a file (an include that failed, `begin`/`end`
/// unbalanced between the branches of a conditional, a file that cannot be read).
struct TProjectDiagnostic {
    int line = 0;
    std::string message;
};

/// One file of the project: a program, library or unit, a file it includes, or another file.
struct TProjectFile {
    std::string path;  ///< as given or as found on a search path
    TProjectFileKind kind = TProjectFileKind::Other;
    std::string unit_name;  ///< the name after `unit`/`program`/`library`, as written
    /// The whole file, kept by the index so that views need not read it again; a NUL follows.
    std::string_view bytes = "";
    bool readable = true;  ///< false when the file could not be read (bytes are empty)
    int line_count = 0;
    std::vector<TProjectUses> uses;
    std::vector<TProjectInclude> includes;
    std::vector<std::uint32_t> included_by;  ///< files with an include directive that reached it
    std::vector<TLineRange> inactive_lines;  ///< conditional code left out under the run's defines
    std::vector<TProjectDiagnostic> diagnostics;
    bool has_initialization = false;
    bool has_finalization = false;
};

enum class TDeclarationKind : std::uint8_t {
    Unit,
    Program,
    Library,
    Constant,
    ResourceString,
    Type,
    Variable,  ///< a variable of a unit, program or library (also threadvar)
    Local,     ///< a variable of a routine
    Field,
    Property,
    Method,
    Routine,
    Parameter,
    EnumValue,
    Label,
};

/// A declared name. Positions are 1-based; columns count bytes, as the compiler counts them
/// (a tab is one column).
struct TProjectDeclaration {
    std::uint32_t id = kNoId;  ///< its index in TProjectIndex::declarations()
    std::string name;
    TDeclarationKind kind = TDeclarationKind::Variable;
    std::uint32_t scope = kNoId;  ///< the enclosing declaration (unit, routine, type)
    std::uint32_t file = kNoId;
    int line = 0;
    int column = 0;
    std::uint32_t member_of = kNoId;  ///< for fields, properties and methods: their type
};

enum class TReferenceKind : std::uint8_t { Read, Write, Declaration };

/// One place where a name stands for a declaration. The declaration itself is one too (kind
/// Declaration), as is a routine's or method's implementation header.
struct TProjectReference {
    std::uint32_t declaration = kNoId;
    std::uint32_t file = kNoId;
    int line = 0;
    int column = 0;
    std::uint16_t length = 0;  ///< bytes of the name at that place
    TReferenceKind kind = TReferenceKind::Read;
};
// Millions of these make a project's index: kept to 20 bytes.
static_assert(sizeof(TProjectReference) <= 20);

/// `from` uses `to` in the given section.
struct TUnitEdge {
    std::uint32_t from = kNoId;  ///< file ids
    std::uint32_t to = kNoId;
    TUsesSection section = TUsesSection::Interface;
};

/// Units that depend on each other in a circle. Section Interface: every edge of the circle is
/// an interface use; Implementation: at least one edge is an implementation use.
struct TUnitCycle {
    TUsesSection section = TUsesSection::Interface;
    std::vector<std::uint32_t> files;  ///< in the order of the circle
};

enum class TNoteSeverity : std::uint8_t { Note, Hint };

/// A `--check` note: an unused local or parameter, a local that is only assigned, an unused
/// unit, a unit cycle. `text` is the message after "Note: " or "Hint: ".
struct TProjectNote {
    std::uint32_t file = kNoId;
    int line = 0;
    int column = 0;
    TNoteSeverity severity = TNoteSeverity::Note;
    std::string text;
};

/// What a project is made of: a program or library file (its `uses X in 'path'` clauses name
/// files), a folder (every Pascal source below it) or a list of files.
struct TProjectInput {
    std::vector<std::string> paths;
};

enum class TCompiler : std::uint8_t { Fpc, Delphi };

/// How the project is compiled: search paths, defines, and whose predefined symbols apply.
struct TProjectOptions {
    std::vector<std::string> unit_paths;
    std::vector<std::string> include_paths;
    std::vector<std::string> defines;
    TCompiler compiler = TCompiler::Fpc;
};

/// The symbols a compiler defines by itself, which `{$IFDEF}` sees without `--define`.
std::span<const std::string_view> predefined_symbols(TCompiler compiler);

/// Everything known about a whole program: files, declarations with their scopes, every use of
/// a name resolved to its declaration, unit dependencies and cycles, and the check notes.
/// Built once by build_project_index and read-only afterwards.
class TProjectIndex {
public:
    const std::vector<TProjectFile>& files() const { return files_; }
    const std::vector<TProjectDeclaration>& declarations() const { return declarations_; }
    /// All references, sorted by file, line and column.
    const std::vector<TProjectReference>& references() const { return references_; }
    /// The references of one file, sorted by line and column.
    std::span<const TProjectReference> references_in(std::uint32_t file) const;
    /// Indexes into references() of every use of a declaration, in file, line, column order.
    std::span<const std::uint32_t> references_of(std::uint32_t declaration) const;
    /// The reference whose name covers (line, column) of the file, or nullptr.
    const TProjectReference* reference_at(std::uint32_t file, int line, int column) const;
    /// The file with exactly this path, or kNoId.
    std::uint32_t file_id(std::string_view path) const;

    const std::vector<TUnitEdge>& unit_edges() const { return unit_edges_; }
    /// The uses of file `from`, in the order of its uses clauses (unit_edges() holds every
    /// file's in the order of the file ids).
    std::span<const TUnitEdge> unit_edges_from(std::uint32_t from) const;
    const std::vector<TUnitCycle>& unit_cycles() const { return unit_cycles_; }
    /// Names used in active code whose declaration could not be determined.
    std::size_t unresolved_count() const { return unresolved_count_; }
    /// The check notes, file by file in the order the compiler gives them.
    const std::vector<TProjectNote>& notes() const { return notes_; }

private:
    friend class TProjectBuilder;
    /// Sorts the references and builds the two lookups over them. file_offsets_ and
    /// declaration_offsets_ come holding the number of references of each file and each
    /// declaration, at [id + 1] (counted as the references were made).
    void finish();

    std::vector<TProjectFile> files_;
    std::shared_ptr<const project::TTextArena> texts_;  ///< what the files' bytes view
    std::vector<TProjectDeclaration> declarations_;
    std::vector<TProjectReference> references_;
    std::vector<std::uint32_t> file_offsets_;  ///< references_in: [file] .. [file + 1]
    std::vector<std::uint32_t> by_declaration_;
    std::vector<std::uint32_t> declaration_offsets_;
    std::vector<TUnitEdge> unit_edges_;
    std::vector<TUnitCycle> unit_cycles_;
    std::size_t unresolved_count_ = 0;
    std::vector<TProjectNote> notes_;
};

/// Reads, preprocesses and resolves the whole project. Files that cannot be read, units that
/// cannot be found and includes that fail are recorded in the index; nothing is thrown.
TProjectIndex build_project_index(const TProjectInput& input, const TProjectOptions& options);

}  // namespace tabulex
