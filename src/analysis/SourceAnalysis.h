#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/PasLex.h"
#include "analysis/SourceEncoding.h"
#include "analysis/StyledRun.h"

namespace tabulex {

class TDeclarationScan;

/// A stretch of a source's bytes.
struct TSpan {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

/// One classed token of the source: where it stands in the bytes and what it is. Blanks,
/// symbols and other plain bytes have none. A run never ends inside a UTF-8 sequence.
class TTokenRun {
public:
    TTokenRun(std::uint32_t offset, std::uint32_t length, TRunClass kind)
        : offset_(offset), length_kind_((length << 8) | static_cast<std::uint32_t>(kind))
    {}
    std::uint32_t offset() const { return offset_; }
    std::uint32_t length() const { return length_kind_ >> 8; }
    TRunClass kind() const { return static_cast<TRunClass>(length_kind_ & 0xFF); }

    /// Longest run; a longer token is held as several runs of its class.
    static constexpr std::uint32_t kMaxLength = 0xFFFFFF;

private:
    std::uint32_t offset_;
    std::uint32_t length_kind_;
};

/// One line of the listing before the Listing settings turn it into text: its source text
/// and the state of the block levels after its last token. Line `i` of the listing is source
/// line `i + 1`.
struct TListingLine {
    std::uint32_t text_offset = 0;  ///< the source line's bytes, without its line break
    std::uint32_t text_length = 0;
    std::int32_t level = 0;         ///< innermost open level after the line's last token
    std::int32_t closed_level = 0;  ///< the last level that closed on the line (when `closed`)
    std::int32_t closed_start = 0;  ///< 1-based line on which that level began (when `closed`)
    std::uint32_t first_run = 0;    ///< index of its first token run
    std::uint8_t type = 0;    ///< 0 plain, 1 a level opened, 2 a routine's body began, 3 closed
    bool opened = false;      ///< a level opened on the line (its column part is one shorter)
    bool closed = false;      ///< a level closed on the line (it ends with a block-end reference)
    bool class_body = false;  ///< completed inside a class declaration after its first colon
};

/// A name followed by ":" in the text: a declaration of the cross reference.
struct TDeclaration {
    TSpan name;
    TSpan type;                         ///< the token after the colon (a "//" comment counts)
    std::int32_t line = 0;              ///< the line of that token
    bool in_interface = false;          ///< declared before the keyword implementation
    std::uint32_t first_reference = 0;  ///< its references: [first_reference, end_reference)
    std::uint32_t end_reference = 0;
};

/// A later use of a declared name: the line of the token after the name, and whether that
/// token was ":=".
class TReference {
public:
    TReference(std::uint32_t line, bool assignment) : value_(line | (assignment ? kAssign : 0u)) {}
    std::uint32_t line() const { return value_ & ~kAssign; }
    bool assignment() const { return (value_ & kAssign) != 0; }

private:
    static constexpr std::uint32_t kAssign = 0x80000000u;
    std::uint32_t value_;
};

/// A procedure, function, constructor or destructor header of the implementation part.
/// Its parts are stretches of the text with their blanks, comments and line breaks.
struct TRoutine {
    std::int32_t line = 0;  ///< the line of its keyword
    TTokenKind keyword = tkProcedure;
    TSpan name;        ///< the keyword up to the first ":", "(" or ";" ("procedure TFoo.Bar")
    TSpan parameters;  ///< "(" up to the first ")", or empty
    TSpan result;      ///< ":" up to and with the next ";", or empty
};

/// A routine whose block the listing tracked: from its header's line to the line on which its
/// final end closed it (0 when the text ended first).
struct TRoutineBlock {
    std::int32_t header_line = 0;
    std::int32_t end_line = 0;
};

/// A name in a uses clause.
struct TUsedUnit {
    TSpan name;
    std::int32_t line = 0;
    bool after_dot = false;  ///< continues a dotted name ("SysUtils" in "System.SysUtils")
};

/// One uses clause and its names, [first_unit, first_unit + unit_count) of `uses()`.
struct TUsesClause {
    bool implementation = false;
    std::uint32_t first_unit = 0;
    std::uint32_t unit_count = 0;
};

/// How many threads the analysis of one source may use. With two, a text of some size has its
/// declarations scanned (and its encoding decided) on a second thread by a lexer of its own,
/// while the calling thread tracks the block levels; the result is the same.
enum class TAnalysisThreads : std::uint8_t { One, Two };

/// Everything one reading of a source gives: its bytes and encoding, the listing's lines with
/// their block levels and classed tokens, the declarations with their references, the routine
/// headers and the uses clauses. Made by one pass of the lexer; the text lines of the listing
/// and of the three lists are written from it by TListingWriter. Immutable once made, so views
/// on several threads may read it at once.
class TSourceAnalysis {
public:
    /// Analyses `bytes` (any bytes; a NUL byte ends the text there), which it keeps.
    /// `token_runs` false leaves the token runs out, for a caller that writes text only.
    explicit TSourceAnalysis(std::string bytes, bool token_runs = true);
    /// Bytes the caller keeps alive and unchanged while the analysis lives; the byte after
    /// them must be a NUL.
    struct TBorrowed {
        std::string_view bytes;
    };
    /// Receives listing line `index` as soon as it is complete, in order, on the constructing
    /// thread (the declarations may still be in the making on another). An analysis that
    /// hands its lines to one keeps none: its lines() are empty.
    using TLineSink = std::function<void(const TListingLine& line, std::size_t index)>;
    /// The same over borrowed bytes, which the analysis does not copy.
    explicit TSourceAnalysis(TBorrowed bytes, bool token_runs = true,
                             TAnalysisThreads threads = TAnalysisThreads::One,
                             const TLineSink& line_sink = {});

