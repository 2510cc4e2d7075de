#include "analysis/ListingWriter.h"

#include <algorithm>

#include "analysis/DecimalText.h"
#include "analysis/ListingBuilder.h"

namespace tabulex {

namespace {

constexpr std::string_view kRuler = "------------------------------------------------";
constexpr std::string_view kUnitsRuler = "--------------------------- ";
constexpr std::size_t kXrefHeadingRows = 3;
constexpr std::size_t kProcsHeadingRows = 3;
constexpr std::size_t kMarksPerReferenceRow = 8;

// Appends `count` copies of `marker` by doubling what is already there: deep nesting costs a
// few block copies instead of one append per level.
void append_repeated(std::string& out, const std::string& marker, int count)
{
    if (count <= 0 || marker.empty())
        return;
    const std::size_t start = out.size();
    const std::size_t total = marker.size() * static_cast<std::size_t>(count);
    out.reserve(start + total + 16);
    out += marker;
    while (out.size() - start < total) {
        const std::size_t have = out.size() - start;
        out.append(out, start, std::min(have, total - have));
    }
}

// Rows of one cross-reference entry: a blank, the declaration, its full rows of marks and the
// last row (with one extra blank) that always follows.
std::size_t xref_entry_rows(const TDeclaration& declaration)
{
    const std::size_t references = declaration.end_reference - declaration.first_reference;
    return 2 + references / kMarksPerReferenceRow + 1;
}

void append_mark(std::string& out, TReference reference)
{
    out += reference.assignment() ? "=(" : ".(";
    append_zero_padded(out, reference.line(), 4);
    out += ")  ";
}

// "NAME : TYPE D(0005)".
void append_declaration_row(const TSourceAnalysis& analysis, const TDeclaration& declaration,
                            std::string& out)
{
    out.append(analysis.text(declaration.name))
        .append(" : ")
        .append(analysis.text(declaration.type))
        .append(" D(");
    append_zero_padded(out, declaration.line, 4);
    out += ')';
}

// Up to kMarksPerReferenceRow marks; the row after the last full one ends with one extra blank.
void append_reference_row(std::span<const TReference> references, std::string& out)
{
    for (const TReference reference : references)
        append_mark(out, reference);
    if (references.size() < kMarksPerReferenceRow)
        out += ' ';
}

/// One section of a writer, as lines read by index.
class TSectionLines : public TLineSource {
public:
    TSectionLines(std::shared_ptr<const TListingWriter> writer, TSection section)
        : writer_(std::move(writer)), section_(section)
    {}
    std::size_t size() const override { return writer_->size(section_); }
    std::string_view line(std::size_t index, std::string& scratch) const override
    {
        return writer_->line(section_, index, scratch);
    }
    std::string_view styled_line(std::size_t index, std::string& scratch,
                                 std::vector<TStyledRun>& runs, bool all) const override
    {
        if (section_ != TSection::Listing) {
            const std::string_view text = writer_->line(section_, index, scratch);
            writer_->list_runs(section_, index, runs);
            return text;
        }
        scratch.clear();
        const TLineLayout layout = writer_->append_listing_line(index, scratch);
        if (all) {
            writer_->listing_runs(index, layout, runs);
            return scratch;
        }
        // The line's own number and its block-end reference: what links lead to and from.
        runs.clear();
        const TListingLine& line = writer_->analysis().lines()[index];
        if (layout.number_length > 0)
            runs.push_back({0, layout.number_length, TRunClass::LineNumber,
                            static_cast<long long>(index) + 1});
        if (layout.reference_length > 0)
            runs.push_back({layout.reference_start, layout.reference_length,
                            TRunClass::EndReference, line.closed_start});
        return scratch;
    }

private:
    std::shared_ptr<const TListingWriter> writer_;
    TSection section_;
};

}  // namespace

std::vector<TSection> selected_sections(const TListingSettings& settings)
{
    std::vector<TSection> sections;
    if (settings.listagem)
        sections.push_back(TSection::Listing);
    if (settings.xref)
        sections.push_back(TSection::Xref);
    if (settings.proc_func)
        sections.push_back(TSection::Procs);
    if (settings.units)
        sections.push_back(TSection::Uses);
    return sections;
}

TListingWriter::TListingWriter(std::shared_ptr<const TSourceAnalysis> analysis,
                               TListingSettings settings)
    : analysis_(std::move(analysis)), settings_(std::move(settings))
{
    const auto declarations = analysis_->declarations();
    xref_row_start_.reserve(declarations.size());
    std::size_t row = kXrefHeadingRows;
    for (std::uint32_t index : analysis_->xref_order()) {
        xref_row_start_.push_back(static_cast<std::uint32_t>(row));
        row += xref_entry_rows(declarations[index]);
    }
    xref_rows_ = row;
    build_uses_lines();
    column_run_ = column_markers(settings_);
}

std::size_t TListingWriter::size(TSection section) const
{
    switch (section) {
    case TSection::Listing:
        return analysis_->lines().size();
    case TSection::Xref:
        return xref_rows_;
    case TSection::Procs:
        return kProcsHeadingRows + 2 * analysis_->routines().size();
    case TSection::Uses:
        return uses_lines_.size();
    }
    return 0;
}

std::string_view TListingWriter::line(TSection section, std::size_t index,
                                      std::string& scratch) const
{
    if (section == TSection::Uses)
        return uses_lines_[index];
    scratch.clear();
    append_line(section, index, scratch);
    return scratch;
}

void TListingWriter::append_line(TSection section, std::size_t index, std::string& out) const
{
    switch (section) {
    case TSection::Listing:
        append_listing_line(index, out);
        return;
    case TSection::Xref:
        append_xref_line(index, out);
        return;
    case TSection::Procs:
        append_procs_line(index, out);
        return;
    case TSection::Uses:
        out += uses_lines_[index];
        return;
    }
}

namespace {

// Appends `count` column markers: the first `count` markers of `run` when it holds that many
// (one copy), else by doubling.
void append_columns(std::string& out, const std::string& marker, std::string_view run, int count)
{
    if (count <= 0)
        return;
    const std::size_t length = marker.size() * static_cast<std::size_t>(count);
    if (length <= run.size()) {
        out.append(run.data(), length);
        return;
    }
    append_repeated(out, marker, count);
}

// The prefix shows the line's nesting in the chosen style: with columns, one marker per open
// level (a level opened on the line counts one less), the level number where a level opened
// or closed, the begin marker where a routine's body began; or the level number alone; or
// nothing. An empty prefix becomes two blanks. `column_run` holds markers ready to copy (it
// may be empty).
void append_prefix(const TListingLine& line, const TListingSettings& settings,
                   std::string_view column_run, std::string& out)
{
    const std::size_t start = out.size();
    const int columns = line.opened ? line.level - 1 : line.level;
    // The column part holds at most kMaxColumnMarkers markers; a line that shows no level
    // number of its own then shows its level after them.
    const int shown = std::min(columns, kMaxColumnMarkers);
    const bool capped = columns > kMaxColumnMarkers && !settings.coluna.empty();
    const int type = line.type == 2 && settings.begin.empty() ? 0 : line.type;

    switch (settings.Identacao) {
    case 1:
        // "Só números": the level number alone, or the number of the level that closed.
        if (line.closed || line.level > 0) {
            out += ' ';
            append_decimal(out, line.closed ? line.closed_level : line.level);
            out += ' ';
        } else {
            out += "   ";
        }
        break;
    case 2:
        break;  // "Nenhum": no columns, markers or numbers
    default:
        switch (type) {
        case 1:
            append_columns(out, settings.coluna, column_run, shown);
            out += settings.prenivel;
            append_decimal(out, line.level);
            out += settings.sufnivel;
            break;
        case 2:
            // The column part loses its first character, whatever the length of the marker.
            if (shown > 0 && !settings.coluna.empty()) {
                out.append(settings.coluna, 1);
                append_columns(out, settings.coluna, column_run, shown - 1);
            }
            if (capped)
                append_decimal(out, line.level);
            out += settings.begin;
            break;
        case 3:
            append_columns(out, settings.coluna, column_run, shown);
            out += settings.prefnivel;
            append_decimal(out, static_cast<long long>(line.level) + 1);
            out += settings.suffnivel;
            break;
        default:
            append_columns(out, settings.coluna, column_run, shown);
            if (capped)
                append_decimal(out, line.level);
            break;
        }
        break;
    }
    if (out.size() == start)
        out += "  ";
}

}  // namespace

void monta_prelinha(const TListingLine& line, const TListingSettings& settings, std::string& out)
{
    append_prefix(line, settings, {}, out);
}

std::string column_markers(const TListingSettings& settings)
{
    std::string run;
    append_repeated(run, settings.coluna, kMaxColumnMarkers);
    return run;
}

TLineLayout TListingWriter::append_listing_line(std::size_t index, std::string& out) const
{
    return append_listing_text(analysis_->lines()[index], index, analysis_->bytes(), settings_,
                               column_run_, out);
}

TLineLayout append_listing_text(const TListingLine& line, std::size_t index, std::string_view bytes,
                                const TListingSettings& settings, std::string_view column_run,
                                std::string& out)
{
    const std::size_t start = out.size();
    TLineLayout layout;
    if (settings.Numeracao) {
        append_zero_padded(out, static_cast<long long>(index) + 1, 4);
        layout.number_length = static_cast<std::uint32_t>(out.size() - start);
        out += ' ';
    } else if (line.class_body) {
        out.append(5, ' ');
    }
    layout.prefix_start = settings.Numeracao ? layout.number_length + 1 : 0;
    append_prefix(line, settings, column_run, out);
    layout.text_start = static_cast<std::uint32_t>(out.size() - start);
    layout.prefix_length = layout.text_start - layout.prefix_start;
    layout.text_length = line.text_length;
    out.append(bytes.substr(line.text_offset, line.text_length));
    layout.reference_start = static_cast<std::uint32_t>(out.size() - start);
    if (line.closed && settings.Final) {
        out += ' ';
        out += settings.preend;
        append_decimal(out, line.closed_start);
        out += settings.sufend;
    }
    layout.reference_length =
        static_cast<std::uint32_t>(out.size() - start) - layout.reference_start;
    return layout;
}

void TListingWriter::listing_runs(std::size_t index, const TLineLayout& layout,
                                  std::vector<TStyledRun>& runs) const
{
    runs.clear();
    const TListingLine& line = analysis_->lines()[index];
    if (layout.number_length > 0)
        runs.push_back(
            {0, layout.number_length, TRunClass::LineNumber, static_cast<long long>(index) + 1});
    if (layout.prefix_length > 0)
        runs.push_back({layout.prefix_start, layout.prefix_length, TRunClass::Prefix, 0});
    const std::uint32_t text_end = line.text_offset + line.text_length;
    for (const TTokenRun& token : analysis_->runs(index)) {
        const std::uint32_t end = std::min(token.offset() + token.length(), text_end);
        if (end <= token.offset())
            continue;
        runs.push_back({layout.text_start + (token.offset() - line.text_offset),
                        end - token.offset(), token.kind(), 0});
    }
    if (layout.reference_length > 0)
        runs.push_back({layout.reference_start, layout.reference_length, TRunClass::EndReference,
                        line.closed_start});
}

TListingWriter::TXrefRow TListingWriter::xref_row(std::size_t row) const
{
    if (row < kXrefHeadingRows)
        return {TXrefRow::TKind::Heading};
    const auto after = std::upper_bound(xref_row_start_.begin(), xref_row_start_.end(), row);
    const auto entry = static_cast<std::size_t>(after - xref_row_start_.begin()) - 1;
    const std::uint32_t index = analysis_->xref_order()[entry];
    const TDeclaration& declaration = analysis_->declarations()[index];
    const std::size_t part = row - xref_row_start_[entry];
    if (part == 0)
        return {TXrefRow::TKind::Blank, index};
    if (part == 1)
        return {TXrefRow::TKind::Declaration, index};
    const std::uint32_t first = declaration.first_reference +
                                static_cast<std::uint32_t>((part - 2) * kMarksPerReferenceRow);
    const std::uint32_t end =
        std::min<std::uint32_t>(first + kMarksPerReferenceRow, declaration.end_reference);
    return {TXrefRow::TKind::References, index, first, end};
}

void TListingWriter::append_xref_line(std::size_t row, std::string& out) const
{
    if (row < kXrefHeadingRows) {
        static constexpr std::string_view kHeadingWindows1252 = "         Refer\xEA"
                                                                "ncia cruzada";
        static constexpr std::string_view kHeadingUtf8 = "         Refer\xC3\xAA"
                                                         "ncia cruzada";
        // "Referência cruzada" in the encoding of the source, so the lists read in one encoding.
        const bool utf8 = analysis_->encoding() == SourceEncoding::Utf8;
        const std::string_view heading[] = {" ", utf8 ? kHeadingUtf8 : kHeadingWindows1252, kRuler};
        out += heading[row];
        return;
    }
    const TXrefRow at = xref_row(row);
    const TDeclaration& declaration = analysis_->declarations()[at.declaration];
    switch (at.kind) {
    case TXrefRow::TKind::Declaration:
        append_declaration_row(*analysis_, declaration, out);
        return;
    case TXrefRow::TKind::References:
        append_reference_row(analysis_->references(declaration)
                                 .subspan(at.first_reference - declaration.first_reference,
                                          at.end_reference - at.first_reference),
                             out);
        return;
    default:
        out += ' ';
        return;
    }
}

void TListingWriter::append_procs_line(std::size_t row, std::string& out) const
{
    const auto routines = analysis_->routines();
    if (row == 1) {
        out += "         Procedures / Functions : ";
        append_decimal(out, static_cast<long long>(routines.size()));
        return;
    }
    if (row == 2) {
        out += kRuler;
        return;
    }
    if (row < kProcsHeadingRows || (row - kProcsHeadingRows) % 2 == 1) {
        out += ' ';
        return;
    }
    const TRoutine& routine = routines[(row - kProcsHeadingRows) / 2];
    append_zero_padded(out, routine.line, 4);
    out.append(" : ")
        .append(analysis_->text(routine.name))
        .append(" ")
        .append(analysis_->text(routine.parameters))
        .append("     ")
        .append(analysis_->text(routine.result));
}

// The uses list: the interface units under "Globais: ", the implementation units under
// "Locais: ", five names to a line.
void TListingWriter::build_uses_lines()
{
    const auto add = [this](std::initializer_list<std::string_view> lines) {
        for (std::string_view line : lines) {
            uses_lines_.emplace_back(line);
            uses_runs_.emplace_back();
        }
    };
    bool locals = false;
    const auto units = analysis_->uses();
    for (const TUsesClause& clause : analysis_->uses_clauses()) {
        if (uses_lines_.empty())
            add({" ", "                 Units: ", kUnitsRuler, "Globais: ", kUnitsRuler});
        std::string pending;
        std::vector<TStyledRun> names;
        for (std::uint32_t i = 0; i < clause.unit_count; ++i) {
            if (clause.implementation && !locals) {
                add({" ", kUnitsRuler, "Locais: ", kUnitsRuler});
                locals = true;
            }
            const TUsedUnit& unit = units[clause.first_unit + i];
            names.push_back({static_cast<std::uint32_t>(pending.size()), unit.name.length,
                             TRunClass::Identifier, unit.line});
            pending.append(analysis_->text(unit.name)).append("  ");
            if ((i + 1) % 5 == 0) {
                uses_lines_.push_back(std::move(pending));
                uses_runs_.push_back(std::move(names));
                add({" "});
                pending.clear();
                names.clear();
            }
        }
        if (!pending.empty()) {
            uses_lines_.push_back(std::move(pending));
            uses_runs_.push_back(std::move(names));
        }
    }
}

void TListingWriter::list_runs(TSection section, std::size_t row,
                               std::vector<TStyledRun>& runs) const
{
    runs.clear();
    if (section == TSection::Uses) {
        if (row < uses_runs_.size())
            runs = uses_runs_[row];
        return;
    }
    // A zero-padded number: at least four digits.
    const auto digits = [](long long line) {
        std::uint32_t count = 1;
        for (long long rest = line / 10; rest != 0; rest /= 10)
            ++count;
        return std::max<std::uint32_t>(count, 4);
    };
    if (section == TSection::Procs) {
        if (row < kProcsHeadingRows || (row - kProcsHeadingRows) % 2 == 1 || row >= size(section))
            return;
        const long long line = analysis_->routines()[(row - kProcsHeadingRows) / 2].line;
        runs.push_back({0, digits(line), TRunClass::LineNumber, line});
        return;
    }
    if (section != TSection::Xref || row >= size(section))
        return;
    const TXrefRow at = xref_row(row);
    if (at.kind != TXrefRow::TKind::Declaration && at.kind != TXrefRow::TKind::References)
        return;
    const TDeclaration& declaration = analysis_->declarations()[at.declaration];
    if (at.kind == TXrefRow::TKind::Declaration) {
        // "NAME : TYPE D(0005)": the number ends one byte before the line.
        const std::uint32_t start = declaration.name.length + 3 + declaration.type.length + 3;
        runs.push_back({start, digits(declaration.line), TRunClass::LineNumber, declaration.line});
        return;
    }
    // "=(0012)  .(0013)  ": each number after its two-byte mark.
    const auto references = analysis_->references(declaration);
    std::uint32_t at_byte = 0;
    for (std::uint32_t r = at.first_reference; r < at.end_reference; ++r) {
        const long long line = references[r - declaration.first_reference].line();
        const std::uint32_t length = digits(line);
        runs.push_back({at_byte + 2, length, TRunClass::LineNumber, line});
        at_byte += 2 + length + 3;
    }
}

void TListingWriter::write(TSection section, const TLineSink& sink) const
{
    std::string scratch;
    const std::size_t count = size(section);
    for (std::size_t i = 0; i < count; ++i)
        sink(line(section, i, scratch));
}

std::vector<int> TListingWriter::line_numbers(TSection section, std::size_t row) const
{
    if (section == TSection::Procs) {
        if (row < kProcsHeadingRows || (row - kProcsHeadingRows) % 2 == 1 || row >= size(section))
            return {};
        return {analysis_->routines()[(row - kProcsHeadingRows) / 2].line};
    }
    if (section != TSection::Xref || row >= size(section))
        return {};
    const TXrefRow at = xref_row(row);
    if (at.kind != TXrefRow::TKind::Declaration && at.kind != TXrefRow::TKind::References)
        return {};
    const TDeclaration& declaration = analysis_->declarations()[at.declaration];
    if (at.kind == TXrefRow::TKind::Declaration)
        return {declaration.line};
    std::vector<int> lines;
    const auto references = analysis_->references(declaration);
    for (std::uint32_t r = at.first_reference; r < at.end_reference; ++r) {
        const int line = static_cast<int>(references[r - declaration.first_reference].line());
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(line);
    }
    return lines;
}

std::shared_ptr<const TLineSource> section_lines(std::shared_ptr<const TListingWriter> writer,
                                                 TSection section)
{
    return std::make_shared<TSectionLines>(std::move(writer), section);
}

TExportPieces::TExportPieces(const std::function<void(std::string_view bytes)>& write)
    : write_(write)
{
    piece_.reserve(kPiece + 4096);
}

void TExportPieces::end_line()
{
    piece_ += "\r\n";
    if (piece_.size() >= kPiece) {
        write_(piece_);
        piece_.clear();
    }
}

void TExportPieces::finish()
{
    if (!piece_.empty())
        write_(piece_);
    piece_.clear();
}

void TExportPieces::add_section(const TListingWriter& writer, TSection section)
{
    if (section == TSection::Xref) {
        add_xref(writer);
        return;
    }
    const std::size_t count = writer.size(section);
    for (std::size_t i = 0; i < count; ++i) {
        writer.append_line(section, i, piece_);
        end_line();
    }
}

namespace {

// The entries are in name order, their declarations, names and references all over memory:
// each entry's are asked for ahead of its turn, so that writing it does not wait on memory.
// The declaration goes first, far ahead; what it points at once it has arrived.
void prefetch_xref_entry(const TSourceAnalysis& analysis, std::span<const std::uint32_t> order,
                         std::size_t at)
{
    constexpr std::size_t kDeclarationAhead = 16;
    constexpr std::size_t kContentAhead = 8;
    const std::span<const TDeclaration> declarations = analysis.declarations();
    if (at + kDeclarationAhead < order.size())
        __builtin_prefetch(&declarations[order[at + kDeclarationAhead]]);
    if (at + kContentAhead >= order.size())
        return;
    const TDeclaration& declaration = declarations[order[at + kContentAhead]];
    __builtin_prefetch(analysis.text(declaration.name).data());
    __builtin_prefetch(analysis.text(declaration.type).data());
    __builtin_prefetch(analysis.references(declaration).data());
}

}  // namespace

// The cross reference entry by entry, in the rows xref_row tells apart, without looking each
// row up. Only a declaration row can hold a tab (in its name or type), which becomes a blank.
void TExportPieces::add_xref(const TListingWriter& writer)
{
    for (std::size_t row = 0; row < kXrefHeadingRows; ++row) {
        writer.append_line(TSection::Xref, row, piece_);
        end_line();
    }
    const TSourceAnalysis& analysis = writer.analysis();
    const std::span<const std::uint32_t> order = analysis.xref_order();
    const std::span<const TDeclaration> declarations = analysis.declarations();
    for (std::size_t at = 0; at < order.size(); ++at) {
        prefetch_xref_entry(analysis, order, at);
        const TDeclaration& declaration = declarations[order[at]];
        piece_ += ' ';
        end_line();
        const std::size_t start = piece_.size();
        append_declaration_row(analysis, declaration, piece_);
        std::replace(piece_.begin() + static_cast<std::ptrdiff_t>(start), piece_.end(), '\t', ' ');
        end_line();
        const auto references = analysis.references(declaration);
        for (std::size_t first = 0;; first += kMarksPerReferenceRow) {
            const std::size_t count = std::min(kMarksPerReferenceRow, references.size() - first);
            append_reference_row(references.subspan(first, count), piece_);
            end_line();
            if (count < kMarksPerReferenceRow)
                break;
        }
    }
}

void write_export(const TListingWriter& writer, const TListingSettings& sections_from,
                  const std::function<void(std::string_view bytes)>& write)
{
    TExportPieces pieces(write);
    for (const TSection section : selected_sections(sections_from))
        pieces.add_section(writer, section);
    pieces.finish();
}

}  // namespace tabulex
