#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <tuple>

#include "analysis/ParallelFor.h"
#include "project/LargeArrays.h"
#include "project/ProjectIndex.h"
#include "project/ProjectModel.h"
#include "project/ProjectParser.h"
#include "project/UnitCycles.h"

namespace tabulex {

using namespace project;

namespace project {

namespace {
std::string base_name(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}
}  // namespace

std::uint32_t TModel::module_for(std::uint32_t file)
{
    if (auto it = module_of_file.find(file); it != module_of_file.end())
        return it->second;
    const auto id = static_cast<std::uint32_t>(modules.size());
    TModule& mod = modules.emplace_back();
    mod.file = file;
    mod.interface_table = new_table();
    mod.implementation_table = new_table();
    TSymbol unit;
    unit.kind = TDeclarationKind::Unit;
    unit.file = file;
    unit.module = id;
    unit.table = mod.interface_table;
    unit.line = 1;
    unit.column = 1;
    mod.symbol = add_symbol(unit);
    module_of_file.emplace(file, id);
    return id;
}

std::uint32_t TModel::add_symbol(TSymbol symbol)
{
    room_for_one(symbols);
    if (!symbol.anonymous)
        symbol.export_id = exported++;
    symbols.push_back(symbol);
    return static_cast<std::uint32_t>(symbols.size() - 1);
}

TReadAhead::TReadAhead(TFileStore& files, const TProjectOptions& options,
                       std::vector<TModule*> modules, bool large_run)
    : files_(files), options_(options), modules_(std::move(modules))
{
    if (large_run)
        pool_.prefill(kBudgetBlocks);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to be had (a memory limit): the parser preprocesses every unit itself.
    }
}

TReadAhead::~TReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TReadAhead::run()
{
    // The parser often turns to a unit the reader has not come to (one that the next input
    // uses): while it preprocesses that one itself, this thread goes on with the inputs after,
    // as far as the budget goes. A unit larger than the budget is still read, alone.
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        reader_at_ = i;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(
                lock, [&] { return stop_ || waiting_ == 0 || waiting_blocks_ < kBudgetBlocks; });
            if (stop_)
                return;
        }
        int expected = 0;
        if (modules_[i]->preprocessing.compare_exchange_strong(expected, 1))
            record(*modules_[i]);
    }
}

void TReadAhead::record(TModule& module)
{
    TTokenRow tokens;
    bool recorded = true;
    try {
        tokens = TTokenStream::record(files_, options_, module.file, pool_);
    } catch (const std::bad_alloc&) {
        recorded = false;  // the parser tries again and tells what failed
    }
    const std::lock_guard lock(mutex_);
    const std::size_t blocks = tokens.blocks.size();
    module.tokens = std::move(tokens);
    module.preprocessing = recorded ? 2 : 4;
    if (recorded) {
        ++waiting_;
        waiting_blocks_ += blocks;
    }
    changed_.notify_all();
}

bool TReadAhead::record_later()
{
    {
        // Only with blocks to spare: a block made anew is fresh memory, which costs more than
        // the wait it would save.
        const std::lock_guard lock(mutex_);
        if (waiting_blocks_ >= kBudgetBlocks || pool_.spare() < kSpareBlocks)
            return false;
    }
    for (std::size_t i = reader_at_ + 1; i < modules_.size(); ++i) {
        int expected = 0;
        if (modules_[i]->preprocessing.compare_exchange_strong(expected, 1)) {
            record(*modules_[i]);
            return true;
        }
    }
    return false;
}

bool TReadAhead::take(TModule& module, TTokenRow& tokens)
{
    int expected = 0;
    if (module.preprocessing.compare_exchange_strong(expected, 1))
        return false;
    // The reader is on this unit: rather than wait for it, the parser preprocesses the units
    // after it, which the reader then passes over, so that the two threads share that work.
    while (module.preprocessing == 1 && record_later()) {}
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return module.preprocessing != 1; });
    if (module.preprocessing != 2)
        return false;
    tokens = std::move(module.tokens);
    module.preprocessing = 3;  // taken
    --waiting_;
    waiting_blocks_ -= tokens.blocks.size();
    changed_.notify_all();
    return true;
}