    TSourceAnalysis(const TSourceAnalysis&) = delete;
    TSourceAnalysis& operator=(const TSourceAnalysis&) = delete;

    /// The source's bytes (the byte after them is a NUL).
    std::string_view bytes() const { return bytes_; }
    /// The bytes of a stretch of the source.
    std::string_view text(TSpan span) const { return bytes_.substr(span.offset, span.length); }
    SourceEncoding encoding() const { return encoding_; }
    /// Offset of the first NUL byte, which ends the text; none when the file holds none.
    std::optional<std::size_t> nul_offset() const { return nul_offset_; }
    /// True when the text begins (after comments and directives) with the keyword unit.
    bool is_unit() const { return is_unit_; }

    std::span<const TListingLine> lines() const { return lines_; }
    /// The token runs of listing line `index`, in order.
    std::span<const TTokenRun> runs(std::size_t index) const;

    /// Declarations in the order of the text.
    std::span<const TDeclaration> declarations() const { return declarations_; }
    /// Indexes into declarations() in the order of the cross reference: names collated without
    /// regard to case, a name declared again listed before its earlier declaration.
    std::span<const std::uint32_t> xref_order() const { return xref_order_; }
    std::span<const TReference> references(const TDeclaration& declaration) const;

    std::span<const TRoutine> routines() const { return routines_; }
    std::span<const TRoutineBlock> routine_blocks() const { return routine_blocks_; }
    std::span<const TUsedUnit> uses() const { return uses_; }
    std::span<const TUsesClause> uses_clauses() const { return uses_clauses_; }

private:
    friend class TAnalysisBuilder;
    friend class TDeclarationScan;

    void analyse(bool token_runs, TAnalysisThreads threads, const TLineSink& line_sink);
    void find_encoding();
    void scan_text(TDeclarationScan& scan);

    std::string owned_;  ///< the bytes, when the analysis keeps them
    std::string_view bytes_;
    SourceEncoding encoding_ = SourceEncoding::Windows1252;
    std::optional<std::size_t> nul_offset_;
    bool is_unit_ = false;
    std::vector<TListingLine> lines_;
    std::vector<TTokenRun> runs_;
    std::uint32_t listed_runs_ = 0;  ///< runs of the listed lines (a NUL may cut the last line)
    std::vector<TDeclaration> declarations_;
    std::vector<TReference> references_;
    std::vector<std::uint32_t> xref_order_;
    std::vector<TRoutine> routines_;
    std::vector<TRoutineBlock> routine_blocks_;
    std::vector<TUsedUnit> uses_;
    std::vector<TUsesClause> uses_clauses_;
};

}  // namespace tabulex
