#include <algorithm>
#include <optional>

#include "analysis/DecimalText.h"
#include "analysis/ListingWriter.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"

namespace tabulex {

namespace {

// Where a name used on a line is declared.
struct TTarget {
    const THtmlSource* unit = nullptr;  // nullptr: this page
    long long line = 0;
};

// Resolves the names of one page: the page's own declarations first (the latest one at or
// before the use, as the cross reference counts references), then the interfaces of the
// units it uses (a later unit in the uses lists hides an earlier one), then a declaration of
// the page further down.
class TNameResolver {
public:
    TNameResolver(const THtmlSource& source, const TSourceAnalysis& analysis,
                  const TUnitLookup& units)
        : lineCount_(static_cast<long long>(analysis.lines().size()))
    {
        const long long lineCount = lineCount_;
        for (const TDeclaration& declaration : analysis.declarations())
            if (declaration.line <= lineCount)
                local_[std::string(analysis.text(declaration.name))].push_back(declaration.line);
        for (auto& [name, lines] : local_)
            std::sort(lines.begin(), lines.end());
        const auto uses = analysis.uses();
        for (auto it = uses.rbegin(); it != uses.rend(); ++it) {
            const THtmlSource* unit = units(analysis.text(it->name));
            if (unit && unit != &source &&
                std::find(used_.begin(), used_.end(), unit) == used_.end())
                used_.push_back(unit);
        }
    }

    std::optional<TTarget> resolve(std::string_view name, long long line) const
    {
        const auto local = local_.find(name);
        if (local != local_.end()) {
            const std::vector<long long>& lines = local->second;
            auto after = std::upper_bound(lines.begin(), lines.end(), line);
            if (after != lines.begin())
                return TTarget{nullptr, *std::prev(after)};
        }
        if (const TTarget used = fromUsedUnits(name); used.unit)
            return used;
        if (local != local_.end())
            return TTarget{nullptr, local->second.front()};
        return std::nullopt;
    }

    bool hasLine(long long line) const { return line >= 1 && line <= lineCount_; }

private:
    // The declaration in the used units' interfaces (no unit when none), looked up once per
    // name and page: names repeat, and a page may use dozens of units of the run.
    TTarget fromUsedUnits(std::string_view name) const
    {
        if (used_.empty())
            return {};
        if (const auto known = usedMemo_.find(name); known != usedMemo_.end())
            return known->second;
        TTarget target;
        for (const THtmlSource* unit : used_) {
            const auto found = unit->interfaceNames.find(name);
            if (found != unit->interfaceNames.end()) {
                target = {unit, found->second};
                break;
            }
        }
        usedMemo_.emplace(std::string(name), target);
        return target;
    }

    TNameMap<std::vector<long long>> local_;
    std::vector<const THtmlSource*> used_;
    mutable TNameMap<TTarget> usedMemo_;
    long long lineCount_;
};

// Listing markup is kept short (unquoted attribute values where they hold only letters,
// digits and URL-safe bytes), as a tree of thousands of files makes pages of hundreds of MB.
void append_line_href(std::string& out, const THtmlSource* unit, long long line)
{
    out += "href=";
    if (unit)
        append_url_path(out, unit->page);
    out += "#L";
    append_decimal(out, line);
}

// The opening and closing tags of each run class (identifiers and links are written apart).
// Reserved words and comments, the most frequent runs, use the bold and italic elements
// they are shown with.
std::pair<const char*, const char*> run_tags(TRunClass kind)
{
    switch (kind) {
    case TRunClass::Keyword:
        return {"<b>", "</b>"};
    case TRunClass::Comment:
        return {"<i>", "</i>"};
    case TRunClass::Prefix:
        return {"<span class=p>", "</span>"};
    case TRunClass::String:
        return {"<span class=s>", "</span>"};
    case TRunClass::Number:
        return {"<span class=m>", "</span>"};
    case TRunClass::Directive:
        return {"<span class=d>", "</span>"};
    default:
        return {"<span>", "</span>"};
    }
}

bool all_blank(std::string_view bytes)
{
    return bytes.find_first_not_of(' ') == std::string_view::npos;
}

class TPageWriter {
public:
    TPageWriter(std::string& out, THtmlSource& source, const TListingWriter& writer,
                const TListingSettings& sections, const TUnitLookup& units)
        : out_(out),
          source_(source),
          writer_(writer),
          analysis_(writer.analysis()),
          sections_(sections),
          units_(units),
          encoding_(analysis_.encoding()),
          resolver_(source, analysis_, units)
    {}