void TModel::ensure_interface(std::uint32_t id)
{
    if (modules[id].stage != TModule::TStage::NotStarted)
        return;
    modules[id].stage = TModule::TStage::Interface;
    if (!files.read_file(modules[id].file).readable) {
        modules[id].stage = TModule::TStage::Done;
        return;
    }
    TTokenRow tokens;
    if (read_ahead != nullptr && read_ahead->take(modules[id], tokens))
        modules[id].stream = std::make_unique<TTokenStream>(files, options, std::move(tokens));
    else
        modules[id].stream = std::make_unique<TTokenStream>(files, options, modules[id].file);
    modules[id].parser = std::make_unique<TParser>(*this, id);
    modules[id].parser->parse_head();
    modules[id].stage = TModule::TStage::InterfaceDone;
}

void TModel::ensure_done(std::uint32_t id)
{
    ensure_interface(id);
    if (modules[id].stage != TModule::TStage::InterfaceDone)
        return;
    modules[id].stage = TModule::TStage::Done;
    modules[id].parser->parse_rest();
    // The rest of the file (after `end.`, or after the parser gave up) is preprocessed too,
    // so that its inactive lines and includes are recorded whoever read the file.
    while (modules[id].stream->current().kind != tkNull)
        modules[id].stream->next();
    modules[id].parser.reset();
    if (read_ahead != nullptr)
        read_ahead->give_back(modules[id].stream->recorded());
    modules[id].stream.reset();
}

std::uint32_t TModel::find_unit(std::string_view name, std::uint32_t from, std::string_view in_path)
{
    const std::string near = folder_of(files[from].path);
    if (!in_path.empty()) {
        const std::string path = files.find_in(near, in_path);
        if (!path.empty())
            return module_for(files.add(path, TProjectFileKind::Unit));
    }
    const auto inputs = input_units.find(lower_name(name));
    if (inputs != input_units.end())
        for (std::uint32_t f : inputs->second)
            if (folder_of(files[f].path) == near)
                return module_for(f);
    const std::string path = files.find_unit(name, near, options.unit_paths);
    if (!path.empty())
        return module_for(files.add(path, TProjectFileKind::Unit));
    if (inputs != input_units.end())
        return module_for(inputs->second.front());
    return kNoId;
}

}  // namespace project

namespace {

const char* const kSourceExtensions[] = {".pas", ".pp", ".p", ".dpr", ".lpr"};

bool is_source(const std::filesystem::path& p)
{
    const std::string ext = lower_name(p.extension().string());
    return std::any_of(std::begin(kSourceExtensions), std::end(kSourceExtensions),
                       [&](const char* e) { return ext == e; });
}

// The sources of a run with their sizes: a folder stands for every Pascal source below it, in
// byte order of the paths. One look at each path tells both what it is and how large.
struct TInputFiles {
    std::vector<std::string> paths;
    std::size_t bytes = 0;
};

TInputFiles expand_input(const TProjectInput& input)
{
    TInputFiles inputs;
    for (const std::string& p : input.paths) {
        struct stat info {};
        const bool exists = ::stat(p.c_str(), &info) == 0;
        if (!exists || !S_ISDIR(info.st_mode)) {
            if (exists && S_ISREG(info.st_mode))
                inputs.bytes += static_cast<std::size_t>(info.st_size);
            inputs.paths.push_back(p);
            continue;
        }
        std::error_code ec;
        std::vector<std::string> found;
        const auto options = std::filesystem::directory_options::skip_permission_denied;
        for (std::filesystem::recursive_directory_iterator it(p, options, ec), end;
             !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec) && is_source(it->path())) {
                found.push_back(it->path().string());
                const auto size = it->file_size(ec);
                inputs.bytes += ec ? 0 : static_cast<std::size_t>(size);
            }
        std::sort(found.begin(), found.end());
        inputs.paths.insert(inputs.paths.end(), found.begin(), found.end());
    }
    return inputs;
}

}  // namespace

