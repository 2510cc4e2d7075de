#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "analysis/DeclarationScanner.h"
#include "analysis/ListingSettings.h"
#include "analysis/StringList.h"

namespace tabulex {

/// Decimal text of `number`, padded on the left with "0" until it is `width` characters long;
/// a longer text is returned unchanged.
std::string preenche_zeros(long long number, int width);

/// The part of the listing builder's state that the prefix builder reads and writes: the
/// last level that closed on the line being composed, and the block-end reference built for it.
struct TPrelinhaState {
    bool closed = false;              ///< a level closed on the line being read
    int closed_level = 0;             ///< number of the last level that closed on it
    long long closed_start_line = 0;  ///< 1-based line where that level began
    std::string ref_fim;              ///< the block-end reference of the line last composed
};

/// Builds the prefix of one listing line into `prefix` (never empty) and the block-end
/// reference into `state.ref_fim`. Reads and clears `opened` and `state.closed`. `level` is the
/// innermost open level after the line's last token, `line_type` 0 plain, 1 a level opened,
/// 2 a routine's body began, 3 a level closed.
void monta_prelinha(bool& opened, int level, std::string& prefix, int line_type,
                    TPrelinhaState& state, const TListingSettings& settings);

/// Builds the numbered, level-marked listing of a source file: one composed line per source
/// line. `bytes` is the whole file; the NUL that std::string keeps after its last byte is the
/// lexer's terminator, and a NUL inside the file ends the listing there.
StringList build_listing(const std::string& bytes, const TListingSettings& settings);

/// Receives one composed line; the view is valid during the call only.
using TLineSink = std::function<void(std::string_view line)>;

/// The same listing, each line handed to `sink` as soon as it is composed, none kept.
void build_listing(const std::string& bytes, const TListingSettings& settings,
                   const TLineSink& sink);

/// The listing and the declaration lists from one reading of the text: each listing line goes
/// to `sink` as it is composed, and the lists scan_declarations would give are returned.
TDeclarationLists analyse_source(const std::string& bytes, const TListingSettings& settings,
                                 const TLineSink& sink);

}  // namespace tabulex
