#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LineSource.h"
#include "analysis/ListingSettings.h"
#include "analysis/SourceAnalysis.h"

namespace tabulex {

/// The four sections of the output, in their fixed order.
enum class TSection : std::uint8_t { Listing, Xref, Procs, Uses };

/// The sections the switches of `settings` select, in section order: the one rule for the text
/// export, the report and the HTML pages.
std::vector<TSection> selected_sections(const TListingSettings& settings);

/// Receives one line; the view is valid during the call only.
using TLineSink = std::function<void(std::string_view line)>;

/// Where the parts of a composed listing line stand, as offsets into the line.
struct TLineLayout {
    std::uint32_t number_length = 0;  ///< digits of the number column (0 without numbering)
    std::uint32_t prefix_start = 0;   ///< what stands before the source text after the number
    std::uint32_t prefix_length = 0;
    std::uint32_t text_start = 0;  ///< the source line's bytes
    std::uint32_t text_length = 0;
    std::uint32_t reference_start = 0;  ///< the block-end reference (0 bytes when none)
    std::uint32_t reference_length = 0;
};

/// Most column markers a listing prefix holds: a deeper line shows this many followed by its
/// level number, so the listing stays proportional to the source whatever its nesting.
inline constexpr int kMaxColumnMarkers = 200;

/// Writes the text lines of one analysed source under one set of Listing settings: the
/// numbered, level-marked listing and the cross reference, routine and uses lists, line by
/// line on demand. Every output takes its lines from here (export, list views, report, HTML).
/// Immutable; reading it from several threads at once is safe.
class TListingWriter {
public:
    TListingWriter(std::shared_ptr<const TSourceAnalysis> analysis, TListingSettings settings);

    const TSourceAnalysis& analysis() const { return *analysis_; }
    const std::shared_ptr<const TSourceAnalysis>& shared_analysis() const { return analysis_; }
    /// The settings the listing is written with.
    const TListingSettings& settings() const { return settings_; }

    /// Number of lines of a section.
    std::size_t size(TSection section) const;
    /// Line `index` of a section; the view may point into `scratch` (see TLineSource).
    std::string_view line(TSection section, std::size_t index, std::string& scratch) const;
    /// Appends line `index` of a section to `out`.
    void append_line(TSection section, std::size_t index, std::string& out) const;
    /// Appends listing line `index` to `out` and tells where its parts stand in what it appended.
    TLineLayout append_listing_line(std::size_t index, std::string& out) const;
    /// The classed stretches of listing line `index` as laid out by `layout`, in order and
    /// without overlap: number, prefix, tokens, block-end reference.
    void listing_runs(std::size_t index, const TLineLayout& layout,
                      std::vector<TStyledRun>& runs) const;
    /// The linked stretches of row `row` of a list: each line number it shows (LineNumber, with
    /// the line it names) and, in the uses list, each unit name (Identifier).
    void list_runs(TSection section, std::size_t row, std::vector<TStyledRun>& runs) const;
    /// Hands every line of a section to `sink`, in order.
    void write(TSection section, const TLineSink& sink) const;

    /// The source lines row `row` of a list names, in its order, each once: a routine's
    /// header line, a declaration's line, the lines of a reference row. Empty for headings,
    /// rulers, blanks and the listing.
    std::vector<int> line_numbers(TSection section, std::size_t row) const;
    /// Where row `row` of the cross reference stands in it: the declaration (index into
    /// declarations()) and, for a reference row, the span of references it shows.
    struct TXrefRow {
        enum class TKind : std::uint8_t { Heading, Blank, Declaration, References };
        TKind kind = TKind::Heading;
        std::uint32_t declaration = 0;
        std::uint32_t first_reference = 0;  ///< References: [first, end) of the declaration's
        std::uint32_t end_reference = 0;
    };
    TXrefRow xref_row(std::size_t row) const;

private:
    void append_xref_line(std::size_t row, std::string& out) const;
    void append_procs_line(std::size_t row, std::string& out) const;
    void build_uses_lines();

    std::shared_ptr<const TSourceAnalysis> analysis_;
    TListingSettings settings_;
    std::vector<std::uint32_t> xref_row_start_;  ///< first row of each entry in xref order
    std::size_t xref_rows_ = 0;
    std::vector<std::string> uses_lines_;             ///< the uses list: a few lines, kept as text
    std::vector<std::vector<TStyledRun>> uses_runs_;  ///< the unit names on each of them
    std::string column_run_;  ///< kMaxColumnMarkers column markers, copied from for prefixes
};

/// The lines of one section of `writer`, read by index; they keep the writer alive.
std::shared_ptr<const TLineSource> section_lines(std::shared_ptr<const TListingWriter> writer,
                                                 TSection section);

/// kMaxColumnMarkers column markers of `settings`, for append_listing_text.
std::string column_markers(const TListingSettings& settings);

/// Appends the text of listing line `index`, `line`, of the source `bytes` under `settings` to
/// `out` and tells where its parts stand in what it appended; `column_run` is
/// column_markers(settings).
TLineLayout append_listing_text(const TListingLine& line, std::size_t index, std::string_view bytes,
                                const TListingSettings& settings, std::string_view column_run,
                                std::string& out);

/// The lines of a text export gathered into pieces of about 256 kB, each handed on whole: a
/// call per piece rather than per line, and no copy of each line on the way.
class TExportPieces {
public:
    explicit TExportPieces(const std::function<void(std::string_view bytes)>& write);

    /// Where the text of the next line goes, appended by the caller.
    std::string& text() { return piece_; }
    /// Ends the line with CR LF.
    void end_line();
    /// Adds every line of a section, tabs turned into blanks in the cross reference.
    void add_section(const TListingWriter& writer, TSection section);
    /// Hands on what is left.
    void finish();

private:
    void add_xref(const TListingWriter& writer);

    static constexpr std::size_t kPiece = 1 << 18;
    const std::function<void(std::string_view bytes)>& write_;
    std::string piece_;
};

/// The bytes of the text export: the sections `sections_from` selects, each line followed by
/// CR LF, tabs turned into blanks in the cross-reference section only, handed to `write`
/// piece by piece.
void write_export(const TListingWriter& writer, const TListingSettings& sections_from,
                  const std::function<void(std::string_view bytes)>& write);

}  // namespace tabulex