/// Turns the shared model of a run into the read-only index.
class TProjectBuilder {
public:
    static TProjectIndex build(const TProjectInput& input, const TProjectOptions& options)
    {
        TModel model(options);
        const TInputFiles inputs = expand_input(input);
        for (const std::string& path : inputs.paths) {
            const std::string ext = lower_name(std::filesystem::path(path).extension().string());
            const bool program = ext == ".dpr" || ext == ".lpr";
            const std::uint32_t file = model.files.add(
                path, program ? TProjectFileKind::Program : TProjectFileKind::Unit, false);
            model.input_files.push_back(file);
            model.input_units[lower_name(base_name(path))].push_back(file);
        }
        // A large run reads its files beside the parser; a small run reads them first and
        // keeps its memory low while it parses.
        constexpr std::size_t kLargeRun = std::size_t{32} << 20;
        const std::size_t bytes = inputs.bytes;
        if (bytes >= kLargeRun)
            model.files.read_in_background();
        else
            model.files.read_all();
        reserve_arrays(model, bytes);
        std::vector<TModule*> modules;
        for (std::uint32_t file : model.input_files)
            modules.push_back(&model.modules[model.module_for(file)]);
        {
            TReadAhead read_ahead(model.files, options, std::move(modules), bytes >= kLargeRun);
            model.read_ahead = &read_ahead;
            for (std::uint32_t file : model.input_files)
                index_unit(model, model.module_for(file));
            for (std::size_t i = 0; i < model.modules.size(); ++i)
                index_unit(model, static_cast<std::uint32_t>(i));
            model.read_ahead = nullptr;
        }
        model.files.finish_reading();
        return export_index(model);
    }

private:
    // The large arrays of the parser, made at once from an estimate: about one declaration per
    // 60 bytes of source and one reference per 15, backed with memory on two processors before
    // the parser starts.
    static void reserve_arrays(TModel& model, std::size_t bytes)
    {
        std::vector<TPageRange> unbacked;
        try {
            reserve_large(model.symbols, bytes / 60, &unbacked);
            reserve_large(model.references, bytes / 15, &unbacked);
            model.names.reserve(bytes / 70, &unbacked);
        } catch (const std::bad_alloc&) {
            // Only a hint: the arrays grow as they need to, as far as the memory goes.
        }
        populate_pages_on_two(unbacked);
    }

    // Indexes one unit; a unit too large for the memory left is noted and left out alone
    // (the names it declared so far stay, its later uses are not resolved).
    static void index_unit(TModel& model, std::uint32_t id)
    {
        try {
            model.ensure_done(id);
        } catch (const std::bad_alloc&) {
            TModule& module = model.modules[id];
            module.stage = TModule::TStage::Done;
            module.parser.reset();
            module.stream.reset();
            model.files[module.file].diagnostics.push_back(
                {0, "Cannot index the file: not enough memory"});
        }
    }

    static TProjectIndex export_index(TModel& model)
    {
        TProjectIndex index;
        const std::vector<std::uint32_t> file_ids = renumbered_files(model);
        // The declarations and the references are made on two threads, in one pass each.
        parallel_for(2, 2, [&](std::size_t part) {
            if (part == 0)
                export_declarations(model, file_ids, index.declarations_);
            else
                export_references(model, file_ids, index);
        });
        check_used_units(model);
        // What only the parser needed goes before the index sorts its references, so that
        // the sorted copy takes memory just given back rather than fresh memory.
        std::vector<TSymbol>().swap(model.symbols);
        model.names = TNameTable();
        index.notes_ = notes_in_compile_order(model);
        move_files(model, file_ids, index);
        for (std::size_t from = 0; from < index.files_.size(); ++from)
            for (const TProjectUses& u : index.files_[from].uses)
                if (u.file != kNoId)
                    index.unit_edges_.push_back(
                        {static_cast<std::uint32_t>(from), u.file, u.section});
        index.unit_cycles_ = find_unit_cycles(index.files_.size(), index.unit_edges_);
        append_cycle_notes(index);
        index.unresolved_count_ = model.unresolved;
        index.finish();
        return index;
    }

