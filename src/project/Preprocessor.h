#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/PasLex.h"
#include "project/ProjectFiles.h"

namespace tabulex::project {

/// One significant token of active code, with the file and place it comes from.
struct TToken {
    TTokenKind kind = tkNull;
    std::string_view text;
    std::uint32_t file = kNoId;
    std::int32_t line = 0;    // 1-based
    std::int32_t column = 0;  // 1-based, in bytes
    bool hints_off = false;   // {$HINTS OFF} in force
    bool notes_off = false;
    bool delphi = false;  // the mode in force at the token
    bool object = false;
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
    TTokenStream(TFileStore& files, const TProjectOptions& options, std::vector<TToken> recorded);
    ~TTokenStream();

    /// Every token of the file, preprocessed ahead of its parsing (on another thread).
    static std::vector<TToken> record(TFileStore& files, const TProjectOptions& options,
                                      std::uint32_t file);

    /// The current token; tkNull at the end of the main file.
    const TToken& current() const { return recorded_.empty() ? current_ : recorded_[position_]; }
    /// The token after the current one (looked ahead without consuming it).
    const TToken& peek();
    void next();
    /// Whether `{$MODE DELPHI}` (or `--compiler delphi`) is in force.
    bool delphi_mode() const { return current().delphi; }
    /// Whether the mode is one of the object modes (objfpc, delphi), which use ObjPas.
    bool object_mode() const { return current().object; }

private:
    struct TFrame;
    struct TCondition;
    TToken read();
    bool handle_directive(TFrame& frame);
    void directive(TFrame& frame, std::string_view body, int line, int column);
    void conditional(TFrame& frame, std::string_view name, std::string_view arg, int line);
    void include(TFrame& frame, std::string_view arg, int line, int column);
    bool evaluate(std::string_view expression) const;
    bool active() const;
    void count_block_word(TTokenKind kind);

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
    std::vector<TToken> recorded_;
    std::size_t position_ = 0;
};

}  // namespace tabulex::project
