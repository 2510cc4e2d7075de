#include <algorithm>
#include <span>
#include <unordered_map>

#include "analysis/DecimalText.h"
#include "analysis/ListingWriter.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"

namespace tabulex {

namespace {

// Listing lines are written in blocks the browser lays out only when they come into view, so
// that a page of hundreds of thousands of lines opens and jumps at once.
constexpr std::size_t kLinesPerBlock = 256;

// The opening and closing tags of each run class (names and links are written apart). A
// listing has millions of runs, so each class has an element of its own with the shortest
// name there is, and the style sheet gives it its look (and takes away the element's own:
// the strike of <s>, the underline of <u>, the quotes of <q>, the italics of <em>).
std::pair<std::string_view, std::string_view> run_tags(TRunClass kind)
{
    switch (kind) {
    case TRunClass::Keyword:
        return {"<b>", "</b>"};
    case TRunClass::Comment:
        return {"<i>", "</i>"};
    case TRunClass::Prefix:
        return {"<s>", "</s>"};
    case TRunClass::String:
        return {"<q>", "</q>"};
    case TRunClass::Number:
        return {"<u>", "</u>"};
    case TRunClass::Directive:
        return {"<em>", "</em>"};
    default:
        return {"<span>", "</span>"};
    }
}

bool all_blank(std::string_view bytes)
{
    return bytes.find_first_not_of(' ') == std::string_view::npos;
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// The last part of a dotted unit name ("SysUtils" of "System.SysUtils").
std::string_view last_part(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

class TPageWriter {
public:
    TPageWriter(std::string& out, THtmlRun& run, std::uint32_t page, const TListingWriter& writer)
        : out_(out),
          run_(run),
          page_(run.pages[page]),
          file_(run.project.files()[page_.file]),
          writer_(writer),
          analysis_(writer.analysis()),
          settings_(run.settings),
          encoding_(analysis_.encoding()),
          references_(run.project.references_in(page_.file)),
          inactive_(file_.inactive_lines)
    {}

    void write()
    {
        page_.lines = analysis_.lines().size();
        page_.routines = analysis_.routines().size();
        page_.names = run_.declared_in[page_.file].size();
        head();
        listing();
        if (settings_.xref)
            list(TSection::Xref, "variaveis", "Vari\xC3\xA1veis");
        if (settings_.proc_func)
            list(TSection::Procs, "procs", "Proc/Func");
        if (settings_.units)
            list(TSection::Uses, "uses", "Uses");
        out_ += "</main>\n</body>\n</html>\n";
    }

private:
    void text(std::string_view bytes) { append_html_content(out_, bytes, encoding_); }
    void name(std::string_view bytes)
    {
        append_html_content(out_, bytes, file_name_encoding(bytes));
    }
    // The URL of another page from this one, made once per page linked to. Percent-encoded,
    // it holds nothing that needs quotes around an attribute value.
    const std::string& url_of(const THtmlPage& target)
    {
        const auto [it, added] = urls_.try_emplace(&target);
        if (added)
            it->second = relative_url(page_.path, target.path);
        return it->second;
    }
    // A link to line `line` of a page (this one for null).
    void line_href(const THtmlPage* target, long long line)
    {
        out_ += "href=";
        if (target != nullptr && target != &page_)
            out_ += url_of(*target);
        out_ += "#L";
        append_decimal(out_, line);
    }

    void head()
    {
        const std::string root = relative_url(page_.path, "");
        const auto index = static_cast<std::uint32_t>(&page_ - run_.pages.data());
        append_head(out_, root, page_.name, "fonte",
                    run_.references_scripts[run_.references_bundle[index]], index);
        out_ += "<a class=\"voltar\" href=\"";
        out_ += root;
        out_ += kIndexName;
        out_ += "\">\xC3\x8Dndice</a>\n<h1>";
        name(page_.name);
        out_ += "</h1>\n<span class=\"caminho\">";
        name(file_.path);
        out_ += "</span>\n<form id=\"ir\" class=\"ir\"><label>Ir para a linha "
                "<input id=\"linha\" type=\"number\" min=\"1\" max=\"";
        append_decimal(out_,
                       static_cast<long long>(std::max<std::size_t>(analysis_.lines().size(), 1)));
        out_ +=
            "\" inputmode=\"numeric\"></label> <button type=\"submit\">Ir</button></form>\n<nav>"
            "<a href=\"#listagem\">Listagem</a>";
        if (settings_.xref)
            out_ += " <a href=\"#variaveis\">Vari\xC3\xA1veis</a>";
        if (settings_.proc_func)
            out_ += " <a href=\"#procs\">Proc/Func</a>";
        if (settings_.units)
            out_ += " <a href=\"#uses\">Uses</a>";
        out_ += "</nav>\n";
        relations();
        out_ += "</header>\n<main>\n";
    }

    // "Usada por" for a unit, "Inclu\xC3\xADdo por" for an include file.
    void relations()
    {
        std::vector<const THtmlPage*> users;
        for (const TUnitEdge& edge : run_.project.unit_edges())
            if (edge.to == page_.file)
                if (const THtmlPage* user = run_.page_of(edge.from))
                    users.push_back(user);
        pageList("usada", "Usada por", users);
        std::vector<const THtmlPage*> includers;
        for (std::uint32_t file : file_.included_by)
            if (const THtmlPage* includer = run_.page_of(file))
                includers.push_back(includer);
        pageList("incluido",
                 "Inclu\xC3\xAD"
                 "do por",
                 includers);
    }

    void pageList(const char* id, const char* title, std::vector<const THtmlPage*>& pages)
    {
        if (pages.empty())
            return;
        std::sort(pages.begin(), pages.end(),
                  [](const THtmlPage* a, const THtmlPage* b) { return a->path < b->path; });
        pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
        out_ += "<p class=\"relacao\" id=\"";
        out_ += id;
        out_ += "\">";
        out_ += title;
        out_ += ":";
        for (const THtmlPage* other : pages) {
            out_ += " <a href=\"";
            out_ += url_of(*other);
            out_ += "\">";
            name(other->name);
            out_ += "</a>";
        }
        out_ += "</p>\n";
    }

    void listing()
    {
        out_ += "<section id=\"listagem\">\n<h2>Listagem</h2>\n<pre class=\"listagem\">";
        std::string line;
        std::vector<TStyledRun> runs;
        const std::size_t count = analysis_.lines().size();
        for (std::size_t index = 0; index < count; ++index) {
            if (index % kLinesPerBlock == 0)
                out_ += index == 0 ? "<span class=b>" : "</span><span class=b>";
            line.clear();
            const TLineLayout layout = writer_.append_listing_line(index, line);
            writer_.listing_runs(index, layout, runs);
            listingLine(static_cast<long long>(index) + 1, line, layout, runs);
        }
        if (count > 0)
            out_ += "</span>";
        out_ += "</pre>\n</section>\n";
    }

    bool inactive(long long number)
    {
        while (!inactive_.empty() && inactive_.front().last < number)
            inactive_ = inactive_.subspan(1);
        return !inactive_.empty() && inactive_.front().first <= number;
    }

    void listingLine(long long number, std::string_view line, const TLineLayout& layout,
                     std::span<const TStyledRun> runs)
    {
        const bool greyed = inactive(number);
        if (greyed)
            out_ += "<span class=z>";
        // Every line has its anchor: on its number, or on its own when the lines are not
        // numbered.
        if (layout.number_length == 0) {
            out_ += "<a id=L";
            append_decimal(out_, number);
            out_ += "></a>";
        }
        std::size_t at = 0;
        for (const TStyledRun& run : runs) {
            text(line.substr(at, run.start - at));
            styledRun(number, line.substr(run.start, run.length), run, layout);
            at = run.start + run.length;
        }
        text(line.substr(at));
        out_ += greyed ? "</span>\n" : "\n";
    }

    void styledRun(long long number, std::string_view bytes, const TStyledRun& run,
                   const TLineLayout& layout)
    {
        switch (run.kind) {
        case TRunClass::LineNumber:
            // The anchor of the line; the page script makes it a link to itself when it is
            // pointed at or clicked, which spares a million lines their own href.
            out_ += "<a id=L";
            append_decimal(out_, number);
            out_ += '>';
            text(bytes);
            out_ += "</a>";
            return;
        case TRunClass::EndReference:
            out_ += "<a class=e ";
            line_href(nullptr, run.line);
            out_ += '>';
            text(bytes);
            out_ += "</a>";
            return;
        case TRunClass::Prefix:
            if (all_blank(bytes)) {
                text(bytes);
                return;
            }
            break;
        case TRunClass::Identifier:
            identifier(number, static_cast<int>(run.start - layout.text_start) + 1, bytes);
            return;
        case TRunClass::Directive:
            if (include(number, static_cast<int>(run.start - layout.text_start) + 1, bytes))
                return;
            break;
        default:
            break;
        }
        out_ += run_tags(run.kind).first;
        text(bytes);
        out_ += run_tags(run.kind).second;
    }

    // The reference at (line, column), walking this file's references in order with the
    // listing.
    const TProjectReference* referenceAt(long long line, int column)
    {
        while (!references_.empty() &&
               (references_.front().line < line ||
                (references_.front().line == line && references_.front().column < column)))
            references_ = references_.subspan(1);
        if (references_.empty() || references_.front().line != line ||
            references_.front().column != column)
            return nullptr;
        return &references_.front();
    }

    // A name: the handle of its references where it is declared, elsewhere a link to its
    // declaration, in whatever page that is.
    void identifier(long long number, int column, std::string_view bytes)
    {
        const TProjectReference* reference = referenceAt(number, column);
        const THtmlPage* target = nullptr;
        const TProjectDeclaration* declaration = nullptr;
        if (reference != nullptr) {
            declaration = &run_.project.declarations()[reference->declaration];
            target = run_.page_of(declaration->file);
        }
        if (target == nullptr) {
            text(bytes);
            return;
        }
        if (reference->kind == TReferenceKind::Declaration) {
            // The first place the name is declared holds the anchor "d<id>", which the page
            // script makes the handle of its references; an implementation header that
            // repeats the declaration is a handle that links to it.
            if (declaration->file == page_.file && declaration->line == number &&
                declaration->column == column)
                out_ += "<a id=d";
            else
                out_ += "<a class=n href=#d";
            append_decimal(out_, reference->declaration);
            out_ += '>';
            text(bytes);
            out_ += "</a>";
            return;
        }
        // The most frequent link, a use of a name, needs no class: its href tells a
        // declaration in this page ("#L...") from one in another.
        out_ += "<a ";
        line_href(target, declaration->line);
        out_ += '>';
        text(bytes);
        out_ += "</a>";
    }

    // An include directive followed to its page.
    bool include(long long number, int column, std::string_view bytes)
    {
        for (const TProjectInclude& entry : file_.includes) {
            if (entry.line != number || entry.column != column)
                continue;
            const THtmlPage* target = run_.page_of(entry.file);
            if (target == nullptr)
                return false;
            out_ += "<a class=d href=";
            out_ += url_of(*target);
            out_ += '>';
            text(bytes);
            out_ += "</a>";
            return true;
        }
        return false;
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

    // The page of a unit named in this file's uses clauses, as the project found it.
    const THtmlPage* usedUnit(std::string_view unit) const
    {
        for (const TProjectUses& used : file_.uses)
            if (same_name(last_part(used.name), unit))
                return run_.page_of(used.file);
        return nullptr;
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
        const auto lines = static_cast<long long>(analysis_.lines().size());
        const std::size_t count = writer_.size(section);
        for (std::size_t row = 0; row < count; ++row) {
            const std::string_view item = writer_.line(section, row, scratch);
            writer_.list_runs(section, row, runs);
            std::size_t at = 0;
            for (const TStyledRun& run : runs) {
                const std::string_view bytes = item.substr(run.start, run.length);
                const THtmlPage* unit =
                    run.kind == TRunClass::Identifier ? usedUnit(bytes) : nullptr;
                const bool numbered =
                    run.kind == TRunClass::LineNumber && run.line >= 1 && run.line <= lines;
                if (unit == nullptr && !numbered)
                    continue;
                itemText(item.substr(at, run.start - at));
                out_ += "<a ";
                if (unit != nullptr) {
                    out_ += "class=u href=";
                    out_ += url_of(*unit);
                } else {
                    line_href(nullptr, run.line);
                }
                out_ += '>';
                itemText(bytes);
                out_ += "</a>";
                at = run.start + run.length;
            }
            itemText(item.substr(at));
            out_ += '\n';
        }
        out_ += "</pre>\n</section>\n";
    }

    std::string& out_;
    THtmlRun& run_;
    THtmlPage& page_;
    const TProjectFile& file_;
    const TListingWriter& writer_;
    const TSourceAnalysis& analysis_;
    const TListingSettings& settings_;
    SourceEncoding encoding_;
    std::span<const TProjectReference> references_;  // what is left of this file's, in order
    std::span<const TLineRange> inactive_;           // what is left of its inactive lines
    std::unordered_map<const THtmlPage*, std::string> urls_;  // pages linked to, their URLs
};

}  // namespace

void append_source_page(std::string& out, THtmlRun& run, std::uint32_t page,
                        const TListingWriter& writer)
{
    TPageWriter(out, run, page, writer).write();
}

}  // namespace tabulex
