#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/LargePages.h"
#include "analysis/PasLex.h"
#include "project/ProjectFiles.h"

namespace tabulex::project {

/// One significant token of active code, with the file and place it comes from. Units are
/// preprocessed ahead into long rows of these, so it is kept to 32 bytes.
struct TToken {
    std::string_view text;
    std::uint32_t file = kNoId;
    std::int32_t line = 0;    // 1-based
    std::int32_t column = 0;  // 1-based, in bytes
    TTokenKind kind = tkNull;
    /// The switches in force at the token, as the bits below. One byte the preprocessor writes
    /// whole: bit fields would have it read the byte back from the row it is filling, memory
    /// that is seldom in the cache, and wait for it on every token.
    std::uint8_t flags = 0;
    static constexpr std::uint8_t kHintsOff = 1;  // {$HINTS OFF}
    static constexpr std::uint8_t kNotesOff = 2;  // {$NOTES OFF}
    static constexpr std::uint8_t kDelphi = 4;    // the mode: delphi
    static constexpr std::uint8_t kObject = 8;    // the mode: objfpc or delphi

    bool hints_off() const { return (flags & kHintsOff) != 0; }
    bool notes_off() const { return (flags & kNotesOff) != 0; }
    bool delphi() const { return (flags & kDelphi) != 0; }
    bool object() const { return (flags & kObject) != 0; }
};
static_assert(sizeof(TToken) <= 32);

/// Tokens are recorded in blocks of a fixed size, which go back to a TTokenPool once their
/// unit is parsed: fresh memory would cost a page fault every 4 KiB.
struct TTokenBlock {
    static constexpr std::size_t kSize = 8192;
    TToken tokens[kSize];
};

/// The tokens of one unit: every block full but the last, which holds `last`. The blocks
/// belong to the TTokenPool they were taken from, which must outlive their use.
struct TTokenRow {
    std::vector<TTokenBlock*> blocks;
    std::size_t last = 0;
};

/// Blocks to record tokens in, shared by the threads of a run. The pool owns every block it
/// gives out; a row gives its blocks back for later units.
class TTokenPool {
public:
    TTokenPool() = default;
    TTokenPool(const TTokenPool&) = delete;
    TTokenPool& operator=(const TTokenPool&) = delete;

    TTokenBlock* take();
    void give_back(TTokenRow& row);
    /// How many blocks are free now.
    std::size_t spare()
    {
        const std::lock_guard lock(mutex_);
        return free_.size();
    }
    /// Makes `count` blocks at once, before the run that takes them, in memory laid out in
    /// large pages and backed on two processors: their memory is then cleared while no other
    /// work waits for it, a large page at a time. Nothing is made when the memory is short; the
    /// pool makes more blocks as they are needed.
    void prefill(std::size_t count);

private:
    std::mutex mutex_;
    std::vector<TTokenBlock*> free_;
    TLargePageMap slab_;                              // the blocks prefill made
    std::vector<std::unique_ptr<TTokenBlock>> made_;  // the blocks made one at a time
};

/// The defines a unit starts with: the compiler's own, the command line's, and macro values
/// such as FPC_FULLVERSION that `{$IF}` compares.
struct TDefines {
    std::unordered_map<std::string, long long, TNameHash, TNameEqual> symbols;
};
TDefines initial_defines(const TProjectOptions& options);

/// The tokens of one unit or program as the compiler sees them: `{$I}` files are read in
/// their place, code that conditionals leave out is skipped (its lines are recorded as
/// inactive), and `{$DEFINE}`/`{$UNDEF}`/`{$MODE}`/`{$HINTS}`/`{$NOTES}` apply as they come.
/// Include problems and branches that leave `begin`/`end` unbalanced are recorded on the files.
class TTokenStream {
public:
    TTokenStream(TFileStore& files, const TProjectOptions& options, std::uint32_t file);
    /// A stream that gives the tokens `record` made earlier, ending with its tkNull.
    TTokenStream(TFileStore& files, const TProjectOptions& options, TTokenRow recorded);
    ~TTokenStream();
    TTokenStream(const TTokenStream&) = delete;  // the current token may be a member
    TTokenStream& operator=(const TTokenStream&) = delete;

    /// Every token of the file, preprocessed ahead of its parsing (on another thread), in
    /// blocks taken from `pool`.
    static TTokenRow record(TFileStore& files, const TProjectOptions& options, std::uint32_t file,
                            TTokenPool& pool);
    /// The tokens a recorded stream was made with, for their blocks to be used again.
    TTokenRow& recorded() { return recorded_; }

    /// The current token; tkNull at the end of the main file.
    const TToken& current() const { return *at_; }
    /// The token after the current one (looked ahead without consuming it).
    const TToken& peek();
    void next()
    {
        // Within a block of recorded tokens the next one is the next slot: the parser steps
        // through tens of millions of them.
        if (at_ + 1 < block_end_) [[likely]] {
            ++at_;
            return;
        }
        next_unbuffered();
    }
    /// Whether `{$MODE DELPHI}` (or `--compiler delphi`) is in force.
    bool delphi_mode() const { return current().delphi(); }
    /// Whether the mode is one of the object modes (objfpc, delphi), which use ObjPas.
    bool object_mode() const { return current().object(); }

private:
    struct TFrame;
    struct TCondition;
    void next_unbuffered();
    void read(TToken& t);
    bool handle_directive(TFrame& frame);
    void directive(TFrame& frame, std::string_view body, int line, int column);
    void conditional(TFrame& frame, std::string_view name, std::string_view arg, int line);
    void include(TFrame& frame, std::string_view arg, int line, int column);
    bool evaluate(std::string_view expression) const;
    bool active() const;
    void count_block_word(TTokenKind previous, TTokenKind kind);

    TFileStore& files_;
    const TProjectOptions& options_;
    TDefines defines_;
    std::vector<std::unique_ptr<TFrame>> frames_;
    std::vector<TCondition> conditions_;
    std::vector<std::pair<bool, bool>> switch_stack_;  // {$PUSH}: hints, notes
    bool hints_ = true;
    bool notes_ = true;
    bool delphi_ = false;
    bool object_ = false;
    bool macros_on_ = false;
    std::unordered_map<std::string, const std::string*, TNameHash, TNameEqual> macros_;
    TTokenKind previous_kind_ = tkNull;
    TToken current_;
    TToken ahead_;
    bool has_ahead_ = false;
    const TToken* at_ = &current_;  // the current token: current_, or one of recorded_
    const TToken* block_end_ = &current_ + 1;
    std::size_t block_ = 0;
    TTokenRow recorded_;
    TFileNotes file_notes_;  // for the files, when the stream ends
};

}  // namespace tabulex::project