    void write()
    {
        source_.lines = analysis_.lines().size();
        source_.routines = analysis_.routines().size();
        source_.names = analysis_.declarations().size();
        head();
        listing();
        if (sections_.xref)
            list(TSection::Xref, "variaveis", "Vari\xC3\xA1veis");
        if (sections_.proc_func)
            list(TSection::Procs, "procs", "Proc/Func");
        if (sections_.units)
            list(TSection::Uses, "uses", "Uses");
        out_ += "</main>\n</body>\n</html>\n";
    }

private:
    void text(std::string_view bytes) { append_html_text(out_, bytes, encoding_); }
    void name(std::string_view bytes) { append_html_text(out_, bytes, file_name_encoding(bytes)); }

    void head()
    {
        out_ += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
        name(source_.name);
        out_ += " \xE2\x80\x94 Tabulex</title>\n<link rel=\"stylesheet\" href=\"tabulex.css\">\n"
                "<script src=\"tabulex.js\" defer></script>\n</head>\n<body "
                "class=\"fonte\">\n<header>\n"
                "<a class=\"voltar\" href=\"index.html\">\xC3\x8Dndice</a>\n<h1>";
        name(source_.name);
        out_ += "</h1>\n<span class=\"caminho\">";
        name(source_.path);
        out_ += "</span>\n<form id=\"ir\" class=\"ir\"><label>Ir para a linha "
                "<input id=\"linha\" type=\"number\" min=\"1\" max=\"";
        append_decimal(out_,
                       static_cast<long long>(std::max<std::size_t>(analysis_.lines().size(), 1)));
        out_ +=
            "\" inputmode=\"numeric\"></label> <button type=\"submit\">Ir</button></form>\n<nav>"
            "<a href=\"#listagem\">Listagem</a>";
        if (sections_.xref)
            out_ += " <a href=\"#variaveis\">Vari\xC3\xA1veis</a>";
        if (sections_.proc_func)
            out_ += " <a href=\"#procs\">Proc/Func</a>";
        if (sections_.units)
            out_ += " <a href=\"#uses\">Uses</a>";
        out_ += "</nav>\n</header>\n<main>\n";
    }

    void listing()
    {
        out_ += "<section id=\"listagem\">\n<h2>Listagem</h2>\n<pre class=\"listagem\">";
        std::string line;
        std::vector<TStyledRun> runs;
        const std::size_t count = analysis_.lines().size();
        for (std::size_t index = 0; index < count; ++index) {
            line.clear();
            const TLineLayout layout = writer_.append_listing_line(index, line);
            writer_.listing_runs(index, layout, runs);
            listingLine(static_cast<long long>(index) + 1, line, runs);
        }
        out_ += "</pre>\n</section>\n";
    }

    void listingLine(long long number, std::string_view line, std::span<const TStyledRun> runs)
    {
        out_ += "<span id=L";
        append_decimal(out_, number);
        out_ += '>';
        std::size_t at = 0;
        for (const TStyledRun& run : runs) {
            text(line.substr(at, run.start - at));
            styledRun(number, line.substr(run.start, run.length), run);
            at = run.start + run.length;
        }
        text(line.substr(at));
        out_ += "</span>\n";
    }