    // The declaration that stands for symbol `id`: an anonymous type stands for the
    // declaration around it.
    static std::uint32_t exported(const std::vector<TSymbol>& symbols, std::uint32_t id)
    {
        for (int guard = 0; guard < 64 && id != kNoId; ++guard) {
            if (!symbols[id].anonymous)
                return symbols[id].export_id;
            id = symbols[id].scope;
        }
        return kNoId;
    }

    static void export_declarations(const TModel& model, const std::vector<std::uint32_t>& file_ids,
                                    std::vector<TProjectDeclaration>& declarations)
    {
        const std::vector<TSymbol>& symbols = model.symbols;
        reserve_large(declarations, model.exported);
        for (const TSymbol& s : symbols) {
            if (s.anonymous)
                continue;
            TProjectDeclaration& d = declarations.emplace_back();
            d.id = s.export_id;
            d.name = std::string(s.name);
            d.kind = s.kind;
            d.file = s.file == kNoId ? kNoId : file_ids[s.file];
            d.line = s.line;
            d.column = s.column;
            d.scope = exported(symbols, s.scope);
            d.member_of = s.member_of == kNoId ? kNoId : exported(symbols, s.member_of);
        }
    }

    // The references to declarations that are exported, with the ids the index gives, counted
    // by file and by declaration for the index to sort them.
    static void export_references(TModel& model, const std::vector<std::uint32_t>& file_ids,
                                  TProjectIndex& index)
    {
        const std::vector<TSymbol>& symbols = model.symbols;
        std::vector<TProjectReference>& references = index.references_;
        std::vector<std::uint32_t>& per_file = index.file_offsets_;
        std::vector<std::uint32_t>& per_declaration = index.declaration_offsets_;
        per_file.assign(file_ids.size() + 1, 0);
        per_declaration.assign(std::size_t{model.exported} + 1, 0);
        references = std::move(model.references);
        std::erase_if(references, [&](TProjectReference& r) {
            const TSymbol& s = symbols[r.declaration];
            if (s.anonymous || r.file == kNoId)
                return true;
            r.declaration = s.export_id;
            r.file = file_ids[r.file];
            ++per_file[r.file + 1];
            ++per_declaration[r.declaration + 1];
            return false;
        });
    }

    // Include files get their ids as the two threads meet them: the files are numbered again,
    // units and programs in the order they were met and then the include files by path, so
    // that every run gives the same index. The new id of each file.
    static std::vector<std::uint32_t> renumbered_files(TModel& model)
    {
        TFileStore& files = model.files;
        std::vector<std::uint32_t> order(files.size());
        for (std::uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        const auto includes =
            std::stable_partition(order.begin(), order.end(), [&](std::uint32_t f) {
                return files[f].kind != TProjectFileKind::Include;
            });
        std::sort(includes, order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return files[a].path < files[b].path; });
        std::vector<std::uint32_t> id(files.size());
        for (std::uint32_t i = 0; i < order.size(); ++i)
            id[order[i]] = i;
        return id;
    }

    // Moves the files into the index in their new order, with the file ids they hold made new
    // too, and what a file gathered from several inclusions put in order.
    static void move_files(TModel& model, const std::vector<std::uint32_t>& id,
                           TProjectIndex& index)
    {
        TFileStore& files = model.files;
        index.texts_ = files.texts();
        auto map = [&](std::uint32_t& f) {
            if (f != kNoId)
                f = id[f];
        };
        for (TProjectNote& n : index.notes_)
            map(n.file);
        std::vector<std::uint32_t> order(id.size());
        for (std::uint32_t old = 0; old < id.size(); ++old)
            order[id[old]] = old;
        for (std::uint32_t old : order) {
            TProjectFile& f = files[old];
            for (TProjectUses& u : f.uses)
                map(u.file);
            for (TProjectInclude& inc : f.includes)
                map(inc.file);
            for (std::uint32_t& by : f.included_by)
                map(by);
            normalize(f);
            index.files_.push_back(std::move(f));
        }
    }

    template <class T, class Key>
    static void sort_unique(std::vector<T>& items, Key key)
    {
        std::sort(items.begin(), items.end(),
                  [&](const T& a, const T& b) { return key(a) < key(b); });
        items.erase(std::unique(items.begin(), items.end(),
                                [&](const T& a, const T& b) { return key(a) == key(b); }),
                    items.end());
    }

