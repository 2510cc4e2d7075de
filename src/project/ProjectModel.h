#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "project/NameTable.h"
#include "project/Preprocessor.h"
#include "project/ProjectFiles.h"
#include "project/ProjectIndex.h"

namespace tabulex::project {

/// What a type declaration stands for, as far as member lookup needs it.
enum class TTypeShape : std::uint8_t {
    None,
    Alias,       // `type` is the aliased type
    Pointer,     // `type` is the target
    Array,       // `type` is the element
    Structured,  // record, object, class, interface: members in `table`, parent in `ancestor`
    ClassOf,     // `type` is the class
    Enum,        // values in `table`
    Set,
    Procedural,  // `type` is the result
};

enum class TParamMode : std::uint8_t { Value, Const, Var, Out, ConstRef };

/// A declaration while the index is built: the public record plus what resolution needs.
/// Anonymous types (an inline `record`, `array of T`, `^T`) are symbols that are not exported.
struct TSymbol {
    std::string_view name;
    std::uint32_t scope = kNoId;
    std::uint32_t file = kNoId;
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::uint32_t member_of = kNoId;
    std::uint32_t module = kNoId;  // the unit or program that declares it
    std::uint32_t type = kNoId;    // value type; for types, see TTypeShape
    std::uint32_t ancestor = kNoId;
    std::uint32_t table = kNoId;      // members, locals, or a unit's interface
    std::uint32_t export_id = kNoId;  // its place among the declarations of the index
    std::int32_t reads = 0;
    std::int32_t writes = 0;
    std::uint32_t first_param = kNoId;  // a routine's parameters are consecutive symbols
    std::uint16_t param_count = 0;
    TDeclarationKind kind = TDeclarationKind::Variable;
    TTypeShape shape = TTypeShape::None;
    TParamMode mode = TParamMode::Value;
    bool anonymous : 1 = false;
    bool untyped : 1 = false;  // an untyped var/const/out parameter
    bool reference : 1 =
        false;  // a class, interface, pointer, dynamic array or class reference type
    bool has_body : 1 = false;
    bool function : 1 = false;  // a routine with a result
    bool forward : 1 = false;   // `TFoo = class;`
    bool hints_off : 1 = false;
    bool notes_off : 1 = false;
};
// Every declaration of a run is one of these: the small fields and the flags close the row at
// 80 bytes.
static_assert(sizeof(TSymbol) <= 80);

/// A unit, program or library of the run, parsed in two stages so that units using each
/// other in their implementation sections see each other's interface.
struct TModule {
    enum class TStage : std::uint8_t { NotStarted, Interface, InterfaceDone, Done };
    std::uint32_t file = kNoId;
    std::uint32_t symbol = kNoId;
    TStage stage = TStage::NotStarted;
    std::uint32_t interface_table = kNoId;
    std::uint32_t implementation_table = kNoId;
    std::vector<std::uint32_t> interface_units;  // unit symbols in uses order
    std::vector<std::uint32_t> implementation_units;
    std::vector<std::uint32_t> implicit_units;  // ObjPas, System
    std::vector<std::uint32_t> used_modules;    // modules whose symbols this one referenced
    bool init_code = false;                     // initialization or finalization with statements
    std::unique_ptr<TTokenStream> stream;
    std::unique_ptr<class TParser> parser;
    // Tokens preprocessed ahead by the reader thread: 0 not yet taken up, 1 being made (by the
    // reader, or by the parser itself, which then makes them as it goes), 2 ready in `tokens`,
    // 3 taken by the parser.
    std::atomic<int> preprocessing{0};
    TTokenRow tokens;
    ~TModule();
};

/// Preprocesses the given units on a thread of its own, in order, ahead of the parser, which
/// takes their tokens when it comes to them (or preprocesses a unit itself when the reader has
/// not started it yet). The tokens waiting for the parser are kept within a budget of blocks.
class TReadAhead {
public:
    /// The most blocks of tokens kept waiting for the parser.
    static constexpr std::size_t kBudgetBlocks = (std::size_t{128} << 20) / sizeof(TTokenBlock);
    /// The free blocks the parser leaves to the reader when it preprocesses ahead itself.
    static constexpr std::size_t kSpareBlocks = (std::size_t{16} << 20) / sizeof(TTokenBlock);

    /// With `large_run`, a run that will fill the budget, its blocks are made at once before
    /// the thread starts (see TTokenPool::prefill).
    TReadAhead(TFileStore& files, const TProjectOptions& options, std::vector<TModule*> modules,
               bool large_run);
    ~TReadAhead();
    /// The tokens of `module`, or false when the caller is to preprocess it itself.
    bool take(TModule& module, TTokenRow& tokens);
    /// Tokens the parser is done with: their blocks serve a later unit.
    void give_back(TTokenRow& tokens) { pool_.give_back(tokens); }

private:
    void run();
    /// Preprocesses a unit the reader has yet to come to, for the parser to find ready; false
    /// when there is none, or the budget is spent.
    bool record_later();
    /// Preprocesses `module` on the calling thread and makes its tokens waiting.
    void record(TModule& module);

    TFileStore& files_;
    const TProjectOptions& options_;
    std::vector<TModule*> modules_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t waiting_ = 0;                // ready units not taken yet
    std::size_t waiting_blocks_ = 0;         // the blocks of their tokens
    std::atomic<std::size_t> reader_at_{0};  // the place in modules_ the reader has come to
    TTokenPool pool_;
    bool stop_ = false;
    std::thread thread_;
};

/// Everything the parsers of a run share.
struct TModel {
    TModel(const TProjectOptions& o) : options(o) {}

    const TProjectOptions& options;
    TFileStore files;
    std::vector<TSymbol> symbols;
    TNameTable names;
    std::vector<TProjectReference> references;  // declaration = symbol id until exported
    std::deque<TModule> modules;                // by id; a deque, so that a module never moves
    std::unordered_map<std::uint32_t, std::uint32_t> module_of_file;
    TReadAhead* read_ahead = nullptr;
    std::unordered_map<std::string, std::uint32_t> external_units;  // lower-case name -> symbol
    std::vector<std::uint32_t> input_files;
    std::unordered_map<std::string, std::vector<std::uint32_t>> input_units;  // lower base name
    std::vector<TProjectNote> notes;
    std::vector<std::uint32_t> note_modules;  // the module each note belongs to
    std::vector<std::uint32_t> unit_checks;   // modules whose used units are checked at the end
    std::size_t unresolved = 0;
    std::uint32_t exported = 0;  // symbols that are not anonymous

    std::uint32_t new_table() { return names.new_table(); }
    /// Adds `symbol` with the next id; one that is not anonymous also gets the next place
    /// among the declarations the index exports.
    std::uint32_t add_symbol(TSymbol symbol);
    std::uint32_t module_for(std::uint32_t file);
    void ensure_interface(std::uint32_t module);
    void ensure_done(std::uint32_t module);
    /// The module of unit `name` used from `from`'s file (`in_path` from a `uses X in 'path'`),
    /// or kNoId when the unit is not part of the run.
    std::uint32_t find_unit(std::string_view name, std::uint32_t from, std::string_view in_path);
};

}  // namespace tabulex::project