    void styledRun(long long number, std::string_view bytes, const TStyledRun& run)
    {
        switch (run.kind) {
        case TRunClass::LineNumber:
            lineLink(nullptr, nullptr, number, bytes);
            return;
        case TRunClass::EndReference:
            if (resolver_.hasLine(run.line))
                lineLink("e", nullptr, run.line, bytes);
            else
                spanned({"<span class=e>", "</span>"}, bytes);
            return;
        case TRunClass::Prefix:
            if (all_blank(bytes)) {
                text(bytes);
                return;
            }
            break;
        case TRunClass::Identifier:
            identifier(number, bytes);
            return;
        default:
            break;
        }
        spanned(run_tags(run.kind), bytes);
    }

    void identifier(long long number, std::string_view bytes)
    {
        const std::optional<TTarget> target = resolver_.resolve(bytes, number);
        // A name on its own declaration line is not linked to itself.
        if (!target || (!target->unit && target->line == number)) {
            text(bytes);
            return;
        }
        lineLink(target->unit ? "x" : "v", target->unit, target->line, bytes);
    }

    // A link to a line; `cls` names its kind (none for line numbers).
    void lineLink(const char* cls, const THtmlSource* unit, long long line, std::string_view bytes)
    {
        out_ += "<a ";
        if (cls) {
            out_ += "class=";
            out_ += cls;
            out_ += ' ';
        }
        append_line_href(out_, unit, line);
        out_ += '>';
        text(bytes);
        out_ += "</a>";
    }

    void spanned(std::pair<const char*, const char*> tags, std::string_view bytes)
    {
        out_ += tags.first;
        text(bytes);
        out_ += tags.second;
    }

    // An item of a declaration list: its text, with any line breaks of a header written over
    // several lines shown as blanks so that each item stays on one line.
    void itemText(std::string_view item)
    {
        std::size_t at = 0;
        for (std::size_t i = 0; i < item.size(); ++i) {
            if (item[i] != '\r' && item[i] != '\n')
                continue;
            text(item.substr(at, i - at));
            out_ += ' ';
            at = i + 1;
        }
        text(item.substr(at));
    }

    // A list: its lines, each line number a link to its line, each unit of the run in the
    // uses list a link to its page.
    void list(TSection section, const char* id, const char* title)
    {
        out_ += "<section id=\"";
        out_ += id;
        out_ += "\">\n<h2>";
        out_ += title;
        out_ += "</h2>\n<pre class=\"lista\">";
        std::string scratch;
        std::vector<TStyledRun> runs;
        const std::size_t count = writer_.size(section);
        for (std::size_t row = 0; row < count; ++row) {
            const std::string_view item = writer_.line(section, row, scratch);
            writer_.list_runs(section, row, runs);
            std::size_t at = 0;
            for (const TStyledRun& run : runs) {
                const std::string_view bytes = item.substr(run.start, run.length);
                if (run.kind == TRunClass::Identifier) {
                    const THtmlSource* unit = units_(bytes);
                    if (!unit)
                        continue;
                    itemText(item.substr(at, run.start - at));
                    out_ += "<a class=\"u\" href=\"";
                    append_url_path(out_, unit->page);
                    out_ += "\">";
                    itemText(bytes);
                    out_ += "</a>";
                } else {
                    itemText(item.substr(at, run.start - at));
                    if (resolver_.hasLine(run.line))
                        lineLink(nullptr, nullptr, run.line, bytes);
                    else
                        itemText(bytes);
                }
                at = run.start + run.length;
            }
            itemText(item.substr(at));
            out_ += '\n';
        }
        out_ += "</pre>\n</section>\n";
    }

    std::string& out_;
    THtmlSource& source_;
    const TListingWriter& writer_;
    const TSourceAnalysis& analysis_;
    const TListingSettings& sections_;
    const TUnitLookup& units_;
    SourceEncoding encoding_;
    TNameResolver resolver_;
};

}  // namespace

void append_source_page(std::string& out, THtmlSource& source, const TListingWriter& writer,
                        const TListingSettings& sections, const TUnitLookup& units)
{
    TPageWriter(out, source, writer, sections, units).write();
}

}  // namespace tabulex