    // A file included several times collects the same facts more than once.
    static void normalize(TProjectFile& f)
    {
        sort_unique(f.includes, [](const TProjectInclude& i) {
            return std::tie(i.line, i.column, i.name, i.file, i.problem);
        });
        sort_unique(f.included_by, [](std::uint32_t by) { return by; });
        sort_unique(f.inactive_lines,
                    [](const TLineRange& r) { return std::pair(r.first, r.last); });
        sort_unique(f.diagnostics,
                    [](const TProjectDiagnostic& d) { return std::tie(d.line, d.message); });
    }

    // Units that nothing is taken from, unless their initialization or finalization runs code;
    // a unit that is not found is never reported, since what it declares is not known.
    static void check_used_units(TModel& model)
    {
        for (std::uint32_t m : model.unit_checks) {
            const TModule& mod = model.modules[m];
            for (const TProjectUses& u : model.files[mod.file].uses) {
                if (u.file == kNoId)
                    continue;
                const std::uint32_t used = model.module_for(u.file);
                const TModule& target = model.modules[used];
                const TSymbol& unit = model.symbols[target.symbol];
                if (target.init_code || unit.hints_off ||
                    std::find(mod.used_modules.begin(), mod.used_modules.end(), used) !=
                        mod.used_modules.end())
                    continue;
                model.notes.push_back({mod.file, u.line, u.column, TNoteSeverity::Hint,
                                       "Unit \"" + std::string(unit.name) + "\" not used in " +
                                           std::string(model.symbols[mod.symbol].name)});
                model.note_modules.push_back(m);
            }
        }
    }

    // A compiler finishes every unit a unit uses before the unit itself, so its notes come
    // unit by unit in that order, beginning with the deepest used unit.
    static std::vector<TProjectNote> notes_in_compile_order(TModel& model)
    {
        std::vector<std::uint32_t> rank(model.modules.size(), kNoId);
        std::uint32_t next_rank = 0;
        std::function<void(std::uint32_t)> visit = [&](std::uint32_t m) {
            rank[m] = kNoId - 1;  // being visited
            for (const TProjectUses& u : model.files[model.modules[m].file].uses) {
                if (u.file == kNoId)
                    continue;
                const std::uint32_t used = model.module_for(u.file);
                if (used < rank.size() && rank[used] == kNoId)
                    visit(used);
            }
            rank[m] = next_rank++;
        };
        for (std::uint32_t file : model.input_files)
            if (rank[model.module_for(file)] == kNoId)
                visit(model.module_for(file));
        for (std::uint32_t m = 0; m < rank.size(); ++m)
            if (rank[m] == kNoId)
                visit(m);
        std::vector<std::size_t> order(model.notes.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return rank[model.note_modules[a]] < rank[model.note_modules[b]];
        });
        std::vector<TProjectNote> notes;
        notes.reserve(order.size());
        for (std::size_t i : order)
            notes.push_back(std::move(model.notes[i]));
        return notes;
    }

    static void append_cycle_notes(TProjectIndex& index)
    {
        for (const TUnitCycle& cycle : index.unit_cycles_) {
            std::string text = "Circular unit reference (";
            text += cycle.section == TUsesSection::Interface ? "interface" : "implementation";
            text += "):";
            for (std::uint32_t f : cycle.files)
                text += " " + index.files_[f].unit_name + " ->";
            text += " " + index.files_[cycle.files.front()].unit_name;
            const TProjectFile& first = index.files_[cycle.files.front()];
            const std::uint32_t second = cycle.files.size() > 1 ? cycle.files[1] : cycle.files[0];
            TProjectNote note{cycle.files.front(), 1, 1, TNoteSeverity::Note, std::move(text)};
            for (const TProjectUses& u : first.uses)
                if (u.file == second) {
                    note.line = u.line;
                    note.column = u.column;
                    break;
                }
            index.notes_.push_back(std::move(note));
        }
    }
};

TProjectIndex build_project_index(const TProjectInput& input, const TProjectOptions& options)
{
    return TProjectBuilder::build(input, options);
}

}  // namespace tabulex
